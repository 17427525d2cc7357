// Who gets which sequenced event, checked on the wire: live relaying, a
// resume after a dropped connection, a member facing a host that repeats
// itself, and resumes that must change nothing (a wrong token, a member
// claiming that another host took over).
#include "RawClient.h"
#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

// A sequenced frame in a form a failure message can show: "Deliver <from>><to>
// <text>", "Joined <id>", "Left <id>"; other kinds by their number.
struct Seen
{
    QString line;
    std::uint64_t seq = 0;
};

Seen describe(FrameKind kind, const QByteArray &body)
{
    if (kind == FrameKind::Deliver) {
        const auto d = parseDeliver(body);
        const auto m = d ? decodeMessage(d->payload) : std::nullopt;
        if (d && m)
            return {QStringLiteral("Deliver %1>%2 %3").arg(d->from).arg(d->to).arg(m->payload), d->seq};
    } else if (kind == FrameKind::Joined) {
        if (const auto j = parseJoined(body))
            return {QStringLiteral("Joined %1").arg(j->player.id), j->seq};
    } else if (kind == FrameKind::Left) {
        if (const auto l = parseLeft(body))
            return {QStringLiteral("Left %1").arg(l->id), l->seq};
    }
    return {QStringLiteral("kind %1").arg(int(kind)), 0};
}

QByteArray chat(const QString &text) { return encodeMessage({MSG_CHAT, text}); }

// A raw member that keeps what arrives while it waits for an Ack.
class Member : public RawClient
{
public:
    // Everything but pings and acks that arrived, until nothing else came for
    // the time. The host pings an idle link more often than that, so pings
    // must not count as activity or the wait never ends.
    QList<Seen> drain(int ms)
    {
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < ms) {
            const auto f = next(int(ms - quiet.elapsed()));
            if (!f)
                break;
            if (keep(*f))
                quiet.restart();
        }
        return std::exchange(m_held, {});
    }
    // Sends and waits for the host's confirmation; the seq it got (0: refused).
    std::uint64_t sendAcked(std::uint64_t csn, PlayerId to, const QString &text)
    {
        send(encode(SendFrame{csn, static_cast<std::uint32_t>(to), chat(text)}));
        for (auto f = next(); f; f = next()) {
            const auto ack = f->first == FrameKind::Ack ? parseAck(f->second) : std::nullopt;
            if (ack && ack->csn == csn)
                return ack->seq;
            keep(*f);
        }
        return 0;
    }
    std::optional<WelcomeFrame> join(std::uint16_t port, const QString &name)
    {
        return connectTo(port) ? hello(kGuid, name) : std::nullopt;
    }

private:
    bool keep(const std::pair<FrameKind, QByteArray> &f)
    {
        if (f.first == FrameKind::Ping || f.first == FrameKind::Ack)
            return false;
        m_held.append(describe(f.first, f.second));
        return true;
    }
    QList<Seen> m_held;
};

QStringList lines(const QList<Seen> &seen)
{
    QStringList out;
    for (const auto &s : seen)
        out << s.line;
    return out;
}

// A host that says exactly what the test scripts: a Welcome to whoever
// says Hello, then the given frames, in one write.
class ScriptedHost : public QObject
{
public:
    explicit ScriptedHost(QByteArray script) : m_script(std::move(script))
    {
        m_server.listen(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_socket = m_server.nextPendingConnection();
            connect(m_socket, &QTcpSocket::readyRead, this, &ScriptedHost::onRead);
        });
    }
    std::uint16_t port() const { return m_server.serverPort(); }

private:
    void onRead()
    {
        m_in.append(m_socket->readAll());
        const auto f = decodeFrame(m_in, 1u << 16);
        if (f.status != DecodedFrame::Status::Complete || f.kind != FrameKind::Hello || m_answered)
            return;
        m_answered = true;
        const auto hello = parseHello(f.body);
        const QList<RosterEntry> roster{{1, QStringLiteral("GM"), QString(), port(), 1},
                                        {2, hello ? hello->name : QString(), QString(), 0, 2}};
        m_socket->write(encode(WelcomeFrame{2, 7, 1, 10, 2, 1, QStringLiteral("Scripted"), 99, kFlags, roster})
                        + m_script);
    }

    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_in;
    QByteArray m_script;
    bool m_answered = false;
};

} // namespace

class TransportResumeTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Raw members see exactly what the host sends: a send to all reaches
    // everyone but its sender, a directed one only its addressee.
    void eachMessageReachesExactlyThoseItConcerns()
    {
        auto s = fastSettings();
        s.deadTimeout = std::chrono::seconds(30); // raw clients send no pings
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM")));
        Member a, b, c;
        const auto wa = a.join(host.port(), QStringLiteral("A"));
        const auto wb = b.join(host.port(), QStringLiteral("B"));
        const auto wc = c.join(host.port(), QStringLiteral("C"));
        QVERIFY(wa && wb && wc);
        const auto aId = static_cast<PlayerId>(wa->playerId);
        const auto bId = static_cast<PlayerId>(wb->playerId);
        QVERIFY(a.sendAcked(1, 0, QStringLiteral("a to all")) != 0);
        QVERIFY(a.sendAcked(2, bId, QStringLiteral("a to b")) != 0);
        QVERIFY(b.sendAcked(1, 0, QStringLiteral("b to all")) != 0);
        QVERIFY(host.say(QStringLiteral("gm to all")));

        const QString fromA = QStringLiteral("Deliver %1>").arg(aId);
        const QString fromB = QStringLiteral("Deliver %1>").arg(bId);
        const QString fromGm = QStringLiteral("Deliver %1>0 gm to all").arg(host.id());
        QCOMPARE(lines(a.drain(300)),
                 (QStringList{QStringLiteral("Joined %1").arg(bId), QStringLiteral("Joined %1").arg(wc->playerId),
                              fromB + QStringLiteral("0 b to all"), fromGm}));
        QCOMPARE(lines(b.drain(300)),
                 (QStringList{QStringLiteral("Joined %1").arg(wc->playerId), fromA + QStringLiteral("0 a to all"),
                              fromA + QStringLiteral("%1 a to b").arg(bId), fromGm}));
        QCOMPARE(lines(c.drain(300)),
                 (QStringList{fromA + QStringLiteral("0 a to all"), fromB + QStringLiteral("0 b to all"), fromGm}));
        QCOMPARE(host.texts(), (QStringList{QStringLiteral("a to all"), QStringLiteral("b to all")}));
    }

    // A member whose connection broke without a Bye comes back with Resume
    // and gets every event it missed that concerns it, in seq order, once;
    // whether or not the host noticed the break before the resume.
    void resumeReplaysWhatTheMemberMissedOnce_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::newRow("connection closed") << true;
        QTest::newRow("connection left hanging") << false;
    }
    void resumeReplaysWhatTheMemberMissedOnce()
    {
        QFETCH(bool, closed);
        auto s = fastSettings();
        s.deadTimeout = std::chrono::seconds(30);
        s.resumeGrace = std::chrono::seconds(10);
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM")));
        Member a, b;
        const auto wa = a.join(host.port(), QStringLiteral("A"));
        const auto wb = b.join(host.port(), QStringLiteral("B"));
        QVERIFY(wa && wb);
        const auto aId = static_cast<PlayerId>(wa->playerId);
        const auto bId = static_cast<PlayerId>(wb->playerId);
        // A has taken some events, its own send among them; then its link breaks.
        QVERIFY(a.sendAcked(1, 0, QStringLiteral("a before")) != 0);
        QVERIFY(b.sendAcked(1, 0, QStringLiteral("b before")) != 0);
        const QList<Seen> before = a.drain(200);
        QCOMPARE(before.size(), 2);
        const std::uint64_t lastSeq = before.last().seq;
        if (closed)
            a.socket().abort();

        QVERIFY(b.sendAcked(2, 0, QStringLiteral("b to all")) != 0);
        QVERIFY(b.sendAcked(3, aId, QStringLiteral("b to a")) != 0);
        QVERIFY(b.sendAcked(4, host.id(), QStringLiteral("b to gm")) != 0);
        QVERIFY(host.say(QStringLiteral("gm to all")));
        QVERIFY(host.say(QStringLiteral("gm to a"), aId));
        Member c;
        const auto wc = c.join(host.port(), QStringLiteral("C"));
        QVERIFY(wc);
        QVERIFY(c.sendAcked(1, 0, QStringLiteral("c to all")) != 0);
        c.send(encodeEmpty(FrameKind::Bye));
        QVERIFY(host.heard(NOTICE_PLAYER_DESTROYED, static_cast<PlayerId>(wc->playerId)));

        Member back;
        QVERIFY(back.connectTo(host.port()));
        back.send(encode(
            ResumeFrame{kGuid, kProtocolVersion, wa->playerId, wa->token, wa->epoch, lastSeq, QStringLiteral("A"), 0}));
        const auto welcome = back.next();
        QVERIFY(welcome && welcome->first == FrameKind::Welcome);
        const QList<Seen> missed = back.drain(300);
        const QString b2 = QStringLiteral("Deliver %1>").arg(bId);
        const QString gm = QStringLiteral("Deliver %1>").arg(host.id());
        QCOMPARE(lines(missed),
                 (QStringList{b2 + QStringLiteral("0 b to all"), b2 + QStringLiteral("%1 b to a").arg(aId),
                              gm + QStringLiteral("0 gm to all"), gm + QStringLiteral("%1 gm to a").arg(aId),
                              QStringLiteral("Joined %1").arg(wc->playerId),
                              QStringLiteral("Deliver %1>0 c to all").arg(wc->playerId),
                              QStringLiteral("Left %1").arg(wc->playerId)}));
        for (qsizetype i = 0; i < missed.size(); ++i)
            QVERIFY(missed[i].seq > (i == 0 ? lastSeq : missed[i - 1].seq));

        // The same player on its new connection; nobody else noticed a thing.
        QVERIFY(back.sendAcked(2, 0, QStringLiteral("a after")) > missed.last().seq);
        QVERIFY(b.sendAcked(5, 0, QStringLiteral("b after")) != 0);
        QCOMPARE(lines(back.drain(300)), QStringList{b2 + QStringLiteral("0 b after")});
        QVERIFY(host.got(QStringLiteral("a after")));
        QCOMPARE(host.noticeCount(NOTICE_PLAYER_DESTROYED, aId), 0);
        QVERIFY(!lines(b.drain(100)).contains(QStringLiteral("Left %1").arg(aId)));
    }

    // Someone who knows a player's id but not its token cannot take its
    // place, nor push it out: the player's own connection carries on.
    void resumeWithAWrongTokenIsRefusedAndThePlayerStays()
    {
        auto s = fastSettings();
        s.deadTimeout = std::chrono::seconds(30);
        Peer host(s), b(s);
        QVERIFY(host.host(QStringLiteral("GM")));
        Member a;
        const auto wa = a.join(host.port(), QStringLiteral("A"));
        QVERIFY(wa);
        QVERIFY(b.join(QStringLiteral("B"), host.port()));
        QCOMPARE(lines(a.drain(200)), QStringList{QStringLiteral("Joined %1").arg(b.id())});

        for (std::uint32_t epoch : {wa->epoch, wa->epoch + 1}) {
            RawClient thief;
            QVERIFY(thief.connectTo(host.port()));
            thief.send(encode(
                ResumeFrame{kGuid, kProtocolVersion, wa->playerId, wa->token ^ 1, epoch, 0, QStringLiteral("A"), 0}));
            const auto reject = thief.rejection();
            QVERIFY(reject);
            QCOMPARE(reject->reason, RejectReason::UnknownPlayer);
            QVERIFY(thief.waitClosed(2000));
        }
        QVERIFY(b.say(QStringLiteral("to a"), static_cast<PlayerId>(wa->playerId)));
        QCOMPARE(lines(a.drain(300)), QStringList{QStringLiteral("Deliver %1>%2 to a").arg(b.id()).arg(wa->playerId)});
        QCOMPARE(a.socket().state(), QAbstractSocket::ConnectedState);
        QVERIFY(a.sendAcked(1, 0, QStringLiteral("still me")) != 0);
        QVERIFY(b.got(QStringLiteral("still me")));
        QVERIFY(host.transport().isHost());
        QCOMPARE(host.noticeCount(NOTICE_PLAYER_DESTROYED), 0);
        QCOMPARE(b.noticeCount(NOTICE_PLAYER_DESTROYED), 0);
    }

    // A member's own id and token with a later epoch is what a new host
    // tells a replaced one. From a member while the host still hears the
    // others, it ends nothing: not while its own link is up, nor after it
    // dropped it.
    void aMembersClaimThatAnotherHostTookOverChangesNothing()
    {
        auto s = fastSettings();
        s.resumeGrace = std::chrono::seconds(10);
        Peer host(s), a(s), b(s);
        QVERIFY(host.host(QStringLiteral("GM")));
        QVERIFY(joinAll(host.port(), {&a, &b}));
        Member liar;
        const auto w = liar.join(host.port(), QStringLiteral("Liar"));
        QVERIFY(w);
        const auto claim = encode(ResumeFrame{kGuid, kProtocolVersion, w->playerId, w->token, w->epoch + 1, w->lastSeq,
                                              QStringLiteral("Liar"), 0});
        for (bool dropOwnLink : {false, true}) {
            if (dropOwnLink)
                liar.socket().abort();
            RawClient claimant;
            QVERIFY(claimant.connectTo(host.port()));
            claimant.send(claim);
            QVERIFY(claimant.rejection());
            QTest::qWait(int(4 * s.pingInterval.count()));

            QVERIFY(host.transport().isHost());
            const QString text = QStringLiteral("still on %1").arg(dropOwnLink);
            QVERIFY(a.say(text));
            QVERIFY(b.got(text));
            QVERIFY(host.got(text));
            if (!dropOwnLink)
                QVERIFY(lines(liar.drain(300)).contains(QStringLiteral("Deliver %1>0 %2").arg(a.id()).arg(text)));
        }
        Peer late(s);
        QVERIFY(late.join(QStringLiteral("Late"), host.port()));
        for (Peer *p : {&host, &a, &b})
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_DESTROYED), 0);
    }

    // Events whose seq a member already took are ignored, whatever they
    // say; so are messages that are not for it.
    void memberIgnoresEventsWhoseSeqItAlreadyTook()
    {
        const auto deliver = [](std::uint64_t seq, std::uint32_t to, const char *text) {
            return encode(DeliverFrame{seq, 1, to, seq, chat(QString::fromLatin1(text))});
        };
        const auto player = [](std::uint32_t id, const char *name) {
            return RosterEntry{id, QString::fromLatin1(name), QStringLiteral("127.0.0.1"), 1, id};
        };
        // The Welcome says the member's sequence starts above 10.
        ScriptedHost scripted(deliver(10, 0, "from before the welcome") + deliver(11, 0, "one")
                              + deliver(11, 0, "one again") + encode(JoinedFrame{12, player(3, "C")})
                              + encode(JoinedFrame{12, player(4, "D")}) + deliver(12, 0, "under a joined's seq")
                              + encode(LeftFrame{12, 3}) + deliver(13, 0, "two") + deliver(14, 3, "for C only")
                              + deliver(15, 2, "three"));
        const auto s = fastSettings();
        Peer member(s);
        QVERIFY(member.join(QStringLiteral("M"), scripted.port()));
        QTRY_COMPARE_WITH_TIMEOUT(member.texts().size(), 3, 3000);
        QTest::qWait(100);
        QCOMPARE(member.texts(), (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}));
        QCOMPARE(member.noticeCount(NOTICE_PLAYER_CREATED), 1);
        QCOMPARE(member.noticeCount(NOTICE_PLAYER_CREATED, 3), 1);
        QCOMPARE(member.noticeCount(NOTICE_PLAYER_DESTROYED), 0);
        QCOMPARE(member.playerIds(), (QList<PlayerId>{1, 2, 3}));
    }
};

QTEST_GUILESS_MAIN(TransportResumeTest)
#include "tst_transport_resume.moc"
