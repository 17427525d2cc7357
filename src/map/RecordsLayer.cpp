#include "RecordsLayer.h"

#include "core/Numbers.h"
#include "map/MapFont.h"
#include "map/fog/FogMask.h"

#include <QPainter>

#include <cmath>
#include <cstring>
#include <optional>

namespace vellmar::map {

namespace {

// Circles are centred on the middle of their centre pixel, as on screens that
// draw a circle around a pixel rather than around a pixel corner.
QPointF pixelCentre(QPoint p) { return {p.x() + 0.5, p.y() + 0.5}; }

QColor fromColourValue(std::int32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

QRectF around(QPointF centre, double radius, double margin)
{
    const double r = radius + margin;
    return {centre.x() - r, centre.y() - r, 2 * r, 2 * r};
}

// Formats whose opaque pixels read the same as an RGB32 pixel, so opaque
// pixels can be copied in without conversion.
bool rawWritable(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
           || format == QImage::Format_ARGB32_Premultiplied;
}

// A disc far larger than the view would overflow the rasteriser's fixed-point
// coordinates; it is filled row by row over the view instead, with its edge
// pixels in black.
void drawHugeDisc(QPainter &painter, QPointF centre, double radius, QColor fill, const QRect &view)
{
    for (int row = view.top(); row <= view.bottom(); ++row) {
        const double dy = row + 0.5 - centre.y();
        if (std::abs(dy) > radius)
            continue;
        const double half = std::sqrt(radius * radius - dy * dy);
        const double from = std::max<double>(view.left(), std::ceil(centre.x() - half - 0.5));
        const double to = std::min<double>(view.right(), std::floor(centre.x() + half - 0.5));
        if (from > to)
            continue;
        const int left = static_cast<int>(from);
        const int right = static_cast<int>(to);
        painter.fillRect(left, row, right - left + 1, 1, fill);
        if (centre.x() - half - 0.5 >= view.left())
            painter.fillRect(left, row, 1, 1, Qt::black);
        if (centre.x() + half - 0.5 <= view.right())
            painter.fillRect(right, row, 1, 1, Qt::black);
    }
}

// Most texts are the very strings seen last time; comparing where they point
// spares reading their letters.
bool sameText(const QString &a, const QString &b) { return a.isSharedWith(b) || a == b; }

} // namespace

bool RecordHiding::hidesSpot(std::int32_t mapX, std::int32_t mapY) const
{
    return fog && fog->hides(QPointF(mapX, mapY));
}

bool RecordHiding::hidesMarker(const table::CMarker &marker) const
{
    return marker.UserID != ownPlayerID && hidesSpot(marker.mapX, marker.mapY);
}

RecordsLayer::RecordsLayer() : m_labels(mapFont()) {}

void RecordsLayer::paint(QImage &target, const ViewGeometry &geometry, const table::IconCollection *icons,
                         const table::MarkerCollection *markers, const RecordHiding &hiding)
{
    if (target.isNull())
        return;
    const ViewInput view{geometry.pictureWidth,
                         geometry.pictureHeight,
                         geometry.viewWidth,
                         geometry.viewHeight,
                         geometry.hs,
                         geometry.vs,
                         geometry.z,
                         target.size(),
                         target.format(),
                         hiding.fog,
                         hiding.fog ? hiding.fog->revision() : 0,
                         hiding.fog ? hiding.ownPlayerID : 0};
    if (!unchanged(view, icons, markers))
        rebuild(view, geometry, icons, markers, hiding);
    replay(target);
}

bool RecordsLayer::unchanged(const ViewInput &view, const table::IconCollection *icons,
                             const table::MarkerCollection *markers) const
{
    if (!m_valid || !(view == m_view) || (icons != nullptr) != m_hadIcons || (markers != nullptr) != m_hadMarkers)
        return false;
    bool same = true;
    std::size_t i = 0;
    if (icons) {
        if (icons->size() != m_icons.size())
            return false;
        icons->forEach([&](const table::CIcon &icon) {
            const IconInput &was = m_icons[i++];
            same = same && was.mapX == icon.mapX && was.mapY == icon.mapY && was.size == icon.size
                   && was.damage == icon.damage && was.maxHealth == icon.maxHealth && sameText(was.name, icon.name);
        });
    }
    i = 0;
    if (markers && same) {
        if (markers->size() != m_markers.size())
            return false;
        markers->forEach([&](const table::CMarker &marker) {
            const MarkerInput &was = m_markers[i++];
            same = same && was.mapX == marker.mapX && was.mapY == marker.mapY && sameText(was.info, marker.info)
                   && sameText(was.player, marker.player) && was.userID == marker.UserID;
        });
    }
    return same;
}

void RecordsLayer::rebuild(const ViewInput &view, const ViewGeometry &geometry, const table::IconCollection *icons,
                           const table::MarkerCollection *markers, const RecordHiding &hiding)
{
    ++m_rebuilds;
    m_replays = 0;
    m_settled = false;
    m_items.clear();
    m_images.clear();
    m_view = view;
    m_hadIcons = icons != nullptr;
    m_hadMarkers = markers != nullptr;
    const QRect viewRect(0, 0, geometry.viewWidth, geometry.viewHeight);
    const bool rawTarget = rawWritable(view.format);
    // The kept inputs are updated in place: a text that stays keeps its
    // label size.
    m_icons.resize(icons ? icons->size() : 0);
    if (icons) {
        std::size_t i = 0;
        icons->forEach([&](const table::CIcon &icon) {
            IconInput &kept = m_icons[i++];
            kept.mapX = icon.mapX;
            kept.mapY = icon.mapY;
            kept.size = icon.size;
            kept.damage = icon.damage;
            kept.maxHealth = icon.maxHealth;
            if (!sameText(kept.name, icon.name)) {
                kept.name = icon.name;
                kept.nameBox = {};
            }
            if (!hiding.hidesSpot(icon.mapX, icon.mapY))
                addIcon(icon, kept, geometry, viewRect, rawTarget);
        });
    }
    m_markers.resize(markers ? markers->size() : 0);
    if (markers) {
        std::size_t i = 0;
        markers->forEach([&](const table::CMarker &marker) {
            MarkerInput &kept = m_markers[i++];
            kept.mapX = marker.mapX;
            kept.mapY = marker.mapY;
            kept.userID = marker.UserID;
            if (!sameText(kept.info, marker.info) || !sameText(kept.player, marker.player)) {
                kept.info = marker.info;
                kept.player = marker.player;
                kept.labelBox[0] = kept.labelBox[1] = {};
            }
            if (!hiding.hidesMarker(marker))
                addMarker(marker, kept, geometry, viewRect, rawTarget);
        });
    }
    m_opaqueFrom = m_items.size();
    while (m_opaqueFrom > 0 && m_items[m_opaqueFrom - 1].kind != Item::Kind::Blend
           && m_items[m_opaqueFrom - 1].kind != Item::Kind::Ellipse
           && m_items[m_opaqueFrom - 1].kind != Item::Kind::HugeDisc)
        --m_opaqueFrom;
    m_valid = true;
}

void RecordsLayer::addIcon(const table::CIcon &icon, IconInput &kept, const ViewGeometry &geometry, const QRect &view,
                           bool rawTarget)
{
    const auto position = geometry.viewPixel(icon.mapX, icon.mapY);
    if (!position)
        return;
    const double radius = std::max(0.0, icon.size * geometry.z);
    const QRectF reach = around(pixelCentre(*position), radius, 1.0);
    if (radius >= 0.5 && QRectF(view).intersects(reach)) {
        const QColor fill = fromColourValue(icon.Healthcolor());
        if (reach.width() > 4.0 * (view.width() + view.height()))
            m_items.push_back({Item::Kind::HugeDisc, {}, nullptr, 0, 0, *position, radius, fill});
        else
            addDisc(*position, radius, fill, view, rawTarget);
    }
    // The name, centred on the disc; what is hit is the disc, the name only
    // says whose it is.
    if (icon.name.isEmpty())
        return;
    LabelBox &box = kept.nameBox;
    if (!box.known)
        box = {m_labels.nameLabel(icon.name).image, 0, 0, true};
    const QPoint topLeft(position->x() - box.image.width() / 2, position->y() - box.image.height() / 2);
    // Its letters are smoothed: they are blended, not copied.
    addImage(box.image, topLeft, Item::Kind::Blend, view, rawTarget);
}

void RecordsLayer::addMarker(const table::CMarker &marker, MarkerInput &kept, const ViewGeometry &geometry,
                             const QRect &view, bool rawTarget)
{
    const double z = geometry.z;
    const double dotRadius = 2 * z;
    const auto position = geometry.viewPixel(marker.mapX, marker.mapY);
    if (!position)
        return; // so far outside the view that it cannot show
    const int x = position->x();
    const int y = position->y();
    if (QRectF(view).intersects(around(pixelCentre(*position), dotRadius, 1.0)))
        addDisc(*position, dotRadius, Qt::white, view, rawTarget);

    const bool oddX = (x & 1) != 0;
    LabelBox &box = kept.labelBox[oddX ? 1 : 0];
    if (!box.known) {
        const MarkerLabel &label = m_labels.markerLabel(marker.info, marker.player, oddX);
        box = {label.image, label.left, label.textHeight, true};
    }
    const auto ty = core::roundToInt32(y - 4 * z - 2.0 * box.textHeight);
    if (!ty)
        return;
    addImage(box.image, QPoint(x + box.left, *ty - 1), Item::Kind::Copy, view, rawTarget, true);
}

void RecordsLayer::addDisc(QPoint centre, double radius, QColor fill, const QRect &view, bool rawTarget)
{
    if (radius > DiscSprites::largestSpriteRadius) {
        m_items.push_back({Item::Kind::Ellipse, {}, nullptr, 0, 0, centre, radius, fill});
        return;
    }
    const DiscSprites::Sprite &sprite = m_discs.sprite(radius, fill);
    addImage(sprite.image, centre - QPoint(sprite.centre, sprite.centre),
             sprite.sharp ? Item::Kind::Mask : Item::Kind::Blend, view, rawTarget);
}

void RecordsLayer::addImage(const QImage &image, QPoint topLeft, Item::Kind rawKind, const QRect &view, bool rawTarget,
                            bool keptByRecord)
{
    if (!view.intersects(QRect(topLeft, image.size())))
        return;
    const Item::Kind kind = rawTarget ? rawKind : Item::Kind::Blend;
    // A blended item is drawn from m_images; a copied one reads only pixels.
    if (kind == Item::Kind::Blend || !keptByRecord)
        m_images.push_back(image);
    m_items.push_back({kind,
                       QRect(topLeft, image.size()),
                       reinterpret_cast<const QRgb *>(image.constBits()),
                       image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb)),
                       m_images.size() - 1,
                       {},
                       0,
                       {}});
}

