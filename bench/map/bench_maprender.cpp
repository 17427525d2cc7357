// Times the map view's clear and repaint at every zoom step, still and while
// scrolling, beside the same frame with the picture alone; the same frame
// without fog, under a player's fog and under the master's; and the loading
// of a large picture.
// Usage: bench_maprender [--frames N] [--step S] [--png frame.png] [--frames-to DIR] [--no-load] [--no-fog]
// --frames-to saves the last frame of every case, to compare two builds' pixels.
#include "map/MapRenderer.h"
#include "map/MapState.h"
#include "map/PictureLoader.h"
#include "map/fog/FogMask.h"
#include "table/Collections.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace vellmar;
using namespace vellmar::map;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int mapSide = 8192;
constexpr int viewWidth = 1920;
constexpr int viewHeight = 1080;

// A picture with detail everywhere, so no part scales as a flat colour.
QImage makePicture()
{
    QImage picture(mapSide, mapSide, QImage::Format_RGB32);
    for (int y = 0; y < mapSide; ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < mapSide; ++x)
            line[x] = qRgb((x * 7 + y) & 0xFF, (x ^ y) & 0xFF, (y * 3) & 0xFF);
    }
    return picture;
}

void addRecords(table::MarkerCollection &markers, table::IconCollection &icons)
{
    QRandomGenerator random(7);
    const QStringList players{QStringLiteral("Aldric (DM)"), QStringLiteral("Brenna"), QStringLiteral("Corvin"),
                              QStringLiteral("Dagny"), QStringLiteral("Eskil")};
    for (int i = 1; i <= 1000; ++i) {
        auto m = std::make_shared<table::CMarker>();
        m->id = i;
        m->mapX = random.bounded(mapSide);
        m->mapY = random.bounded(mapSide);
        m->info = QStringLiteral("Spot %1").arg(i);
        m->player = players.at(i % players.size());
        markers.add(m);
    }
    for (int i = 1; i <= 200; ++i) {
        auto c = std::make_shared<table::CIcon>();
        c->id = i;
        c->mapX = random.bounded(mapSide);
        c->mapY = random.bounded(mapSide);
        c->size = 8 + random.bounded(32);
        c->maxHealth = 40;
        c->damage = static_cast<std::int16_t>(random.bounded(55));
        c->name = QStringLiteral("Goblin %1").arg(i);
        icons.add(c);
    }
}

// The whole map's view at a zoom step, scrolled for frame `frame` when
// scrolling: each frame then shows another part of the map.
ViewGeometry viewAt(int step, bool scrolling, int frame)
{
    ViewGeometry geometry;
    geometry.pictureWidth = mapSide;
    geometry.pictureHeight = mapSide;
    geometry.viewWidth = viewWidth;
    geometry.viewHeight = viewHeight;
    geometry.z = zoomFactor(step, 1, 11);
    if (scrolling) {
        geometry.hs = -mapSide / 2 + (frame * 37) % mapSide;
        geometry.vs = -mapSide / 2 + (frame * 23) % mapSide;
    }
    return geometry;
}

// Hidden but for rooms joined by winding corridors: about half the map.
fog::FogMask makeFog()
{
    fog::FogMask mask(QSize(mapSide, mapSide));
    mask.apply(fog::wholeMap(fog::FogMode::hide));
    QRandomGenerator random(3);
    QList<QPointF> corridor;
    for (int i = 0; i < 40; ++i) {
        const QPointF at(random.bounded(mapSide), random.bounded(mapSide));
        const QSizeF size(300 + random.bounded(1200), 300 + random.bounded(1200));
        mask.apply(fog::rectangle(QRectF(at, size), fog::FogMode::reveal));
        corridor.append(at);
    }
    for (const fog::FogStep &step : fog::brushStroke(corridor, 150, fog::FogMode::reveal))
        mask.apply(step);
    return mask;
}

struct Figures
{
    double median = 0;
    double p95 = 0;
    double worst = 0;
};

Figures summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))]; };
    return {at(0.5), at(0.95), ms.back()};
}

