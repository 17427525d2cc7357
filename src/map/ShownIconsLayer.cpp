#include "ShownIconsLayer.h"

#include "map/MapFont.h"
#include "table/Health.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vellmar::map {

namespace {

// Row by row over the view, since a disc far larger than the view would
// overflow the rasteriser's fixed-point coordinates.
void fillHugeDisc(QPainter &painter, QPointF centre, double radius, const QColor &fill, const QRect &view)
{
    for (int row = view.top(); row <= view.bottom(); ++row) {
        const double dy = row + 0.5 - centre.y();
        if (std::abs(dy) > radius)
            continue;
        const double half = std::sqrt(radius * radius - dy * dy);
        const int left = std::max(view.left(), int(std::floor(centre.x() - half)));
        const int right = std::min(view.right(), int(std::ceil(centre.x() + half)));
        if (left <= right)
            painter.fillRect(QRect(left, row, right - left + 1, 1), fill);
    }
}

} // namespace

ShownIconsLayer::ShownIconsLayer() : m_labels(mapFont()) {}

void ShownIconsLayer::paint(QImage &target, const ViewGeometry &geometry, const table::ShownIconCollection &icons,
                            const RecordHiding &hiding)
{
    if (icons.size() == 0)
        return;
    QPainter painter(&target);
    const QRect view(0, 0, geometry.viewWidth, geometry.viewHeight);
    icons.forEach([&](const table::ShownIcon &icon) {
        if (hiding.hidesSpot(icon.mapX, icon.mapY))
            return;
        const auto position = geometry.viewPixel(icon.mapX, icon.mapY);
        if (!position)
            return;
        const auto band = table::healthBandOfWord(icon.healthWord).value_or(table::HealthBand::Unscathed);
        const std::int32_t colour = table::healthColour(band);
        const QColor fill(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
        const double radius = std::max(0.0, icon.size * geometry.z);
        const QRectF reach(position->x() + 0.5 - radius - 1, position->y() + 0.5 - radius - 1, 2 * radius + 2,
                           2 * radius + 2);
        if (reach.width() > 4.0 * (view.width() + view.height()))
            fillHugeDisc(painter, QPointF(position->x() + 0.5, position->y() + 0.5), radius, fill, view);
        else if (radius >= 0.5 && QRectF(view).intersects(reach))
            m_discs.draw(painter, *position, radius, fill);
        const NameLabel &name = m_labels.nameLabel(QStringLiteral("%1 (%2)").arg(icon.name, icon.healthWord));
        const QPoint topLeft(position->x() - name.image.width() / 2, position->y() - name.image.height() / 2);
        if (view.intersects(QRect(topLeft, name.image.size())))
            painter.drawImage(topLeft, name.image);
    });
}

} // namespace vellmar::map
