#pragma once

#include "map/Coverage.h"
#include "map/DiscSprites.h"
#include "map/LabelCache.h"
#include "map/ViewGeometry.h"
#include "table/Collections.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QSize>

#include <cstdint>
#include <vector>

namespace vellmar::map {

namespace fog {
class FogMask;
}

// Which records a player's view leaves out: those whose spot the fog hides,
// except the player's own markers (a player knows where it put them).
struct RecordHiding
{
    const fog::FogMask *fog = nullptr; // null: nothing is left out
    std::int32_t ownPlayerID = 0;
    bool hidesMarker(const table::CMarker &marker) const;
    bool hidesSpot(std::int32_t mapX, std::int32_t mapY) const;
};

// The icons (discs in their health colour, each with its name) and the markers
// (a dot and a two-line label) as the view shows them. Zoomed out, a thousand
// records are a thousand small copies on every repaint, so the layer keeps
// what it worked out for the last drawing: the list of copies, with their
// pictures and view positions, and everything that list was made from. A
// repaint with the same view and the same records only replays the copies;
// any change to the view or to anything drawn of a record makes a new list.
// Once the same list has been replayed twice, the pixels of its opaque part
// are kept as they came out, row by row, and later repaints copy those rows
// instead of working out again which picture shows where.
class RecordsLayer
{
public:
    RecordsLayer();

    // Paints the icons, then the markers, over the target; either may be
    // null. Records that `hiding` leaves out are not drawn.
    void paint(QImage &target, const ViewGeometry &geometry, const table::IconCollection *icons,
               const table::MarkerCollection *markers, const RecordHiding &hiding = {});

    // How many times the list was made anew; a repaint that reuses it does
    // not count.
    int rebuilds() const { return m_rebuilds; }

private:
    // One drawing step. Copy and Mask are written straight into the target's
    // pixels: labels are opaque and discs are drawn without smoothing, so a
    // copy of their set pixels is exactly what a painter would produce. That
    // also lets the opaque items after the last blended one go front to back
    // (the markers, which pile up most when zoomed out).
    struct Item
    {
        enum class Kind { Copy, Mask, Blend, Ellipse, HugeDisc };
        Kind kind = Kind::Copy;
        QRect rect;                   // Copy, Mask, Blend: where the picture goes
        const QRgb *pixels = nullptr; // Copy, Mask: its first pixel, and
        qsizetype stride = 0;         // how many pixels apart its rows are
        std::size_t image = 0;        // Blend: the picture, in m_images
        QPoint centre;                // Ellipse, HugeDisc
        double radius = 0;
        QColor fill;
    };
    // What one record contributed to the list; the list stays valid while
    // every record still reads the same.
    // Each record keeps its label while its text stays the same, so a new
    // list (zoomed out and scrolling, one per repaint) neither looks labels
    // up by their text nor needs them to tell whether they show.
    struct LabelBox
    {
        QImage image;
        int left = 0, textHeight = 0;
        bool known = false;
    };
    struct IconInput
    {
        std::int32_t mapX, mapY, size;
        std::int16_t damage, maxHealth; // the colour follows from these
        QString name;
        LabelBox nameBox;
    };
    struct MarkerInput
    {
        std::int32_t mapX, mapY;
        QString info;
        QString player;
        std::int32_t userID;  // whether fog hides it depends on whose it is
        LabelBox labelBox[2]; // at even and odd x
    };
    struct ViewInput
    {
        int pictureWidth, pictureHeight, viewWidth, viewHeight, hs, vs;
        double z;
        QSize targetSize;
        QImage::Format format;
        const fog::FogMask *fog;
        quint64 fogRevision;
        std::int32_t ownPlayerID;
        bool operator==(const ViewInput &) const = default;
    };
    // The opaque part's pixels as the last replay left them: per run of
    // covered pixels, where it lies and where its pixels start in `pixels`.
    struct SettledRun
    {
        int row, left, right;
        std::size_t from;
    };

    bool unchanged(const ViewInput &view, const table::IconCollection *icons,
                   const table::MarkerCollection *markers) const;
    void rebuild(const ViewInput &view, const ViewGeometry &geometry, const table::IconCollection *icons,
                 const table::MarkerCollection *markers, const RecordHiding &hiding);
    void addIcon(const table::CIcon &icon, IconInput &kept, const ViewGeometry &geometry, const QRect &view,
                 bool rawTarget);
    void addMarker(const table::CMarker &marker, MarkerInput &kept, const ViewGeometry &geometry, const QRect &view,
                   bool rawTarget);
    void addDisc(QPoint centre, double radius, QColor fill, const QRect &view, bool rawTarget);
    // `keptByRecord`: the picture stays alive in a record's LabelBox until the
    // next new list, so the list need not hold it too.
    void addImage(const QImage &image, QPoint topLeft, Item::Kind rawKind, const QRect &view, bool rawTarget,
                  bool keptByRecord = false);
    void replay(QImage &target);
    void replayOpaque(QImage &target);
    void settle(const QImage &target);

    LabelCache m_labels;
    DiscSprites m_discs;
    std::vector<Item> m_items;
    // Keeps the items' pictures alive; replaying reads only the items, which
    // lie side by side in memory.
    std::vector<QImage> m_images;
    // From here on every item is a Copy or a Mask, drawn front to back.
    std::size_t m_opaqueFrom = 0;
    Coverage m_coverage;
    int m_replays = 0; // of the current list
    bool m_settled = false;
    std::vector<SettledRun> m_settledRuns;
    std::vector<QRgb> m_settledPixels;
    bool m_valid = false;
    ViewInput m_view{};
    bool m_hadIcons = false;
    bool m_hadMarkers = false;
    std::vector<IconInput> m_icons;
    std::vector<MarkerInput> m_markers;
    int m_rebuilds = 0;
};

} // namespace vellmar::map
