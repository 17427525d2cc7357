#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPoint>

class QPainter;

namespace vellmar::map {

// Outlined discs drawn once per radius and colour and then only copied: a
// thousand markers would otherwise each be rasterised anew on every repaint.
// A disc is centred on the middle of its centre pixel, so a copy at any whole
// pixel looks exactly like drawing it there.
class DiscSprites
{
public:
    // Draws a disc of `radius` view pixels around pixel `centre`, filled with
    // `fill` and outlined one pixel wide in black.
    void draw(QPainter &painter, QPoint centre, double radius, QColor fill);

    // Sprites are kept up to this radius; larger discs are drawn directly.
    static constexpr double largestSpriteRadius = 128.0;

    struct Sprite
    {
        QImage image;
        int centre = 0;     // the centre pixel's column and row in the image
        bool sharp = false; // every pixel fully covered or fully clear
    };
    // The sprite for a disc up to largestSpriteRadius; it stays valid until
    // the next call.
    const Sprite &sprite(double radius, QColor fill);

private:
    struct Key
    {
        double radius;
        QRgb fill;
        bool operator==(const Key &other) const = default;
        friend size_t qHash(const Key &key, size_t seed = 0) { return qHashMulti(seed, key.radius, key.fill); }
    };
    static Sprite render(double radius, QColor fill);

    QHash<Key, Sprite> m_sprites;
};

} // namespace vellmar::map
