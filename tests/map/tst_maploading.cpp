#include "map/MapLoading.h"
#include "map/MapState.h"
#include "map/PictureLoader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest/QTest>

using namespace vellmar::map;

namespace {

MapSetting picture(const QString &file)
{
    MapSetting s;
    s.kind = MapSetting::Kind::PictureFile;
    s.pictureFile = file;
    return s;
}

MapSetting number(MapSetting::Kind kind, double value)
{
    MapSetting s;
    s.kind = kind;
    s.gridSize = value;
    s.offset = static_cast<std::int32_t>(value);
    return s;
}

QImage solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Stands in for the disk: "good*.jpg" are readable pictures, anything else is not.
PictureLoad fakeReader(const QString &file)
{
    if (file.startsWith(u"good"))
        return {solid(file.size() * 10, 20, Qt::red), QString()};
    return {QImage(), file + QStringLiteral(": the picture file does not exist")};
}

} // namespace

class TestMapLoading : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entryAppliesInFileOrderAndAnUnreadablePictureKeepsTheLastOne()
    {
        MapState state;
        MapEntry entry;
        entry.problems << QStringLiteral("line 3 (map10size): no value; the grid size is kept");
        entry.settings = {number(MapSetting::Kind::GridSize, 40), picture(QStringLiteral("good1.jpg")),
                          number(MapSetting::Kind::GridSize, 50), number(MapSetting::Kind::GridOffsetY, 6),
                          picture(QStringLiteral("missing.jpg"))};
        const QStringList problems = applyMapEntry(state, entry, fakeReader);
        QCOMPARE(problems.size(), 2);
        QVERIFY(problems.at(1).startsWith(u"missing.jpg"));
        QVERIFY(state.mapLoaded);
        QCOMPARE(state.map10Size, 50.0);  // the later value wins
        QCOMPARE(state.map10OffsetX, -9); // not named: the start value stays
        QCOMPARE(state.map10OffsetY, 6);
        QCOMPARE(state.picture.width(), 90); // the unreadable one replaced nothing

        // A later readable picture line in the same entry still replaces it.
        entry.settings.push_back(picture(QStringLiteral("good22.jpg")));
        applyMapEntry(state, entry, fakeReader);
        QCOMPARE(state.picture.width(), 100);
    }

    void unusablePicturesAreRefusedWithAReason_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("none.jpg") << QStringLiteral("does not exist");
        QTest::newRow("a folder") << QStringLiteral("folder") << QStringLiteral("not a picture file");
        QTest::newRow("text named .jpg") << QStringLiteral("text.jpg")
                                         << QStringLiteral("not a picture that can be read");
        QTest::newRow("JPEG cut inside its header") << QStringLiteral("cut.jpg") << QStringLiteral("could not be read");
        QTest::newRow("wider than the scroll values reach")
            << QStringLiteral("wide.bmp") << QStringLiteral("at most 65534 pixels");
    }
    void unusablePicturesAreRefusedWithAReason()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile text(dir.filePath(QStringLiteral("text.jpg")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("this is no picture\r\n");
        text.close();
        QByteArray jpeg;
        {
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            solid(300, 300, Qt::green).save(&buffer, "JPG");
        }
        QFile cut(dir.filePath(QStringLiteral("cut.jpg")));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(jpeg.left(100));
        cut.close();
        QVERIFY(QImage(65535, 1, QImage::Format_Mono).save(dir.filePath(QStringLiteral("wide.bmp")), "BMP"));

        const PictureLoad load = loadMapPicture(dir.filePath(file));
        QVERIFY(load.picture.isNull());
        QVERIFY2(load.problem.contains(reason), qPrintable(load.problem));
        QVERIFY(load.problem.startsWith(dir.filePath(file)));
    }

    void pictureBeyondTheAllocationLimitIsRefusedBeforeReading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.bmp"));
        QVERIFY(solid(1024, 1024, Qt::gray).save(path, "BMP"));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(2); // MiB; the picture needs 4
        const PictureLoad load = loadMapPicture(path);
        QImageReader::setAllocationLimit(limit);
        QVERIFY(load.picture.isNull());
        QVERIFY2(load.problem.contains(u"too big to hold in memory"), qPrintable(load.problem));
    }
};

QTEST_MAIN(TestMapLoading)
#include "tst_maploading.moc"
