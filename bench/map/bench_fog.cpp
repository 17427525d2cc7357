// What fog costs on an 8192 x 8192 map: applying a brush stroke to the mask,
// bringing the overlays up to date after it, an undo, and drawing the
// player's overlay over a 1920 x 1080 view at several scales.
// Usage: bench_fog [--rounds N]
#include "map/fog/FogHistory.h"

#include <QGuiApplication>
#include <QPainter>

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
    QGuiApplication app(argc, argv);
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
        // One mouse move: a step of 2 points, then the overlays brought up to date.
        QList<FogStep> single;
        const double move = timeIt(
            rounds, [&] { single = brushStroke(stroke(2, ++seed), brushDiameter(cells, gridCell), FogMode::reveal); },
            [&] {
                history.push(single.front());
                history.mask().overlay(false);
                history.mask().overlay(true);
            });
        std::printf("brush %.0f grid cells: 400-point stroke %.3f ms; one mouse move with both overlays %.3f ms\n",
                    cells, apply, move);
    }

    const double fullOverlay = timeIt(
        rounds, [&] { history.push(wholeMap(FogMode::hide)); }, [&] { history.mask().overlay(false); });
    const double undo = timeIt(
        rounds,
        [&] {
            history.mask().overlay(false);
            history.push(wholeMap(FogMode::reveal));
        },
        [&] { history.undo(); });
    const double undoOverlay = timeIt(
        rounds,
        [&] {
            history.redo();
            history.mask().overlay(false);
        },
        [&] {
            history.undo();
            history.mask().overlay(false);
        });
    std::printf("whole player overlay rebuilt %.3f ms; undo %.3f ms; undo with overlay %.3f ms\n", fullOverlay, undo,
                undoOverlay);

    volatile int hidden = 0;
    const double hides = timeIt(
        rounds, [] {},
        [&] {
            for (int i = 0; i < 10000; ++i)
                hidden = hidden + history.mask().hidesRect(QRectF(i * 0.8, i * 0.8, 40, 40));
        });
    std::printf("10,000 hidesRect(40x40 px) %.3f ms; state for a late joiner %lld bytes\n", hides,
                qlonglong(history.toBytes().size()));

    // The player's overlay scaled over a full-HD view, without smoothing.
    QImage view(1920, 1080, QImage::Format_RGB32);
    const QImage &overlay = history.mask().overlay(false);
    for (const double scale : {0.125, 0.5, 1.0, 2.0}) {
        const double draw = timeIt(
            rounds, [&] { view.fill(Qt::white); },
            [&] {
                QPainter p(&view);
                p.scale(scale, scale);
                const QRectF visible = QRectF(0, 0, 1920 / scale, 1080 / scale) & QRectF(0, 0, kMapSide, kMapSide);
                const int c = history.mask().cellSize();
                const QRectF source(visible.x() / c, visible.y() / c, visible.width() / c, visible.height() / c);
                p.drawImage(visible, overlay, source);
            });
        std::printf("player overlay drawn over the view at scale %.3f: %.3f ms\n", scale, draw);
    }
    return 0;
}
