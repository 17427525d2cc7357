#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QString>

namespace vellmar::map {

// A marker's label drawn once into an opaque picture, so a repaint only
// copies it. Where the label stands relative to the marker's view position:
// its box's left column is x + left, its top row ty - 1.
struct MarkerLabel
{
    QImage image; // the box with its frame and both lines
    int left = 0;
    int textHeight = 0; // t: height of one line
};

// An icon's name in black on a transparent ground, the size of its text.
struct NameLabel
{
    QImage image;
};

// Labels by text. Placing the lines rounds halves to even, so a label looks
// slightly different at even and odd x; both forms are kept.
class LabelCache
{
public:
    explicit LabelCache(const QFont &font);

    const MarkerLabel &markerLabel(const QString &info, const QString &player, bool oddX);
    const NameLabel &nameLabel(const QString &name);
    const QFont &font() const { return m_font; }
    int textHeight() const { return m_lineHeight; }
    int ascent() const { return m_ascent; }
    // The width of a line, rounded to whole pixels, halves to even.
    int textWidth(const QString &text) const;

private:
    struct Key
    {
        QString info;
        QString player;
        bool oddX;
        bool operator==(const Key &other) const = default;
        friend size_t qHash(const Key &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.info, key.player, key.oddX);
        }
    };

    MarkerLabel draw(const QString &line1, const QString &line2, bool oddX) const;
    NameLabel drawName(const QString &name) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    int m_lineHeight;
    int m_ascent;
    QHash<Key, MarkerLabel> m_labels;
    QHash<QString, NameLabel> m_names;
};

} // namespace vellmar::map
