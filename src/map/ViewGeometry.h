#pragma once

#include <QPoint>
#include <QPointF>

#include <cstdint>
#include <optional>

namespace vellmar::map {

// The scroll bar settings that let the view's centre travel over the whole
// picture, whatever the zoom.
struct ScrollRange
{
    int minimum = 0;
    int maximum = 0;
    int smallChange = 4;
    int largeChange = 20;
};

// -extent/2 to extent/2, halves to even (801 -> -400..400). Empty when the
// ends do not fit the 16-bit scroll values.
std::optional<ScrollRange> scrollRangeFor(int pictureExtent);

// 1.5 raised to (step - (minimum + maximum) / 2): the middle step shows the
// picture 1:1 and each step up enlarges by 1.5.
double zoomFactor(int step, int minimum, int maximum);

// Where map pixels land in the view and back. The scroll position (hs, vs) is
// the map point, measured from the picture's centre, shown at the view's centre.
class ViewGeometry
{
public:
    int pictureWidth = 0;  // W
    int pictureHeight = 0; // H
    int viewWidth = 0;     // sw
    int viewHeight = 0;    // sh
    int hs = 0;
    int vs = 0;
    double z = 1.0;

    // sw/2, sh/2, W/2 and H/2 as whole numbers, halves to even.
    int cx() const;
    int cy() const;
    int iw() const;
    int ih() const;

    // Map to view, unrounded: cx + (map x - hs - iw) * z.
    double viewX(std::int32_t mapX) const;
    double viewY(std::int32_t mapY) const;
    // The same, rounded to whole pixels; empty when a coordinate leaves the
    // 32-bit range (far outside any view).
    std::optional<QPoint> viewPixel(std::int32_t mapX, std::int32_t mapY) const;
    // Where the picture's top-left corner is drawn.
    QPointF pictureOrigin() const;

    // View to map: (X - sw/2) / z + W/2 + hs, with the exact halves.
    QPointF mapPoint(QPointF view) const;
    // The same, rounded to whole map pixels, halves to even.
    std::optional<QPoint> mapPixel(QPointF view) const;
};

} // namespace vellmar::map
