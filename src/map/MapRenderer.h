#pragma once

#include "map/FogLayer.h"
#include "map/MapScene.h"
#include "map/PictureLevels.h"
#include "map/RecordsLayer.h"
#include "map/ShownIconsLayer.h"
#include "map/ViewGeometry.h"

class QImage;
class QPainter;

namespace vellmar::map {

class MapState;

// Paints the map view in layers: the picture, scaled and shifted; the grid;
// the fog, if any (opaque for players, a shade for the master); the scene's
// overlay under the records, if any; the icons as discs in their health
// colour; every marker as a dot with a two-line label; the ring around the
// selected marker; the scene's overlay over the records, if any. Players see
// no record whose spot is fogged, except their own markers. It paints
// over what the target already shows and clears nothing, so earlier drawing
// outside the picture stays until the caller clears. What it keeps between
// drawings (reduced pictures, the records as last drawn) only saves time:
// every drawing reads the state afresh.
class MapRenderer
{
public:
    MapRenderer();

    // Draws nothing before a map has been loaded. The target's size must be
    // the view's size in the geometry.
    void paint(QImage &target, const MapState &state, const ViewGeometry &geometry, const MapScene &scene);

    // Does the work a new picture needs before it is first drawn zoomed out.
    void preparePicture(const QImage &picture);

    // What clearing leaves: white.
    static QColor background();

    // How often the records were worked out anew rather than replayed.
    int recordsRebuilds() const { return m_records.rebuilds(); }
    // How many rows of fog cells were looked at anew.
    qint64 fogRowsWorkedOut() const { return m_fog.rowsWorkedOut(); }

private:
    void paintPicture(QPainter &painter, const QImage &picture, const ViewGeometry &geometry);
    void paintSelection(QPainter &painter, const table::CMarker &marker, std::int32_t ownPlayerID,
                        const ViewGeometry &geometry) const;

    PictureLevels m_levels;
    ShownIconsLayer m_shownIcons;
    RecordsLayer m_records;
    FogLayer m_fog;
};

} // namespace vellmar::map
