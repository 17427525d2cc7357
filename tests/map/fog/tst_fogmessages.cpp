// Fog messages: what the tools make fits a message, what the network brings
// is read strictly.
#include "map/fog/FogStep.h"
#include "session/protocol/FogMessages.h"

#include <QtTest/QTest>

using namespace vellmar;
using namespace vellmar::map::fog;
using session::FogStepMessage;

class FogMessagesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepsRoundTrip()
    {
        const QList<FogStep> steps = {
            wholeMap(FogMode::hide),
            rectangle(QRectF(QPointF(30.4, 20.6), QPointF(-5, -7)), FogMode::reveal),
            polygon({QPointF(0, 0), QPointF(10, 0), QPointF(5, 9)}, FogMode::hide),
            brushStroke({QPointF(-262144, 262144), QPointF(1e9, -1e9)}, 1e9, FogMode::reveal).front(),
        };
        for (const FogStep &step : steps) {
            const FogStepMessage message{123456, step};
            const auto parsed = session::parseFogStep(session::formatPayload(message));
            const auto *read = std::get_if<FogStepMessage>(&parsed);
            if (!read)
                QFAIL(qPrintable(std::get<QString>(parsed)));
            QCOMPARE(*read, message);
        }
        QCOMPARE(steps[1].points, (QList<QPoint>{QPoint(-5, -7), QPoint(30, 21)}));
        QCOMPARE(steps[3].diameter, session::kFogMaxDiameter); // clamped, as the points are
        QCOMPARE(steps[3].points.back(), QPoint(session::kFogCoordinateLimit, -session::kFogCoordinateLimit));
    }

    // Long strokes become several steps that join up; long outlines are
    // thinned; the largest step still fits in 4 KiB.
    void toolsKeepStepsSmall()
    {
        QList<QPointF> points;
        for (int i = 0; i < 450; ++i)
            points.append(QPointF(-262000 + i * 3, 262000 - i));
        const auto strokes = brushStroke(points, 40, FogMode::hide);
        QCOMPARE(strokes.size(), 3);
        QCOMPARE(strokes[0].points.size(), session::kFogMaxPoints);
        QCOMPARE(strokes[1].points.front(), strokes[0].points.back());
        QCOMPARE(strokes[2].points.back(), QPoint(-262000 + 449 * 3, 262000 - 449));
        qsizetype total = 0;
        for (const FogStep &s : strokes) {
            QVERIFY(!session::fogStepProblem(s));
            total += s.points.size();
        }
        QCOMPARE(total, 450 + 2);
        QVERIFY(session::formatPayload(FogStepMessage{session::kFogMaxIndex, strokes[0]}).size() < 4096);

        const FogStep outline = polygon(points, FogMode::reveal);
        QCOMPARE(outline.points.size(), session::kFogMaxPoints);
        QCOMPARE(outline.points.front(), QPoint(-262000, 262000));
        QCOMPARE(outline.points.back(), strokes[2].points.back());
        // A stroke whose points all round to one gives one dot.
        QCOMPARE(brushStroke({QPointF(1.2, 1), QPointF(0.8, 1)}, 0.2, FogMode::hide),
                 (QList<FogStep>{{FogKind::brush, FogMode::hide, 1, {QPoint(1, 1)}}}));
        QVERIFY(brushStroke({}, 5, FogMode::hide).isEmpty());
        QCOMPARE(brushDiameter(2.5, 22.56), 56.4);
    }

    void badStepsAreRefused_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::newRow("empty") << QStringLiteral("");
        QTest::newRow("four fields") << QStringLiteral("0;all;hide;0");
        QTest::newRow("six fields") << QStringLiteral("0;all;hide;0;;");
        QTest::newRow("negative index") << QStringLiteral("-1;all;hide;0;");
        QTest::newRow("plus sign") << QStringLiteral("+1;all;hide;0;");
        QTest::newRow("leading zero") << QStringLiteral("01;all;hide;0;");
        QTest::newRow("index too large") << QStringLiteral("1073741825;all;hide;0;");
        QTest::newRow("ten digits") << QStringLiteral("0000000001;all;hide;0;");
        QTest::newRow("other digits") << QString::fromUtf8("\u0661;all;hide;0;");
        QTest::newRow("unknown kind") << QStringLiteral("0;circle;hide;0;1,1");
        QTest::newRow("kind in capitals") << QStringLiteral("0;ALL;hide;0;");
        QTest::newRow("unknown mode") << QStringLiteral("0;all;toggle;0;");
        QTest::newRow("all with points") << QStringLiteral("0;all;hide;0;1,1");
        QTest::newRow("rect with one point") << QStringLiteral("0;rect;hide;0;1,1");
        QTest::newRow("rect with diameter") << QStringLiteral("0;rect;hide;3;1,1 2,2");
        QTest::newRow("polygon of two") << QStringLiteral("0;polygon;hide;0;1,1 2,2");
        QTest::newRow("brush without diameter") << QStringLiteral("0;brush;hide;0;1,1");
        QTest::newRow("brush too wide") << QStringLiteral("0;brush;hide;16385;1,1");
        QTest::newRow("brush without points") << QStringLiteral("0;brush;hide;5;");
        QTest::newRow("point beyond limit") << QStringLiteral("0;rect;hide;0;0,0 262145,1");
        QTest::newRow("point without comma") << QStringLiteral("0;rect;hide;0;0,0 5");
        QTest::newRow("point of three") << QStringLiteral("0;rect;hide;0;0,0 1,2,3");
        QTest::newRow("two blanks") << QStringLiteral("0;rect;hide;0;0,0  1,2");
        QTest::newRow("trailing blank") << QStringLiteral("0;rect;hide;0;0,0 1,2 ");
        QTest::newRow("minus zero") << QStringLiteral("0;rect;hide;0;-0,0 1,2");
        QString many = QStringLiteral("0;brush;hide;5;");
        for (int i = 0; i <= session::kFogMaxPoints; ++i)
            many += (i ? QStringLiteral(" ") : QString()) + QString::number(i) + QStringLiteral(",1");
        QTest::newRow("201 points") << many;
        QTest::newRow("huge") << QString(QStringLiteral("0;brush;hide;5;") + QString(100000, u'1'));
    }

    void badStepsAreRefused()
    {
        QFETCH(QString, payload);
        const auto parsed = session::parseFogStep(payload);
        QVERIFY(std::holds_alternative<QString>(parsed));
        QVERIFY(std::get<QString>(parsed).startsWith(u"fog-step"));
    }

    void movesAndStateParts()
    {
        QCOMPARE(std::get<session::FogMove>(session::parseFogMove(QStringLiteral("17"))).position, 17);
        for (const char *bad : {"", "-1", "1;2", "x", "1073741825"})
            QVERIFY(std::holds_alternative<QString>(session::parseFogMove(QString::fromLatin1(bad))));

        const QByteArray bytes(2 * session::kFogStatePartBytes + 5, 'f');
        const auto parts = session::splitFogState(bytes, 9);
        QCOMPARE(parts.size(), 3);
        QByteArray joined;
        for (const auto &part : parts) {
            const auto parsed = session::parseFogStatePart(session::formatPayload(part));
            QCOMPARE(std::get<session::FogStatePart>(parsed), part);
            joined += part.data;
        }
        QCOMPARE(joined, bytes);
        QVERIFY(session::formatPayload(parts[0]).size() < 50000);
        const QString tooLong = QString::fromLatin1(QByteArray(session::kFogStatePartBytes + 1, 'x').toBase64());
        for (const QString &bad :
             {QStringLiteral("0;0;1;AAAA"), QStringLiteral("1;1;1;AAAA"), QStringLiteral("1;0;65;AAAA"),
              QStringLiteral("1;0;1;"), QStringLiteral("1;0;1;AA;A"), QStringLiteral("1;0;1;A*AA"),
              QString(QStringLiteral("1;0;1;") + tooLong)})
            QVERIFY2(std::holds_alternative<QString>(session::parseFogStatePart(bad)), qPrintable(bad.left(20)));
    }
};

QTEST_GUILESS_MAIN(FogMessagesTest)
#include "tst_fogmessages.moc"
