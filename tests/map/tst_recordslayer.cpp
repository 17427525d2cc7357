// The icons and markers are kept between repaints and copied straight into
// the view's pixels; these cases hold that against drawing afresh and against
// Qt's own painter.
#include "map/MapRenderer.h"
#include "map/MapState.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest/QTest>

#include <functional>
#include <memory>

using namespace vellmar;
using namespace vellmar::map;

namespace {

// A 600 x 400 map crowded with overlapping markers and named icons, shown in
// a view of `format`.
struct Crowd
{
    MapState state;
    table::MarkerCollection markers;
    table::IconCollection icons;
    ViewGeometry geometry;
    bool showGrid = true;

    explicit Crowd(int step)
    {
        state.picture = QImage(600, 400, QImage::Format_RGB32);
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 600; ++x)
                state.picture.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF));
        state.mapLoaded = true;
        geometry.pictureWidth = 600;
        geometry.pictureHeight = 400;
        geometry.viewWidth = 320;
        geometry.viewHeight = 240;
        geometry.z = state.zoom = zoomFactor(step, 1, 11);
        QRandomGenerator random(11);
        for (int i = 1; i <= 60; ++i) {
            auto icon = std::make_shared<table::CIcon>();
            icon->id = i;
            icon->mapX = random.bounded(600);
            icon->mapY = random.bounded(400);
            icon->size = 4 + random.bounded(30);
            icon->maxHealth = 30;
            icon->damage = static_cast<std::int16_t>(random.bounded(40));
            icon->name = QStringLiteral("Orc %1").arg(i);
            icons.add(icon);
        }
        // The records the changes touch are drawn last and lie in the middle of
        // the view, the icon where no marker covers it: above the map when
        // zoomed out, where everything else is one heap of labels.
        const auto changing = icons.find(60);
        changing->mapX = 250;
        changing->mapY = step <= 3 ? -400 : 185;
        changing->size = 20;
        for (int i = 1; i <= 120; ++i) {
            QPoint at(random.bounded(600), random.bounded(400));
            if (at.x() > 150 && at.x() < 350 && at.y() > 150 && at.y() < 250)
                at.ry() += 100; // keeps the middle clear
            markers.add(std::make_shared<table::CMarker>(table::CMarker{
                QStringLiteral("Spot %1").arg(i), QStringLiteral("Player %1").arg(i % 4), at.x(), at.y(), i, i % 3}));
        }
        markers.find(120)->mapX = 240;
        markers.find(120)->mapY = 160;
    }

    QImage paint(MapRenderer &renderer, QImage::Format format = QImage::Format_RGB32) const
    {
        QImage canvas(geometry.viewWidth, geometry.viewHeight, format);
        canvas.fill(MapRenderer::background());
        const auto selected = markers.find(5);
        renderer.paint(canvas, state, geometry, MapScene{&markers, &icons, selected.get(), 1, showGrid});
        return canvas.convertToFormat(QImage::Format_RGB32);
    }
    QImage paintFresh() const
    {
        MapRenderer fresh;
        return paint(fresh);
    }
};

} // namespace

class TestRecordsLayer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void copiedPixelsMatchWhatAPainterDraws_data()
    {
        QTest::addColumn<int>("step");
        for (int step : {1, 3, 6, 8, 11})
            QTest::addRow("step %d", step) << step;
    }

    // Into a format the renderer cannot write directly, every picture goes
    // through QPainter; the direct copies must land on the same pixels,
    // including where labels and names pile up.
    void copiedPixelsMatchWhatAPainterDraws()
    {
        QFETCH(int, step);
        for (int hs : {0, 37, -151}) {
            Crowd crowd(step);
            crowd.geometry.hs = hs;
            crowd.geometry.vs = hs / 2;
            MapRenderer direct;
            MapRenderer painted;
            const QImage copied = crowd.paint(direct);
            QCOMPARE(copied, crowd.paint(painted, QImage::Format_RGB888));
            QCOMPARE(crowd.paint(direct, QImage::Format_ARGB32_Premultiplied), copied);
        }
    }

    void cachedRecordsFollowEveryChange_data()
    {
        using Change = std::function<void(Crowd &)>;
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("step");
        for (int step : {1, 6}) {
            QTest::addRow("marker moves, step %d", step)
                << Change([](Crowd &c) { c.markers.find(120)->mapX += 40; }) << step;
            QTest::addRow("marker text, step %d", step)
                << Change([](Crowd &c) { c.markers.find(120)->info = QStringLiteral("Moved on"); }) << step;
            QTest::addRow("marker player, step %d", step)
                << Change([](Crowd &c) { c.markers.find(120)->player = QStringLiteral("Someone"); }) << step;
            QTest::addRow("marker removed, step %d", step)
                << Change([](Crowd &c) { c.markers.remove(QStringLiteral("120")); }) << step;
            QTest::addRow("marker added, step %d", step) << Change([](Crowd &c) {
                c.markers.add(std::make_shared<table::CMarker>(
                    table::CMarker{QStringLiteral("New"), QStringLiteral("x"), 300, 200, 500, 1}));
            }) << step;
            QTest::addRow("icon hurt, step %d", step)
                << Change([](Crowd &c) { c.icons.find(60)->damage = 29; }) << step;
            QTest::addRow("icon grows, step %d", step)
                << Change([](Crowd &c) { c.icons.find(60)->size += 20; }) << step;
            QTest::addRow("icon renamed, step %d", step)
                << Change([](Crowd &c) { c.icons.find(60)->name = QStringLiteral("Troll"); }) << step;
            QTest::addRow("zoom, step %d", step)
                << Change([](Crowd &c) { c.geometry.z = c.state.zoom = zoomFactor(4, 1, 11); }) << step;
            QTest::addRow("scroll, step %d", step) << Change([](Crowd &c) { c.geometry.hs += 1; }) << step;
        }
    }

    void cachedRecordsFollowEveryChange()
    {
        QFETCH(std::function<void(Crowd &)>, change);
        QFETCH(int, step);
        Crowd crowd(step);
        crowd.geometry.hs = -60; // the changed records stay in view at every zoom
        crowd.geometry.vs = -20;
        MapRenderer renderer;
        const QImage before = crowd.paint(renderer);
        // A still repaint reuses what was worked out; from the third on it
        // copies the rows the second one kept.
        QCOMPARE(crowd.paint(renderer), before);
        QCOMPARE(crowd.paint(renderer), before);
        QCOMPARE(renderer.recordsRebuilds(), 1);

        change(crowd);
        const QImage after = crowd.paint(renderer);
        QVERIFY(after != before);
        QCOMPARE(after, crowd.paintFresh());
        QCOMPARE(renderer.recordsRebuilds(), 2);
    }

    void gridSwitchAndSelectionNeedNoNewRecords()
    {
        Crowd crowd(2);
        MapRenderer renderer;
        crowd.paint(renderer);
        crowd.showGrid = false;
        QCOMPARE(crowd.paint(renderer), crowd.paintFresh());
        QCOMPARE(renderer.recordsRebuilds(), 1);
    }
};

QTEST_MAIN(TestRecordsLayer)
#include "tst_recordslayer.moc"
