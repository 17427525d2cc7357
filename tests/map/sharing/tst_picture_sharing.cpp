// Pictures between real copies over loopback: three or four transports with
// their dispatchers, each with its own cache and map folder.
#include "PictureCopy.h"
#include "TransportHarness.h"

#include "session/protocol/PictureMessages.h"

#include <QSignalSpy>
#include <QtTest/QTest>

using namespace vellmar;
using namespace vellmar::map;
using namespace vellmar::map::testing;
using session::kPictureChunkBytes;

namespace {

constexpr qint64 kSize = 40 * kPictureChunkBytes + 1234;
constexpr int kWindow = 4;

table::ShownMap shown(const QByteArray &bytes)
{
    table::ShownMap map;
    map.name = QStringLiteral("Crypt");
    map.pictureSha256 = sha256(bytes);
    map.pictureSize = bytes.size();
    return map;
}

PictureExchangeSettings quick()
{
    PictureExchangeSettings s;
    s.window = kWindow;
    s.sourceTimeout = std::chrono::milliseconds(300);
    s.progressInterval = std::chrono::milliseconds(0);
    return s;
}

// Runs `action` once, outside the handler, when the download has passed
// `fraction` of the picture.
void whenPast(PictureCopy &copy, double fraction, std::function<void()> action)
{
    auto done = std::make_shared<bool>(false);
    QObject::connect(copy.exchange.get(), &PictureSupply::progress, &copy,
                     [done, fraction, action](const QByteArray &, qint64 received, qint64 total) {
                         if (*done || received < fraction * double(total))
                             return;
                         *done = true;
                         QTimer::singleShot(0, action);
                     });
}

} // namespace

class PictureSharing : public QObject
{
    Q_OBJECT

private:
    std::vector<std::unique_ptr<session::testing::SimulatedNetwork>> m_networks;
    std::vector<std::unique_ptr<PictureCopy>> m_copies;
    QByteArray m_picture = randomBytes(kSize, 7);

    // A hosts and is the master; the others join in order. A offers the picture.
    bool session(int count)
    {
        m_copies.clear();
        m_networks.clear();
        for (int i = 0; i < count; ++i) {
            m_networks.push_back(std::make_unique<session::testing::SimulatedNetwork>());
            m_copies.push_back(
                std::make_unique<PictureCopy>(session::testing::fastSettings(), m_networks.back().get()));
            m_copies.back()->exchange->setSettings(quick());
        }
        if (!m_copies[0]->open(session::OpenMode::Create, 0, QStringLiteral("A (DM)")))
            return false;
        const auto port = m_copies[0]->transport->hostPort();
        for (int i = 1; i < count; ++i) {
            if (!m_copies[i]->open(session::OpenMode::Join, port, QString(QChar(u'A' + i))))
                return false;
        }
        const bool settled = QTest::qWaitFor([&] {
            return std::all_of(m_copies.begin(), m_copies.end(),
                               [&](const auto &c) { return c->transport->GetDPEnumPlayers().size() == count; });
        });
        const QString path = m_copies[0]->mapFile(QStringLiteral("crypt.jpg"));
        if (!settled || !writeFile(path, m_picture))
            return false;
        m_copies[0]->exchange->offer(sha256(m_picture), path);
        return true;
    }

    PictureCopy &copy(int i) { return *m_copies.at(i); }

    bool holdsPicture(PictureCopy &c, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return c.readyCount > 0; }, timeoutMs) && readFile(c.readyPath) == m_picture;
    }

