// The bulk lane: picture-sized data must not hold up chat on the way, must
// not push chat out of the host's resume history, and must be dropped rather
// than queued without bound for a receiver that does not read.
#include "RawClient.h"
#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QElapsedTimer>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

constexpr int kChunkBytes = 48 * 1024;

// Tags "0", "1", ... each at most once and rising: the order one link keeps.
bool risingOnce(const QStringList &tags)
{
    int last = -1;
    for (const auto &t : tags) {
        const int n = t.toInt();
        if (n <= last)
            return false;
        last = n;
    }
    return true;
}

// Sends chunks until `count` were accepted, waiting (in the event loop)
// whenever the sender's own bulk queue is full; false if that took too long.
bool stream(Peer &from, PlayerId to, int first, int count, const std::function<void()> &meanwhile = {})
{
    QElapsedTimer clock;
    clock.start();
    for (int i = first; i < first + count;) {
        if (from.sendBulk(to, QString::number(i), kChunkBytes)) {
            ++i;
            continue;
        }
        if (clock.elapsed() > 60000)
            return false;
        if (meanwhile)
            meanwhile();
        QTest::qWait(1);
    }
    return true;
}

} // namespace

class TransportBulkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A streams 20 MB to B through the host; a chat line from A, sent after
    // all of it was queued, and one from C reach B while most of the stream
    // is still on its way. The stream itself arrives whole and in order.
    void chatOvertakesBulk()
    {
        TransportSettings s = fastSettings();
        s.bulkQueueBytes = 32 * 1024 * 1024; // the whole stream fits: nothing is dropped here
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("H")));
        QVERIFY(joinAll(host.port(), {&a, &b, &c}));
        QVERIFY(settled({&host, &a, &b, &c}));

        const int chunks = 20 * 1000 * 1000 / kChunkBytes;
        for (int i = 0; i < chunks; ++i) {
            QVERIFY(a.sendBulk(b.id(), QString::number(i), kChunkBytes));
            // Queueing all of it takes seconds under a sanitizer: long enough
            // for the links to miss their pings and break, if not served.
            if (i % 16 == 0)
                QCoreApplication::processEvents();
        }
        QVERIFY(a.say(QStringLiteral("from A"), b.id()));
        QVERIFY(c.say(QStringLiteral("from C")));
        QVERIFY(b.got(QStringLiteral("from A"), 30000));
        QVERIFY(b.got(QStringLiteral("from C"), 30000));

        // How much of the stream B had when each chat line came.
        const QStringList seen = b.texts();
        const auto bulkBefore = [&](const QString &line) {
            return int(std::count_if(seen.cbegin(), seen.cbegin() + seen.indexOf(line),
                                     [](const QString &t) { return !t.startsWith(QLatin1String("from")); }));
        };
        qInfo("chat from A after %d of %d chunks, from C after %d", bulkBefore(QStringLiteral("from A")), chunks,
              bulkBefore(QStringLiteral("from C")));
        QVERIFY(bulkBefore(QStringLiteral("from A")) < chunks / 2);
        QVERIFY(bulkBefore(QStringLiteral("from C")) < chunks / 2);

        QVERIFY(QTest::qWaitFor([&] { return b.bulkTags().size() >= chunks; }, 60000));
        QCOMPARE(b.bulkTags().size(), chunks);
        QVERIFY(risingOnce(b.bulkTags()));
        QVERIFY(c.bulkTags().isEmpty());
    }

    // The links of a program share what a pass may write and take turns:
    // two members fetching at once both progress, neither waits for the
    // other to finish.
    void linksTakeTurnsWithBulk()
    {
        TransportSettings s = fastSettings();
        s.bulkQueueBytes = 32 * 1024 * 1024;
        s.bulkFramesPerPass = 1;
        Peer host(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("H")));
        QVERIFY(joinAll(host.port(), {&b, &c}));
        QVERIFY(settled({&host, &b, &c}));

        const int chunks = 120;
        for (int i = 0; i < chunks; ++i) {
            QVERIFY(host.sendBulk(b.id(), QString::number(i), kChunkBytes));
            QVERIFY(host.sendBulk(c.id(), QString::number(i), kChunkBytes));
        }
        QVERIFY(QTest::qWaitFor([&] { return b.bulkTags().size() >= chunks || c.bulkTags().size() >= chunks; }, 60000));
        const qsizetype behind = std::min(b.bulkTags().size(), c.bulkTags().size());
        QVERIFY2(behind >= chunks * 3 / 4, qPrintable(QStringLiteral("the other had %1").arg(behind)));
        QVERIFY(QTest::qWaitFor([&] { return std::min(b.bulkTags().size(), c.bulkTags().size()) >= chunks; }, 60000));
        QVERIFY(risingOnce(b.bulkTags()));
        QVERIFY(risingOnce(c.bulkTags()));
    }

    // B's link is cut in the middle of a stream larger than the host's
    // resume history. B resumes and gets every chat line it missed, once;
    // none of the bulk sent while it was away is replayed.
    void bulkIsNotReplayedOnResume()
    {
        const TransportSettings s = fastSettings();
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("H")));
        QVERIFY(joinAll(host.port(), {&a, &b, &c}));
        QVERIFY(settled({&host, &a, &b, &c}));

        QVERIFY(stream(a, b.id(), 0, 40));
        QVERIFY(QTest::qWaitFor([&] { return !b.bulkTags().isEmpty(); }, 10000));
        b.interruptLink(std::chrono::milliseconds(400));
        const int sent = 40 + 6 * 1024 * 1024 / kChunkBytes; // 6 MiB more: beyond the 4 MiB history
        QVERIFY(stream(a, b.id(), 40, sent - 40));
        QVERIFY(a.say(QStringLiteral("away: A")));
        QVERIFY(c.say(QStringLiteral("away: C"), b.id()));
        QVERIFY(host.say(QStringLiteral("away: H")));

        for (const auto *line : {"away: A", "away: C", "away: H"})
            QVERIFY2(b.got(QString::fromLatin1(line), 10000), line);
        QCOMPARE(a.noticeCount(NOTICE_PLAYER_DESTROYED), 0);
        QCOMPARE(b.noticeCount(NOTICE_SESSION_LOST), 0);
        QVERIFY(b.say(QStringLiteral("back")));
        QVERIFY(a.got(QStringLiteral("back")));

        const QStringList tags = b.bulkTags();
        qInfo("B got %lld of %d chunks", qlonglong(tags.size()), sent);
        QVERIFY(tags.size() < sent);
        QVERIFY(risingOnce(tags));
    }

    // A receiver that stops reading: the host's bulk queue for it fills and
    // then drops, instead of growing until its output cap throws it out. Once
    // it reads again, an ordinary message sent after the stream still comes.
    void bulkQueueDropsForStalledReader()
    {
        TransportSettings s = fastSettings();
        s.bulkQueueBytes = 2 * 1024 * 1024;
        s.deadTimeout = std::chrono::milliseconds(20000); // the stalled reader does not answer pings
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("H")));
        QVERIFY(a.join(QStringLiteral("A"), host.port()));
        RawClient stalled;
        // Qt would otherwise read everything into the socket's own buffer.
        stalled.socket().setReadBufferSize(64 * 1024);
        QVERIFY(stalled.connectTo(host.port()));
        const auto welcome = stalled.hello(kGuid, QStringLiteral("R"));
        QVERIFY(welcome);
        const auto r = static_cast<PlayerId>(welcome->playerId);
        QVERIFY(a.heard(NOTICE_PLAYER_CREATED, r));

        // 40 MB: far more than the kernel's buffers on both ends, the
        // socket's backlog and the queue together.
        const int sent = 40 * 1000 * 1000 / kChunkBytes;
        QVERIFY(stream(a, r, 0, sent, [&] { stalled.send(encodeEmpty(FrameKind::Ping)); }));
        // Once the host has this line, it has taken in all of A's stream but
        // what A's own (bounded) queue still holds.
        QVERIFY(a.say(QStringLiteral("after the stream")));
        QVERIFY(host.got(QStringLiteral("after the stream"), 30000));
        QCOMPARE(a.noticeCount(NOTICE_PLAYER_DESTROYED, r), 0);

        // Chunks that came ahead of the line, in either lane.
        int bulk = 0;
        bool chat = false;
        for (auto frame = stalled.next(); frame && !chat; frame = stalled.next()) {
            if (frame->first == FrameKind::BulkDeliver) {
                const auto d = parseBulkDeliver(frame->second);
                QVERIFY(d);
                QCOMPARE(d->from, std::uint32_t(a.id()));
                ++bulk;
            } else if (frame->first == FrameKind::Deliver) {
                const auto d = parseDeliver(frame->second);
                QVERIFY(d);
                const auto m = decodeMessage(d->payload);
                QVERIFY(m);
                chat = m->payload == QStringLiteral("after the stream");
                bulk += m->type == kBulkType ? 1 : 0;
            }
        }
        qInfo("the stalled reader got %d of %d chunks before the chat line", bulk, sent);
        QVERIFY(chat);
        QVERIFY(bulk < sent / 2);
    }
};

QTEST_GUILESS_MAIN(TransportBulkTest)
#include "tst_transport_bulk.moc"