// Processor time of the whole process, helper threads included: on a busy
// machine the wall clock also counts the time other programs had the cores.
double processMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QImageReader::setAllocationLimit(1024);
    int frames = 200;
    QString png;
    int onlyStep = 0; // 0: every step
    QString framesTo;
    const QStringList args = app.arguments();
    const bool timeLoading = !args.contains(QStringLiteral("--no-load"));
    const bool timeFog = !args.contains(QStringLiteral("--no-fog"));
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == u"--frames")
            frames = std::max(10, args.at(i + 1).toInt());
        else if (args.at(i) == u"--step")
            onlyStep = args.at(i + 1).toInt();
        else if (args.at(i) == u"--frames-to")
            framesTo = args.at(i + 1);
        else if (args.at(i) == u"--png")
            png = args.at(i + 1);
    }

    MapState state;
    state.picture = makePicture();
    state.mapLoaded = true;
    table::MarkerCollection markers;
    table::IconCollection icons;
    addRecords(markers, icons);
    const auto selected = markers.find(500);
    MapScene scene{&markers, &icons, selected.get(), 0, true};
    QImage canvas(viewWidth, viewHeight, QImage::Format_RGB32);

    std::printf("Clear and repaint of a %dx%d view, %dx%d map, %zu markers, %zu icons, grid on, %d frames each\n",
                viewWidth, viewHeight, mapSide, mapSide, markers.size(), icons.size(), frames);
    std::printf("'picture' is the same clear and repaint with the picture alone, timed in turn with each frame;\n"
                "'cpu' columns are medians of processor time (all threads), steadier on a busy machine\n");
    std::printf("%-30s %9s %9s %9s %9s %9s %7s %9s %9s %7s\n", "case", "median ms", "p95 ms", "worst ms", "first ms",
                "picture", "ratio", "cpu ms", "pic cpu", "ratio");
    const MapScene pictureAlone{nullptr, nullptr, nullptr, 0, false};
    for (int step = 1; step <= 11; ++step) {
        if (onlyStep != 0 && step != onlyStep)
            continue;
        for (bool scrolling : {false, true}) {
            ViewGeometry geometry = viewAt(step, scrolling, 0);
            state.zoom = geometry.z;
            // A fresh renderer, prepared as a map load prepares it, so the
            // first frame shows the cost of empty label and disc caches.
            MapRenderer fresh;
            fresh.preparePicture(state.picture);
            MapRenderer pictureOnly;
            pictureOnly.preparePicture(state.picture);
            std::vector<double> times;
            std::vector<double> pictureTimes;
            std::vector<double> cpuTimes;
            std::vector<double> pictureCpuTimes;
            double first = 0;
            for (int frame = 0; frame <= frames; ++frame) {
                geometry = viewAt(step, scrolling, frame);
                auto start = Clock::now();
                double cpuStart = processMilliseconds();
                canvas.fill(MapRenderer::background());
                pictureOnly.paint(canvas, state, geometry, pictureAlone);
                const double pictureMs = millisecondsSince(start);
                const double pictureCpu = processMilliseconds() - cpuStart;
                start = Clock::now();
                cpuStart = processMilliseconds();
                canvas.fill(MapRenderer::background());
                fresh.paint(canvas, state, geometry, scene);
                const double ms = millisecondsSince(start);
                const double cpu = processMilliseconds() - cpuStart;
                if (frame == 0) {
                    first = ms;
                } else {
                    times.push_back(ms);
                    pictureTimes.push_back(pictureMs);
                    cpuTimes.push_back(cpu);
                    pictureCpuTimes.push_back(pictureCpu);
                }
            }
            const Figures f = summarise(times);
            const Figures p = summarise(pictureTimes);
            const Figures c = summarise(cpuTimes);
            const Figures pc = summarise(pictureCpuTimes);
            const QByteArray name = QStringLiteral("step %1 (z = %2)%3")
                                        .arg(step)
                                        .arg(geometry.z, 0, 'g', 4)
                                        .arg(scrolling ? QStringLiteral(", scrolling") : QString())
                                        .toUtf8();
            std::printf("%-30s %9.2f %9.2f %9.2f %9.2f %9.2f %7.1f %9.2f %9.2f %7.1f\n", name.constData(), f.median,
                        f.p95, f.worst, first, p.median, f.median / p.median, c.median, pc.median,
                        c.median / pc.median);
            if (!framesTo.isEmpty())
                canvas.save(QStringLiteral("%1/step%2%3.png").arg(framesTo).arg(step).arg(scrolling ? u"s" : u""));
            if (step == 6 && !scrolling && !png.isEmpty())
                canvas.save(png);
        }
    }

    if (timeFog) {
        const fog::FogMask fog = makeFog();
        std::printf("\nThe same clear and repaint without fog and under fog hiding %.0f%% of the map, each timed in "
                    "turn;\n'player': hidden cells opaque and fogged records left out, 'master': hidden cells "
                    "shaded\n",
                    100.0 * double(fog.hiddenCells()) / (fog.cellCount().width() * fog.cellCount().height()));
        std::printf("%-30s %9s %9s %7s %9s %7s %9s %9s %7s %9s %7s\n", "case", "no fog ms", "player", "ratio", "master",
                    "ratio", "cpu ms", "player", "ratio", "master", "ratio");
        for (int step = 1; step <= 11; ++step) {
            if (onlyStep != 0 && step != onlyStep)
                continue;
            for (bool scrolling : {false, true}) {
                ViewGeometry geometry = viewAt(step, scrolling, 0);
                state.zoom = geometry.z;
                MapScene player = scene;
                player.fog = &fog;
                MapScene master = player;
                master.fogForMaster = true;
                const MapScene *scenes[3] = {&scene, &player, &master};
                MapRenderer renderers[3];
                std::vector<double> wall[3], cpu[3];
                for (int frame = 0; frame <= frames; ++frame) {
                    geometry = viewAt(step, scrolling, frame);
                    for (int i = 0; i < 3; ++i) {
                        const auto start = Clock::now();
                        const double cpuStart = processMilliseconds();
                        canvas.fill(MapRenderer::background());
                        renderers[i].paint(canvas, state, geometry, *scenes[i]);
                        if (frame > 0) {
                            wall[i].push_back(millisecondsSince(start));
                            cpu[i].push_back(processMilliseconds() - cpuStart);
                        }
                    }
                }
                double w[3], c[3];
                for (int i = 0; i < 3; ++i) {
                    w[i] = summarise(wall[i]).median;
                    c[i] = summarise(cpu[i]).median;
                }
                const QByteArray name = QStringLiteral("step %1%2")
                                            .arg(step)
                                            .arg(scrolling ? QStringLiteral(", scrolling") : QString())
                                            .toUtf8();
                std::printf("%-30s %9.2f %9.2f %7.2f %9.2f %7.2f %9.2f %9.2f %7.2f %9.2f %7.2f\n", name.constData(),
                            w[0], w[1], w[1] / w[0], w[2], w[2] / w[0], c[0], c[1], c[1] / c[0], c[2], c[2] / c[0]);
            }
        }
    }

    if (!timeLoading)
        return 0;
    // Loading: the picture as a JPEG file, read and converted like a map load.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    if (!state.picture.save(path, "JPG", 85)) {
        std::printf("could not write %s\n", qPrintable(path));
        return 1;
    }
    std::vector<double> loads;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const PictureLoad load = loadMapPicture(path);
        // What a map load does before the first drawing: the reduced copies.
        MapRenderer().preparePicture(load.picture);
        loads.push_back(millisecondsSince(start));
        if (load.picture.isNull()) {
            std::printf("load failed: %s\n", qPrintable(load.problem));
            return 1;
        }
    }
    const Figures f = summarise(loads);
    std::printf("Loading the %dx%d JPEG and reducing it: median %.0f ms, worst %.0f ms (3 runs)\n", mapSide, mapSide,
                f.median, f.worst);
    return 0;
}
