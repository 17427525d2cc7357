// Fog of war on the shared table: the master's tools, every player's copy,
// a late joiner, maps loaded for oneself, and table files.

#include "../saving/TableSamples.h"
#include "SessionParticipants.h"
#include "app/forms/TableFiles.h"
#include "app/toolbar/frmToolbar.h"
#include "map/fog/FogExchange.h"
#include "map/fog/TableFog.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"
#include "saving/TableFile.h"
#include "saving/TableFileChooser.h"

#include <QDir>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>

using namespace vellmar;
using namespace vellmar::apptest;
using app::frmToolbar;
using map::fog::FogMask;
using map::fog::FogMode;

namespace {

// A map folder with one 640 x 480 map that every copy in this process finds.
bool makeMapFolder(const QTemporaryDir &root)
{
    QDir dir(root.path());
    if (!dir.mkdir(QStringLiteral("map")))
        return false;
    QImage picture(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x ^ y) % 256));
    }
    QFile index(dir.filePath(QStringLiteral("map/mapindex.txt")));
    return picture.save(dir.filePath(QStringLiteral("map/crypt.png")), "PNG") && index.open(QIODevice::WriteOnly)
           && index.write("mapname=Crypt\nmapfile=crypt.png\nmap10size=32\nmap10offsetX=0\nmap10offsetY=0\n") > 0;
}

map::frmMaplist *loadFromList(frmMain &window)
{
    window.btnMaplist->click();
    auto *list = window.findChild<map::frmMaplist *>();
    if (list) {
        list->lstMap->setCurrentRow(0);
        list->btnLoad->click();
    }
    return list;
}

// The fog this copy's view draws (null: none), as run lengths to compare.
QByteArray viewedFog(frmMain &window)
{
    const FogMask *fog = window.fog().sceneFog();
    return fog ? fog->runLengths() : QByteArray();
}

frmToolbar *palette(frmMain &window)
{
    window.btnToolbar->click();
    return window.findChild<frmToolbar *>();
}

void mouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, {});
    QApplication::sendEvent(target, &event);
}

// A left-button drag on the map through these map points.
void drag(frmMain &window, const QList<QPoint> &mapPoints)
{
    const auto view = [&](QPoint p) { return *window.mapView().geometry().viewPixel(p.x(), p.y()); };
    mouse(window.Picture1, QEvent::MouseButtonPress, view(mapPoints.front()), Qt::LeftButton);
    for (const QPoint &p : mapPoints.mid(1))
        mouse(window.Picture1, QEvent::MouseMove, view(p), Qt::LeftButton);
    mouse(window.Picture1, QEvent::MouseButtonRelease, view(mapPoints.back()), Qt::NoButton);
}

void choose(frmToolbar *tools, int fogButton)
{
    QAction *action = tools->FogButtons.at(std::size_t(fogButton));
    QTest::mouseClick(tools->FogToolbar->widgetForAction(action), Qt::LeftButton);
}

bool hidden(frmMain &window, QPoint mapPoint)
{
    const FogMask *fog = window.fog().sceneFog();
    return fog && fog->hides(mapPoint);
}

class ScriptedChooser final : public saving::TableFileChooser
{
public:
    QString path;
    std::optional<SaveChoice> chooseSaveFile(const QString &) override { return SaveChoice{path, false}; }
    std::optional<QString> chooseOpenFile(const QString &) override { return path; }
};

const frmMain::TransportFactory noSession = [](core::Questions &) {
    return std::unique_ptr<session::SessionTransport>();
};

} // namespace

