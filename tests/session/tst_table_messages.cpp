#include "session/protocol/TableMessages.h"

#include <QtTest/QTest>

using namespace vellmar::session;

namespace {

template <typename T>
QString errorOf(const Parsed<T> &parsed)
{
    const auto *error = std::get_if<QString>(&parsed);
    return error ? *error : QString();
}

const QByteArray sha = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");

} // namespace

class TestTableMessages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTrips()
    {
        // Names may hold ";": they are the last field. Grid sizes keep every bit.
        for (const ShowMapPayload &map :
             {ShowMapPayload{22.56, -9, -13, sha, 20'000'000, QStringLiteral("Crypt; of the Old King")},
              ShowMapPayload{0.1 + 0.2, INT32_MIN, INT32_MAX, QByteArray(), 0, QString()},
              ShowMapPayload{1e300, 0, 0, sha, 1, QStringLiteral("ä")}}) {
            const auto parsed = parseShowMap(formatPayload(map));
            QCOMPARE(errorOf(parsed), QString());
            QCOMPARE(std::get<ShowMapPayload>(parsed), map);
        }
        QCOMPARE(formatPayload(ShowMapPayload{22.56, -9, -13, {}, 0, QStringLiteral("Keep")}),
                 QStringLiteral("22.56;-9;-13;;0;Keep"));

        const ShowIconPayload icon{7, -3, 400, 12, QStringLiteral("Badly Hurt"), QStringLiteral("Orc;chief")};
        QCOMPARE(std::get<ShowIconPayload>(parseShowIcon(formatPayload(icon))), icon);
        QCOMPARE(std::get<HideIconPayload>(parseHideIcon(formatPayload(HideIconPayload{7}))).id, 7);

        ShowTurnOrderPayload order{
            3, 1, {{QStringLiteral("Ranger"), QStringLiteral("17")}, {QStringLiteral("Rat"), {}}}};
        QCOMPARE(std::get<ShowTurnOrderPayload>(parseShowTurnOrder(formatPayload(order))), order);
        QCOMPARE(std::get<ShowTurnOrderPayload>(parseShowTurnOrder(QStringLiteral("1;0"))).rows.size(), 0);
        // A ";" in a row would shift every later field: it travels as ",".
        order.rows[1].participant = QStringLiteral("Rat;king");
        QCOMPARE(std::get<ShowTurnOrderPayload>(parseShowTurnOrder(formatPayload(order))).rows.at(1).participant,
                 QStringLiteral("Rat,king"));
    }

    void badInputIsRefusedWithAReason_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("reason");
        const QString hex = QString::fromLatin1(sha.toHex());
        QTest::newRow("map: too few fields") << 1000 << QStringLiteral("22.5;1;2;;0") << QStringLiteral("fields");
        QTest::newRow("map: size not a number") << 1000 << QStringLiteral("x;1;2;;0;K") << QStringLiteral("map10Size");
        QTest::newRow("map: size infinite") << 1000 << QStringLiteral("1e999;1;2;;0;K") << QStringLiteral("map10Size");
        QTest::newRow("map: size nan") << 1000 << QStringLiteral("nan;1;2;;0;K") << QStringLiteral("map10Size");
        QTest::newRow("map: size with blank") << 1000 << QStringLiteral(" 2;1;2;;0;K") << QStringLiteral("map10Size");
        QTest::newRow("map: offset over 32 bits")
            << 1000 << QStringLiteral("2;2147483648;2;;0;K") << QStringLiteral("map10OffsetX");
        QTest::newRow("map: short hash") << 1000 << QStringLiteral("2;1;2;abcd;4;K") << QStringLiteral("sha256");
        QTest::newRow("map: upper-case hash")
            << 1000 << u"2;1;2;" + hex.toUpper() + u";4;K" << QStringLiteral("sha256");
        QTest::newRow("map: negative byte count") << 1000 << u"2;1;2;" + hex + u";-4;K" << QStringLiteral("size");
        QTest::newRow("map: byte count past 64 bits")
            << 1000 << u"2;1;2;" + hex + u";99999999999999999999;K" << QStringLiteral("size");
        QTest::newRow("map: hash without bytes") << 1000 << u"2;1;2;" + hex + u";0;K" << QStringLiteral("size");
        QTest::newRow("map: bytes without hash") << 1000 << QStringLiteral("2;1;2;;10;K") << QStringLiteral("size");
        QTest::newRow("icon: unknown health word")
            << 1010 << QStringLiteral("1;2;3;4;12 of 20;Orc") << QStringLiteral("health");
        QTest::newRow("icon: negative size") << 1010 << QStringLiteral("1;2;3;-4;Hurt;Orc") << QStringLiteral("size");
        QTest::newRow("icon: id not a number") << 1010 << QStringLiteral("a;2;3;4;Hurt;Orc") << QStringLiteral("id");
        QTest::newRow("hide: two fields") << 1011 << QStringLiteral("1;2") << QStringLiteral("fields");
        QTest::newRow("hide: empty") << 1011 << QString() << QStringLiteral("id");
        QTest::newRow("turns: odd row field") << 1012 << QStringLiteral("1;0;Rat") << QStringLiteral("pairs");
        QTest::newRow("turns: no current row") << 1012 << QStringLiteral("1") << QStringLiteral("pairs");
        QTest::newRow("turns: round not a number") << 1012 << QStringLiteral("one;0;Rat;3") << QStringLiteral("round");
    }
    void badInputIsRefusedWithAReason()
    {
        QFETCH(int, type);
        QFETCH(QString, payload);
        QFETCH(QString, reason);
        QString error;
        switch (type) {
        case 1000:
            error = errorOf(parseShowMap(payload));
            break;
        case 1010:
            error = errorOf(parseShowIcon(payload));
            break;
        case 1011:
            error = errorOf(parseHideIcon(payload));
            break;
        default:
            error = errorOf(parseShowTurnOrder(payload));
            break;
        }
        QVERIFY2(error.contains(reason), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestTableMessages)
#include "tst_table_messages.moc"
