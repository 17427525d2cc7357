// The fog in a table document: written so that it reads back to the same
// cells, and every way a fog member can be wrong refused with its reason.

#include "TableSamples.h"
#include "map/fog/FogStep.h"
#include "saving/TableDocument.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest/QTest>

using namespace vellmar;
using map::fog::FogMask;
using map::fog::FogMode;

namespace {

// An 8192 x 4000 picture (cells of 8 pixels) with a few shapes hidden.
FogMask sampleFog()
{
    FogMask fog(QSize(8192, 4000));
    fog.apply(map::fog::wholeMap(FogMode::hide));
    fog.apply(map::fog::rectangle(QRectF(100, 100, 3000, 2000), FogMode::reveal));
    fog.apply(map::fog::polygon({{5000, 100}, {8000, 300}, {6000, 3900}}, FogMode::reveal));
    fog.apply(map::fog::brushStroke({{200, 200}, {2500, 1800}}, 64, FogMode::hide).constFirst());
    return fog;
}

QJsonObject encoded(const saving::TableContent &content)
{
    return QJsonDocument::fromJson(saving::encodeDocument(content, false)).object();
}

} // namespace

class TestFogDocument : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fogReadsBackToTheSameCellsAndRaisesTheVersion()
    {
        saving::TableContent table = testing::sampleTable(3, 2);
        QCOMPARE(encoded(table).value(QStringLiteral("version")).toInt(), 1);
        QVERIFY(!encoded(table).contains(QStringLiteral("fog")));

        table.fog = sampleFog();
        const QJsonObject document = encoded(table);
        // Older readers refuse it rather than show the map whole.
        QCOMPARE(document.value(QStringLiteral("version")).toInt(), saving::tableFormatVersion);
        QCOMPARE(document.value(QStringLiteral("fog")).toObject().value(QStringLiteral("cellSize")).toInt(), 8);
        const auto decoded = saving::decodeDocument(QJsonDocument(document).toJson());
        QVERIFY(std::holds_alternative<saving::DecodedDocument>(decoded));
        const auto &content = std::get<saving::DecodedDocument>(decoded).content;
        QVERIFY(content.fog);
        QCOMPARE(content.fog->hiddenCells(), table.fog->hiddenCells());
        QVERIFY(content == table);
    }

    void aDamagedFogIsRefusedWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        const auto withFog = [](const std::function<void(QJsonObject &)> &change) {
            saving::TableContent table = testing::sampleTable(1, 1);
            table.fog = FogMask(QSize(640, 480));
            table.fog->apply(map::fog::rectangle(QRectF(0, 0, 100, 100), FogMode::hide));
            QJsonObject root = encoded(table);
            change(root);
            return QJsonDocument(root).toJson();
        };
        const auto fogMember = [&](const QString &key, const QJsonValue &value) {
            return withFog([&](QJsonObject &root) {
                QJsonObject fog = root.value(QStringLiteral("fog")).toObject();
                fog.insert(key, value);
                root.insert(QStringLiteral("fog"), fog);
            });
        };
        using Kind = saving::TableProblem::Kind;
        // 640 x 480 has 320 x 240 cells of 2: one run too few or too many.
        QTest::newRow("runs short") << fogMember(QStringLiteral("hiddenRuns"),
                                                 QString::fromLatin1(QByteArray("\x05\x05").toBase64()))
                                    << int(Kind::Truncated) << "hidden cells do not add up";
        QTest::newRow("not base64") << fogMember(QStringLiteral("hiddenRuns"), QStringLiteral("*&^"))
                                    << int(Kind::Truncated) << "hidden cells do not add up";
        QTest::newRow("cell size") << fogMember(QStringLiteral("cellSize"), 4) << int(Kind::NotATable)
                                   << "cell size does not fit";
        QTest::newRow("size") << fogMember(QStringLiteral("pictureWidth"), 0) << int(Kind::NotATable)
                              << "picture size is out of range";
        QTest::newRow("type") << fogMember(QStringLiteral("pictureHeight"), QStringLiteral("480"))
                              << int(Kind::NotATable) << "\"pictureHeight\" is not a whole number";
        QTest::newRow("no map") << withFog([](QJsonObject &root) { root.insert(QStringLiteral("map"), QJsonValue()); })
                                << int(Kind::NotATable) << "the fog has no map";
        QTest::newRow("not an object") << withFog([](QJsonObject &root) { root.insert(QStringLiteral("fog"), 3); })
                                       << int(Kind::NotATable) << "the fog is not an object";
    }

    void aDamagedFogIsRefusedWithItsReason()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, kind);
        QFETCH(QString, says);
        const auto decoded = saving::decodeDocument(json);
        QVERIFY(std::holds_alternative<saving::TableProblem>(decoded));
        const auto &problem = std::get<saving::TableProblem>(decoded);
        QCOMPARE(int(problem.kind), kind);
        QVERIFY2(problem.message.contains(says), qPrintable(problem.message));
    }
};

QTEST_GUILESS_MAIN(TestFogDocument)
#include "tst_fog_document.moc"
