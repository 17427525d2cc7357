// The shared table between whole copies of the program over loopback, with
// shown pictures travelling through the session as the program fetches them.
#include "SessionParticipants.h"
#include "combat/TurnOrderExchange.h"
#include "combat/forms/frmCombat.h"
#include "combat/forms/frmShownTurnOrder.h"
#include "map/forms/frmMaplist.h"
#include "map/sharing/PictureExchange.h"
#include "map/sharing/ShownMapExchange.h"
#include "session/protocol/PictureMessages.h"
#include "tokens/markers/MarkerExchange.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTemporaryDir>

#include <tuple>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

const QString kMapName = QStringLiteral("Crypt of the Old King");

// The working folder holds the master's map/; every copy has a picture cache
// and a map folder of its own, so a player holds only what it was given.
struct Tables
{
    QTemporaryDir root;
    QTemporaryDir scratch;
    QString previous = QDir::currentPath();

    Tables() { QDir::setCurrent(root.path()); }
    ~Tables() { QDir::setCurrent(previous); }

    QString playerMapFolder(const QString &name) const { return scratch.filePath(name + u"-map"); }

    std::unique_ptr<Participant> master() const
    {
        return std::make_unique<Participant>(
            onLoopback, frmMain::sessionPictureSupply(scratch.filePath(QStringLiteral("master-cache"))));
    }
    std::unique_ptr<Participant> player(const QString &name) const
    {
        QDir().mkpath(playerMapFolder(name));
        return std::make_unique<Participant>(
            onLoopback, frmMain::sessionPictureSupply(scratch.filePath(name + u"-cache"), playerMapFolder(name)));
    }
};

map::PictureExchange &exchangeOf(Participant &p)
{
    return *qobject_cast<map::PictureExchange *>(&p.w().pictureSupply());
}

qint64 bytesReceived(Participant &p) { return exchangeOf(p).counters().chunkBytesIn; }

using MarkerRecord = std::tuple<std::int32_t, QString, std::int32_t, std::int32_t, QString, std::int32_t>;

QList<MarkerRecord> markerRecords(frmMain &window)
{
    QList<MarkerRecord> records;
    window.state().markers.forEach(
        [&](const table::CMarker &m) { records << MarkerRecord{m.id, m.info, m.mapX, m.mapY, m.player, m.UserID}; });
    std::sort(records.begin(), records.end());
    return records;
}

// map/ in the working folder with one map; its picture is several chunks
// long, in noise so that it does not compress to nothing.
bool makeMapFolder()
{
    QDir dir;
    if (!dir.mkpath(QStringLiteral("map")))
        return false;
    QImage picture(640, 480, QImage::Format_RGB32);
    QRandomGenerator noise(12);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, int(noise.bounded(256u))));
    }
    QFile index(QStringLiteral("map/mapindex.txt"));
    return picture.save(QStringLiteral("map/crypt.png"), "PNG") && index.open(QIODevice::WriteOnly)
           && index.write("mapname=" + kMapName.toUtf8()
                          + "\nmapfile=crypt.png\nmap10size=31.5\nmap10offsetX=4\nmap10offsetY=-7\n")
                  > 0;
}

qint64 pictureBytes() { return QFileInfo(QStringLiteral("map/crypt.png")).size(); }

map::frmMaplist &loadMap(Participant &master)
{
    master.w().btnMaplist->click();
    auto *maplist = master.w().findChild<map::frmMaplist *>();
    maplist->lstMap->setCurrentRow(0);
    maplist->btnLoad->click();
    return *maplist;
}

bool sameMap(frmMain &a, frmMain &b)
{
    const auto &x = a.mapState;
    const auto &y = b.mapState;
    return x.mapLoaded && y.mapLoaded && x.name == y.name && x.map10Size == y.map10Size
           && x.map10OffsetX == y.map10OffsetX && x.map10OffsetY == y.map10OffsetY && !y.picture.isNull()
           && x.picture == y.picture;
}

template <typename Predicate>
bool saysLine(const Participant &p, Predicate wanted)
{
    const QStringList all = lines(p.window->txtChat);
    return std::any_of(all.cbegin(), all.cend(), wanted);
}

// The master's player list: whether the named player is said to see the shown map.
bool seesMap(frmMain &master, const QString &player)
{
    for (int row = 0; row < master.lstPlayer->count(); ++row) {
        if (master.lstPlayer->item(row)->text() == player)
            return master.lstPlayer->item(row)->toolTip().startsWith(u"Sees the shown map");
    }
    return false;
}

} // namespace

class TestSharedTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void playersAndALateJoinerGetTheTableThroughTheSession()
    {
        Tables tables;
        QVERIFY(makeMapFolder());
        QVERIFY(pictureBytes() > 4 * session::kPictureChunkBytes);
        auto master = tables.master();
        auto ranger = tables.player(QStringLiteral("Ranger"));
        auto cleric = tables.player(QStringLiteral("Cleric"));
        auto bard = tables.player(QStringLiteral("Bard"));
        QVERIFY(gather(*master, *ranger, cleric.get()));
        QStringList rangerStatus;
        connect(ranger->w().statusBar(), &QStatusBar::messageChanged, this,
                [&](const QString &text) { rangerStatus << text; });

        // The master loads its map and shows it from the map list.
        map::frmMaplist &maplist = loadMap(*master);
        QCOMPARE(master->w().mapState.name, kMapName);
        QVERIFY(maplist.btnShow->isVisibleTo(&maplist));
        maplist.btnShow->click();
        QVERIFY2(master->questions.told.isEmpty(), qPrintable(master->questions.told.join(u'\n')));

        for (Participant *player : {ranger.get(), cleric.get()}) {
            QTRY_VERIFY(sameMap(master->w(), player->w()));
            QCOMPARE(player->w().mapState.map10OffsetY, -7);
            QCOMPARE(*player->w().state().shownMap, *master->w().state().shownMap);
            QCOMPARE(bytesReceived(*player), pictureBytes());
            // Kept in its own cache; its map folder stays as it was.
            QVERIFY(player->w().mapState.pictureFile.startsWith(tables.scratch.path()));
            QVERIFY(QDir(tables.playerMapFolder(player->w().state().userName)).isEmpty());
        }
        QVERIFY(rangerStatus.contains(map::loadingLine(kMapName, pictureBytes(), pictureBytes())));
        QCOMPARE(rangerStatus.last(), u"Map shown by the master: " + kMapName);
        QTRY_VERIFY(seesMap(master->w(), QStringLiteral("Ranger")) && seesMap(master->w(), QStringLiteral("Cleric")));

        // Fifty markers, five of them the ranger's, before the bard joins.
        for (int i = 0; i < 45; ++i)
            master->w().markerExchange().placeMarker(QStringLiteral("m%1").arg(i), 10 * i, 5 * i);
        for (int i = 0; i < 5; ++i)
            ranger->w().markerExchange().placeMarker(QStringLiteral("r%1").arg(i), -i, 400 + i);
        QTRY_COMPARE(master->w().state().markers.size(), std::size_t(50));

        // An icon shown to the players, one kept back, and the turn order.
        auto orc = std::make_shared<table::CIcon>();
        orc->id = master->w().NextIconID();
        orc->name = QStringLiteral("Orc");
        orc->size = 12;
        orc->maxHealth = 20;
        orc->mapX = 100;
        orc->mapY = 90;
        auto secret = std::make_shared<table::CIcon>(*orc);
        secret->id = master->w().NextIconID();
        master->w().state().icons.add(orc);
        master->w().state().icons.add(secret);
        master->w().state().currentIcon = orc;
        master->w().mnuShowIcon->trigger();
        QTRY_COMPARE(ranger->w().state().shownIcons.size(), std::size_t(1));
        orc->mapX = 150;
        orc->damage = 15;
        master->w().Picture1_Paint();
        QTRY_COMPARE(ranger->w().state().shownIcons.find(orc->id)->mapX, 150);
        QCOMPARE(ranger->w().state().shownIcons.find(orc->id)->healthWord, orc->HealthStatus());

        master->w().btnCombat->click();
        auto *tracker = master->w().findChild<combat::frmCombat *>();
        QVERIFY(tracker && !tracker->chkShow->isHidden());
        tracker->AddRow(QStringLiteral("Ranger"), 17);
        tracker->AddRow(QStringLiteral("Orc"), 9);
        tracker->chkShow->click();
        tracker->btnNext->click();
        QTRY_VERIFY(cleric->w().shownTurnOrder());
        QTRY_COMPARE(cleric->w().turnOrderExchange().seen()->currentRow, 1);
        QCOMPARE(cleric->w().shownTurnOrder()->lstTurn->count(), 2);

        // The bard joins late and gets the table as it is.
        join(*bard, QStringLiteral("Bard"), *master);
        QTRY_VERIFY(sameMap(master->w(), bard->w()));
        QCOMPARE(bytesReceived(*bard), pictureBytes());
        QTRY_COMPARE(markerRecords(bard->w()).size(), 50);
        QCOMPARE(markerRecords(bard->w()), markerRecords(master->w()));
        QCOMPARE(markerRecords(ranger->w()), markerRecords(master->w()));
        QTRY_COMPARE(bard->w().state().shownIcons.size(), std::size_t(1));
        QCOMPARE(*bard->w().state().shownIcons.find(orc->id), *ranger->w().state().shownIcons.find(orc->id));
        QTRY_VERIFY(bard->w().turnOrderExchange().seen());
        QCOMPARE(*bard->w().turnOrderExchange().seen(), *cleric->w().turnOrderExchange().seen());
        QVERIFY(bard->w().state().icons.isEmpty()); // the players' own icons stay their own
        QTRY_VERIFY(seesMap(master->w(), QStringLiteral("Bard")));
        QVERIFY(seesMap(master->w(), QStringLiteral("Ranger"))); // the list was rebuilt for the bard

        // Unchecked: gone everywhere.
        master->w().mnuShowIcon->trigger();
        QTRY_VERIFY(bard->w().state().shownIcons.isEmpty());
        QTRY_VERIFY(ranger->w().state().shownIcons.isEmpty());
    }

    // The limit the master sees, a player whose own map folder holds the
    // picture, a player who refused downloads and then allows them, and a
    // picture the player's loader refuses.
    void limitsHeldPicturesAndRefusedDownloads()
    {
        Tables tables;
        QVERIFY(makeMapFolder());
        auto master = tables.master();
        auto ranger = tables.player(QStringLiteral("Ranger"));
        auto cleric = tables.player(QStringLiteral("Cleric"));
        const QString scan = tables.playerMapFolder(QStringLiteral("Cleric")) + u"/scan.png";
        QVERIFY(QFile::copy(QStringLiteral("map/crypt.png"), scan));
        QVERIFY(gather(*master, *ranger, cleric.get()));
        for (Participant *player : {ranger.get(), cleric.get()}) {
            player->w().mnuDownloadMaps->trigger();
            QVERIFY(!player->w().mnuDownloadMaps->isChecked());
        }
        // The ranger has a map of its own loaded.
        ranger->w().mapState.name = QStringLiteral("Ranger's own");
        ranger->w().mapState.picture = QImage(8, 8, QImage::Format_RGB32);
        ranger->w().mapState.mapLoaded = true;

        map::frmMaplist &maplist = loadMap(*master);
        QVERIFY2(maplist.btnShow->toolTip().contains(u"268.4 MB"), qPrintable(maplist.btnShow->toolTip()));
        master->w().shownMap().pictureLimit = pictureBytes() - 1;
        maplist.btnShow->click();
        QCOMPARE(master->questions.told.size(), 1);
        QVERIFY2(master->questions.told[0].contains(u"nothing was sent"), qPrintable(master->questions.told[0]));
        QVERIFY(!master->w().state().shownMap);

        master->w().shownMap().pictureLimit = map::defaultShownPictureLimit;
        maplist.btnShow->click();
        // The cleric uses its own copy although it refused downloads.
        QTRY_VERIFY(sameMap(master->w(), cleric->w()));
        QCOMPARE(QFileInfo(cleric->w().mapState.pictureFile).canonicalFilePath(), QFileInfo(scan).canonicalFilePath());
        QTRY_VERIFY(seesMap(master->w(), QStringLiteral("Cleric")));
        // The ranger sees the name and why it is not drawn, and keeps its own map.
        const QString line = QStringLiteral("The master shows the map \"%1\"").arg(kMapName);
        QTRY_VERIFY(
            saysLine(*ranger, [&](const QString &l) { return l.startsWith(line) && l.contains(u"switched off"); }));
        QCOMPARE(ranger->w().mapState.name, QStringLiteral("Ranger's own"));
        QVERIFY(!seesMap(master->w(), QStringLiteral("Ranger")));

        // Allowed again, with a loader that refuses pictures this large: the
        // bytes come, a chat line says why nothing is drawn, the own map stays.
        const int allocation = QImageReader::allocationLimit();
        const auto restore = qScopeGuard([&] { QImageReader::setAllocationLimit(allocation); });
        QImageReader::setAllocationLimit(1);
        ranger->w().mnuDownloadMaps->trigger();
        QTRY_VERIFY(saysLine(*ranger, [](const QString &l) {
            return l.contains(kMapName + u"\" shown by the master cannot be drawn");
        }));
        QCOMPARE(bytesReceived(*ranger), pictureBytes());
        QCOMPARE(ranger->w().mapState.name, QStringLiteral("Ranger's own"));
        QCOMPARE(ranger->w().mapState.picture.size(), QSize(8, 8));

        // Shown again with a loader that takes it: drawn from the cache.
        QImageReader::setAllocationLimit(allocation);
        maplist.btnShow->click();
        QTRY_VERIFY(sameMap(master->w(), ranger->w()));
        QCOMPARE(bytesReceived(*ranger), pictureBytes());
        QCOMPARE(bytesReceived(*cleric), 0);
        QCOMPARE(exchangeOf(*master).counters().chunkBytesOut, pictureBytes());
    }
};

QTEST_MAIN(TestSharedTable)
#include "tst_shared_table.moc"
