#include "LabelCache.h"

#include "core/Numbers.h"

#include <QPainter>

namespace vellmar::map {

namespace {

// Bounds the memory that labels of changed or removed markers keep.
constexpr qsizetype maxCachedLabels = 8192;

// x - width/2 rounded, halves to even, for an x of the given parity.
int centredLeft(int x, int width) { return core::roundToInt32(x - width / 2.0).value_or(0); }

} // namespace

LabelCache::LabelCache(const QFont &font)
    : m_font(font)
    , m_metrics(font)
    , m_lineHeight(QFontMetrics(font).height())
    , m_ascent(QFontMetrics(font).ascent())
{}

int LabelCache::textWidth(const QString &text) const
{
    return core::roundToInt32(m_metrics.horizontalAdvance(text)).value_or(0);
}

const MarkerLabel &LabelCache::markerLabel(const QString &info, const QString &player, bool oddX)
{
    Key key{info, player, oddX};
    auto found = m_labels.constFind(key);
    if (found != m_labels.constEnd())
        return *found;
    if (m_labels.size() >= maxCachedLabels)
        m_labels.clear();
    const QString line2 = u'(' + player + u')';
    return *m_labels.insert(key, draw(info, line2, oddX));
}

const NameLabel &LabelCache::nameLabel(const QString &name)
{
    auto found = m_names.constFind(name);
    if (found != m_names.constEnd())
        return *found;
    if (m_names.size() >= maxCachedLabels)
        m_names.clear();
    return *m_names.insert(name, drawName(name));
}

NameLabel LabelCache::drawName(const QString &name) const
{
    NameLabel label;
    label.image = QImage(std::max(1, textWidth(name)), m_lineHeight, QImage::Format_ARGB32_Premultiplied);
    label.image.fill(Qt::transparent);
    QPainter painter(&label.image);
    painter.setPen(Qt::black);
    painter.setFont(m_font);
    painter.drawText(0, m_ascent, name);
    return label;
}

MarkerLabel LabelCache::draw(const QString &line1, const QString &line2, bool oddX) const
{
    const int t = m_lineHeight;
    const int w1 = textWidth(line1);
    const int w2 = textWidth(line2);
    const int w = std::max(w1, w2);
    // Any x of the right parity gives the same offsets; take 0 or 1.
    const int x = oddX ? 1 : 0;
    const int textLeft = centredLeft(x, w);
    const int boxLeft = textLeft - 1; // the frame: one pixel beside the wider line
    const int boxWidth = w + 3;       // frame columns at boxLeft and boxLeft + w + 2
    const int boxHeight = 2 * t + 3;  // frame rows at ty - 1 and ty + 2t + 1

    MarkerLabel label;
    label.left = boxLeft - x;
    label.textHeight = t;
    label.image = QImage(boxWidth, boxHeight, QImage::Format_RGB32);
    label.image.fill(Qt::white);
    QPainter painter(&label.image);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, boxWidth - 1, boxHeight - 1);
    painter.setFont(m_font);
    painter.drawText(centredLeft(x, w1) - boxLeft, 1 + m_ascent, line1);
    painter.drawText(centredLeft(x, w2) - boxLeft, 1 + t + m_ascent, line2);
    return label;
}

} // namespace vellmar::map