private Q_SLOTS:
    void cleanup()
    {
        m_copies.clear();
        m_networks.clear();
    }

    // A player without the picture fetches it from the master; a player with
    // the same bytes in its map folder (under another name, beside a file of
    // the same size) fetches nothing; the master hears who holds it.
    void fetchesFromMasterUnlessInMapFolder()
    {
        QVERIFY(session(3));
        QByteArray decoy = m_picture;
        decoy[0] = char(decoy[0] ^ 1);
        QVERIFY(writeFile(copy(2).mapFile(QStringLiteral("decoy.png")), decoy));
        QVERIFY(writeFile(copy(2).mapFile(QStringLiteral("other-name.jpg")), m_picture));
        QVERIFY(writeFile(copy(2).mapFile(QStringLiteral("small.jpg")), "not it"));
        QList<int> holders;
        connect(copy(0).exchange.get(), &PictureSupply::peerHolds, this,
                [&](std::int32_t player, const QByteArray &) { holders.append(player); });

        copy(2).exchange->request(shown(m_picture));
        QCOMPARE(copy(2).readyCount, 1); // at once, from its own folder
        QCOMPARE(copy(2).readyPath, copy(2).mapFile(QStringLiteral("other-name.jpg")));
        QCOMPARE(copy(2).exchange->folder().filesHashed(), 2);
        copy(1).exchange->request(shown(m_picture));
        QVERIFY(holdsPicture(copy(1)));
        QVERIFY(copy(1).readyPath.startsWith(copy(1).cacheDir.path()));

        QCOMPARE(copy(2).exchange->counters().chunkBytesIn, 0);
        QCOMPARE(copy(1).exchange->counters().chunkBytesIn, kSize);
        QCOMPARE(copy(0).exchange->counters().chunkBytesOut, kSize);
        QVERIFY(QTest::qWaitFor([&] { return holders.contains(2) && holders.contains(3); }));
        QVERIFY(copy(1).failures.isEmpty());
    }

    // The master sends one chunk wrong: the whole picture fails its check,
    // is thrown away, fetched again, and only the good bytes are handed out.
    void corruptedChunkIsFetchedAgain()
    {
        QVERIFY(session(3));
        int tampered = 0;
        copy(0).exchange->setChunkTamper([&](qint64 offset, QByteArray &data) {
            if (offset == 7 * kPictureChunkBytes && tampered++ == 0)
                data[100] = char(data[100] ^ 0x40);
        });
        copy(1).exchange->request(shown(m_picture));
        QVERIFY(holdsPicture(copy(1)));
        QCOMPARE(tampered, 2);
        QCOMPARE(copy(1).readyCount, 1);
        QCOMPARE(copy(1).exchange->counters().verifyFailures, 1);
        QVERIFY(!QFile::exists(copy(1).cache->partPath(sha256(m_picture))));
    }

    // A source that always sends one chunk wrong: every attempt is thrown
    // away, the download gives up after its attempts with a reason, and
    // nothing of the bad bytes is ever handed out or kept under the hash.
    void pictureThatNeverMatchesIsNeverShown()
    {
        QVERIFY(session(2));
        auto settings = quick();
        settings.verifyAttempts = 3;
        copy(1).exchange->setSettings(settings);
        copy(0).exchange->setChunkTamper([](qint64 offset, QByteArray &data) {
            if (offset == 39 * kPictureChunkBytes)
                data[7] = char(data[7] ^ 0x01);
        });
        copy(1).exchange->request(shown(m_picture));
        QVERIFY(QTest::qWaitFor([&] { return !copy(1).failures.isEmpty(); }, 20000));
        QVERIFY(copy(1).failures.first().contains(u"did not match its hash 3 times"));
        QCOMPARE(copy(1).readyCount, 0);
        QCOMPARE(copy(1).exchange->counters().verifyFailures, 3);
        QVERIFY(copy(1).exchange->counters().chunkBytesIn >= 3 * kSize); // each attempt fetched it all
        QVERIFY(copy(1).cache->pathFor(sha256(m_picture)).isEmpty());
        QVERIFY(copy(1).exchange->localPath(sha256(m_picture)).isEmpty());
        QVERIFY(!QFile::exists(copy(1).cache->partPath(sha256(m_picture))));
    }

    // A part file holding the whole picture (the program stopped between the
    // last chunk and its check) is checked and used without fetching; one
    // of the right length with wrong bytes is thrown away and fetched.
    void completePartFileIsCheckedBeforeUse()
    {
        QVERIFY(session(3));
        QVERIFY(writeFile(copy(1).cache->partPath(sha256(m_picture)), m_picture));
        QByteArray wrong = m_picture;
        wrong[kSize - 1] = char(wrong[kSize - 1] ^ 0x20);
        QVERIFY(writeFile(copy(2).cache->partPath(sha256(m_picture)), wrong));

        copy(1).exchange->request(shown(m_picture));
        copy(2).exchange->request(shown(m_picture));
        QVERIFY(holdsPicture(copy(1)));
        QVERIFY(holdsPicture(copy(2)));
        QCOMPARE(copy(1).exchange->counters().chunkBytesIn, 0);
        QCOMPARE(copy(2).exchange->counters().verifyFailures, 1);
        QVERIFY(copy(2).exchange->counters().chunkBytesIn >= kSize);
        QCOMPARE(copy(2).readyCount, 1);
    }

    // The player's link breaks mid-transfer and the chunks on their way are
    // lost (as a bulk lane loses them); the player asks again from where it
    // stopped and finishes without starting over.
    void cutTransferResumesFromItsOffset()
    {
        QVERIFY(session(3));
        whenPast(copy(1), 0.3, [&] {
            copy(0).sender->loseBulk = kWindow;
            m_networks[1]->cut(std::chrono::milliseconds(200));
        });
        copy(1).exchange->request(shown(m_picture));
        QVERIFY(holdsPicture(copy(1)));
        QVERIFY(copy(1).exchange->counters().chunkBytesIn <= kSize + kWindow * kPictureChunkBytes);
        QVERIFY(copy(0).exchange->counters().chunkBytesOut > kSize); // the lost ones were served twice
    }

    // The download is dropped half way (the program restarts); asked again,
    // it continues from the part file in the cache.
    void restartedDownloadContinuesFromPartFile()
    {
        QVERIFY(session(2));
        qint64 servedAtRestart = -1;
        whenPast(copy(1), 0.5, [&] {
            servedAtRestart = copy(0).exchange->counters().chunkBytesOut;
            copy(1).restartExchange(quick());
            copy(1).exchange->request(shown(m_picture));
        });
        copy(1).exchange->request(shown(m_picture));
        QVERIFY(holdsPicture(copy(1)));
        QVERIFY(servedAtRestart >= kSize / 2);
        // At most the window in flight at the restart is served twice.
        QVERIFY(copy(0).exchange->counters().chunkBytesOut <= kSize + kWindow * kPictureChunkBytes);
        QVERIFY(copy(1).exchange->counters().chunkBytesIn < kSize - kSize / 3);
    }

    // The host (the master's copy) dies during a transfer: the transfer
    // completes through the new host, from a player that holds the picture.
    void hostKilledTransferCompletesFromAnotherHolder()
    {
        QVERIFY(session(3));
        QVERIFY(writeFile(copy(1).mapFile(QStringLiteral("crypt.jpg")), m_picture));
        copy(1).exchange->request(shown(m_picture)); // B holds it and says so
        QCOMPARE(copy(1).readyCount, 1);
        QSignalSpy heard(copy(2).exchange.get(), &PictureSupply::peerHolds);
        QVERIFY(QTest::qWaitFor([&] { return heard.size() >= 1; }));

        whenPast(copy(2), 0.3, [&] { Q_EMIT m_networks[0]->crashed(); });
        copy(2).exchange->request(shown(m_picture));
        QVERIFY(holdsPicture(copy(2), 20000));
        QVERIFY(copy(1).transport->isHost());
        QVERIFY(copy(1).exchange->counters().chunkBytesOut > 0);
        QVERIFY(copy(2).exchange->counters().chunkBytesIn <= kSize + 2 * kWindow * kPictureChunkBytes);
    }
};

QTEST_GUILESS_MAIN(PictureSharing)
#include "tst_picture_sharing.moc"
