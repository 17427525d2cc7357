#include "TableSamples.h"
#include "saving/PictureHash.h"
#include "saving/TableFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <set>
#include <zip.h>

using namespace vellmar;
using saving::TableProblem;

namespace {

// Writes an archive with the given entries, as another tool might.
bool writeZip(const QString &path, const QList<std::pair<const char *, QByteArray>> &entries)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        return false;
    for (const auto &[name, bytes] : entries) {
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source || zip_file_add(archive, name, source, 0) < 0)
            return false;
    }
    return zip_close(archive) == 0;
}

QByteArray documentWith(const QString &key, const QJsonValue &value)
{
    QJsonObject root = QJsonDocument::fromJson(saving::encodeDocument(testing::sampleTable(2, 2), false)).object();
    root.insert(key, value);
    return QJsonDocument(root).toJson();
}

} // namespace

class TestTableFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_picture;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString pictures() const { return m_dir.filePath(QStringLiteral("pictures")); }

    TableProblem problemOf(const QString &file, const saving::PictureLookup &lookup = {})
    {
        auto read = saving::readTableFile(file, lookup, pictures());
        if (!std::holds_alternative<TableProblem>(read))
            return {TableProblem::Kind::Unreadable, QStringLiteral("(opened without a problem)")};
        return std::get<TableProblem>(read);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_picture = path(QStringLiteral("crypt.jpg"));
        QVERIFY(testing::writePictureFile(m_picture, 3 * 1024 * 1024 + 5));
    }

    void aWholeTableOpensEqualWithItsPicture()
    {
        saving::TableSnapshot snapshot{testing::sampleTable(200, 50), m_picture, false};
        std::set<QString> bands;
        for (const auto &icon : snapshot.content.icons)
            bands.insert(icon.HealthStatus());
        QCOMPARE(bands.size(), std::size_t(8));
        const QString file = path(QStringLiteral("whole.vtable"));
        QString error;
        QVERIFY2(saving::writeTableFile(snapshot, file, &error), qPrintable(error));
        QVERIFY(!QFile::exists(file + QStringLiteral(".part")));

        // No lookup: the picture must come out of the file itself.
        auto read = saving::readTableFile(file, {}, pictures());
        QVERIFY2(std::holds_alternative<saving::OpenedTable>(read), qPrintable(testing::problemText(read)));
        const auto &opened = std::get<saving::OpenedTable>(read);
        saving::TableContent expected = snapshot.content;
        expected.map->pictureSha256 = saving::fileSha256(m_picture);
        expected.map->pictureSize = QFileInfo(m_picture).size();
        QCOMPARE(opened.content, expected);
        QVERIFY(opened.pictureFile.startsWith(pictures()));
        QCOMPARE(saving::fileSha256(opened.pictureFile), expected.map->pictureSha256);
    }

    void aLinkOnlyTableFindsItsPictureByHash()
    {
        const saving::TableSnapshot snapshot{testing::sampleTable(3, 1), m_picture, true};
        const QString file = path(QStringLiteral("linked.vtable"));
        QVERIFY(saving::writeTableFile(snapshot, file));
        QVERIFY(QFileInfo(file).size() < 64 * 1024);
        const QByteArray sha = saving::fileSha256(m_picture);
        QByteArray askedFor;
        auto read = saving::readTableFile(
            file,
            [&](const QByteArray &sha256) {
                askedFor = sha256;
                return m_picture;
            },
            path(QStringLiteral("no-pictures-here")));
        QVERIFY(std::holds_alternative<saving::OpenedTable>(read));
        QCOMPARE(askedFor, sha);
        QCOMPARE(std::get<saving::OpenedTable>(read).pictureFile, m_picture);

        // Neither the lookup nor the folder of unpacked pictures has it.
        auto unfound = saving::readTableFile(
            file, [](const QByteArray &) { return QString(); }, path(QStringLiteral("no-pictures-here")));
        QVERIFY(std::holds_alternative<TableProblem>(unfound));
        const TableProblem missing = std::get<TableProblem>(unfound);
        QCOMPARE(missing.kind, TableProblem::Kind::PictureMissing);
        QVERIFY(missing.message.contains(QStringLiteral("Crypt of the Old King")));
        QVERIFY(missing.message.contains(QStringLiteral("link only")));
    }

    void aTableWithoutMapOrCombatStillOpens()
    {
        saving::TableSnapshot snapshot;
        snapshot.content.markers = testing::sampleTable(1, 0).markers;
        const QString file = path(QStringLiteral("plain.vtable"));
        QVERIFY(saving::writeTableFile(snapshot, file));
        auto read = saving::readTableFile(file, {}, pictures());
        QVERIFY(std::holds_alternative<saving::OpenedTable>(read));
        QCOMPARE(std::get<saving::OpenedTable>(read).content, snapshot.content);
    }

    void aCutOffFileIsReportedAsDamaged()
    {
        const QString whole = path(QStringLiteral("cut-source.vtable"));
        QVERIFY(saving::writeTableFile({testing::sampleTable(20, 5), m_picture, false}, whole));
        QFile source(whole);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        for (const qsizetype keep : {bytes.size() / 2, bytes.size() - 10, qsizetype(200)}) {
            const QString cut = path(QStringLiteral("cut-%1.vtable").arg(keep));
            QFile out(cut);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes.left(keep));
            out.close();
            const TableProblem problem = problemOf(cut);
            QCOMPARE(problem.kind, TableProblem::Kind::Truncated);
            QVERIFY(problem.message.contains(QStringLiteral("cut off or damaged")));
        }
    }

    void aDamagedPictureIsNotKept()
    {
        const QString file = path(QStringLiteral("flipped.vtable"));
        QVERIFY(saving::writeTableFile({testing::sampleTable(1, 0), m_picture, false}, file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        // The picture is stored, not compressed: a byte in its middle.
        f.seek(f.size() / 2);
        char byte = 0;
        f.getChar(&byte);
        f.seek(f.size() / 2);
        f.putChar(char(byte ^ 0x55));
        f.close();
        QDir(pictures()).removeRecursively();
        QCOMPARE(problemOf(file).kind, TableProblem::Kind::Truncated);
        QCOMPARE(QDir(pictures()).entryList(QDir::Files), QStringList());
    }

    void filesThatAreNoTablesSaySo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("document"); // empty: no table.json
        QTest::addColumn<QString>("detail");
        QTest::newRow("no table document") << "empty.zip" << QByteArray() << "no table document";
        QTest::newRow("not json") << "text.zip" << QByteArray("hello") << "not JSON";
        QTest::newRow("another format") << "other.zip" << QByteArray(R"({"format":"x","version":1})")
                                        << "does not say it is a table";
        QTest::newRow("duplicate marker ids")
            << "dup.zip"
            << documentWith(QStringLiteral("markers"),
                            QJsonDocument::fromJson(R"([{"id":4,"text":"a","x":0,"y":0,"ownerName":"A","ownerId":1},
                                                       {"id":4,"text":"b","x":0,"y":0,"ownerName":"A","ownerId":1}])")
                                .array())
            << "used twice";
        QTest::newRow("semicolon in a marker")
            << "semi.zip"
            << documentWith(
                   QStringLiteral("markers"),
                   QJsonDocument::fromJson(R"([{"id":1,"text":"a;b","x":0,"y":0,"ownerName":"A","ownerId":1}])")
                       .array())
            << "contains \";\"";
        QTest::newRow("damage beyond 16 bits")
            << "dmg.zip"
            << documentWith(QStringLiteral("icons"), QJsonDocument::fromJson(R"([{"id":1,"name":"a","x":0,"y":0,
                 "size":1,"damage":40000,"maxHealth":1,"initiative":0,"ownerId":0}])")
                                                         .array())
            << "not a whole number in range";
        QTest::newRow("turn beyond the rows")
            << "turn.zip"
            << documentWith(
                   QStringLiteral("combat"),
                   QJsonDocument::fromJson(R"({"rows":[],"currentRow":3,"markedRow":null,"round":1})").object())
            << "does not fit its rows";
    }

    void filesThatAreNoTablesSaySo()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, document);
        QFETCH(QString, detail);
        QList<std::pair<const char *, QByteArray>> entries{{"readme.txt", "x"}};
        if (!document.isEmpty())
            entries.append({"table.json", document});
        QVERIFY(writeZip(path(name), entries));
        const TableProblem problem = problemOf(path(name));
        QCOMPARE(problem.kind, TableProblem::Kind::NotATable);
        QVERIFY2(problem.message.contains(detail), qPrintable(problem.message));
    }

    void aPlainFileIsNoTable()
    {
        QFile text(path(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("mapname=Keep\n");
        text.close();
        QCOMPARE(problemOf(text.fileName()).kind, TableProblem::Kind::NotATable);
        QCOMPARE(problemOf(path(QStringLiteral("missing.vtable"))).kind, TableProblem::Kind::Unreadable);
    }

    void aNewerFormatAsksForAnUpdate()
    {
        QVERIFY(writeZip(path(QStringLiteral("newer.vtable")),
                         {{"table.json", documentWith(QStringLiteral("version"), saving::tableFormatVersion + 1)}}));
        const TableProblem problem = problemOf(path(QStringLiteral("newer.vtable")));
        QCOMPARE(problem.kind, TableProblem::Kind::NewerVersion);
        QVERIFY(problem.message.contains(QStringLiteral("Update Vellmar")));
    }

    void unknownMembersAreIgnoredSoTheFormatCanGrow()
    {
        QVERIFY(writeZip(
            path(QStringLiteral("grown.vtable")),
            {{"table.json", documentWith(QStringLiteral("weather"), QJsonObject{{QStringLiteral("rain"), 3}})}}));
        auto read = saving::readTableFile(path(QStringLiteral("grown.vtable")), {}, pictures());
        QVERIFY(std::holds_alternative<saving::OpenedTable>(read));
    }

    void namesInsideTheArchiveAreNeverPaths()
    {
        // An entry named like a path outside is simply not one we read.
        QVERIFY(writeZip(path(QStringLiteral("evil.vtable")),
                         {{"../../escaped", "x"}, {"table.json", documentWith(QStringLiteral("x"), 1)}}));
        auto read = saving::readTableFile(path(QStringLiteral("evil.vtable")), {}, pictures());
        QVERIFY(std::holds_alternative<saving::OpenedTable>(read));
        QVERIFY(!QFile::exists(QDir(pictures()).filePath(QStringLiteral("../../escaped"))));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("../escaped"))));
    }
};

QTEST_GUILESS_MAIN(TestTableFile)
#include "tst_tablefile.moc"
