#include "RecordingSender.h"
#include "map/MapState.h"
#include "map/sharing/LocalPictureSupply.h"
#include "map/sharing/PictureSupply.h"
#include "map/sharing/ShownMapExchange.h"
#include "session/protocol/TableMessages.h"
#include "table/Table.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest/QTest>

using namespace vellmar;

namespace {

// Answers nothing by itself: the test emits what a real supply would.
class ScriptedSupply final : public map::PictureSupply
{
public:
    QList<table::ShownMap> requests;
    QHash<QByteArray, QString> held;
    void request(const table::ShownMap &map) override { requests.append(map); }
    QString localPath(const QByteArray &sha256) const override { return held.value(sha256); }
    void offer(const QByteArray &sha256, const QString &filePath) override { held.insert(sha256, filePath); }
};

struct Copy
{
    table::Table table;
    map::MapState map;
    ScriptedSupply supply;
    RecordingSender sender;
    QStringList chat;
    QString status;
    int replaced = 0;
    map::ShownMapExchange exchange{table, map, supply,
                                   map::ShownMapExchange::Hooks{[this](const QString &l) { chat << l; },
                                                                [this](const QString &s) { status = s; },
                                                                [this] { ++replaced; }}};

    explicit Copy(bool master)
    {
        table.inSession = true;
        table.isMaster = master;
        table.ownPlayerID = master ? 1 : 2;
        table.masterPlayerID = 1;
        table.sender = &sender;
    }
};

QString writePicture(const QTemporaryDir &dir, const QString &name, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(qRgb(90, 60, 30));
    const QString path = dir.filePath(name);
    return picture.save(path, "PNG") ? path : QString();
}

} // namespace

