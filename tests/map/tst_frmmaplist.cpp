#include "ScriptedQuestions.h"
#include "map/MapState.h"
#include "map/forms/MapView.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest/QTest>

using namespace vellmar;
using namespace vellmar::map;

namespace {

const QRgb white = qRgb(255, 255, 255);

// The main window's map controls, laid out as a bare window.
struct Host
{
    QWidget window;
    MapView *view = new MapView(&window);
    QScrollBar *horizontal = new QScrollBar(Qt::Horizontal, &window);
    QScrollBar *vertical = new QScrollBar(Qt::Vertical, &window);
    QCheckBox *showGrid = new QCheckBox(&window);
    QLabel *holder = new QLabel(&window);
    MapState state;
    table::MarkerCollection markers;
    table::IconCollection icons;
    bool resizing = false;
    MapViewController controller;
    ScriptedQuestions questions;
    QTemporaryDir root;

    Host()
        : controller(state, {view, horizontal, vertical, showGrid, holder},
                     {[this] {
                          return MapScene{&markers, &icons, nullptr, 0, true};
                      },
                      [this] { return resizing; }})
    {
        view->setGeometry(0, 0, 300, 200);
        holder->setGeometry(0, 210, 60, 40);
        horizontal->setRange(0, 10);
        vertical->setRange(0, 10);
        showGrid->setChecked(true);
        QDir(root.path()).mkdir(QStringLiteral("map"));
    }

    QDir mapFolder() const { return QDir(root.filePath(QStringLiteral("map"))); }

