#pragma once

#include <QColor>
#include <QRgb>

#include <algorithm>

namespace vellmar::samplegen {

// Floating-point colour for per-pixel shading; channels 0..255.
struct Rgb
{
    double r = 0;
    double g = 0;
    double b = 0;

    Rgb operator*(double k) const { return {r * k, g * k, b * k}; }
    Rgb operator+(const Rgb &o) const { return {r + o.r, g + o.g, b + o.b}; }

    QRgb toQRgb() const
    {
        auto c = [](double v) { return std::clamp(static_cast<int>(v + 0.5), 0, 255); };
        return qRgb(c(r), c(g), c(b));
    }
    QColor toQColor() const { return QColor::fromRgb(toQRgb()); }
};

inline Rgb mix(const Rgb &a, const Rgb &b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline Rgb fromQRgb(QRgb c) { return {double(qRed(c)), double(qGreen(c)), double(qBlue(c))}; }

// 0 at t <= e0, 1 at t >= e1, smooth between.
inline double smoothstep(double e0, double e1, double t)
{
    const double x = std::clamp((t - e0) / (e1 - e0), 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

} // namespace vellmar::samplegen
