#include "MapRenderer.h"

#include "core/Numbers.h"
#include "map/GridLayer.h"
#include "map/MapFont.h"
#include "map/MapState.h"

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
// pixels in the pen's colour.
void drawDisc(QPainter &painter, QPointF centre, double radius, const QRect &view)
{
    constexpr double largestRasterisedRadius = 32768.0;
    if (radius <= largestRasterisedRadius) {
        painter.drawEllipse(centre, radius, radius);
        return;
    }
    const QColor fill = painter.brush().color();
    const QColor edge = painter.pen().color();
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
        if (left > view.left() || centre.x() - half - 0.5 >= view.left())
            painter.fillRect(left, row, 1, 1, edge);
        if (right < view.right() || centre.x() + half - 0.5 <= view.right())
            painter.fillRect(right, row, 1, 1, edge);
    }
}

} // namespace

MapRenderer::MapRenderer() : m_labels(mapFont()) {}

QColor MapRenderer::background() { return Qt::white; }

void MapRenderer::paint(QImage &target, const MapState &state, const ViewGeometry &geometry, const MapScene &scene)
{
    if (!state.mapLoaded || target.isNull())
        return;
    QPainter painter(&target);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintPicture(painter, state.picture, geometry);
    if (scene.showGrid)
        paintGrid(painter, geometry, state.map10Size, state.map10OffsetX, state.map10OffsetY);
    if (scene.icons)
        paintIcons(painter, *scene.icons, geometry);
    if (scene.markers)
        paintMarkers(painter, *scene.markers, geometry);
    if (scene.selectedMarker)
        paintSelection(painter, *scene.selectedMarker, scene.ownPlayerID, geometry);
}

void MapRenderer::paintPicture(QPainter &painter, const QImage &picture, const ViewGeometry &geometry) const
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
    const QRectF source((visible.left() - origin.x()) / z, (visible.top() - origin.y()) / z, visible.width() / z,
                        visible.height() / z);
    painter.drawImage(visible, picture, source);
}

void MapRenderer::paintIcons(QPainter &painter, const tokens::IconCollection &icons, const ViewGeometry &geometry) const
{
    const QRect view(0, 0, geometry.viewWidth, geometry.viewHeight);
    const int t = m_labels.textHeight();
    painter.setFont(m_labels.font());
    icons.forEach([&](const tokens::CIcon &icon) {
        const auto position = geometry.viewPixel(icon.mapX, icon.mapY);
        if (!position)
            return;
        const QPointF centre = pixelCentre(*position);
        const double radius = std::max(0.0, icon.size * geometry.z);
        if (radius >= 0.5 && QRectF(view).intersects(around(centre, radius, 1.0))) {
            painter.setPen(Qt::black);
            painter.setBrush(fromColourValue(icon.Healthcolor()));
            drawDisc(painter, centre, radius, view);
        }
        // The name, centred on the disc; what is hit is the disc, the name
        // only says whose it is.
        if (icon.name.isEmpty())
            return;
        const int w = m_labels.textWidth(icon.name);
        const QRect nameBox(position->x() - w / 2, position->y() - t / 2, w, t);
        if (!view.intersects(nameBox.adjusted(-2, -2, 2, 2)))
            return;
        painter.setPen(Qt::black);
        painter.drawText(nameBox.left(), nameBox.top() + m_labels.ascent(), icon.name);
    });
}

void MapRenderer::paintMarkers(QPainter &painter, const tokens::MarkerCollection &markers, const ViewGeometry &geometry)
{
    const QRect view(0, 0, geometry.viewWidth, geometry.viewHeight);
    const double z = geometry.z;
    const double dotRadius = 2 * z;
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    markers.forEach([&](const tokens::CMarker &marker) {
        const auto position = geometry.viewPixel(marker.mapX, marker.mapY);
        if (!position)
            return; // so far outside the view that it cannot show
        const int x = position->x();
        const int y = position->y();
        const QPointF centre = pixelCentre(*position);
        if (view.intersects(around(centre, dotRadius, 1.0).toAlignedRect()))
            painter.drawEllipse(centre, dotRadius, dotRadius);

        const MarkerLabel &label = m_labels.markerLabel(marker.info, marker.player, (x & 1) != 0);
        const auto ty = core::roundToInt32(y - 4 * z - 2.0 * label.textHeight);
        if (!ty)
            return;
        const QPoint boxTopLeft(x + label.left, *ty - 1);
        if (view.intersects(QRect(boxTopLeft, label.image.size())))
            painter.drawImage(boxTopLeft, label.image);
    });
}

void MapRenderer::paintSelection(QPainter &painter, const tokens::CMarker &marker, std::int32_t ownPlayerID,
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
