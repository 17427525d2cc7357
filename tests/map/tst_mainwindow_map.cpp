#include "ScriptedQuestions.h"
#include "app/forms/frmMain.h"
#include "app/toolbar/frmToolbar.h"
#include "app/widgets/UpDownControl.h"
#include "map/MeasureOverlay.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"
#include "session/transport/SessionTransport.h"
#include "tokens/markers/MarkerExchange.h"

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest/QTest>

using namespace vellmar;
using vellmar::app::frmMain;

namespace {

const frmMain::TransportFactory noSession = [](core::Questions &) {
    return std::unique_ptr<session::SessionTransport>();
};

// Runs the main window in a fresh working folder, as the program is started
// in the folder that holds "map".
class WorkingFolder
{
public:
    WorkingFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_folder.path()); }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    void addMap(const QByteArray &index, const QString &picture, QColor colour)
    {
        QDir(m_folder.path()).mkpath(QStringLiteral("map"));
        QFile file(QStringLiteral("map/mapindex.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(index);
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(QStringLiteral("map/") + picture));
    }

private:
    QTemporaryDir m_folder;
    QString m_previous;
};

QList<map::frmMaplist *> openLists(const frmMain &window) { return window.findChildren<map::frmMaplist *>(); }

int pixelsOf(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour ? 1 : 0;
    return n;
}

} // namespace

class TestMainWindowMap : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void mapListOpensOnceLoadsAndTheControlsSteerTheView()
    {
        WorkingFolder folder;
        folder.addMap("mapname=Field\r\nmapfile=field.bmp\r\nmap10size=40\r\n", QStringLiteral("field.bmp"),
                      Qt::darkGreen);
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        window.btnMaplist->click();
        window.btnMaplist->click(); // already open: brought to the front, not opened twice
        QCOMPARE(openLists(window).size(), 1);
        map::frmMaplist *list = openLists(window).first();
        QVERIFY(list->isVisible());
        list->lstMap->setCurrentRow(0);
        list->btnLoad->click();

        QVERIFY(window.mapLoaded);
        QCOMPARE(window.map10Size, 40.0);
        const QImage &view = window.Picture1->canvas();
        const QPoint centre(view.width() / 2, view.height() / 2);
        QCOMPARE(view.pixel(centre + QPoint(5, 7)), QColor(Qt::darkGreen).rgb());

        window.UpDownZoom->stepUp();
        QCOMPARE(window.zoom, 1.5);
        window.UpDownZoom->setValue(1);
        QCOMPARE(window.zoom, std::pow(1.5, -5));
        // The whole picture now fits with white around it, and the grid runs on
        // beyond it to the view's edges.
        QCOMPARE(window.Picture1->canvas().pixel(2, 2), qRgb(255, 255, 255));
        const auto gridBeyond = [&window] {
            const QImage &canvas = window.Picture1->canvas();
            int black = 0;
            for (int x = 0; x < canvas.width(); ++x)
                black += canvas.pixel(x, canvas.height() - 2) == qRgb(0, 0, 0) ? 1 : 0;
            return black;
        };
        const int linesBelow = gridBeyond();
        QVERIFY(linesBelow > 0);
        // "Show Grid" off repaints without clearing: those lines stay.
        window.chkShowGrid->setChecked(false);
        QCOMPARE(gridBeyond(), linesBelow);

        window.HmapScroll->setValue(-180); // a clearing repaint
        QCOMPARE(gridBeyond(), 0);
        const auto geometry = window.mapView().geometry();
        QCOMPARE(geometry.hs, -180);
        // The view's exact middle shows the scroll point, zoomed out as well.
        QCOMPARE(geometry.mapPoint(QPointF(geometry.viewWidth / 2.0, geometry.viewHeight / 2.0)), QPointF(20, 150));

        // While the splitter grip is held, a load clears the view but draws nothing.
        window.chkShowGrid->setChecked(true);
        QTest::mousePress(window.btnResize, Qt::LeftButton);
        list->btnLoad->click();
        QImage blank(window.Picture1->canvas().size(), QImage::Format_RGB32);
        blank.fill(Qt::white);
        QCOMPARE(window.Picture1->canvas(), blank);
        QTest::mouseRelease(window.btnResize, Qt::LeftButton);
        QVERIFY(window.Picture1->canvas() != blank);
        QVERIFY(questions.told.isEmpty());

        list->btnCancel->click();
        QTRY_VERIFY(openLists(window).isEmpty());
        window.btnMaplist->click();
        QCOMPARE(openLists(window).size(), 1); // a fresh list after closing
    }

    void paletteToolsActOnTheMap()
    {
        WorkingFolder folder;
        folder.addMap("mapname=Field\r\nmapfile=field.bmp\r\nmap10size=40\r\n", QStringLiteral("field.bmp"),
                      Qt::darkGreen);
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.btnMaplist->click();
        map::frmMaplist *list = openLists(window).first();
        list->lstMap->setCurrentRow(0);
        list->btnLoad->click();
        window.btnToolbar->click();
        auto *palette = window.findChild<app::frmToolbar *>();
        QVERIFY(palette);
        const auto choose = [palette](int button) {
            QTest::mouseClick(palette->Toolbar1->widgetForAction(palette->Buttons.at(std::size_t(button - 1))),
                              Qt::LeftButton);
        };

        // Measure: a drag draws the line; choosing another tool takes it away.
        choose(3);
        const QRgb red = map::MeasureOverlay::colour().rgb();
        const QPoint from(60, 60);
        QTest::mousePress(window.Picture1, Qt::LeftButton, {}, from);
        QTest::mouseMove(window.Picture1, from + QPoint(120, 0));
        QTest::mouseRelease(window.Picture1, Qt::LeftButton, {}, from + QPoint(120, 0));
        QVERIFY(pixelsOf(window.Picture1->canvas(), red) > 100);

        // Markers: a click on one's own marker asks, then removes it.
        const QPoint spot = *window.mapView().geometry().mapPixel(QPointF(200, 150));
        window.markerExchange().placeMarker(QStringLiteral("Camp"), spot.x(), spot.y());
        QCOMPARE(window.state().markers.size(), std::size_t{1});
        choose(2);
        QVERIFY(pixelsOf(window.Picture1->canvas(), red) == 0); // another tool: the line is gone
        questions.yesNoAnswers = {false, true};
        for (int i = 0; i < 2; ++i) {
            QTest::mouseMove(window.Picture1, {200, 150});
            QTest::mouseClick(window.Picture1, Qt::LeftButton, {}, {200, 150});
        }
        QCOMPARE(questions.asked.count(QStringLiteral("Remove the marker \"Camp\"?")), 2);
        QVERIFY(window.state().markers.isEmpty());

        palette->close();
        QTRY_VERIFY(!window.findChild<app::frmToolbar *>());
    }
};

QTEST_MAIN(TestMainWindowMap)
#include "tst_mainwindow_map.moc"
