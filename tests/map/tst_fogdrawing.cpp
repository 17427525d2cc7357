// The fog as the view draws it: what a player's window and the master's show
// of hidden cells and of the records on them, at several zooms, and that a
// change to the mask reaches the drawing at once.
#include "map/MapRenderer.h"
#include "map/MapState.h"
#include "map/fog/FogMask.h"

#include <QImage>
#include <QtTest/QTest>

#include <cmath>
#include <memory>

using namespace vellmar;
using namespace vellmar::map;
using fog::FogMask;
using fog::FogMode;

namespace {

constexpr std::int32_t kMe = 7;
constexpr std::int32_t kOther = 8;

// A 400 x 300 picture with detail everywhere (cells of 2 pixels), in a
// 320 x 240 view; both even, so the view's middle needs no rounding.
struct FoggedScene
{
    MapState state;
    table::MarkerCollection markers;
    table::IconCollection icons;
    table::ShownIconCollection shownIcons;
    std::shared_ptr<table::CMarker> selected;
    FogMask mask{QSize(400, 300)};
    ViewGeometry geometry;

    FoggedScene(int step, int hs, int vs)
    {
        state.picture = QImage(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                state.picture.setPixel(x, y, qRgb((x * 5) & 0xFF, (y * 3) & 0xFF, 40 + (x ^ y) % 200));
        state.mapLoaded = true;
        geometry.pictureWidth = 400;
        geometry.pictureHeight = 300;
        geometry.viewWidth = 320;
        geometry.viewHeight = 240;
        geometry.hs = hs;
        geometry.vs = vs;
        geometry.z = state.zoom = zoomFactor(step, 1, 11);
        // Hidden everywhere but a room and a corridor, with a pillar in the room.
        mask.apply(fog::wholeMap(FogMode::hide));
        mask.apply(fog::rectangle(QRectF(100, 60, 160, 140), FogMode::reveal));
        for (const fog::FogStep &step :
             fog::brushStroke({QPointF(260, 130), QPointF(330, 150), QPointF(380, 250)}, 14, FogMode::reveal))
            mask.apply(step);
        mask.apply(fog::rectangle(QRectF(170, 110, 12, 18), FogMode::hide));
    }

    enum class Viewer { noFog, player, master };
    QImage paint(MapRenderer &renderer, Viewer viewer, QImage::Format format = QImage::Format_RGB32) const
    {
        QImage canvas(geometry.viewWidth, geometry.viewHeight, format);
        canvas.fill(MapRenderer::background());
        MapScene scene{&markers, &icons, selected.get(), kMe, true, &shownIcons};
        if (viewer != Viewer::noFog)
            scene.fog = &mask;
        scene.fogForMaster = viewer == Viewer::master;
        renderer.paint(canvas, state, geometry, scene);
        return canvas.convertToFormat(QImage::Format_RGB32);
    }
    QImage paintFresh(Viewer viewer) const
    {
        MapRenderer fresh;
        return paint(fresh, viewer);
    }

    // Whether the middle of a view pixel lies over a hidden cell; empty where
    // that is not clear cut: off the picture, or on a cell's edge.
    std::optional<bool> hiddenAt(int x, int y) const
    {
        const QPointF p = geometry.mapPoint(QPointF(x + 0.5, y + 0.5));
        if (p.x() < 0 || p.y() < 0 || p.x() >= 400 || p.y() >= 300)
            return std::nullopt;
        const double cx = p.x() / mask.cellSize();
        const double cy = p.y() / mask.cellSize();
        const auto onEdge = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
        if (onEdge(cx) || onEdge(cy))
            return std::nullopt;
        return mask.isHidden(int(cx), int(cy));
    }

    std::shared_ptr<table::CMarker> addMarker(int id, int mapX, int mapY, std::int32_t owner)
    {
        auto marker = std::make_shared<table::CMarker>(
            table::CMarker{QStringLiteral("Spot %1").arg(id), QStringLiteral("Someone"), mapX, mapY, id, owner});
        markers.add(marker);
        return marker;
    }
};

using Viewer = FoggedScene::Viewer;

// What the master's shade makes of a channel: dark, but still the picture.
bool shadedFrom(QRgb shaded, QRgb plain)
{
    const auto near = [](int got, int channel) { return std::abs(got - channel * 115 / 255) <= 1; };
    return near(qRed(shaded), qRed(plain)) && near(qGreen(shaded), qGreen(plain)) && near(qBlue(shaded), qBlue(plain));
}

} // namespace

class TestFogDrawing : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hiddenCellsAreOpaqueForPlayersAndShadedForTheMaster_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("hs");
        QTest::addColumn<int>("vs");
        QTest::addRow("step 1, whole picture in view") << 1 << 0 << 0;
        QTest::addRow("step 4") << 4 << 13 << -7;
        QTest::addRow("step 6, scrolled") << 6 << 31 << 5;
        QTest::addRow("step 9, at the room's edge") << 9 << -100 << -90;
        QTest::addRow("step 11, on the pillar") << 11 << -24 << -31;
    }
    void hiddenCellsAreOpaqueForPlayersAndShadedForTheMaster()
    {
        QFETCH(int, step);
        QFETCH(int, hs);
        QFETCH(int, vs);
        FoggedScene scene(step, hs, vs);
        const QImage plain = scene.paintFresh(Viewer::noFog);
        const QImage player = scene.paintFresh(Viewer::player);
        const QImage master = scene.paintFresh(Viewer::master);
        int hidden = 0, open = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const auto fogged = scene.hiddenAt(x, y);
                if (!fogged) {
                    // Off the picture or on a cell's edge: the picture or the fog, nothing else.
                    QVERIFY(player.pixel(x, y) == FogMask::kPlayerFog || player.pixel(x, y) == plain.pixel(x, y));
                    continue;
                }
                if (*fogged) {
                    ++hidden;
                    QCOMPARE(player.pixel(x, y), FogMask::kPlayerFog);
                    QVERIFY2(shadedFrom(master.pixel(x, y), plain.pixel(x, y)),
                             qPrintable(QStringLiteral("at %1, %2").arg(x).arg(y)));
                } else {
                    ++open;
                    QCOMPARE(player.pixel(x, y), plain.pixel(x, y));
                    QCOMPARE(master.pixel(x, y), plain.pixel(x, y));
                }
            }
        }
        QVERIFY(hidden > 100);
        QVERIFY(open > 100);
        // A target the layer cannot write into directly looks the same.
        MapRenderer painted;
        QCOMPARE(scene.paint(painted, Viewer::player, QImage::Format_RGB888), player);
        QCOMPARE(scene.paint(painted, Viewer::master, QImage::Format_RGB888), master);
    }

    // The shade is worked out several pixels at a time where the processor
    // allows; it must still be exactly what a painter makes of every channel
    // value, whatever the run's length.
    void theMastersShadeIsThePaintersAtEveryChannelValue()
    {
        FoggedScene scene(6, 0, 0);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                scene.state.picture.setPixel(x, y, qRgb((x + y) & 0xFF, (x * 3 + y * 7) & 0xFF, (x * 11 + y) & 0xFF));
        scene.mask.apply(fog::wholeMap(FogMode::hide));
        for (int k = 0; k < 16; ++k)
            scene.mask.apply(fog::rectangle(QRectF(45 + 19 * k, 0, 1 + k % 9, 300), FogMode::reveal));
        MapRenderer renderer;
        const QImage master = scene.paint(renderer, Viewer::master);
        QCOMPARE(scene.paint(renderer, Viewer::master, QImage::Format_RGB888), master);
        QVERIFY(master != scene.paint(renderer, Viewer::noFog));
    }

    void recordsOnFoggedSpotsAreLeftOutForPlayers_data()
    {
        QTest::addColumn<int>("step");
        for (int step : {3, 6, 9})
            QTest::addRow("step %d", step) << step;
    }
    void recordsOnFoggedSpotsAreLeftOutForPlayers()
    {
        QFETCH(int, step);
        FoggedScene scene(step, -60, 50);     // the view's middle just below the room
        scene.addMarker(1, 150, 100, kOther); // in the room, for everyone
        const QImage playerBefore = scene.paintFresh(Viewer::player);
        const QImage masterBefore = scene.paintFresh(Viewer::master);

        // Just below the room: its label would stick up into the room.
        scene.selected = scene.addMarker(2, 140, 206, kOther);
        scene.icons.add(std::make_shared<table::CIcon>(table::CIcon{0, 10, QStringLiteral("Ogre"), 12, 60, 40, 1}));
        scene.shownIcons.add(std::make_shared<table::ShownIcon>(
            table::ShownIcon{2, QStringLiteral("Wight"), QStringLiteral("Hurt"), 9, 300, 60}));
        QCOMPARE(scene.paintFresh(Viewer::player), playerBefore);
        QVERIFY(scene.paintFresh(Viewer::master) != masterBefore);

        // A player's own marker stays visible to it in the fog.
        scene.addMarker(3, 95, 215, kMe);
        const QImage withOwn = scene.paintFresh(Viewer::player);
        QVERIFY(withOwn != playerBefore);
        scene.markers.find(3)->UserID = kOther;
        QCOMPARE(scene.paintFresh(Viewer::player), playerBefore);
    }

    void changesToTheMaskShowAtOnce()
    {
        FoggedScene scene(5, 0, 0);
        scene.addMarker(1, 60, 250, kOther); // in the fog
        MapRenderer renderer;
        const QImage before = scene.paint(renderer, Viewer::player);
        QCOMPARE(scene.paint(renderer, Viewer::player), before); // settled caches
        scene.paint(renderer, Viewer::player);

        // Revealing brings back the picture and the marker on it.
        scene.mask.apply(fog::rectangle(QRectF(20, 200, 100, 80), FogMode::reveal));
        const QImage revealed = scene.paint(renderer, Viewer::player);
        QVERIFY(revealed != before);
        QCOMPARE(revealed, scene.paintFresh(Viewer::player));

        // A brush stroke looks again at the rows it touched, not at the whole mask.
        const qint64 rowsBefore = renderer.fogRowsWorkedOut();
        for (const fog::FogStep &step : fog::brushStroke({QPointF(200, 120), QPointF(230, 125)}, 8, FogMode::hide))
            scene.mask.apply(step);
        QCOMPARE(scene.paint(renderer, Viewer::player), scene.paintFresh(Viewer::player));
        QVERIFY(renderer.fogRowsWorkedOut() - rowsBefore <= 10);
        // Undo puts back every cell; the master sees the same change.
        QImage cells = scene.mask.cells();
        scene.mask.apply(fog::wholeMap(FogMode::reveal));
        QCOMPARE(scene.paint(renderer, Viewer::master), scene.paintFresh(Viewer::master));
        scene.mask.setCells(cells);
        QCOMPARE(scene.paint(renderer, Viewer::master), scene.paintFresh(Viewer::master));
        QCOMPARE(scene.paint(renderer, Viewer::player), scene.paintFresh(Viewer::player));

        // Another mask of the same size in the same place is not mistaken for the first.
        const FogMask first = scene.mask;
        scene.mask = FogMask(QSize(400, 300));
        QCOMPARE(scene.paint(renderer, Viewer::player), scene.paintFresh(Viewer::noFog));
        scene.mask = first;
        QCOMPARE(scene.paint(renderer, Viewer::player), scene.paintFresh(Viewer::player));
    }
};

QTEST_MAIN(TestFogDrawing)
#include "tst_fogdrawing.moc"
