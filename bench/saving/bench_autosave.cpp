// Autosave of a table with a 20 MB picture and 1,000 markers: how long one
// takes, and the longest pause of the interface thread while autosaves run,
// beside the longest pause of the same loop when idle.
#include "../../tests/saving/TableSamples.h"
#include "combat/TurnOrder.h"
#include "saving/Autosaver.h"
#include "saving/TableFile.h"
#include "saving/TableState.h"
#include "table/Records.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace vellmar;

namespace {

// Measures the longest gap between the loop's turns with a 1 ms timer.
class GapMeter
{
public:
    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            if (now - m_last > 50'000'000)
                ++m_over50;
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_over50 = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start(1);
    }
    double stopMs()
    {
        m_timer.stop();
        return double(m_longest) / 1e6;
    }
    int over50() const { return m_over50; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    int m_over50 = 0;
};

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("map.jpg"));
    if (!testing::writePictureFile(picture, 20 * 1024 * 1024))
        return 1;

    // The live table, as the main window holds it.
    table::Records records;
    combat::TurnOrder order;
    const saving::TableContent sample = testing::sampleTable(1000, 50);
    for (const auto &marker : sample.markers)
        records.markers.add(std::make_shared<table::CMarker>(marker));
    for (const auto &icon : sample.icons)
        records.icons.add(std::make_shared<table::CIcon>(icon));
    const auto restored = combat::TurnOrder::fromState(sample.combat);
    order = *restored;
    double longestSnapshotMs = 0;
    const auto snapshot = [&] {
        QElapsedTimer t;
        t.start();
        saving::TableSnapshot s{saving::contentOf(records, order), picture, false};
        s.content.map = sample.map;
        longestSnapshotMs = std::max(longestSnapshotMs, double(t.nsecsElapsed()) / 1e6);
        return s;
    };

    GapMeter meter;
    const int saves = 6;
    saving::Autosaver autosaver(dir.filePath(QStringLiteral("autosave")), snapshot, std::chrono::milliseconds(20));
    QElapsedTimer each;
    QList<double> times;
    int done = 0;
    QObject::connect(&autosaver, &saving::Autosaver::saved, [&] {
        times << double(each.nsecsElapsed()) / 1e6;
        ++done;
        records.markers.find(1)->mapX += 1; // a change, so the next tick saves
        each.start();
    });
    meter.start();
    each.start();
    autosaver.start();
    while (done < saves)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const qint64 busyMs = meter.elapsedMs();
    const double busyGap = meter.stopMs();
    const int busyOver = meter.over50();
    autosaver.finish();

    // The same loop for as long, with nothing to save.
    meter.start();
    runFor(int(busyMs));
    const double idleGap = meter.stopMs();
    const int idleOver = meter.over50();

    std::printf("autosave of a table with a 20 MB picture, 1000 markers, 50 icons\n");
    std::printf("  first autosave (hashes the picture):     %7.1f ms\n", times.first());
    std::sort(times.begin() + 1, times.end());
    std::printf("  later autosaves, median of %lld:          %7.1f ms\n", times.size() - 1,
                times.at(1 + (times.size() - 1) / 2));
    std::printf("  (each includes up to 20 ms waiting for the next tick)\n");
    std::printf("  longest copy of the table (UI thread):   %7.2f ms\n", longestSnapshotMs);
    std::printf("  over %lld ms each, a 1 ms timer on the interface thread:\n", busyMs);
    std::printf("  longest event-loop pause, idle:          %7.1f ms   (%d pauses over 50 ms)\n", idleGap, idleOver);
    std::printf("  longest event-loop pause, autosaving:    %7.1f ms   (%d pauses over 50 ms; goal < 50 ms)\n", busyGap,
                busyOver);
    return 0;
}