void RecordsLayer::replay(QImage &target)
{
    if (m_items.empty())
        return;
    // Detach before any painter holds the pixels, so the raw writes below
    // land in the very pixels the painter draws into.
    uchar *const bits = rawWritable(target.format()) ? target.bits() : nullptr;
    const qsizetype stride = target.bytesPerLine();
    const QRect bounds = target.rect();
    const auto pixels = [&](int row) { return reinterpret_cast<QRgb *>(bits + row * stride); };

    // Up to the last item that is blended, in order, as a painter would.
    std::optional<QPainter> painter;
    const auto paint = [&]() -> QPainter & {
        if (!painter)
            painter.emplace(&target);
        return *painter;
    };
    for (std::size_t i = 0; i < m_opaqueFrom; ++i) {
        const Item &item = m_items[i];
        switch (item.kind) {
        case Item::Kind::Copy:
        case Item::Kind::Mask: {
            const QRect area = item.rect & bounds;
            for (int row = area.top(); row <= area.bottom(); ++row) {
                const QRgb *from = item.pixels + (row - item.rect.top()) * item.stride;
                QRgb *to = pixels(row);
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QRgb pixel = from[x - item.rect.left()];
                    if (item.kind == Item::Kind::Copy || qAlpha(pixel) != 0)
                        to[x] = pixel;
                }
            }
            break;
        }
        case Item::Kind::Blend:
            paint().drawImage(item.rect.topLeft(), m_images[item.image]);
            break;
        case Item::Kind::Ellipse:
            paint().setPen(Qt::black);
            paint().setBrush(item.fill);
            paint().drawEllipse(pixelCentre(item.centre), item.radius, item.radius);
            break;
        case Item::Kind::HugeDisc:
            drawHugeDisc(paint(), pixelCentre(item.centre), item.radius, item.fill,
                         QRect(0, 0, m_view.viewWidth, m_view.viewHeight));
            break;
        }
    }
    painter.reset();
    if (m_opaqueFrom == m_items.size())
        return;
    if (m_settled) {
        for (const SettledRun &run : m_settledRuns)
            std::memcpy(pixels(run.row) + run.left, m_settledPixels.data() + run.from,
                        static_cast<std::size_t>(run.right - run.left) * sizeof(QRgb));
        return;
    }
    replayOpaque(target);
    // A list drawn twice is likely to be drawn again (the view stands still);
    // one drawn once may belong to a scroll that makes a new one next time.
    if (++m_replays == 2)
        settle(target);
}

