#pragma once

#include <QRect>

#include <cmath>

// The main window is laid out in twips (1/1440 inch) and shown at 15 twips
// per pixel, the size of a twip on a standard 96-dot-per-inch screen.
namespace vellmar::ui {

inline constexpr int twipsPerPixel = 15;

struct TwipRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const TwipRect &) const = default;
};

inline int twipsToPixels(int twips) { return static_cast<int>(std::lround(twips / double(twipsPerPixel))); }
// For sizes that must not fall below a twip minimum once shown in pixels.
inline int twipsToPixelsAtLeast(int twips) { return (twips + twipsPerPixel - 1) / twipsPerPixel; }
inline int pixelsToTwips(int pixels) { return pixels * twipsPerPixel; }

inline QRect toPixels(const TwipRect &r)
{
    return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width), twipsToPixels(r.height)};
}

} // namespace vellmar::ui
