#pragma once

#include <QImage>

#include <algorithm>
#include <thread>
#include <vector>

namespace vellmar::samplegen {

// Calls fn(y, line) for every row of a 32-bit image, rows shared out among
// the machine's cores. Per-pixel textures depend on the position only, so the
// result does not depend on how the rows are split.
template <typename Fn>
void forEachRow(QImage &img, const Fn &fn)
{
    uchar *bits = img.bits(); // detaches once, before any thread starts
    const qsizetype stride = img.bytesPerLine();
    const int height = img.height();
    const int workers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
    auto run = [&](int first) {
        for (int y = first; y < height; y += workers)
            fn(y, reinterpret_cast<QRgb *>(bits + y * stride));
    };
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w)
        threads.emplace_back(run, w);
    run(0);
    for (std::thread &t : threads)
        t.join();
}

} // namespace vellmar::samplegen
