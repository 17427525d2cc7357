#include "table/Table.h"
#include "tokens/pointer/MapPointer.h"

#include <QtTest/QTest>

using namespace vellmar;
using tokens::MapPointer;

namespace {

std::shared_ptr<table::CMarker> addMarker(table::Table &state, std::int32_t id, QPoint at, std::int32_t owner)
{
    auto marker = std::make_shared<table::CMarker>();
    marker->id = id;
    marker->mapX = at.x();
    marker->mapY = at.y();
    marker->UserID = owner;
    state.markers.add(marker);
    return marker;
}

std::shared_ptr<table::CIcon> addIcon(table::Table &state, std::int32_t id, QPoint at, std::int32_t size,
                                      std::int32_t owner)
{
    auto icon = std::make_shared<table::CIcon>();
    icon->id = id;
    icon->mapX = at.x();
    icon->mapY = at.y();
    icon->size = size;
    icon->UserID = owner;
    state.icons.add(icon);
    return icon;
}

} // namespace

class TestMapPointer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hoverReachAndPrecedence()
    {
        table::Table state;
        MapPointer pointer(state.identity(), state.records());
        const auto first = addMarker(state, 1, {100, 100}, 0);

        // Exactly 5 map pixels away is within reach; (4, 4) is not.
        QVERIFY(pointer.SelectUnderPointer({103, 104}));
        QCOMPARE(state.currentMarker, first);
        QVERIFY(!pointer.SelectUnderPointer({105, 100})); // still the same marker: no repaint
        QVERIFY(pointer.SelectUnderPointer({104, 104}));
        QVERIFY(!state.currentMarker);
        QVERIFY(!pointer.SelectUnderPointer({105, 101}));

        // Of two markers in reach the later one wins; a marker beats an icon.
        const auto second = addMarker(state, 2, {102, 100}, 0);
        const auto icon = addIcon(state, 1, {100, 100}, 30, 0);
        pointer.SelectUnderPointer({101, 100});
        QCOMPARE(state.currentMarker, second);
        QVERIFY(!state.currentIcon);

        // The icon's rim counts.
        QVERIFY(pointer.SelectUnderPointer({130, 100}));
        QCOMPARE(state.currentIcon, icon);
        QVERIFY(!state.currentMarker);
        QVERIFY(pointer.SelectUnderPointer({131, 100}));
        QVERIFY(!state.currentIcon);
    }

    void menuRightsFollowOwnershipAndRole()
    {
        table::Table state;
        state.ownPlayerID = 7;
        state.isMaster = false;
        MapPointer pointer(state.identity(), state.records());
        addMarker(state, 1, {0, 0}, 7);
        addMarker(state, 2, {100, 0}, 9);
        addIcon(state, 1, {200, 0}, 10, 7);
        addIcon(state, 2, {300, 0}, 10, 9);

        const auto rightsAt = [&](QPoint at) {
            pointer.SelectUnderPointer(at);
            const auto r = pointer.menuRights();
            return QList<bool>{r.iconCommands, r.modifyMarker, r.removeMarker};
        };
        QCOMPARE(rightsAt({50, 50}), (QList<bool>{false, false, false})); // nothing under the pointer
        QCOMPARE(rightsAt({0, 0}), (QList<bool>{false, true, true}));     // own marker
        QCOMPARE(rightsAt({100, 0}), (QList<bool>{false, false, false})); // another's, as a player
        QCOMPARE(rightsAt({200, 0}), (QList<bool>{true, false, false}));  // own icon
        QCOMPARE(rightsAt({300, 0}), (QList<bool>{false, false, false})); // another's icon
        state.isMaster = true;
        QCOMPARE(rightsAt({100, 0}), (QList<bool>{false, false, true})); // the master removes any marker
        // A marker over an own icon hides the icon's commands.
        addMarker(state, 3, {200, 0}, 9);
        QCOMPARE(rightsAt({200, 0}), (QList<bool>{false, false, true}));
    }

    void draggingKeepsTheGrabOffset()
    {
        table::Table state;
        state.ownPlayerID = 7;
        MapPointer pointer(state.identity(), state.records());
        const auto own = addMarker(state, 1, {100, 100}, 7);
        const auto other = addMarker(state, 2, {300, 300}, 9);

        pointer.SelectUnderPointer({103, 96});
        QVERIFY(pointer.beginDrag({103, 96}));
        QVERIFY(!pointer.SelectUnderPointer({300, 300})); // hover is suspended while dragging
        QVERIFY(pointer.dragTo({153, 46}));
        QCOMPARE(QPoint(own->mapX, own->mapY), QPoint(150, 50)); // moved by the pointer's movement
        QCOMPARE(pointer.endDrag(), own);
        QVERIFY(!state.currentMarker);
        QVERIFY(!pointer.dragging());

        // Pressing on another's marker starts nothing, for the master too.
        state.isMaster = true;
        pointer.SelectUnderPointer({300, 300});
        QVERIFY(!pointer.beginDrag({300, 300}));
        QVERIFY(!pointer.dragTo({0, 0}));
        QCOMPARE(QPoint(other->mapX, other->mapY), QPoint(300, 300));

        // An own icon moves too, but the release has nothing to announce.
        const auto icon = addIcon(state, 1, {500, 500}, 20, 7);
        pointer.SelectUnderPointer({510, 500});
        QVERIFY(pointer.beginDrag({510, 500}));
        pointer.dragTo({520, 510});
        QCOMPARE(QPoint(icon->mapX, icon->mapY), QPoint(510, 510));
        QCOMPARE(pointer.endDrag(), nullptr);
    }

    void dragArithmeticSaturatesAtThePlaneEdge()
    {
        table::Table state;
        MapPointer pointer(state.identity(), state.records());
        const auto far = addIcon(state, 1, {INT32_MAX, 0}, INT32_MAX, 0);
        pointer.SelectUnderPointer({0, 0});
        QVERIFY(pointer.beginDrag({0, 0}));
        pointer.dragTo({INT32_MAX, 0});
        QCOMPARE(far->mapX, INT32_MAX);
        pointer.endDrag();

        // A marker received at the far corner is out of reach of the pointer on the map.
        addMarker(state, 1, {INT32_MIN, INT32_MIN}, 9);
        QVERIFY(!pointer.SelectUnderPointer({0, 0}));
        QVERIFY(!state.currentMarker);
        QVERIFY(pointer.SelectUnderPointer({INT32_MIN + 3, INT32_MIN + 4}));
    }
};

QTEST_GUILESS_MAIN(TestMapPointer)
#include "tst_map_pointer.moc"
