// The picture messages, the cache and the exchange's choices, with several
// exchanges wired through an in-memory session.
#include "PictureCopy.h"

#include "session/protocol/PictureMessages.h"

#include <QSignalSpy>
#include <QtTest/QTest>

#include <deque>

using namespace vellmar;
using namespace vellmar::map;
using namespace vellmar::map::testing;
using namespace vellmar::session;

namespace {

// Hands the dispatcher what the fake session queued for this copy.
class InboxTransport final : public SessionTransport
{
public:
    std::deque<ReceivedMessage> inbox;
    int GetMessageCount(PlayerId) const override { return int(inbox.size()); }
    std::optional<ReceivedMessage> Receive() override
    {
        if (inbox.empty())
            return std::nullopt;
        ReceivedMessage next = std::move(inbox.front());
        inbox.pop_front();
        return next;
    }
    std::optional<QString> GetPlayerFriendlyName(PlayerId id) const override { return QString::number(id); }
    QList<ConnectionEntry> GetDPEnumConnections() const override { return {}; }
    bool InitializeConnection(const QString &) override { return false; }
    QList<SessionDescription> GetDPEnumSessions(const SessionDescription &) override { return {}; }
    bool Open(const SessionDescription &, OpenMode) override { return false; }
    std::int32_t CreateEvent() override { return 0; }
    std::optional<PlayerId> CreatePlayer(const QString &) override { return std::nullopt; }
    bool SendEx(PlayerId, PlayerId, int, const MessageBuffer &) override { return false; }
    QList<PlayerEntry> GetDPEnumPlayers(const QString &, int) const override { return {}; }
    QString GetGuidApplication() const override { return {}; }
    QString lastError() const override { return {}; }
    bool isMasterPlayer(PlayerId id) const override { return id == 1; }
};

class FakeSession;

struct FakeCopy final : table::MessageSender
{
    FakeSession *session = nullptr;
    QTemporaryDir cacheDir, mapDir;
    InboxTransport transport;
    table::Table table;
    Dispatcher dispatcher;
    PictureCache cache{cacheDir.path()};
    PictureExchange exchange{table.outbox(), table.identity(), dispatcher, cache, mapDir.path()};
    bool silent = false; // receives nothing, as a peer that stopped answering
    bool send(std::int32_t to, std::int32_t type, const QString &payload) override;
    bool sendBulkBytes(std::int32_t to, std::int32_t type, const QByteArray &payload) override;
};

// Player ids are 1 (the master) and up; messages wait until pump().
class FakeSession
{
public:
    explicit FakeSession(int count)
    {
        for (int id = 1; id <= count; ++id) {
            auto &c = m_copies.emplace_back(std::make_unique<FakeCopy>());
            c->session = this;
            c->table.inSession = true;
            c->table.ownPlayerID = id;
            c->table.masterPlayerID = 1;
            c->table.sender = c.get();
            PictureExchangeSettings s;
            s.sourceTimeout = std::chrono::milliseconds(100);
            c->exchange.setSettings(s);
        }
    }
    FakeCopy &operator[](int id) { return *m_copies.at(id - 1); }
    int count() const { return int(m_copies.size()); }
    bool present(int id) const { return id >= 1 && id <= count() && !m_gone.contains(id); }
    void leave(int id)
    {
        m_gone.insert(id);
        for (int other = 1; other <= count(); ++other)
            notice(other, NOTICE_PLAYER_DESTROYED, id);
    }
    void post(int from, int to, std::int32_t type, const QString &payload)
    {
        postMessage(from, to, encodeMessage({type, payload}));
    }
    void postMessage(int from, int to, const QByteArray &message)
    {
        if (present(from) && present(to) && !(*this)[to].silent)
            (*this)[to].transport.inbox.push_back({from, to, MessageBuffer(message)});
    }
    void notice(int to, std::int32_t type, int about)
    {
        MessageBuffer buffer;
        buffer.WriteLong(type);
        buffer.WriteLong(about);
        (*this)[to].transport.inbox.push_back({0, to, buffer});
    }
    // Delivers until nothing waits.
    void pump()
    {
        for (bool more = true; more;) {
            more = false;
            for (int id = 1; id <= count(); ++id) {
                FakeCopy &c = (*this)[id];
                if (present(id) && !c.transport.inbox.empty()) {
                    more = true;
                    c.dispatcher.drain(c.transport, id);
                }
            }
        }
    }

private:
    std::vector<std::unique_ptr<FakeCopy>> m_copies;
    QSet<int> m_gone;
};

bool FakeCopy::send(std::int32_t to, std::int32_t type, const QString &payload)
{
    const int self = table.ownPlayerID;
    if (to != 0) {
        if (!session->present(to))
            return false;
        session->post(self, to, type, payload);
        return true;
    }
    for (int id = 1; id <= session->count(); ++id) {
        if (id != self)
            session->post(self, id, type, payload);
    }
    return true;
}

bool FakeCopy::sendBulkBytes(std::int32_t to, std::int32_t type, const QByteArray &payload)
{
    if (!session->present(to))
        return false;
    session->postMessage(table.ownPlayerID, to, encodeBytesMessage(type, payload));
    return true;
}

table::ShownMap shown(const QByteArray &bytes)
{
    table::ShownMap map;
    map.pictureSha256 = sha256(bytes);
    map.pictureSize = bytes.size();
    return map;
}

const QString kHex = QString(64, u'a');

} // namespace

class PictureExchangeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messagesRefuseBadFields_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("payload");
        QTest::newRow("short hash") << 1002 << QString(63, u'a');
        QTest::newRow("upper-case hash") << 1002 << QString(64, u'A');
        QTest::newRow("extra field") << 1002 << kHex + u";1";
        QTest::newRow("size zero") << 1001 << kHex + u";0";
        QTest::newRow("signed size") << 1001 << kHex + u";+5";
        QTest::newRow("negative offset") << 1003 << kHex + u";-1;10";
        QTest::newRow("huge offset") << 1003 << kHex + u";99999999999999999999;10";
        QTest::newRow("length zero") << 1003 << kHex + u";0;0";
        QTest::newRow("length over a chunk") << 1003 << kHex + u";0;64001";
    }
    void messagesRefuseBadFields()
    {
        QFETCH(int, type);
        QFETCH(QString, payload);
        const bool refused = type == 1001   ? std::holds_alternative<QString>(parsePictureHolds(payload))
                             : type == 1002 ? std::holds_alternative<QString>(parsePictureWhoHolds(payload))
                                            : std::holds_alternative<QString>(parsePictureRequest(payload));
        QVERIFY(refused);
    }

    // A chunk is bytes: a whole one survives the trip and fits the
    // transport's payload; no data, too much, or an offset past the largest
    // picture is refused.
    void chunksAreBytesWithinTheirLimits()
    {
        const PictureChunk chunk{QByteArray(32, '\x5a'), (qint64(1) << 40) - 1, randomBytes(kPictureChunkBytes, 3)};
        const QByteArray bytes = formatPayload(chunk);
        QCOMPARE(bytes.size(), 32 + 8 + kPictureChunkBytes);
        QCOMPARE(bytes.mid(32, 8), QByteArray::fromHex("000000ffffffffff"));
        QVERIFY(encodeBytesMessage(MSG_PICTURE_CHUNK, bytes).size() <= 65507);
        QCOMPARE(std::get<PictureChunk>(parsePictureChunk(bytes)), chunk);

        const auto refused = [](const QByteArray &payload) {
            return std::holds_alternative<QString>(parsePictureChunk(payload));
        };
        QVERIFY(refused(bytes.first(40))); // no data
        QVERIFY(refused(bytes.first(20))); // not even a hash and offset
        QVERIFY(refused(bytes + 'x'));     // a byte over a chunk
        QVERIFY(refused(QByteArray(bytes).replace(32, 8, QByteArray::fromHex("0000010000000000"))));
        QVERIFY(!refused(bytes.first(41)));
    }

    // The cache keeps within its limit, least recently used first, never
    // the picture in use, and names nothing it did not check.
    void cacheEvictsLeastRecentlyUsed()
    {
        QTemporaryDir dir;
        PictureCache cache(dir.path(), 2500);
        const QByteArray a = randomBytes(1000, 1), b = randomBytes(1000, 2), c = randomBytes(1000, 3);
        QVERIFY(cache.store(sha256(b), a).isEmpty()); // wrong bytes for the name
        QVERIFY(!cache.store(sha256(a), a).isEmpty());
        QTest::qWait(20);
        QVERIFY(!cache.store(sha256(b), b).isEmpty());
        QTest::qWait(20);
        QVERIFY(!cache.pathFor(sha256(a)).isEmpty()); // a used after b
        QTest::qWait(20);
        QVERIFY(!cache.store(sha256(c), c).isEmpty());
        QVERIFY(cache.pathFor(sha256(b)).isEmpty());
        QVERIFY(!cache.pathFor(sha256(a)).isEmpty());
        QCOMPARE(cache.usedBytes(), 2000);

        cache.setInUse(sha256(c));
        cache.setLimitBytes(500);
        QVERIFY(cache.pathFor(sha256(a)).isEmpty());
        QCOMPARE(readFile(cache.pathFor(sha256(c))), c);

        QVERIFY(writeFile(cache.partPath(sha256(a)), b));
        QVERIFY(cache.adoptPart(sha256(a)).isEmpty());
        QVERIFY(!QFile::exists(cache.partPath(sha256(a))));
    }

    // Refusals say why and send nothing.
    void limitsAndSettingRefuseDownloads()
    {
        FakeSession s(2);
        const QByteArray picture = randomBytes(5000, 4);
        QSignalSpy failed(&s[2].exchange, &PictureSupply::failed);
        auto settings = s[2].exchange.settings();
        settings.downloadsAllowed = false;
        s[2].exchange.setSettings(settings);
        s[2].exchange.request(shown(picture));
        settings.downloadsAllowed = true;
        settings.maxPictureBytes = 4999;
        s[2].exchange.setSettings(settings);
        s[2].exchange.request(shown(picture));
        QCOMPARE(failed.size(), 2);
        QVERIFY(failed.at(0).at(1).toString().contains(u"turned off"));
        QVERIFY(failed.at(1).at(1).toString().contains(u"larger than the limit"));
        QVERIFY(s[1].transport.inbox.empty());
    }

    // The master first; it lacks the picture, so the first holder; that one
    // leaves mid-way, so the next, which fell silent, is given up by
    // time-out; the last holder finishes from where the first stopped.
    void sourcesFallBackInTurn()
    {
        FakeSession s(5);
        const QByteArray picture = randomBytes(10 * kPictureChunkBytes + 7, 5);
        for (int id : {2, 3, 4}) {
            QVERIFY(writeFile(s[id].mapDir.filePath(QStringLiteral("p.jpg")), picture));
            s[id].exchange.request(shown(picture));
        }
        s.pump();
        QSignalSpy ready(&s[5].exchange, &PictureSupply::ready);
        QSignalSpy progress(&s[5].exchange, &PictureSupply::progress);
        s[3].silent = true;
        auto settings = s[5].exchange.settings();
        settings.progressInterval = std::chrono::hours(1);
        s[5].exchange.setSettings(settings);
        s[2].exchange.setChunkTamper([&](qint64 offset, QByteArray &) {
            if (offset == 3 * kPictureChunkBytes)
                s.leave(2);
        });
        s[5].exchange.request(shown(picture));
        QVERIFY(QTest::qWaitFor([&] {
            s.pump();
            return ready.size() == 1;
        }));
        QCOMPARE(readFile(ready.at(0).at(1).toString()), picture);
        QCOMPARE(s[1].exchange.counters().chunkBytesOut, 0);
        const int window = s[5].exchange.settings().window;
        QVERIFY(window > 3);
        QCOMPARE(s[2].exchange.counters().chunkBytesOut, window * kPictureChunkBytes); // its window; 3 arrived
        QVERIFY(s[4].exchange.counters().chunkBytesOut > 0);
        QCOMPARE(s[4].exchange.counters().chunkBytesOut, picture.size() - 3 * kPictureChunkBytes);
        QCOMPARE(s[5].exchange.counters().chunkBytesIn, picture.size());
        QCOMPARE(progress.size(), 2); // at the start and the end, not per chunk
        QCOMPARE(progress.last().at(1).toLongLong(), picture.size());
    }

    // Bad and stray input is skipped and logged; asks for what a copy does
    // not hold get "not held".
    void badInputIsSkipped()
    {
        FakeSession s(2);
        const QByteArray picture = randomBytes(3000, 6);
        const QString hex = hashToHex(sha256(picture));
        s[2].exchange.request(shown(picture)); // nobody holds it yet
        s.pump();
        for (int i = 0; i < 2; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("skipped a picture message.*")));
        const auto chunk = [](const QByteArray &hash, qint64 bytes) {
            return encodeBytesMessage(MSG_PICTURE_CHUNK, formatPayload(PictureChunk{hash, 0, QByteArray(bytes, 'c')}));
        };
        s.postMessage(1, 2, chunk(sha256(picture), 3));        // 3 bytes, the picture has 3000
        s.postMessage(1, 2, chunk(QByteArray(32, 'x'), 3000)); // not wanted
        s.post(1, 2, MSG_PICTURE_CHUNK, hex + u";0;AAAA");     // text where bytes belong
        s.post(2, 1, MSG_PICTURE_REQUEST, hex + u";0;100");
        s.pump();
        QCOMPARE(s[2].exchange.counters().badMessages, 2);
        QCOMPARE(s[2].exchange.counters().chunkBytesIn, 0);
        QCOMPARE(s[1].exchange.counters().chunkBytesOut, 0);

        const QString path = s[1].mapDir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(writeFile(path, picture));
        s[1].exchange.offer(sha256(picture), path);
        s.post(2, 1, MSG_PICTURE_REQUEST, hex + u";2990;20"); // past its end: nothing served
        QVERIFY(QTest::qWaitFor([&] {
            s.pump();
            return !s[2].exchange.localPath(sha256(picture)).isEmpty();
        }));
        QCOMPARE(s[1].exchange.counters().chunkBytesOut, picture.size());
    }
};

QTEST_GUILESS_MAIN(PictureExchangeTest)
#include "tst_picture_exchange.moc"
