#include "DiscSprites.h"

#include <QPainter>

#include <cmath>

namespace vellmar::map {

namespace {

// Every zoom step brings new radii; old ones are dropped now and then.
constexpr qsizetype maxSprites = 512;

QPointF middleOf(QPoint pixel) { return {pixel.x() + 0.5, pixel.y() + 0.5}; }

} // namespace

void DiscSprites::draw(QPainter &painter, QPoint centre, double radius, QColor fill)
{
    if (radius > largestSpriteRadius) {
        painter.setPen(Qt::black);
        painter.setBrush(fill);
        painter.drawEllipse(middleOf(centre), radius, radius);
        return;
    }
    const Sprite &found = sprite(radius, fill);
    painter.drawImage(centre - QPoint(found.centre, found.centre), found.image);
}

const DiscSprites::Sprite &DiscSprites::sprite(double radius, QColor fill)
{
    const Key key{radius, fill.rgba()};
    auto found = m_sprites.constFind(key);
    if (found == m_sprites.constEnd()) {
        if (m_sprites.size() >= maxSprites)
            m_sprites.clear();
        found = m_sprites.insert(key, render(radius, fill));
    }
    return *found;
}

DiscSprites::Sprite DiscSprites::render(double radius, QColor fill)
{
    Sprite sprite;
    sprite.centre = static_cast<int>(std::ceil(radius)) + 2;
    const int side = 2 * sprite.centre + 1;
    sprite.image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    sprite.image.fill(Qt::transparent);
    QPainter painter(&sprite.image);
    painter.setPen(Qt::black);
    painter.setBrush(fill);
    painter.drawEllipse(middleOf(QPoint(sprite.centre, sprite.centre)), radius, radius);
    painter.end();
    sprite.sharp = true;
    for (int y = 0; y < side && sprite.sharp; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(sprite.image.constScanLine(y));
        for (int x = 0; x < side; ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha != 0 && alpha != 255) {
                sprite.sharp = false;
                break;
            }
        }
    }
    return sprite;
}

} // namespace vellmar::map