void RecordsLayer::settle(const QImage &target)
{
    m_settledRuns.clear();
    m_settledPixels.clear();
    for (int row = 0; row < target.height(); ++row) {
        const auto *line = reinterpret_cast<const QRgb *>(target.constScanLine(row));
        m_coverage.forEachSetRun(row, 0, target.width(), [&](int left, int right) {
            m_settledRuns.push_back({row, left, right, m_settledPixels.size()});
            m_settledPixels.insert(m_settledPixels.end(), line + left, line + right);
        });
    }
    m_settled = true;
}

void RecordsLayer::replayOpaque(QImage &target)
{
    uchar *const bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    const QRect bounds = target.rect();
    const auto pixels = [&](int row) { return reinterpret_cast<QRgb *>(bits + row * stride); };

    // The rest is opaque where it draws at all: last to first, each pixel
    // takes the topmost picture's and is not written again.
    m_coverage.reset(bounds.width(), bounds.height());
    for (std::size_t i = m_items.size(); i-- > m_opaqueFrom;) {
        const Item &item = m_items[i];
        const QRect area = item.rect & bounds;
        const bool copy = item.kind == Item::Kind::Copy;
        for (int row = area.top(); row <= area.bottom(); ++row) {
            const QRgb *from = item.pixels + (row - item.rect.top()) * item.stride;
            const int shift = item.rect.left(); // view column of the picture's first column
            QRgb *to = pixels(row);
            m_coverage.forEachClearRun(row, area.left(), area.right() + 1, [&](int left, int right) {
                if (copy) {
                    std::memcpy(to + left, from + (left - shift),
                                static_cast<std::size_t>(right - left) * sizeof(QRgb));
                    return;
                }
                for (int x = left; x < right; ++x) {
                    const QRgb pixel = from[x - shift];
                    if (qAlpha(pixel) != 0) {
                        to[x] = pixel;
                        m_coverage.cover(row, x);
                    }
                }
            });
            if (copy)
                m_coverage.cover(row, area.left(), area.right() + 1);
        }
    }
}

} // namespace vellmar::map