class TestShownMap : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadingLineCountsMillionsOfBytes()
    {
        QCOMPARE(map::loadingLine(QStringLiteral("Crypt of the Old King"), 7'249'999, 20'000'000),
                 QStringLiteral("Loading map Crypt of the Old King: 7.2 of 20.0 MB"));
        QCOMPARE(map::loadingLine(QStringLiteral("K"), 0, 1), QStringLiteral("Loading map K: 0.0 of 0.0 MB"));
    }

    void masterShowsTheLoadedMapOrRefusesBeforeSending()
    {
        QTemporaryDir dir;
        Copy master(true);
        QCOMPARE(master.exchange.showLoadedMap().isEmpty(), false); // nothing loaded yet
        master.map.mapLoaded = true;
        master.map.name = QStringLiteral("Crypt");
        master.map.map10Size = 31.5;
        master.map.map10OffsetX = 4;
        master.map.pictureFile = writePicture(dir, QStringLiteral("crypt.png"), {300, 200});
        master.map.picture = QImage(master.map.pictureFile);
        const qint64 bytes = QFileInfo(master.map.pictureFile).size();

        master.exchange.pictureLimit = bytes - 1;
        const QString refusal = master.exchange.showLoadedMap();
        QVERIFY2(refusal.contains(u"Crypt") && refusal.contains(u"nothing was sent"), qPrintable(refusal));
        QVERIFY(master.sender.sent.isEmpty() && !master.table.shownMap && master.supply.held.isEmpty());

        master.exchange.pictureLimit = bytes;
        QCOMPARE(master.exchange.showLoadedMap(), QString());
        QCOMPARE(master.sender.sent.size(), 1);
        QCOMPARE(master.sender.sent[0].first, 0);
        QCOMPARE(master.sender.sent[0].second.type, session::MSG_SHOW_MAP);
        const auto sent =
            std::get<session::ShowMapPayload>(session::parseShowMap(master.sender.sent[0].second.payload));
        QCOMPARE(sent.pictureSha256, *map::fileSha256(master.map.pictureFile));
        QCOMPARE(sent.pictureSize, bytes);
        QCOMPARE(sent.map10Size, 31.5);
        QCOMPARE(master.supply.held.value(sent.pictureSha256), master.map.pictureFile);
        QCOMPARE(master.table.shownMap->name, QStringLiteral("Crypt"));

        // A late joiner gets the same message, to it alone; a player's copy sends none.
        master.exchange.sendTo(5);
        QCOMPARE(master.sender.sent.last().first, 5);
        QCOMPARE(master.sender.sent.last().second.payload, master.sender.sent[0].second.payload);
        Copy player(false);
        player.exchange.sendTo(5);
        QVERIFY(player.sender.sent.isEmpty());
    }

    void playerTakesTheMastersMapOnly()
    {
        QTemporaryDir dir;
        const QString good = writePicture(dir, QStringLiteral("good.png"), {120, 80});
        const QByteArray sha = *map::fileSha256(good);
        const QString message = session::formatPayload(
            session::ShowMapPayload{31.5, 4, -7, sha, QFileInfo(good).size(), QStringLiteral("Crypt")});

        Copy player(false);
        player.map.name = QStringLiteral("Own map");
        player.exchange.receive(3, message);                     // another player: ignored
        player.exchange.receive(1, QStringLiteral("31.5;4;-7")); // unreadable: ignored
        QVERIFY(!player.table.shownMap && player.supply.requests.isEmpty());

        player.exchange.receive(1, message);
        QCOMPARE(player.supply.requests.size(), 1);
        QCOMPARE(player.table.shownMap->pictureSha256, sha);
        Q_EMIT player.supply.progress(sha, 7'200'000, 20'000'000);
        QCOMPARE(player.status, QStringLiteral("Loading map Crypt: 7.2 of 20.0 MB"));
        // Another picture's news and the own map stay untouched.
        Q_EMIT player.supply.ready(QByteArray(32, 'x'), good);
        QCOMPARE(player.replaced, 0);
        QCOMPARE(player.map.name, QStringLiteral("Own map"));

        // Verified bytes that do not decode: a chat line, nothing else changes.
        const QString broken = dir.filePath(QStringLiteral("broken.png"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
        file.close();
        Q_EMIT player.supply.ready(sha, broken);
        QCOMPARE(player.chat.size(), 1);
        QVERIFY(player.chat[0].contains(u"Crypt"));
        QCOMPARE(player.replaced, 0);
        QCOMPARE(player.map.name, QStringLiteral("Own map"));

        Q_EMIT player.supply.ready(sha, good);
        QCOMPARE(player.replaced, 1);
        QCOMPARE(player.map.picture.size(), QSize(120, 80));
        QCOMPARE(player.map.map10Size, 31.5);
        QCOMPARE(player.map.map10OffsetY, -7);
        QCOMPARE(player.map.name, QStringLiteral("Crypt"));

        Q_EMIT player.supply.failed(sha, QStringLiteral("the host left"));
        QCOMPARE(player.chat.size(), 2);
        QVERIFY(player.chat[1].contains(u"the host left"));
    }

    void refusedDownloadsShowTheNameAndAMessage()
    {
        Copy player(false);
        player.exchange.setDownloadsRefused(true);
        const QByteArray sha(32, '\x01');
        const auto show = [&](const QString &name) {
            player.exchange.receive(1, session::formatPayload(session::ShowMapPayload{20, 0, 0, sha, 5'000'000, name}));
        };
        show(QStringLiteral("Far Keep"));
        QVERIFY(player.supply.requests.isEmpty());
        QCOMPARE(player.chat.size(), 1);
        QVERIFY(player.chat[0].contains(u"Far Keep") && player.chat[0].contains(u"switched off"));
        // Allowed again: the map shown meanwhile is fetched, once.
        player.exchange.setDownloadsRefused(false);
        player.exchange.setDownloadsRefused(false);
        QCOMPARE(player.supply.requests.size(), 1);
        QCOMPARE(player.status, QStringLiteral("Loading map Far Keep: 0.0 of 5.0 MB"));
        // Bytes already held are used all the same.
        player.exchange.setDownloadsRefused(true);
        player.supply.held.insert(sha, QStringLiteral("/held"));
        show(QStringLiteral("Near Keep"));
        QCOMPARE(player.supply.requests.size(), 2);
        QCOMPARE(player.chat.size(), 1);
    }

    void masterSeesWhoHoldsTheShownPicture()
    {
        Copy master(true);
        master.map.mapLoaded = true;
        QTemporaryDir dir;
        master.map.pictureFile = writePicture(dir, QStringLiteral("m.png"), {10, 10});
        master.map.picture = QImage(master.map.pictureFile);
        QCOMPARE(master.exchange.showLoadedMap(), QString());
        QVERIFY(!master.exchange.playerHasMap(2));
        Q_EMIT master.supply.peerHolds(2, QByteArray(32, 'z'));
        QVERIFY(!master.exchange.playerHasMap(2));
        Q_EMIT master.supply.peerHolds(2, master.table.shownMap->pictureSha256);
        QVERIFY(master.exchange.playerHasMap(2) && !master.exchange.playerHasMap(3));
    }

    void localSupplyFindsPicturesInTheMapFolderByContent()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("sub"));
        const QString path = writePicture(dir, QStringLiteral("sub/deep.png"), {30, 20});
        const QByteArray sha = *map::fileSha256(path);
        map::LocalPictureSupply supply{QDir(dir.path())};
        QStringList readyPaths, failures;
        connect(&supply, &map::PictureSupply::ready, this,
                [&](const QByteArray &, const QString &p) { readyPaths << p; });
        connect(&supply, &map::PictureSupply::failed, this,
                [&](const QByteArray &, const QString &r) { failures << r; });
        table::ShownMap shown;
        shown.pictureSha256 = sha;
        shown.pictureSize = QFileInfo(path).size();
        supply.request(shown);
        QCOMPARE(readyPaths, QStringList{QFileInfo(path).absoluteFilePath()});
        shown.pictureSha256 = QByteArray(32, '\0');
        supply.request(shown);
        QCOMPARE(failures.size(), 1);
        QVERIFY(supply.localPath(QByteArray(32, '\0')).isEmpty());
    }
};

QTEST_MAIN(TestShownMap)
#include "tst_shown_map.moc"
