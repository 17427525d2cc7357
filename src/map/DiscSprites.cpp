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
    const Key key{radius, fill.rgba()};
    auto found = m_sprites.constFind(key);
    if (found == m_sprites.constEnd()) {
        if (m_sprites.size() >= maxSprites)
            m_sprites.clear();
        found = m_sprites.insert(key, render(radius, fill));
    }
    painter.drawImage(centre - QPoint(found->centre, found->centre), found->image);
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
    return sprite;
}

} // namespace vellmar::map
