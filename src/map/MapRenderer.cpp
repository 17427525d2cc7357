#include "MapRenderer.h"

#include "map/GridLayer.h"
#include "map/MapState.h"
#include "map/fog/FogMask.h"
#include "table/Health.h"

#include <QImage>
#include <QPainter>

#include <cmath>

namespace vellmar::map {

namespace {

// Circles are centred on the middle of their centre pixel, as on screens that
// draw a circle around a pixel rather than around a pixel corner.
QPointF pixelCentre(QPoint p) { return {p.x() + 0.5, p.y() + 0.5}; }

} // namespace

MapRenderer::MapRenderer() = default;

QColor MapRenderer::background() { return Qt::white; }

void MapRenderer::preparePicture(const QImage &picture) { m_levels.prepare(picture); }

void MapRenderer::paint(QImage &target, const MapState &state, const ViewGeometry &geometry, const MapScene &scene)
{
    if (!state.mapLoaded || target.isNull())
        return;
    {
        QPainter painter(&target);
        paintPicture(painter, state.picture, geometry);
    }
    if (scene.showGrid)
        paintGrid(target, geometry, state.map10Size, state.map10OffsetX, state.map10OffsetY);
    const bool fogged = scene.fog && !scene.fog->isNull();
    if (fogged)
        m_fog.paint(target, geometry, *scene.fog, scene.fogForMaster);
    if (scene.underRecords)
        scene.underRecords->paint(target, geometry);
    const RecordHiding hiding{fogged && !scene.fogForMaster ? scene.fog : nullptr, scene.ownPlayerID};
    if (scene.shownIcons)
        m_shownIcons.paint(target, geometry, *scene.shownIcons, hiding);
    m_records.paint(target, geometry, scene.icons, scene.markers, hiding);
    if (scene.selectedMarker && !hiding.hidesMarker(*scene.selectedMarker)) {
        QPainter painter(&target);
        paintSelection(painter, *scene.selectedMarker, scene.ownPlayerID, geometry);
    }
    if (scene.overRecords)
        scene.overRecords->paint(target, geometry);
}

void MapRenderer::paintPicture(QPainter &painter, const QImage &picture, const ViewGeometry &geometry)
{
    if (picture.isNull())
        return; // an entry without a readable picture: the grid and markers still show
    const double z = geometry.z;
    const QPointF origin = geometry.pictureOrigin();
    const QRectF whole(origin, QSizeF(picture.width() * z, picture.height() * z));
    // Only the visible part is handed over, which keeps the scaler's
    // coordinates small at any zoom and scroll position.
    const QRectF visible = whole.intersected(QRectF(0, 0, geometry.viewWidth, geometry.viewHeight));
    if (visible.isEmpty())
        return;
    const PictureLevels::Level level = m_levels.levelFor(picture, z);
    const double scale = z * level.span; // view pixels per pixel of the chosen level
    const QRectF source((visible.left() - origin.x()) / scale, (visible.top() - origin.y()) / scale,
                        visible.width() / scale, visible.height() / scale);
    painter.drawImage(visible, *level.image, source);
}

void MapRenderer::paintSelection(QPainter &painter, const table::CMarker &marker, std::int32_t ownPlayerID,
                                 const ViewGeometry &geometry) const
{
    const auto position = geometry.viewPixel(marker.mapX, marker.mapY);
    if (!position)
        return;
    const QColor colour = marker.UserID == ownPlayerID ? QColor(255, 255, 0) : QColor(0, 255, 255);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    const double radius = 5 * geometry.z;
    painter.drawEllipse(pixelCentre(*position), radius, radius);
}

} // namespace vellmar::map
