// The pure parts of the wire format: stream framing, frame bodies and the
// session address the user types.
#include "session/transport/FrameCodec.h"
#include "session/transport/Frames.h"
#include "session/transport/SessionAddress.h"

#include <QtEndian>
#include <QtTest/QtTest>

using namespace vellmar::session;

namespace {

constexpr std::uint32_t kCap = 64 * 1024;

QByteArray header(std::uint32_t length)
{
    char raw[4];
    qToBigEndian(length, raw);
    return QByteArray(raw, 4);
}

// A frame's body: what follows the length and the kind.
QByteArray body(const QByteArray &frame) { return frame.mid(kFrameHeaderBytes + 1); }

// Feeds the stream the way a socket may: in pieces split anywhere.
QList<QByteArray> decodeInPieces(const QByteArray &stream, const QList<qsizetype> &cuts, bool *bad)
{
    QList<QByteArray> frames;
    QByteArray buffer;
    qsizetype from = 0;
    QList<qsizetype> ends = cuts;
    ends.append(stream.size());
    *bad = false;
    for (qsizetype end : ends) {
        buffer.append(stream.mid(from, end - from));
        from = end;
        for (;;) {
            const auto f = decodeFrame(buffer, kCap);
            if (f.status == DecodedFrame::Status::Bad) {
                *bad = true;
                return frames;
            }
            if (f.status == DecodedFrame::Status::NeedMore)
                break;
            frames.append(buffer.left(f.consumed));
            buffer.remove(0, f.consumed);
        }
    }
    return frames;
}

} // namespace

class TransportWireTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void framesSplitAtEveryByteDecodeToWhatWasSent()
    {
        const QList<QByteArray> sent = {
            encode(HelloFrame{QStringLiteral("{app}"), kProtocolVersion, QStringLiteral("Ranger"), 4000}),
            encodeEmpty(FrameKind::Ping),
            encode(SendFrame{7, 0, QByteArray("\x00\x00\x00\x00\x00\x00\x00\x02hi", 10)}),
            encode(DeliverFrame{9, 3, 0, 7, QByteArray(300, 'x')}),
        };
        const QByteArray stream = sent.join();
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            bool bad = false;
            QCOMPARE(decodeInPieces(stream, {cut}, &bad), sent);
            QVERIFY(!bad);
        }
        // Byte by byte, and all at once (several frames in one read).
        QList<qsizetype> everyByte;
        for (qsizetype i = 1; i < stream.size(); ++i)
            everyByte.append(i);
        bool bad = false;
        QCOMPARE(decodeInPieces(stream, everyByte, &bad), sent);
        QCOMPARE(decodeInPieces(stream, {}, &bad), sent);
    }

    void headerDecidesAtOnce_data()
    {
        using S = DecodedFrame::Status;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<S>("status");
        // Only the four header bytes: no body needs to arrive to know.
        QTest::newRow("length zero") << header(0) << S::Bad;
        QTest::newRow("length cap + 1") << header(kCap + 1) << S::Bad;
        QTest::newRow("length negative as signed") << header(0x80000000u) << S::Bad;
        QTest::newRow("length all ones") << header(0xffffffffu) << S::Bad;
        QTest::newRow("length fine, body to come") << header(5) << S::NeedMore;
        QTest::newRow("unknown kind") << header(1) + char(0x7f) << S::Bad;
        QTest::newRow("exactly the cap") << header(kCap) + char(FrameKind::Send) + QByteArray(kCap - 1, '\0')
                                         << S::Complete;
    }
    void headerDecidesAtOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(DecodedFrame::Status, status);
        const auto decoded = decodeFrame(bytes, kCap);
        QCOMPARE(decoded.status, status);
        if (status == DecodedFrame::Status::Complete)
            QCOMPARE(decoded.consumed, bytes.size());
    }

    void everyFrameBodyRoundTrips()
    {
        const RosterEntry a{1, QStringLiteral("Scout(DM)"), QString(), 4000, 11};
        const RosterEntry b{2, QStringLiteral("Ränger"), QStringLiteral("10.0.0.2"), 4001, 12};
        const WelcomeFrame welcome{2, 99, 3, 40, 2, 1, QStringLiteral("TestChat"), 99, 8196, {a, b}};
        QCOMPARE(parseWelcome(body(encode(welcome))), welcome);
        const ResumeFrame resume{QStringLiteral("{g}"), kProtocolVersion, 5, 77, 2, 1234, QStringLiteral("Bo"), 9};
        QCOMPARE(parseResume(body(encode(resume))), resume);
        const InfoFrame info{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("TestChat"), 99, 3, 8196, 47810};
        QCOMPARE(parseInfo(body(encode(info))), info);
        const JoinedFrame joined{8, b};
        QCOMPARE(parseJoined(body(encode(joined))), joined);
        const RejectFrame reject{RejectReason::SessionFull, QStringLiteral("full"), 0, {}, 0};
        QCOMPARE(parseReject(body(encode(reject))), reject);
        const RejectFrame redirect{RejectReason::NotHost, QStringLiteral("not me"), 3, QStringLiteral("10.0.0.2"),
                                   47810};
        QCOMPARE(parseReject(body(encode(redirect))), redirect);
        QVERIFY(!parseReject(body(encode(RejectFrame{RejectReason::NotHost, QString(), 3, QString(), 0}))));
    }

    void versionThreeFieldsRoundTripAndRefuseWhatTheyDoNotKnow()
    {
        const RosterEntry master{4, QStringLiteral("Ann(DM)"), QStringLiteral("10.0.0.4"), 4002, 13, kRoleMaster};
        QCOMPARE(parseJoined(body(encode(JoinedFrame{9, master}))), (JoinedFrame{9, master}));
        const HelloFrame asking{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("Ann"), 1, kRequestMaster};
        QCOMPARE(parseHello(body(encode(asking))), asking);
        const ChallengeFrame challenge{QByteArray(16, 's'), 50000, QByteArray(32, 'n')};
        QCOMPARE(parseChallenge(body(encode(challenge))), challenge);
        const ProofFrame proof{QByteArray(32, 'p')};
        QCOMPARE(parseProof(body(encode(proof))), proof);

        // Bits nobody defined yet, and parameters a member will not spend
        // its time on.
        QVERIFY(!parseJoined(body(encode(JoinedFrame{9, RosterEntry{4, QStringLiteral("A"), {}, 1, 1, 2}}))));
        QVERIFY(
            !parseHello(body(encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("A"), 1, 2}))));
        QVERIFY(!parseChallenge(body(encode(ChallengeFrame{QByteArray(15, 's'), 1, QByteArray(32, 'n')}))));
        QVERIFY(!parseChallenge(body(encode(ChallengeFrame{QByteArray(16, 's'), 0, QByteArray(32, 'n')}))));
        QVERIFY(
            !parseChallenge(body(encode(ChallengeFrame{QByteArray(16, 's'), kMaxKeyRounds + 1, QByteArray(32, 'n')}))));
        QVERIFY(!parseChallenge(body(encode(ChallengeFrame{QByteArray(16, 's'), 1, QByteArray(31, 'n')}))));
        QVERIFY(!parseProof(body(encode(ProofFrame{QByteArray(31, 'p')}))));
    }

    void malformedBodiesAreRefused()
    {
        const QByteArray hello =
            body(encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("A"), 1}));
        // Every truncation and one trailing byte too many.
        for (qsizetype n = 0; n < hello.size(); ++n)
            QVERIFY(!parseHello(hello.first(n)));
        QVERIFY(!parseHello(QByteArray(hello + 'x')));
        // An empty name, a zero id, a string longer than its frame, bad UTF-8.
        QVERIFY(!parseHello(body(encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QString(), 1}))));
        QVERIFY(!parseLeft(body(encode(LeftFrame{1, 0}))));
        QByteArray lying = hello;
        lying[6] = '\x7f'; // the guid's length field now claims far more than there is
        QVERIFY(!parseHello(lying));
        QByteArray badUtf8 = body(encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("AB"), 1}));
        badUtf8[badUtf8.size() - 4] = '\xff'; // the name's second byte (port and requests follow)
        QVERIFY(!parseHello(badUtf8));
    }

    void handshakeOfAnotherVersionStillNamesItsVersion()
    {
        // A future version may lay out the rest differently; the host must
        // still be able to say "wrong version" rather than "garbage".
        constexpr std::uint16_t future = kProtocolVersion + 1;
        const QByteArray futureHello = body(encode(QueryFrame{QStringLiteral("{g}"), future})) + "future fields";
        const auto parsed = parseHandshake(FrameKind::Hello, futureHello);
        QVERIFY(std::holds_alternative<HelloFrame>(parsed));
        QCOMPARE(std::get<HelloFrame>(parsed).version, future);
        QVERIFY(std::holds_alternative<std::monostate>(parseHandshake(FrameKind::Send, {})));
    }

    void sessionAddresses()
    {
        QCOMPARE(parseSessionAddress(QStringLiteral(" gm-laptop "), 47810),
                 (SessionAddress{QStringLiteral("gm-laptop"), 47810}));
        QCOMPARE(parseSessionAddress(QStringLiteral("10.0.0.5:4000"), 47810),
                 (SessionAddress{QStringLiteral("10.0.0.5"), 4000}));
        QCOMPARE(parseSessionAddress(QStringLiteral("[::1]:4000"), 1), (SessionAddress{QStringLiteral("::1"), 4000}));
        QCOMPARE(parseSessionAddress(QStringLiteral("fe80::1"), 7), (SessionAddress{QStringLiteral("fe80::1"), 7}));
        for (const char *bad : {"", "   ", "host:", "host:0", "host:70000", "host:12x", "a b", "[::1", "[::1]x"})
            QVERIFY2(!parseSessionAddress(QString::fromLatin1(bad), 1), bad);
    }
};

QTEST_GUILESS_MAIN(TransportWireTest)
#include "tst_transport_wire.moc"
