#include "session/protocol/Messages.h"

#include <QtTest/QTest>

using namespace vellmar::session;

namespace {

template <typename T>
T parsedValue(const Parsed<T> &parsed)
{
    if (const auto *error = std::get_if<QString>(&parsed))
        qFatal("unexpected parse error: %s", qPrintable(*error));
    return std::get<T>(parsed);
}

template <typename T>
QString parsedError(const Parsed<T> &parsed)
{
    const auto *error = std::get_if<QString>(&parsed);
    return error ? *error : QString();
}

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void messageRoundTrip_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("payload");
        QTest::newRow("chat with separator") << int(MSG_CHAT) << QStringLiteral("a;b;;c");
        QTest::newRow("empty payload") << int(MSG_PARTY_CHAT) << QString();
        QTest::newRow("non-latin text") << int(MSG_PRIVATE_CHAT) << QStringLiteral("Grüße, ドラゴン 🐉");
        QTest::newRow("negative type") << -7 << QStringLiteral("x");
    }
    void messageRoundTrip()
    {
        QFETCH(int, type);
        QFETCH(QString, payload);
        const auto decoded = decodeMessage(encodeMessage({type, payload}));
        QVERIFY(decoded);
        QCOMPARE(decoded->type, type);
        QCOMPARE(decoded->payload, payload);
    }

    void messageBytesAreBigEndianWithCountedUtf8()
    {
        QCOMPARE(encodeMessage({MSG_PLACE_MARKER, QStringLiteral("é")}), QByteArray::fromHex("00000006"
                                                                                             "00000002"
                                                                                             "c3a9"));
    }

    void truncatedOrPaddedMessagesAreRefused()
    {
        const QByteArray whole = encodeMessage({MSG_CHAT, QStringLiteral("hello")});
        for (qsizetype cut = 0; cut < whole.size(); ++cut) {
            const auto decoded = decodeMessage(whole.left(cut));
            // Only the bare type (4 bytes) is a message on its own.
            QCOMPARE(decoded.has_value(), cut == 4);
        }
        QVERIFY(!decodeMessage(whole + '\0'));
        // A string length that claims more than the message holds, or is negative.
        QVERIFY(!decodeMessage(QByteArray::fromHex("00000000"
                                                   "7fffffff"
                                                   "41")));
        QVERIFY(!decodeMessage(QByteArray::fromHex("00000000"
                                                   "ffffffff")));
    }

    // The value-by-value reader: a value that is not all there is refused
    // and the read position stays, so nothing after it is misread.
    void bufferReadsStopAtAShortOrNegativeValue()
    {
        MessageBuffer buffer(QByteArray::fromHex("fffffff9"
                                                 "00000002"
                                                 "c3a9"
                                                 "ffffffff"
                                                 "0000"));
        QCOMPARE(buffer.ReadLong(), std::optional<std::int32_t>(-7));
        QCOMPARE(buffer.ReadString(), std::optional<QString>(QStringLiteral("é")));
        QVERIFY(!buffer.ReadString()); // a negative count
        QCOMPARE(buffer.ReadLong(), std::optional<std::int32_t>(-1));
        QVERIFY(!buffer.ReadLong()); // two bytes left
        QVERIFY(!buffer.atEnd());

        MessageBuffer written;
        written.WriteLong(-7);
        written.WriteString(QStringLiteral("é"));
        QCOMPARE(written.bytes(), QByteArray::fromHex("fffffff900000002c3a9"));
    }

    void markerPayloadsMatchTheWireExamplesAndRoundTrip()
    {
        const PlaceMarkerPayload place{17, QStringLiteral("Trap"), 240, 118, QStringLiteral("Scout(DM)"), 5};
        QCOMPARE(formatPayload(place), QStringLiteral("17;Trap;240;118;Scout(DM);5"));
        QCOMPARE(parsedValue(parsePlaceMarker(formatPayload(place))), place);
        const UpdateMarkerPayload update{17, QStringLiteral(" spaced "), 250, 120};
        QCOMPARE(formatPayload(update), QStringLiteral("17; spaced ;250;120"));
        QCOMPARE(parsedValue(parseUpdateMarker(formatPayload(update))), update);
        const RequestMarkerPayload request{QStringLiteral("Door"), -5, 0, QStringLiteral("Ranger"), -2};
        QCOMPARE(formatPayload(request), QStringLiteral("Door;-5;0;Ranger;-2"));
        QCOMPARE(parsedValue(parseRequestMarker(formatPayload(request))), request);
        QCOMPARE(formatPayload(RemoveMarkerPayload{17}), QStringLiteral("17"));
        QCOMPARE(parsedValue(parseRemoveMarker(QStringLiteral("-1"))).id, -1);
        // The 32-bit limits and an empty info come back as they were.
        const PlaceMarkerPayload extremes{-2147483647 - 1, QString(), -5, 0, QStringLiteral("Ranger"), 2147483647};
        QCOMPARE(parsedValue(parsePlaceMarker(formatPayload(extremes))), extremes);
    }

    void malformedMarkerPayloadsSayWhy()
    {
        QVERIFY(parsedError(parsePlaceMarker(QStringLiteral("17;Trap;240;118;Scout"))).contains(u"5 fields"));
        QVERIFY(parsedError(parsePlaceMarker(QStringLiteral("17;Tr;ap;240;118;Scout;5"))).contains(u"7 fields"));
        QVERIFY(parsedError(parseUpdateMarker(QStringLiteral("17;Trap;2.5;1"))).contains(u"mapX"));
        QVERIFY(parsedError(parseUpdateMarker(QStringLiteral("17;Trap;1;99999999999"))).contains(u"mapY"));
        QVERIFY(parsedError(parseRequestMarker(QStringLiteral("x;1;2;Ann; 9"))).contains(u"UserID"));
        QVERIFY(parsedError(parseRemoveMarker(QString())).contains(u"id"));
        QVERIFY(parsedError(parseRemoveMarker(QStringLiteral("1;2"))).contains(u"2 fields"));
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
