#include "RecordingSender.h"
#include "session/protocol/Messages.h"
#include "table/Table.h"
#include "tokens/markers/MarkerExchange.h"

#include <QtTest/QTest>

using namespace vellmar;
using tokens::MarkerExchange;

namespace {

// One copy's marker world: its state, what it sent, how often it repainted.
struct Copy
{
    table::Table state;
    RecordingSender sender;
    int repaints = 0;
    MarkerExchange exchange{state, [this] { ++repaints; }};

    // The session's master is player 5 unless this copy is the master.
    void joinAs(const QString &name, std::int32_t id, bool master)
    {
        state.userName = name;
        state.ownPlayerID = id;
        state.inSession = true;
        state.isMaster = master;
        state.masterPlayerID = master ? id : 5;
        state.sender = &sender;
    }
    QStringList sentOfType(std::int32_t type) const
    {
        QStringList payloads;
        for (const auto &[to, message] : sender.sent) {
            if (message.type == type)
                payloads << message.payload;
        }
        return payloads;
    }
};

} // namespace

class TestMarkerExchange : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void offlineMarkersStayLocal()
    {
        Copy copy;
        copy.exchange.placeMarker(QStringLiteral("Here"), 40, -5);
        const auto marker = copy.state.markers.find(1);
        QVERIFY(marker && copy.state.markers.size() == 1);
        QCOMPARE(QStringList({marker->info, QString::number(marker->mapX), QString::number(marker->mapY)}),
                 QStringList({QStringLiteral("Here"), QStringLiteral("40"), QStringLiteral("-5")}));
        QCOMPARE(copy.repaints, 1);
        QVERIFY(copy.sender.sent.isEmpty());
    }

    void playersMarkerMakesOneRoundTripThroughTheMaster()
    {
        Copy master, player, other;
        master.joinAs(QStringLiteral("Scout(DM)"), 5, true);
        player.joinAs(QStringLiteral("Ranger"), 9, false);
        other.joinAs(QStringLiteral("Cleric"), 12, false);
        master.state.NextMarkerID(); // the master already handed out marker 1

        player.exchange.placeMarker(QStringLiteral("Door"), -5, 0);
        QVERIFY(player.state.markers.isEmpty()); // nothing until the master answers
        QCOMPARE(player.sentOfType(session::MSG_REQUEST_MARKER), QStringList{QStringLiteral("Door;-5;0;Ranger;9")});

        // Only the master answers a request, with exactly one announcement.
        other.exchange.receive(session::MSG_REQUEST_MARKER, 9, QStringLiteral("Door;-5;0;Ranger;9"));
        QVERIFY(other.state.markers.isEmpty());
        QVERIFY(other.sender.sent.isEmpty());
        master.exchange.receive(session::MSG_REQUEST_MARKER, 9, QStringLiteral("Door;-5;0;Ranger;9"));
        const QStringList announced = master.sentOfType(session::MSG_PLACE_MARKER);
        QCOMPARE(announced, QStringList{QStringLiteral("2;Door;-5;0;Ranger;9")});
        QCOMPARE(master.sender.sent.size(), 1);
        player.exchange.receive(session::MSG_PLACE_MARKER, 5, announced.first());
        QCOMPARE(player.state.markers.find(2)->UserID, 9);
        QCOMPARE(player.repaints, 1);
    }

    void brokenOrClashingAnnouncementsAreSkipped()
    {
        Copy copy;
        copy.joinAs(QStringLiteral("Ranger"), 9, false);
        copy.exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("3;Old;1;1;Scout(DM);5"));
        copy.exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("3;New;2;2;Scout(DM);5"));
        copy.exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("x;Bad;2;2;Scout(DM);5"));
        copy.exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("4;Short;2;2"));
        QCOMPARE(copy.state.markers.size(), std::size_t(1));
        QCOMPARE(copy.state.markers.find(3)->info, QStringLiteral("Old"));
        QCOMPARE(copy.repaints, 1);

        Copy master;
        master.joinAs(QStringLiteral("Scout(DM)"), 5, true);
        master.exchange.receive(session::MSG_REQUEST_MARKER, 9, QStringLiteral("Door;left;0;Ranger;9"));
        QVERIFY(master.state.markers.isEmpty());
        QVERIFY(master.sender.sent.isEmpty());
    }

    // A player flooding the master with requests gets its share and no more;
    // the others still get theirs, and a removal makes room again.
    void requestsStopAtAPlayersShare()
    {
        Copy master;
        master.joinAs(QStringLiteral("Scout(DM)"), 5, true);
        const auto request = [&](std::int32_t from, int n) {
            master.exchange.receive(session::MSG_REQUEST_MARKER, from,
                                    QStringLiteral("Spot %1;%1;0;P%2;%2").arg(n).arg(from));
        };
        for (int n = 0; n < int(MarkerExchange::kMostMarkersPerPlayer) + 20; ++n)
            request(9, n);
        QCOMPARE(master.state.markers.size(), MarkerExchange::kMostMarkersPerPlayer);
        request(12, 1);
        master.exchange.placeMarker(QStringLiteral("Mine"), 1, 1);
        QCOMPARE(master.state.markers.size(), MarkerExchange::kMostMarkersPerPlayer + 2);

        master.exchange.receive(session::MSG_REMOVE_MARKER, 9, QStringLiteral("1"));
        request(9, 5000);
        QCOMPARE(master.state.markers.size(), MarkerExchange::kMostMarkersPerPlayer + 2);
        QVERIFY(master.state.markers.find(MarkerExchange::kMostMarkersPerPlayer + 3) != nullptr);
    }

    void updatesAndRemovalsById()
    {
        Copy copy;
        copy.joinAs(QStringLiteral("Ranger"), 9, false);
        copy.exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("17;Trap;240;118;Scout(DM);5"));
        copy.exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("18;Gold;10;10;Ranger;9"));
        const int before = copy.repaints;

        copy.exchange.receive(session::MSG_UPDATE_MARKER, 5, QStringLiteral("17;Disarmed;250;120"));
        const auto trap = copy.state.markers.find(17);
        QCOMPARE(trap->info, QStringLiteral("Disarmed"));
        QCOMPARE(trap->mapX, 250);
        QCOMPARE(trap->mapY, 120);
        QCOMPARE(trap->player, QStringLiteral("Scout(DM)"));
        QCOMPARE(trap->UserID, 5);
        QCOMPARE(copy.repaints, before + 1);

        // Unknown ids and unreadable numbers change nothing and repaint nothing.
        copy.exchange.receive(session::MSG_UPDATE_MARKER, 5, QStringLiteral("99;X;1;1"));
        copy.exchange.receive(session::MSG_UPDATE_MARKER, 5, QStringLiteral("17;X;one;1"));
        copy.state.currentMarker = copy.state.markers.find(18);
        copy.exchange.receive(session::MSG_REMOVE_MARKER, 5, QStringLiteral("99"));
        QCOMPARE(trap->info, QStringLiteral("Disarmed"));
        QCOMPARE(copy.repaints, before + 1);
        QVERIFY(copy.state.currentMarker);

        // Removing another marker keeps the selection; removing the selected one clears it.
        copy.exchange.receive(session::MSG_REMOVE_MARKER, 5, QStringLiteral("17"));
        QVERIFY(copy.state.currentMarker);
        copy.exchange.receive(session::MSG_REMOVE_MARKER, 5, QStringLiteral("18"));
        QVERIFY(!copy.state.currentMarker);
        QVERIFY(copy.state.markers.isEmpty());
        QVERIFY(copy.sender.sent.isEmpty());
    }

    void onlyTheRightfulSenderChangesMarkers()
    {
        // Ranger (9) and Cleric (12) are players; the master is player 5.
        // Every copy holds the master's marker 1 and Ranger's marker 2.
        Copy master, ranger, cleric;
        master.joinAs(QStringLiteral("Scout(DM)"), 5, true);
        ranger.joinAs(QStringLiteral("Ranger"), 9, false);
        cleric.joinAs(QStringLiteral("Cleric"), 12, false);
        const QList<Copy *> all{&master, &ranger, &cleric};
        for (Copy *copy : all) {
            for (const QString &place :
                 {QStringLiteral("1;Trap;10;10;Scout(DM);5"), QStringLiteral("2;Door;20;20;Ranger;9")}) {
                auto marker = std::make_shared<table::CMarker>();
                const auto fields = std::get<session::PlaceMarkerPayload>(session::parsePlaceMarker(place));
                *marker = {fields.info, fields.player, fields.mapX, fields.mapY, fields.id, fields.userId};
                copy->state.markers.add(marker);
            }
        }
        const auto infos = [](const Copy &copy) {
            QStringList texts;
            for (const auto &marker : copy.state.markers.records())
                texts << QStringLiteral("%1:%2@%3").arg(marker->id).arg(marker->info).arg(marker->mapX);
            return texts;
        };
        const QStringList untouched{QStringLiteral("1:Trap@10"), QStringLiteral("2:Door@20")};

        // Forged by the Cleric under its own stamped id, whatever the fields
        // claim; and the master may not change a player's marker.
        const QList<std::tuple<std::int32_t, std::int32_t, QString>> forged{
            {session::MSG_PLACE_MARKER, 12, QStringLiteral("7;Fake;1;1;Scout(DM);5")},
            {session::MSG_UPDATE_MARKER, 12, QStringLiteral("1;Moved;99;99")},
            {session::MSG_UPDATE_MARKER, 12, QStringLiteral("2;Moved;99;99")},
            {session::MSG_REMOVE_MARKER, 12, QStringLiteral("1")},
            {session::MSG_REMOVE_MARKER, 12, QStringLiteral("2")},
            {session::MSG_PLACE_MARKER, 9, QStringLiteral("8;Mine;1;1;Ranger;9")},
            {session::MSG_UPDATE_MARKER, 5, QStringLiteral("2;Renamed;20;20")},
        };
        for (Copy *copy : all) {
            for (const auto &[type, from, payload] : forged) {
                if (from != copy->state.ownPlayerID)
                    copy->exchange.receive(type, from, payload);
            }
            QCOMPARE(infos(*copy), untouched);
            QCOMPARE(copy->repaints, 0);
        }
        // A request in another player's name gets no marker from the master.
        master.exchange.receive(session::MSG_REQUEST_MARKER, 12, QStringLiteral("Fake;1;1;Ranger;9"));
        QVERIFY(master.sender.sent.isEmpty());
        QCOMPARE(infos(master), untouched);

        // The rightful ones still apply: the owner moves its own marker, the
        // master removes a player's, the owner its own, the master announces.
        for (Copy *copy : {&master, &cleric})
            copy->exchange.receive(session::MSG_UPDATE_MARKER, 9, QStringLiteral("2;Open;25;20"));
        for (Copy *copy : {&ranger, &cleric}) {
            copy->exchange.receive(session::MSG_UPDATE_MARKER, 5, QStringLiteral("1;Pit;15;10"));
            copy->exchange.receive(session::MSG_PLACE_MARKER, 5, QStringLiteral("3;Gold;30;30;Cleric;12"));
        }
        QCOMPARE(infos(cleric),
                 (QStringList{QStringLiteral("1:Pit@15"), QStringLiteral("2:Open@25"), QStringLiteral("3:Gold@30")}));
        cleric.exchange.receive(session::MSG_REMOVE_MARKER, 5, QStringLiteral("2"));
        cleric.exchange.receive(session::MSG_REMOVE_MARKER, 9, QStringLiteral("1")); // not Ranger's
        master.exchange.receive(session::MSG_REMOVE_MARKER, 9, QStringLiteral("2"));
        QCOMPARE(infos(cleric), (QStringList{QStringLiteral("1:Pit@15"), QStringLiteral("3:Gold@30")}));
        QCOMPARE(infos(master), QStringList{QStringLiteral("1:Trap@10")});
    }

    void ownCommandsOnExistingMarkers()
    {
        Copy master;
        master.joinAs(QStringLiteral("Scout(DM)"), 5, true);
        master.exchange.placeMarker(QStringLiteral("Trap"), 1, 2);
        QCOMPARE(master.sentOfType(session::MSG_PLACE_MARKER), QStringList{QStringLiteral("1;Trap;1;2;Scout(DM);5")});

        QVERIFY(master.exchange.modifyMarker(1, QStringLiteral("Pit")));
        QCOMPARE(master.sentOfType(session::MSG_UPDATE_MARKER), QStringList{QStringLiteral("1;Pit;1;2")});

        master.state.currentMarker = master.state.markers.find(1);
        master.exchange.removeCurrentMarker();
        QCOMPARE(master.sentOfType(session::MSG_REMOVE_MARKER), QStringList{QStringLiteral("1")});
        QVERIFY(master.state.markers.isEmpty());
        QVERIFY(!master.state.currentMarker);

        // Gone meanwhile: nothing is sent; no selection: nothing happens.
        const auto sentBefore = master.sender.sent.size();
        QVERIFY(!master.exchange.modifyMarker(1, QStringLiteral("Late")));
        master.exchange.removeCurrentMarker();
        QCOMPARE(master.sender.sent.size(), sentBefore);
    }
};

QTEST_GUILESS_MAIN(TestMarkerExchange)
#include "tst_marker_exchange.moc"
