#include "SessionParticipants.h"
#include "combat/TurnOrderExchange.h"
#include "combat/forms/frmCombat.h"
#include "combat/forms/frmShownTurnOrder.h"
#include "map/forms/frmMaplist.h"
#include "map/sharing/PictureSupply.h"
#include "map/sharing/ShownMapExchange.h"
#include "tokens/markers/MarkerExchange.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <tuple>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

// Stands in for pictures travelling through the session: what one copy
// offers, any other copy can fetch (copied into its own folder), and the
// copies that fetched it are announced to the others as holding it.
struct PictureNetwork
{
    QTemporaryDir store;
    QHash<QByteArray, QString> offered;
    QList<class FakeSupply *> supplies;
    int transfers = 0;
};

class FakeSupply final : public map::PictureSupply
{
public:
    FakeSupply(PictureNetwork &network, const table::Table &table) : m_network(network), m_table(table)
    {
        m_network.supplies.append(this);
    }
    ~FakeSupply() override { m_network.supplies.removeAll(this); }

    void request(const table::ShownMap &map) override
    {
        const QByteArray sha = map.pictureSha256;
        if (m_held.contains(sha))
            return Q_EMIT ready(sha, m_held.value(sha));
        // Answers later, as a transfer would.
        QTimer::singleShot(0, this, [this, sha, total = map.pictureSize] {
            const QString source = m_network.offered.value(sha);
            const QString copy = m_network.store.filePath(
                QStringLiteral("%1-%2").arg(m_table.ownPlayerID).arg(QString::fromLatin1(sha.toHex().left(12))));
            if (source.isEmpty() || !QFile::copy(source, copy))
                return Q_EMIT failed(sha, QStringLiteral("nobody offers it"));
            ++m_network.transfers;
            Q_EMIT progress(sha, total / 2, total);
            m_held.insert(sha, copy);
            Q_EMIT ready(sha, copy);
            for (FakeSupply *other : std::as_const(m_network.supplies)) {
                if (other != this)
                    Q_EMIT other->peerHolds(m_table.ownPlayerID, sha);
            }
        });
    }
    QString localPath(const QByteArray &sha256) const override { return m_held.value(sha256); }
    void offer(const QByteArray &sha256, const QString &filePath) override
    {
        m_held.insert(sha256, filePath);
        m_network.offered.insert(sha256, filePath);
    }

private:
    PictureNetwork &m_network;
    const table::Table &m_table;
    QHash<QByteArray, QString> m_held;
};

struct Copy
{
    ScriptedQuestions questions;
    std::unique_ptr<frmMain> window;

    explicit Copy(PictureNetwork &network)
        : window(
            std::make_unique<frmMain>(questions, onLoopback, [&network](table::Table &table, session::Dispatcher &) {
                return std::make_unique<FakeSupply>(network, table);
            }))
    {}
    frmMain &w() { return *window; }
    std::uint16_t port() const
    {
        return qobject_cast<session::TcpSessionTransport *>(window->directPlay())->hostPort();
    }
    void join(const QString &name, const Copy &host)
    {
        questions.textAnswers = {name, u"127.0.0.1:" + QString::number(host.port())};
        window->mnuJoinSession->trigger();
    }
};

using MarkerRecord = std::tuple<std::int32_t, QString, std::int32_t, std::int32_t, QString, std::int32_t>;

QList<MarkerRecord> markerRecords(const frmMain &window)
{
    QList<MarkerRecord> records;
    const_cast<frmMain &>(window).state().markers.forEach(
        [&](const table::CMarker &m) { records << MarkerRecord{m.id, m.info, m.mapX, m.mapY, m.player, m.UserID}; });
    std::sort(records.begin(), records.end());
    return records;
}

// A map folder with one map whose picture only the master's folder holds.
bool makeMapFolder(const QTemporaryDir &root)
{
    QDir dir(root.path());
    if (!dir.mkdir(QStringLiteral("map")))
        return false;
    QImage picture(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    }
    QFile index(dir.filePath(QStringLiteral("map/mapindex.txt")));
    return picture.save(dir.filePath(QStringLiteral("map/crypt.png")), "PNG") && index.open(QIODevice::WriteOnly)
           && index.write("mapname=Crypt of the Old King\nmapfile=crypt.png\nmap10size=31.5\nmap10offsetX=4\n"
                          "map10offsetY=-7\n")
                  > 0;
}

bool sameMap(frmMain &a, frmMain &b)
{
    const auto &x = a.mapState;
    const auto &y = b.mapState;
    return x.mapLoaded && y.mapLoaded && x.name == y.name && x.map10Size == y.map10Size
           && x.map10OffsetX == y.map10OffsetX && x.map10OffsetY == y.map10OffsetY && !y.picture.isNull()
           && x.picture == y.picture;
}

} // namespace

class TestSharedTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void playersAndALateJoinerSeeWhatTheMasterShows()
    {
        QTemporaryDir root;
        QVERIFY(makeMapFolder(root));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });

        PictureNetwork network;
        Copy master(network), ranger(network), cleric(network), bard(network);
        master.questions.textAnswers = {QStringLiteral("Scout")};
        master.w().mnuHostSession->trigger();
        QVERIFY(master.w().state().inSession);
        ranger.join(QStringLiteral("Ranger"), master);
        cleric.join(QStringLiteral("Cleric"), master);
        QTRY_COMPARE(master.w().lstPlayer->count(), 3);

        // The master loads its map and shows it from the map list.
        master.w().btnMaplist->click();
        auto *maplist = master.w().findChild<map::frmMaplist *>();
        QVERIFY(maplist && maplist->btnShow->isVisibleTo(maplist));
        QCOMPARE(maplist->btnShow->text(), QStringLiteral("Show to Players"));
        maplist->lstMap->setCurrentRow(0);
        maplist->btnLoad->click();
        QCOMPARE(master.w().mapState.name, QStringLiteral("Crypt of the Old King"));
        maplist->btnShow->click();
        QVERIFY(master.questions.told.isEmpty());
        QVERIFY(master.w().state().shownMap);

        for (Copy *player : {&ranger, &cleric}) {
            QTRY_VERIFY(sameMap(master.w(), player->w()));
            QCOMPARE(player->w().mapState.map10Size, 31.5);
            QCOMPARE(*player->w().state().shownMap, *master.w().state().shownMap);
        }
        QCOMPARE(network.transfers, 2);
        // The master's list says who sees it.
        for (int row = 1; row < 3; ++row)
            QTRY_VERIFY(master.w().lstPlayer->item(row)->toolTip().startsWith(u"Sees the shown map"));

        // Fifty markers, five of them the ranger's, before the bard joins.
        for (int i = 0; i < 45; ++i)
            master.w().markerExchange().placeMarker(QStringLiteral("m%1").arg(i), 10 * i, 5 * i);
        for (int i = 0; i < 5; ++i)
            ranger.w().markerExchange().placeMarker(QStringLiteral("r%1").arg(i), -i, 400 + i);
        QTRY_COMPARE(master.w().state().markers.size(), std::size_t(50));

        // An icon shown to the players, one kept back, and the turn order.
        auto orc = std::make_shared<table::CIcon>();
        orc->id = master.w().NextIconID();
        orc->name = QStringLiteral("Orc");
        orc->size = 12;
        orc->maxHealth = 20;
        orc->mapX = 100;
        orc->mapY = 90;
        auto secret = std::make_shared<table::CIcon>(*orc);
        secret->id = master.w().NextIconID();
        master.w().state().icons.add(orc);
        master.w().state().icons.add(secret);
        master.w().state().currentIcon = orc;
        master.w().mnuShowIcon->trigger();
        QTRY_COMPARE(ranger.w().state().shownIcons.size(), std::size_t(1));
        orc->mapX = 150;
        orc->damage = 15;
        master.w().Picture1_Paint();
        QTRY_COMPARE(ranger.w().state().shownIcons.find(orc->id)->mapX, 150);
        QCOMPARE(ranger.w().state().shownIcons.find(orc->id)->healthWord, orc->HealthStatus());

        master.w().btnCombat->click();
        auto *tracker = master.w().findChild<combat::frmCombat *>();
        QVERIFY(tracker && !tracker->chkShow->isHidden());
        tracker->AddRow(QStringLiteral("Ranger"), 17);
        tracker->AddRow(QStringLiteral("Orc"), 9);
        tracker->chkShow->click();
        tracker->btnNext->click();
        QTRY_VERIFY(cleric.w().shownTurnOrder());
        QTRY_COMPARE(cleric.w().turnOrderExchange().seen()->currentRow, 1);
        QCOMPARE(cleric.w().shownTurnOrder()->lstTurn->count(), 2);

        // The bard joins late and gets the table as it is.
        QCOMPARE(network.transfers, 2);
        bard.join(QStringLiteral("Bard"), master);
        QVERIFY(bard.w().state().inSession);
        QTRY_VERIFY(sameMap(master.w(), bard.w()));
        QTRY_COMPARE(markerRecords(bard.w()).size(), 50);
        QCOMPARE(markerRecords(bard.w()), markerRecords(master.w()));
        QCOMPARE(markerRecords(ranger.w()), markerRecords(master.w()));
        QTRY_COMPARE(bard.w().state().shownIcons.size(), std::size_t(1));
        QCOMPARE(*bard.w().state().shownIcons.find(orc->id), *ranger.w().state().shownIcons.find(orc->id));
        QTRY_VERIFY(bard.w().turnOrderExchange().seen());
        QCOMPARE(*bard.w().turnOrderExchange().seen(), *cleric.w().turnOrderExchange().seen());
        // The players' own icons stay their own.
        QVERIFY(bard.w().state().icons.isEmpty());

        // Unchecked: gone everywhere.
        master.w().mnuShowIcon->trigger();
        QTRY_VERIFY(bard.w().state().shownIcons.isEmpty());
        QTRY_VERIFY(ranger.w().state().shownIcons.isEmpty());
    }

    void aPictureOverTheLimitIsRefusedBeforeAnythingIsSent()
    {
        QTemporaryDir root;
        QVERIFY(makeMapFolder(root));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });

        PictureNetwork network;
        Copy master(network), ranger(network);
        master.questions.textAnswers = {QStringLiteral("Scout")};
        master.w().mnuHostSession->trigger();
        ranger.join(QStringLiteral("Ranger"), master);
        QTRY_COMPARE(master.w().lstPlayer->count(), 2);
        master.w().btnMaplist->click();
        auto *maplist = master.w().findChild<map::frmMaplist *>();
        maplist->lstMap->setCurrentRow(0);
        maplist->btnLoad->click();
        master.w().shownMap().pictureLimit = 1000;
        master.w().mnuShowMap->trigger();
        QCOMPARE(master.questions.told.size(), 1);
        QVERIFY2(master.questions.told[0].contains(u"nothing was sent"), qPrintable(master.questions.told[0]));
        master.w().txtInput->setText(QStringLiteral("after"));
        QTest::keyClick(master.w().txtInput, Qt::Key_Return);
        QTRY_VERIFY(lines(ranger.w().txtChat).contains(QStringLiteral("Scout(DM) : after")));
        QVERIFY(!ranger.w().state().shownMap);
        QCOMPARE(network.transfers, 0);
    }
};

QTEST_MAIN(TestSharedTable)
#include "tst_shared_table.moc"
