#pragma once

#include <QImage>

#include <array>

namespace vellmar::map {

// The map picture and copies reduced to a half and a quarter, each pixel the
// average of the pixels it covers. Zoomed out, drawing samples a reduced copy
// instead of skipping over the full picture: far fewer memory reads, and a
// calmer picture.
class PictureLevels
{
public:
    // The picture to draw at zoom z and how many picture pixels one of its
    // pixels spans (1, 2 or 4). The reduced copies are made on first need.
    struct Level
    {
        const QImage *image = nullptr;
        int span = 1;
    };
    Level levelFor(const QImage &picture, double z);

    // Makes the reduced copies now, so that the first zoomed-out drawing does
    // not wait for them.
    void prepare(const QImage &picture);

private:
    void rebuildFor(const QImage &picture);

    qint64 m_pictureKey = 0;
    // [0]: half, [1]: quarter; null where memory ran short.
    std::array<QImage, 2> m_reduced;
};

} // namespace vellmar::map