    void writeIndex(const QByteArray &text)
    {
        QFile file(mapFolder().filePath(QStringLiteral("mapindex.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    void writePicture(const QString &name, int width, int height, QColor colour)
    {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        QVERIFY(picture.save(mapFolder().filePath(name)));
    }

    frmMaplist *openList() { return frmMaplist::load(state, controller, questions, mapFolder(), &window); }

    QRgb at(int x, int y) const { return view->canvas().pixel(x, y); }
    bool blank() const
    {
        QImage empty(view->canvas().size(), QImage::Format_RGB32);
        empty.fill(white);
        return view->canvas() == empty;
    }
};

const QByteArray twoMaps = "; sample index\r\n"
                           "mapname=Keep\r\nmapfile=keep.bmp\r\nmap10size=40\r\nmap10offsetX=-5\r\nmap10offsetY=-6\r\n"
                           "mapname=Hut\r\nmapfile=hut.bmp\r\nmap10size=30\r\n"
                           "mapname=Keep\r\nmapfile=hut.bmp\r\n";

void choose(frmMaplist *list, int row) { list->lstMap->setCurrentRow(row); }

} // namespace

class TestFrmMaplist : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void withoutAnIndexTheDialogSaysSoAndNeverShows()
    {
        Host host;
        QCOMPARE(host.openList(), nullptr);
        QCOMPARE(host.questions.told, QStringList{QStringLiteral("There is no map index - this dialog will close")});
    }

    void listsNamesInFileOrderWithNothingSelected()
    {
        Host host;
        host.writeIndex(twoMaps);
        QPointer<frmMaplist> list = host.openList();
        QVERIFY(list);
        QCOMPARE(list->windowTitle(), QStringLiteral("Map list"));
        QStringList names;
        for (int row = 0; row < list->lstMap->count(); ++row)
            names << list->lstMap->item(row)->text();
        QCOMPARE(names, QStringList({QStringLiteral("Keep"), QStringLiteral("Hut"), QStringLiteral("Keep")}));
        QVERIFY(list->lstMap->selectedItems().isEmpty());
        QCOMPARE(list->btnLoad->text(), QStringLiteral("Load"));
        QCOMPARE(list->btnCancel->text(), QStringLiteral("Close"));

        list->btnLoad->click();
        QCOMPARE(host.questions.told, QStringList{QStringLiteral("You must select a map to load")});
        QVERIFY(!host.state.mapLoaded);

        list->btnCancel->click();
        QTRY_VERIFY(!list);
    }

    void loadReadsTheEntrySetsScrollRangesAndDraws()
    {
        Host host;
        host.writeIndex(twoMaps);
        host.writePicture(QStringLiteral("keep.bmp"), 801, 600, Qt::darkGreen);
        host.writePicture(QStringLiteral("hut.bmp"), 100, 80, Qt::darkRed);
        frmMaplist *list = host.openList();
        choose(list, 0);
        list->btnLoad->click();

        QVERIFY(host.questions.told.isEmpty());
        QVERIFY(host.state.mapLoaded);
        QCOMPARE(host.state.picture.size(), QSize(801, 600));
        QCOMPARE(host.state.map10Size, 40.0);
        QCOMPARE(host.state.map10OffsetX, -5);
        QCOMPARE(host.state.map10OffsetY, -6);
        QCOMPARE(host.horizontal->minimum(), -400); // -400.5 to the even neighbour
        QCOMPARE(host.horizontal->maximum(), 400);
        QCOMPARE(host.vertical->minimum(), -300);
        QCOMPARE(host.vertical->maximum(), 300);
        QCOMPARE(host.at(150, 100), QColor(Qt::darkGreen).rgb());
        QVERIFY(!host.holder->pixmap().isNull());
    }

    void doubleClickLoadsLikeTheButtonAndTheFirstOfEqualNamesWins()
    {
        Host host;
        host.writeIndex(twoMaps);
        host.writePicture(QStringLiteral("keep.bmp"), 200, 100, Qt::darkGreen);
        host.writePicture(QStringLiteral("hut.bmp"), 100, 80, Qt::darkRed);
        frmMaplist *list = host.openList();
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list));
        // The second "Keep" loads the first entry of that name.
        choose(list, 2);
        const QRect item = list->lstMap->visualItemRect(list->lstMap->item(2));
        QTest::mouseClick(list->lstMap->viewport(), Qt::LeftButton, {}, item.center());
        QTest::mouseDClick(list->lstMap->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(host.state.picture.size(), QSize(200, 100));
        QCOMPARE(host.state.map10Size, 40.0);
        QVERIFY(list->isVisible());
    }

    // As an ordinary Linux editor saves it: LF line ends and no CR anywhere.
    void anIndexWithLfLinesListsAndLoadsAndABarePictureLessMapSaysSo()
    {
        Host host;
        host.writeIndex("mapname=Keep\nmapfile=keep.bmp\nmap10size=40\n\nmapname=Field\nmap10offsetX=2\n");
        host.writePicture(QStringLiteral("keep.bmp"), 200, 100, Qt::darkGreen);
        QPointer<frmMaplist> list = host.openList();
        QVERIFY(list);
        QCOMPARE(list->lstMap->count(), 2);
        QCOMPARE(list->lstMap->item(0)->text(), QStringLiteral("Keep"));
        QCOMPARE(list->lstMap->item(1)->text(), QStringLiteral("Field"));

        // The first map ever loaded names no picture: the bare grid is explained.
        choose(list, 1);
        list->btnLoad->click();
        QCOMPARE(host.state.map10OffsetX, 2);
        QCOMPARE(host.questions.told.size(), 1);
        QVERIFY2(host.questions.told.first().contains(u"names no picture"), qPrintable(host.questions.told.first()));

        choose(list, 0);
        list->btnLoad->click();
        QCOMPARE(host.questions.told.size(), 1);
        QCOMPARE(host.state.picture.size(), QSize(200, 100));
        QCOMPARE(host.state.map10Size, 40.0);
        // With a picture shown, an entry without one keeps it and says nothing.
        choose(list, 1);
        list->btnLoad->click();
        QCOMPARE(host.questions.told.size(), 1);
        QCOMPARE(host.state.picture.size(), QSize(200, 100));
    }

    void entryWithAMissingPictureStillAppliesItsGridAndSaysWhy()
    {
        Host host;
        host.writeIndex("mapname=Ruin\r\nmapfile=ruin.jpg\r\nmap10size=abc\r\nmap10offsetX=3");
        frmMaplist *list = host.openList();
        choose(list, 0);
        list->btnLoad->click();
        QVERIFY(host.state.mapLoaded);
        QCOMPARE(host.state.map10OffsetX, 3);
        QCOMPARE(host.state.map10Size, 22.56);
        QCOMPARE(host.questions.told.size(), 1);
        const QString message = host.questions.told.first();
        QVERIFY2(message.contains(u"ruin.jpg: the picture file does not exist"), qPrintable(message));
        QVERIFY2(message.contains(u"line 3 (map10size)"), qPrintable(message));
        // No picture: the grid and the background still show.
        QVERIFY(!host.blank());
    }

    void anIndexChangedOrGoneSinceListingLeavesTheMapAlone_data()
    {
        QTest::addColumn<bool>("removeFile");
        QTest::addColumn<QString>("message");
        QTest::newRow("entry removed") << false << QStringLiteral("Map not found");
        QTest::newRow("index deleted") << true
                                       << QStringLiteral(
                                              "The map index can no longer be read - the map was not loaded");
    }
    void anIndexChangedOrGoneSinceListingLeavesTheMapAlone()
    {
        QFETCH(bool, removeFile);
        QFETCH(QString, message);
        Host host;
        host.writeIndex(twoMaps);
        frmMaplist *list = host.openList();
        if (removeFile)
            QVERIFY(QFile::remove(host.mapFolder().filePath(QStringLiteral("mapindex.txt"))));
        else
            host.writeIndex("mapname=Hut\r\nmap10size=30\r\n");
        choose(list, 0);
        list->btnLoad->click();
        QCOMPARE(host.questions.told, QStringList{message});
        QVERIFY(!host.state.mapLoaded);
        QCOMPARE(host.state.map10Size, 22.56);
        QVERIFY(host.blank());
    }

    void aSecondMapKeepsScrollValuesThatFitAndTheZoom()
    {
        Host host;
        host.writeIndex(twoMaps);
        host.writePicture(QStringLiteral("keep.bmp"), 800, 600, Qt::darkGreen);
        host.writePicture(QStringLiteral("hut.bmp"), 100, 80, Qt::darkRed);
        frmMaplist *list = host.openList();
        choose(list, 0);
        list->btnLoad->click();
        host.controller.UpDownZoom_Change(8, 1, 11);
        host.horizontal->setValue(350);
        host.vertical->setValue(-20);

        choose(list, 1);
        list->btnLoad->click();
        QCOMPARE(host.horizontal->value(), 50); // brought to the new maximum
        QCOMPARE(host.vertical->value(), -20);  // still inside: kept
        QCOMPARE(host.state.zoom, 2.25);
    }

    void draggingAScrollThumbRepaintsAtEveryStep()
    {
        Host host;
        host.writeIndex("mapname=Keep\r\nmapfile=keep.bmp\r\n");
        QImage picture(800, 600, QImage::Format_RGB32);
        for (int x = 0; x < 800; ++x)
            for (int y = 0; y < 600; ++y)
                picture.setPixel(x, y, qRgb(x % 256, 0, 0));
        QVERIFY(picture.save(host.mapFolder().filePath(QStringLiteral("keep.bmp"))));
        frmMaplist *list = host.openList();
        choose(list, 0);
        list->btnLoad->click();

        host.horizontal->setSliderDown(true);
        for (int position : {10, 20, 35}) {
            host.horizontal->setSliderPosition(position);
            QCOMPARE(host.at(150, 100), qRgb((400 + position) % 256, 0, 0));
        }
        host.horizontal->setSliderDown(false);
    }
};

QTEST_MAIN(TestFrmMaplist)
#include "tst_frmmaplist.moc"
