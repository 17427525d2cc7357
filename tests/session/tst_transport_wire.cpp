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

    void badLengthsAreRefusedAtTheHeader_data()
    {
        QTest::addColumn<std::uint32_t>("length");
        QTest::newRow("zero") << 0u;
        QTest::newRow("cap + 1") << kCap + 1;
        QTest::newRow("negative as signed") << 0x80000000u;
        QTest::newRow("all ones") << 0xffffffffu;
    }
    void badLengthsAreRefusedAtTheHeader()
    {
        QFETCH(std::uint32_t, length);
        // Only the four header bytes: no body needs to arrive to know.
        QCOMPARE(decodeFrame(header(length), kCap).status, DecodedFrame::Status::Bad);
    }

    void frameAtTheCapIsAcceptedAndUnknownKindIsNot()
    {
        const QByteArray atCap = header(kCap) + char(FrameKind::Send) + QByteArray(kCap - 1, '\0');
        const auto ok = decodeFrame(atCap, kCap);
        QCOMPARE(ok.status, DecodedFrame::Status::Complete);
        QCOMPARE(ok.consumed, atCap.size());
        QCOMPARE(decodeFrame(QByteArray(header(1) + char(0x7f)), kCap).status, DecodedFrame::Status::Bad);
        QCOMPARE(decodeFrame(header(5), kCap).status, DecodedFrame::Status::NeedMore);
    }

    void everyFrameBodyRoundTrips()
    {
        const RosterEntry a{1, QStringLiteral("Scout(DM)"), QString(), 4000, 11};
        const RosterEntry b{2, QStringLiteral("Ränger"), QStringLiteral("10.0.0.2"), 4001, 12};
        const WelcomeFrame welcome{2, 99, 3, 40, 2, 1, QStringLiteral("TestChat"), 99, 8196, {a, b}};
        const auto body = [](const QByteArray &frame) { return QByteArrayView(frame).sliced(kFrameHeaderBytes + 1); };
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

    void malformedBodiesAreRefused()
    {
        const QByteArray hello = encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("A"), 1});
        const QByteArrayView body = QByteArrayView(hello).sliced(kFrameHeaderBytes + 1);
        // Every truncation and one trailing byte too many.
        for (qsizetype n = 0; n < body.size(); ++n)
            QVERIFY(!parseHello(body.first(n)));
        QVERIFY(!parseHello(QByteArray(body.toByteArray() + 'x')));
        // An empty name, a zero id, a string longer than its frame, bad UTF-8.
        QVERIFY(!parseHello(QByteArrayView(encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QString(), 1}))
                                .sliced(kFrameHeaderBytes + 1)));
        QVERIFY(!parseLeft(QByteArrayView(encode(LeftFrame{1, 0})).sliced(kFrameHeaderBytes + 1)));
        QByteArray lying = body.toByteArray();
        lying[6] = '\x7f'; // the guid's length field now claims far more than there is
        QVERIFY(!parseHello(lying));
        QByteArray badUtf8 = encode(HelloFrame{QStringLiteral("{g}"), kProtocolVersion, QStringLiteral("AB"), 1});
        badUtf8[badUtf8.size() - 3] = '\xff';
        QVERIFY(!parseHello(QByteArrayView(badUtf8).sliced(kFrameHeaderBytes + 1)));
    }

    void handshakeOfAnotherVersionStillNamesItsVersion()
    {
        // A future version may lay out the rest differently; the host must
        // still be able to say "wrong version" rather than "garbage".
        constexpr std::uint16_t future = kProtocolVersion + 1;
        QByteArray frame = encode(QueryFrame{QStringLiteral("{g}"), future});
        frame.append("future fields");
        frame = encodeFrame(FrameKind::Hello, QByteArrayView(frame).sliced(kFrameHeaderBytes + 1));
        const auto parsed = parseHandshake(FrameKind::Hello, QByteArrayView(frame).sliced(kFrameHeaderBytes + 1));
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
