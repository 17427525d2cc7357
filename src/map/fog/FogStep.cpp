#include "FogStep.h"

#include <algorithm>
#include <cmath>

namespace vellmar::map::fog {

namespace {

using session::kFogCoordinateLimit;
using session::kFogMaxPoints;

QPoint wirePoint(QPointF p)
{
    const auto clamp = [](double v) {
        return int(std::clamp(std::lround(v), -long(kFogCoordinateLimit), long(kFogCoordinateLimit)));
    };
    return {clamp(p.x()), clamp(p.y())};
}

} // namespace

FogStep wholeMap(FogMode mode) { return {FogKind::all, mode, 0, {}}; }

FogStep rectangle(const QRectF &pictureRect, FogMode mode)
{
    const QRectF r = pictureRect.normalized();
    return {FogKind::rect, mode, 0, {wirePoint(r.topLeft()), wirePoint(r.bottomRight())}};
}

FogStep polygon(const QList<QPointF> &outline, FogMode mode)
{
    FogStep step{FogKind::polygon, mode, 0, {}};
    const qsizetype n = outline.size();
    const qsizetype kept = std::min<qsizetype>(n, kFogMaxPoints);
    for (qsizetype i = 0; i < kept; ++i) {
        const qsizetype from = kept > 1 ? i * (n - 1) / (kept - 1) : 0;
        const QPoint p = wirePoint(outline.at(from));
        if (step.points.isEmpty() || step.points.back() != p)
            step.points.append(p);
    }
    return step;
}

QList<FogStep> brushStroke(const QList<QPointF> &points, double diameter, FogMode mode)
{
    const int d = int(std::clamp(std::lround(diameter), 1L, long(session::kFogMaxDiameter)));
    QList<QPoint> path;
    for (const QPointF &p : points) {
        const QPoint q = wirePoint(p);
        if (path.isEmpty() || path.back() != q)
            path.append(q);
    }
    QList<FogStep> steps;
    qsizetype start = 0;
    while (start < path.size()) {
        const qsizetype end = std::min(path.size(), start + kFogMaxPoints);
        steps.append({FogKind::brush, mode, d, path.mid(start, end - start)});
        if (end == path.size())
            break;
        start = end - 1; // the next step begins where this one ends
    }
    return steps;
}

double brushDiameter(double gridCells, double gridCellPixels) { return std::max(1.0, gridCells * gridCellPixels); }

} // namespace vellmar::map::fog
