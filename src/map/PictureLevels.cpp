#include "PictureLevels.h"

namespace vellmar::map {

namespace {

// Half the size, rounded up; each pixel averages the up to four it covers.
// Works on premultiplied colours, so transparent pixels weigh correctly.
QImage halved(const QImage &source)
{
    const int width = (source.width() + 1) / 2;
    const int height = (source.height() + 1) / 2;
    QImage result(width, height, source.format());
    if (result.isNull())
        return result;
    for (int y = 0; y < height; ++y) {
        const auto *top = reinterpret_cast<const QRgb *>(source.constScanLine(2 * y));
        const auto *bottom =
            reinterpret_cast<const QRgb *>(source.constScanLine(std::min(2 * y + 1, source.height() - 1)));
        auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int x0 = 2 * x;
            const int x1 = std::min(x0 + 1, source.width() - 1);
            const QRgb a = top[x0], b = top[x1], c = bottom[x0], d = bottom[x1];
            const auto mean = [&](int shift) {
                const unsigned sum =
                    ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + ((c >> shift) & 0xFF) + ((d >> shift) & 0xFF);
                return ((sum + 2) / 4) << shift;
            };
            out[x] = mean(24) | mean(16) | mean(8) | mean(0);
        }
    }
    return result;
}

bool reducible(const QImage &picture)
{
    return picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

void PictureLevels::prepare(const QImage &picture)
{
    if (picture.cacheKey() != m_pictureKey)
        rebuildFor(picture);
}

PictureLevels::Level PictureLevels::levelFor(const QImage &picture, double z)
{
    // A reduced copy is used only while each of its pixels still covers at
    // least one view pixel, so it never shows coarser than the full picture
    // would.
    const int wanted = z <= 0.25 ? 2 : (z <= 0.5 ? 1 : 0);
    if (wanted == 0 || !reducible(picture))
        return {&picture, 1};
    prepare(picture);
    for (int level = wanted; level >= 1; --level) {
        const QImage &reduced = m_reduced[level - 1];
        if (!reduced.isNull())
            return {&reduced, 1 << level};
    }
    return {&picture, 1};
}

void PictureLevels::rebuildFor(const QImage &picture)
{
    m_pictureKey = picture.cacheKey();
    m_reduced = {};
    if (!reducible(picture))
        return;
    m_reduced[0] = halved(picture);
    if (!m_reduced[0].isNull())
        m_reduced[1] = halved(m_reduced[0]);
}

} // namespace vellmar::map
