#include "MapRenderer.h"

#include "core/Numbers.h"
#include "map/GridLayer.h"
#include "map/MapFont.h"
#include "map/MapState.h"
#include "table/Health.h"

#include <QImage>
#include <QPainter>

#include <cmath>

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

} // namespace

MapRenderer::MapRenderer() : m_labels(mapFont()) {}

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
    QPainter painter(&target);
    if (scene.shownIcons)
        paintShownIcons(painter, *scene.shownIcons, geometry);
    if (scene.icons)
        paintIcons(painter, *scene.icons, geometry);
    if (scene.markers)
        paintMarkers(painter, *scene.markers, geometry);
    if (scene.selectedMarker)
        paintSelection(painter, *scene.selectedMarker, scene.ownPlayerID, geometry);
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

void MapRenderer::paintIcons(QPainter &painter, const table::IconCollection &icons, const ViewGeometry &geometry)
{
    icons.forEach([&](const table::CIcon &icon) {
        paintIcon(painter, {icon.mapX, icon.mapY}, icon.size, fromColourValue(icon.Healthcolor()), icon.name, geometry);
    });
}

void MapRenderer::paintShownIcons(QPainter &painter, const table::ShownIconCollection &icons,
                                  const ViewGeometry &geometry)
{
    icons.forEach([&](const table::ShownIcon &icon) {
        const auto band = table::healthBandOfWord(icon.healthWord).value_or(table::HealthBand::Unscathed);
        paintIcon(painter, {icon.mapX, icon.mapY}, icon.size, fromColourValue(table::healthColour(band)),
                  QStringLiteral("%1 (%2)").arg(icon.name, icon.healthWord), geometry);
    });
}

void MapRenderer::paintIcon(QPainter &painter, QPoint mapPosition, std::int32_t size, const QColor &fill,
                            const QString &label, const ViewGeometry &geometry)
{
    const QRect view(0, 0, geometry.viewWidth, geometry.viewHeight);
    const auto position = geometry.viewPixel(mapPosition.x(), mapPosition.y());
    if (!position)
        return;
    const double radius = std::max(0.0, size * geometry.z);
    const QRectF reach = around(pixelCentre(*position), radius, 1.0);
    if (radius >= 0.5 && QRectF(view).intersects(reach)) {
        if (reach.width() > 4.0 * (view.width() + view.height()))
            drawHugeDisc(painter, pixelCentre(*position), radius, fill, view);
        else
            m_discs.draw(painter, *position, radius, fill);
    }
    // The name, centred on the disc; what is hit is the disc, the name
    // only says whose it is.
    if (label.isEmpty())
        return;
    const NameLabel &name = m_labels.nameLabel(label);
    const QPoint topLeft(position->x() - name.image.width() / 2, position->y() - name.image.height() / 2);
    if (view.intersects(QRect(topLeft, name.image.size())))
        painter.drawImage(topLeft, name.image);
}

void MapRenderer::paintMarkers(QPainter &painter, const table::MarkerCollection &markers, const ViewGeometry &geometry)
{
    const QRect view(0, 0, geometry.viewWidth, geometry.viewHeight);
    const double z = geometry.z;
    const double dotRadius = 2 * z;
    markers.forEach([&](const table::CMarker &marker) {
        const auto position = geometry.viewPixel(marker.mapX, marker.mapY);
        if (!position)
            return; // so far outside the view that it cannot show
        const int x = position->x();
        const int y = position->y();
        if (QRectF(view).intersects(around(pixelCentre(*position), dotRadius, 1.0)))
            m_discs.draw(painter, *position, dotRadius, Qt::white);

        const MarkerLabel &label = m_labels.markerLabel(marker.info, marker.player, (x & 1) != 0);
        const auto ty = core::roundToInt32(y - 4 * z - 2.0 * label.textHeight);
        if (!ty)
            return;
        const QPoint boxTopLeft(x + label.left, *ty - 1);
        if (view.intersects(QRect(boxTopLeft, label.image.size())))
            painter.drawImage(boxTopLeft, label.image);
    });
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
