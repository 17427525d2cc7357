// What fog costs on an 8192 x 8192 map: applying a brush stroke to the mask,
// one mouse move of a stroke, an undo, the hidden-spot checks that drawing
// records makes, and the size of the fog a late joiner gets. Drawing the fog
// is timed with the rest of the view by bench_maprender.
// Usage: bench_fog [--rounds N]
#include "map/fog/FogHistory.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace vellmar::map::fog;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMapSide = 8192;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median milliseconds of `rounds` runs of `work`, each after `prepare`.
double timeIt(int rounds, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        const auto start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(ms);
}

// A wavy stroke of `points` mouse positions across the map.
QList<QPointF> stroke(int points, int seed)
{
    QList<QPointF> out;
    for (int i = 0; i < points; ++i)
        out.append(QPointF(500 + i * 7000.0 / points, 4000 + 1500 * std::sin(i / 15.0 + seed)));
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 15;
    const QStringList args = app.arguments();
    if (const auto at = args.indexOf(QStringLiteral("--rounds")); at >= 0 && at + 1 < args.size())
        rounds = std::max(1, args.at(at + 1).toInt());

    const double gridCell = 70; // picture pixels per grid cell on a large map
    FogHistory history(QSize(kMapSide, kMapSide));
    history.push(wholeMap(FogMode::hide));
    std::printf("mask %dx%d cells of %d px; %d rounds, medians\n", history.mask().cellCount().width(),
                history.mask().cellCount().height(), history.mask().cellSize(), rounds);

    for (const double cells : {1.0, 3.0, 8.0}) {
        int seed = 0;
        const auto steps = [&] {
            return brushStroke(stroke(400, ++seed), brushDiameter(cells, gridCell), FogMode::reveal);
        };
        QList<FogStep> prepared;
        const double apply = timeIt(
            rounds, [&] { prepared = steps(); },
            [&] {
                for (const FogStep &step : prepared)
                    history.push(step);
            });
        // One mouse move: a step of 2 points.
        QList<FogStep> single;
        const double move = timeIt(
            rounds, [&] { single = brushStroke(stroke(2, ++seed), brushDiameter(cells, gridCell), FogMode::reveal); },
            [&] { history.push(single.front()); });
        std::printf("brush %.0f grid cells: 400-point stroke %.3f ms; one mouse move %.3f ms\n", cells, apply, move);
    }

    const double undo = timeIt(
        rounds, [&] { history.push(wholeMap(FogMode::reveal)); }, [&] { history.undo(); });
    std::printf("undo of a whole-map step %.3f ms\n", undo);

    volatile int hidden = 0;
    const double hides = timeIt(
        rounds, [] {},
        [&] {
            for (int i = 0; i < 10000; ++i)
                hidden = hidden + history.mask().hidesRect(QRectF(i * 0.8, i * 0.8, 40, 40));
        });
    std::printf("10,000 hidesRect(40x40 px) %.3f ms; state for a late joiner %lld bytes\n", hides,
                qlonglong(history.toBytes().size()));

    return 0;
}
