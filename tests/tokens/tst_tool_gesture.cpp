// The palette tools on the map, and the measuring line's arithmetic.
#include "map/GridMeasure.h"
#include "table/Table.h"
#include "tokens/pointer/ToolGesture.h"

#include <QtTest/QTest>

#include <limits>

using namespace vellmar;
using tokens::PaletteTool;
using tokens::ToolRequest;
using Kind = tokens::ToolRequest::Kind;

namespace {

// A copy whose own player id is 4, with a pointer that hovers before each
// press as the window's mouse moves do.
struct Map
{
    table::Table state;
    tokens::MapPointer pointer{state.identity(), state.records()};
    tokens::ToolGesture gesture{pointer, state.identity(), state.records()};

    explicit Map(bool master = false)
    {
        state.identity().ownPlayerID = 4;
        state.identity().isMaster = master;
    }
    std::shared_ptr<table::CMarker> marker(std::int32_t id, QPoint at, std::int32_t owner)
    {
        auto m = std::make_shared<table::CMarker>(table::CMarker{QStringLiteral("m"), {}, at.x(), at.y(), id, owner});
        state.markers.add(m);
        return m;
    }
    std::shared_ptr<table::CIcon> icon(std::int32_t id, QPoint at, std::int32_t owner)
    {
        auto i = std::make_shared<table::CIcon>();
        i->id = id;
        i->mapX = at.x();
        i->mapY = at.y();
        i->size = 10;
        i->UserID = owner;
        state.icons.add(i);
        return i;
    }
    ToolRequest gesture_(QPoint from, QPoint to)
    {
        pointer.SelectUnderPointer(from);
        gesture.press(from);
        gesture.move(to);
        bool repaint = false;
        return gesture.release(to, repaint);
    }
    ToolRequest click(QPoint at) { return gesture_(at, at); }
};

} // namespace

class TestToolGesture : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void objectsPlaceMoveAndRemoveOwnIconsOnly()
    {
        Map map;
        map.gesture.setTool(PaletteTool::Objects);
        const ToolRequest place = map.click({50, 60});
        QCOMPARE(place.kind, Kind::PlaceIcon);
        QCOMPARE(place.at, QPoint(50, 60));

        const auto own = map.icon(1, {200, 200}, 4);
        QCOMPARE(map.gesture_({205, 200}, {305, 210}).kind, Kind::None);
        QCOMPARE(QPoint(own->mapX, own->mapY), QPoint(300, 210)); // the grab offset is kept
        QCOMPARE(map.click({300, 210}).kind, Kind::RemoveIcon);
        QCOMPARE(map.state.currentIcon, own);

        // Someone else's icon neither moves nor is offered for removal.
        const auto other = map.icon(2, {500, 500}, 9);
        QCOMPARE(map.gesture_({500, 500}, {520, 520}).kind, Kind::None);
        QCOMPARE(QPoint(other->mapX, other->mapY), QPoint(500, 500));

        // Markers are not this tool's business: not dragged, and a click there places an icon.
        const auto marker = map.marker(1, {700, 700}, 4);
        QCOMPARE(map.gesture_({700, 700}, {720, 700}).kind, Kind::PlaceIcon);
        QCOMPARE(marker->mapX, 700);
    }

    void markersFollowTheMarkerRights_data()
    {
        QTest::addColumn<bool>("master");
        QTest::addColumn<int>("owner");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<bool>("removable");
        QTest::newRow("own marker") << false << 4 << true << true;
        QTest::newRow("another player's") << false << 9 << false << false;
        QTest::newRow("master, a player's") << true << 9 << false << true;
        QTest::newRow("master, own") << true << 4 << true << true;
    }

    void markersFollowTheMarkerRights()
    {
        QFETCH(bool, master);
        QFETCH(int, owner);
        QFETCH(bool, moves);
        QFETCH(bool, removable);
        Map map(master);
        map.gesture.setTool(PaletteTool::Markers);
        const auto marker = map.marker(1, {100, 100}, owner);

        const ToolRequest dragged = map.gesture_({100, 100}, {160, 130});
        QCOMPARE(QPoint(marker->mapX, marker->mapY), moves ? QPoint(160, 130) : QPoint(100, 100));
        QCOMPARE(dragged.kind, moves ? Kind::AnnounceMarker : (removable ? Kind::RemoveMarker : Kind::None));
        if (moves)
            QCOMPARE(dragged.marker, marker);

        const QPoint now(marker->mapX, marker->mapY);
        QCOMPARE(map.click(now).kind, removable ? Kind::RemoveMarker : Kind::None);
        QCOMPARE(map.click({900, 900}).kind, Kind::PlaceMarker);
    }

    void measuringDrawsALineUntilTheNextPressOrTool()
    {
        Map map;
        QVERIFY(!map.gesture.measured());
        map.gesture.setTool(PaletteTool::Measure);
        const auto marker = map.marker(1, {10, 10}, 4);
        map.pointer.SelectUnderPointer({10, 10});
        QVERIFY(map.gesture.press({10, 10}));
        QVERIFY(map.gesture.move({40, 50}));
        bool repaint = false;
        QCOMPARE(map.gesture.release({40, 50}, repaint).kind, Kind::None);
        QVERIFY(repaint);
        QCOMPARE(map.gesture.measured()->from, QPoint(10, 10));
        QCOMPARE(map.gesture.measured()->to, QPoint(40, 50));
        QCOMPARE(marker->mapX, 10); // measuring over a marker leaves it alone
        // The line stays after the release; the pointer moving alone does not change it.
        QVERIFY(!map.gesture.move({90, 90}));
        QCOMPARE(map.gesture.measured()->to, QPoint(40, 50));
        map.gesture.setTool(PaletteTool::Objects);
        QVERIFY(!map.gesture.measured());
    }

    void gridMeasureCountsCells_data()
    {
        QTest::addColumn<double>("map10Size");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QString>("label");
        // Cells are map10Size / 2 wide.
        QTest::newRow("four cells across") << 50.0 << QPoint(0, 0) << QPoint(100, 0) << QStringLiteral("4.0 cells");
        QTest::newRow("one cell") << 50.0 << QPoint(10, 10) << QPoint(10, 35) << QStringLiteral("1 cell");
        QTest::newRow("diagonal 3-4-5") << 20.0 << QPoint(0, 0) << QPoint(30, 40) << QStringLiteral("5.0 cells");
        QTest::newRow("default grid") << 22.56 << QPoint(0, 0) << QPoint(0, 56) << QStringLiteral("5.0 cells");
        QTest::newRow("no length") << 50.0 << QPoint(7, 7) << QPoint(7, 7) << QStringLiteral("0.0 cells");
        QTest::newRow("no grid") << 0.0 << QPoint(0, 0) << QPoint(300, 400) << QStringLiteral("500 px");
        QTest::newRow("negative grid") << -4.0 << QPoint(0, 0) << QPoint(3, 4) << QStringLiteral("5 px");
        const int lo = std::numeric_limits<int>::min();
        const int hi = std::numeric_limits<int>::max();
        QTest::newRow("corner to corner")
            << 2.0 << QPoint(lo, 0) << QPoint(hi, 0) << QStringLiteral("4294967295.0 cells");
    }

    void gridMeasureCountsCells()
    {
        QFETCH(double, map10Size);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QString, label);
        const map::GridMeasure measure(map10Size);
        QCOMPARE(measure.label(from, to), label);
        QCOMPARE(measure.label(to, from), label);
        QCOMPARE(measure.cells(from, to).has_value(), map10Size > 0);
    }
};

QTEST_MAIN(TestToolGesture)
#include "tst_tool_gesture.moc"