class TestFogTable : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    QString m_previous;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(makeMapFolder(m_root));
        m_previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_root.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(m_previous); }

    void fogStepsUndoAndALateJoinerAgreeOnEveryCopy()
    {
        Participant master, ranger, cleric;
        QVERIFY(gather(master, ranger, &cleric));
        const QList<Participant *> players{&ranger, &cleric};
        const auto everyoneSeesTheMasters = [&] {
            const QByteArray fog = viewedFog(master.w());
            return !fog.isEmpty() && std::all_of(players.cbegin(), players.cend(), [&](Participant *p) {
                return viewedFog(p->w()) == fog;
            });
        };

        // Only the master's palette has fog tools.
        frmToolbar *tools = palette(master.w());
        QVERIFY(tools && tools->fogToolsShown() && tools->FogToolbar->isVisible());
        QVERIFY(tools->rect().contains(tools->btnClose->geometry()));
        frmToolbar *rangerTools = palette(ranger.w());
        QVERIFY(rangerTools && !rangerTools->fogToolsShown() && !rangerTools->FogToolbar->isVisible());
        QCOMPARE(rangerTools->size(), QSize(83, 177));

        // The master shows its map: everyone draws it, nothing hidden yet.
        map::frmMaplist *list = loadFromList(master.w());
        QVERIFY(list);
        list->btnShow->click();
        QVERIFY(master.questions.told.isEmpty());
        QTRY_VERIFY(everyoneSeesTheMasters());
        QCOMPARE(ranger.w().fog().sceneFog()->hiddenCells(), qsizetype(0));

        QTest::mouseClick(tools->FogToolbar->widgetForAction(tools->HideAll), Qt::LeftButton);
        QTRY_VERIFY(everyoneSeesTheMasters());
        QVERIFY(hidden(cleric.w(), {5, 5}) && hidden(cleric.w(), {635, 475}));

        // A dragged rectangle reveals a room.
        choose(tools, 0);
        drag(master.w(), {{100, 100}, {200, 150}, {300, 250}});
        QTRY_VERIFY(everyoneSeesTheMasters());
        QVERIFY(!hidden(ranger.w(), {200, 200}) && hidden(ranger.w(), {320, 200}));
        const QByteArray afterRoom = viewedFog(master.w());
        const int position = master.w().fog().exchange().history().position();

        // A brush stroke shows on the master's copy as it is drawn and reaches
        // the players as one step when the button is let go.
        tools->BrushCells->setValue(1); // 16 pixels
        choose(tools, 5);
        const auto view = [&](QPoint p) { return *master.w().mapView().geometry().viewPixel(p.x(), p.y()); };
        mouse(master.w().Picture1, QEvent::MouseButtonPress, view({120, 200}), Qt::LeftButton);
        for (int x = 130; x <= 280; x += 10)
            mouse(master.w().Picture1, QEvent::MouseMove, view({x, 200}), Qt::LeftButton);
        QVERIFY(hidden(master.w(), {200, 200}));
        QVERIFY(!hidden(ranger.w(), {200, 200}));
        mouse(master.w().Picture1, QEvent::MouseButtonRelease, view({280, 200}), Qt::NoButton);
        QTRY_VERIFY(everyoneSeesTheMasters());
        QCOMPARE(master.w().fog().exchange().history().position(), position + 1);
        QVERIFY(hidden(cleric.w(), {200, 200}) && !hidden(cleric.w(), {200, 120}));

        // A free-hand outline reveals what it encloses.
        choose(tools, 2);
        drag(master.w(), {{400, 300}, {600, 300}, {600, 450}, {400, 450}});
        QTRY_VERIFY(everyoneSeesTheMasters());
        QVERIFY(!hidden(ranger.w(), {500, 400}) && hidden(ranger.w(), {500, 460}));

        // Undo twice takes back the outline and the stroke everywhere; redo
        // brings the stroke back.
        master.w().mnuUndoFog->trigger();
        master.w().mnuUndoFog->trigger();
        QTRY_VERIFY(everyoneSeesTheMasters());
        QCOMPARE(viewedFog(ranger.w()), afterRoom);
        master.w().mnuRedoFog->trigger();
        QTRY_VERIFY(everyoneSeesTheMasters());
        QVERIFY(hidden(cleric.w(), {200, 200}) && hidden(cleric.w(), {500, 400}));
        // A player's undo changes nothing anywhere.
        const QByteArray now = viewedFog(master.w());
        ranger.w().mnuUndoFog->trigger();
        QCOMPARE(viewedFog(ranger.w()), now);

        // A late joiner gets the fog with the map, and follows the next step.
        Participant bard;
        join(bard, QStringLiteral("Bard"), master);
        QTRY_VERIFY(!viewedFog(bard.w()).isEmpty() && viewedFog(bard.w()) == viewedFog(master.w()));
        choose(tools, 0);
        drag(master.w(), {{0, 0}, {640, 80}});
        QTRY_VERIFY(!hidden(bard.w(), {10, 10}));
        QCOMPARE(viewedFog(bard.w()), viewedFog(master.w()));
        QTRY_VERIFY(everyoneSeesTheMasters());
        QCOMPARE(bard.w().fog().exchange().refusedMessages(), 0);

        // A map a player loads for itself has no fog; the shown map, shown
        // again, brings the fog back as it was.
        QVERIFY(loadFromList(ranger.w()));
        QCOMPARE(ranger.w().mapState.name, QStringLiteral("Crypt"));
        QVERIFY(!ranger.w().fog().sceneFog());
        QVERIFY(!ranger.w().tableFiles().snapshot().content.fog);
        list->btnShow->click();
        QTRY_VERIFY(everyoneSeesTheMasters());
        QVERIFY(hidden(ranger.w(), {10, 200}) && !hidden(ranger.w(), {10, 10}));
    }

    void fiftyStepsUndoneReachThePlayers()
    {
        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        QVERIFY(loadFromList(master.w()));
        master.w().findChild<map::frmMaplist *>()->btnShow->click();
        QTRY_VERIFY(ranger.w().fog().sceneFog());
        auto &fog = master.w().fog();
        for (int i = 0; i < 55; ++i)
            QVERIFY(fog.apply(map::fog::rectangle(QRectF(i * 10, 0, 10, 480), FogMode::hide)));
        QTRY_COMPARE(viewedFog(ranger.w()), viewedFog(master.w()));
        for (int i = 0; i < 55; ++i)
            QVERIFY(fog.undo());
        QCOMPARE(fog.sceneFog()->hiddenCells(), qsizetype(0));
        QTRY_COMPARE(viewedFog(ranger.w()), viewedFog(master.w()));
        QVERIFY(fog.redo());
        QTRY_COMPARE(viewedFog(ranger.w()), viewedFog(master.w()));
        QVERIFY(ranger.w().fog().sceneFog()->hides({5, 240}));
    }

    void fogDrawnBeforeShowingTravelsWithTheMap()
    {
        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        // The master fogs a map nobody sees yet: nothing reaches the player.
        QVERIFY(loadFromList(master.w()));
        QVERIFY(master.w().fog().apply(map::fog::wholeMap(FogMode::hide)));
        QVERIFY(master.w().fog().apply(map::fog::rectangle(QRectF(0, 0, 64, 64), FogMode::reveal)));
        QTest::qWait(100);
        QVERIFY(ranger.w().fog().exchange().mask().isNull());
        master.w().findChild<map::frmMaplist *>()->btnShow->click();
        QTRY_VERIFY(!viewedFog(ranger.w()).isEmpty());
        QCOMPARE(viewedFog(ranger.w()), viewedFog(master.w()));
        QVERIFY(hidden(ranger.w(), {100, 100}) && !hidden(ranger.w(), {10, 10}));
    }

    void aTableWithFogSavesAndOpensToAnEqualMask()
    {
        QTemporaryDir files;
        ScriptedQuestions questions;
        frmMain saver(questions, noSession);
        auto chooser = std::make_unique<ScriptedChooser>();
        ScriptedChooser &choice = *chooser;
        saver.tableFiles().setChooser(std::move(chooser));
        QVERIFY(loadFromList(saver));
        auto &fog = saver.fog();
        QVERIFY(fog.whyNoTools().isEmpty());
        QVERIFY(fog.apply(map::fog::wholeMap(FogMode::hide)));
        QVERIFY(fog.apply(map::fog::polygon({{50, 50}, {400, 80}, {300, 400}}, FogMode::reveal)));
        const FogMask saved = *fog.sceneFog();
        choice.path = files.filePath(QStringLiteral("fogged.vtable"));
        saver.tableFiles().saveTableAs();
        QVERIFY(questions.told.isEmpty());

        ScriptedQuestions otherQuestions;
        frmMain opener(otherQuestions, noSession);
        QVERIFY(opener.tableFiles().openTable(choice.path));
        QVERIFY(otherQuestions.told.isEmpty());
        QVERIFY(opener.fog().sceneFog());
        QVERIFY(*opener.fog().sceneFog() == saved);

        // A fog that does not fit the table's picture: a message, and the
        // table on the screen stays as it was.
        saving::TableSnapshot bad = opener.tableFiles().snapshot();
        QVERIFY(bad.content.fog);
        bad.content.fog = FogMask(QSize(64, 48));
        bad.content.fog->apply(map::fog::wholeMap(FogMode::hide));
        const QString badFile = files.filePath(QStringLiteral("misfit.vtable"));
        QVERIFY(saving::writeTableFile(bad, badFile));
        QVERIFY(!opener.tableFiles().openTable(badFile));
        QCOMPARE(otherQuestions.told.size(), 1);
        QVERIFY(otherQuestions.told.first().contains(u"fog does not fit"));
        QVERIFY(*opener.fog().sceneFog() == saved);
    }

    void aPlayerOpeningATableLeavesTheSessionsFog()
    {
        QTemporaryDir files;
        // A fogged table file, written outside any session.
        QString path = files.filePath(QStringLiteral("other.vtable"));
        {
            ScriptedQuestions questions;
            frmMain writer(questions, noSession);
            QVERIFY(loadFromList(writer));
            QVERIFY(writer.fog().apply(map::fog::wholeMap(FogMode::hide)));
            QVERIFY(saving::writeTableFile(writer.tableFiles().snapshot(), path));
        }
        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        QVERIFY(loadFromList(master.w()));
        master.w().findChild<map::frmMaplist *>()->btnShow->click();
        QTRY_VERIFY(ranger.w().fog().sceneFog());
        const QByteArray before = viewedFog(ranger.w());
        QVERIFY(ranger.w().tableFiles().openTable(path));
        QCOMPARE(viewedFog(ranger.w()), before);
        QCOMPARE(ranger.w().fog().sceneFog()->hiddenCells(), qsizetype(0));
    }
};

QTEST_MAIN(TestFogTable)
#include "tst_fog_table.moc"
