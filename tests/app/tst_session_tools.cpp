// Markers, menus and tool windows while several copies share a session.

#include "MapFolder.h"
#include "SessionParticipants.h"
#include "chat/forms/Form2.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "map/forms/MapView.h"
#include "map/forms/MapViewController.h"
#include "session/protocol/Messages.h"
#include "tokens/markers/forms/frmSetMarker.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

// Every copy shows the same plain 400 x 300 map.
void loadPlainMap(frmMain &window)
{
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    window.mapState.picture = picture;
    window.mapLoaded = true;
    window.mapView().mapReplaced();
}

void mouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, {});
    QApplication::sendEvent(target, &event);
}

// Where a map position shows in the window's view.
QPoint onView(frmMain &window, QPoint mapPosition)
{
    return *window.mapView().geometry().viewPixel(mapPosition.x(), mapPosition.y());
}

} // namespace

class TestSessionTools : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void markersAreSharedDraggedAndRemovedOnEveryCopy()
    {
        Participant master, ranger, cleric;
        QVERIFY(gather(master, ranger, &cleric));
        const QList<Participant *> all{&master, &ranger, &cleric};
        for (Participant *p : all)
            loadPlainMap(p->w());
        // The master's quick marker takes id 1.
        master.w().menuMapX = 50;
        master.w().mnuQuickMarker->trigger();
        QTRY_VERIFY(cleric.w().state().markers.find(1));
        QCOMPARE(cleric.w().state().markers.find(1)->info, QStringLiteral("Here"));

        // A player's "Place Marker": typed into the modal dialog while it is
        // open; it appears nowhere before the master has announced it.
        ranger.w().menuMapX = 200;
        ranger.w().menuMapY = 150;
        QTimer::singleShot(0, [&ranger] {
            auto *dialog = ranger.w().findChild<tokens::frmSetMarker *>();
            QVERIFY(dialog && dialog->isVisible());
            dialog->txtInfo->setText(QStringLiteral("Door"));
            dialog->btnSet->click();
        });
        ranger.w().mnuPlaceMarker->trigger();
        QVERIFY(!ranger.w().state().markers.find(2));
        for (Participant *p : all) {
            QTRY_VERIFY(p->w().state().markers.find(2));
            const auto marker = p->w().state().markers.find(2);
            QCOMPARE(marker->info, QStringLiteral("Door"));
            QCOMPARE(QPoint(marker->mapX, marker->mapY), QPoint(200, 150));
            QCOMPARE(marker->player, QStringLiteral("Ranger"));
            QCOMPARE(marker->UserID, ranger.w().state().ownPlayerID);
        }
        const auto mine = ranger.w().state().markers.find(2);
        const auto theirs = cleric.w().state().markers.find(2);

        // Grabbed 3 pixels off its spot and moved: it follows the pointer's
        // movement in map pixels and does not jump to the pointer.
        QWidget *view = ranger.w().Picture1;
        const QPoint grab = onView(ranger.w(), {203, 150});
        const auto geometry = ranger.w().mapView().geometry();
        const QPoint moved =
            QPoint(200, 150) + *geometry.mapPixel(QPointF(grab + QPoint(10, 5))) - *geometry.mapPixel(QPointF(grab));
        mouse(view, QEvent::MouseMove, grab, Qt::NoButton, Qt::NoButton);
        QCOMPARE(ranger.w().state().currentMarker, mine);
        mouse(view, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(ranger.w().dragging());
        mouse(view, QEvent::MouseMove, grab + QPoint(10, 5), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(QPoint(mine->mapX, mine->mapY), moved);
        QVERIFY(moved != QPoint(200, 150));
        QCOMPARE(QPoint(theirs->mapX, theirs->mapY), QPoint(200, 150)); // nothing sent yet
        // A right press mid-drag opens no menu that would swallow the release.
        mouse(view, QEvent::MouseButtonPress, grab + QPoint(10, 5), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        QVERIFY(!ranger.w().mnuIcon->isVisible());
        mouse(view, QEvent::MouseButtonRelease, grab + QPoint(10, 5), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!ranger.w().dragging());
        QTRY_COMPARE(QPoint(theirs->mapX, theirs->mapY), moved);

        // The master may not drag a player's marker.
        QWidget *masterView = master.w().Picture1;
        const QPoint spot = onView(master.w(), moved);
        mouse(masterView, QEvent::MouseMove, spot, Qt::NoButton, Qt::NoButton);
        mouse(masterView, QEvent::MouseButtonPress, spot, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(!master.w().dragging());
        mouse(masterView, QEvent::MouseMove, spot + QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
        mouse(masterView, QEvent::MouseButtonRelease, spot + QPoint(30, 30), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(QPoint(theirs->mapX, theirs->mapY), moved);

        // Its pop-up offers removal, not modification, and no icon commands.
        mouse(masterView, QEvent::MouseButtonPress, spot, Qt::RightButton, Qt::RightButton);
        QTRY_VERIFY(master.w().mnuIcon->isVisible());
        QCOMPARE(QPoint(master.w().menuMapX, master.w().menuMapY), moved);
        QVERIFY(master.w().mnuRemoveMarker->isVisible() && master.w().mnuPlaceIcon->isVisible());
        QVERIFY(!master.w().mnuModifyMarker->isVisible() && !master.w().mnuModifyIcon->isVisible());
        // Removed while the cleric has it selected: gone everywhere, selection cleared.
        cleric.w().state().currentMarker = theirs;
        master.w().mnuRemoveMarker->trigger();
        QVERIFY(!master.w().state().markers.find(2));
        for (Participant *p : {&ranger, &cleric})
            QTRY_COMPARE(p->w().state().markers.size(), std::size_t(1));
        QVERIFY(!cleric.w().state().currentMarker);

        // Rights hold where messages arrive: whatever the fields claim, what
        // the cleric forges changes nothing elsewhere. Its chat line comes
        // after them from the same sender, so they have been handled by then.
        for (Participant *p : {&ranger, &cleric})
            QCOMPARE(p->w().state().masterPlayerID, master.w().state().ownPlayerID);
        const QString masterId = QString::number(master.w().state().ownPlayerID);
        QVERIFY(cleric.w().state().sendToAll(session::MSG_PLACE_MARKER, u"9;Fake;5;5;Scout(DM);" + masterId));
        QVERIFY(cleric.w().state().sendToAll(session::MSG_UPDATE_MARKER, QStringLiteral("1;Moved;7;7")));
        QVERIFY(cleric.w().state().sendToAll(session::MSG_REMOVE_MARKER, QStringLiteral("1")));
        cleric.type(QStringLiteral("nothing to see"));
        for (Participant *p : {&master, &ranger}) {
            QTRY_VERIFY(p->says(QStringLiteral("Cleric : nothing to see")));
            QCOMPARE(p->w().state().markers.size(), std::size_t(1));
            const auto kept = p->w().state().markers.find(1);
            QVERIFY(kept);
            QCOMPARE(kept->info, QStringLiteral("Here"));
            QCOMPARE(kept->mapX, 50);
        }
    }

    void playerMenusFollowTheRole()
    {
        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        master.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&master.w()));

        // The own entry opens nothing; another participant's opens the master menu.
        auto *list = master.w().lstPlayer;
        list->setCurrentRow(0);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(0)).center());
        QVERIFY(!master.w().mnuPlayerMaster->isVisible());
        QTest::mouseMove(list->viewport(), list->visualItemRect(list->item(1)).center());
        QTRY_COMPARE(list->currentRow(), 1);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(1)).center());
        QTRY_VERIFY(master.w().mnuPlayerMaster->isVisible());
        QCOMPARE(master.w().mnuPlayerMaster->actions().size(), 4);
        master.w().mnuPlayerMaster->hide();
        // Kick does nothing at all.
        master.w().mnuKick->trigger();
        QCOMPARE(playerNames(master.w()).size(), 2);
    }

    // Closing a tool window, by the program or by the window system's close
    // request (also while the main window is minimized), concerns that window
    // alone: the program never counts it as its last window (which would quit
    // and so close the main window with its exit question), asks nothing, and
    // the session goes on. Run inside the application's own event loop, where
    // a quit takes effect as in the program.
    void closingAToolWindowNeverAsksToExitNorEndsTheSession()
    {
        vellmar::testing::MapFolder folder;
        QVERIFY(folder.create());

        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        frmMain &player = ranger.w();
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        ranger.questions.yesNoAnswers = std::deque<bool>(32, false);
        ranger.questions.asked.clear();

        const std::function<QWidget *()> opens[] = {
            [&] { return (player.btnDiceRolls->click(), player.findChild<QWidget *>(QStringLiteral("frmDiceRoll"))); },
            [&] { return (player.btnCombat->click(), player.findChild<QWidget *>(QStringLiteral("frmCombat"))); },
            [&] { return (player.btnMaplist->click(), player.findChild<QWidget *>(QStringLiteral("frmMaplist"))); },
            [&] { return (player.btnToolbar->click(), player.findChild<QWidget *>(QStringLiteral("frmToolbar"))); },
            [&] { return (player.btnPartyChat->click(), static_cast<QWidget *>(&player.partyChat())); },
            [&] {
                player.lstPlayer->setCurrentRow(0);
                player.mnuPrivateChat2->trigger();
                return static_cast<QWidget *>(player.privateChats().find(master.w().state().ownPlayerID));
            },
        };
        QStringList failures;
        connect(qApp, &QGuiApplication::lastWindowClosed, &player,
                [&] { failures << QStringLiteral("the program saw its last window close"); });
        const auto tryAll = [&] {
            // By the program; by the window system; by it with the main window minimized.
            for (const auto &[byWindowSystem, minimized] : {std::pair(false, false), {true, false}, {true, true}}) {
                if (minimized)
                    player.showMinimized();
                for (const auto &open : opens) {
                    QPointer<QWidget> tool = open();
                    if (!tool || !QTest::qWaitForWindowExposed(tool)) {
                        failures << QStringLiteral("a tool window did not open");
                        continue;
                    }
                    const QString name = tool->objectName();
                    if (byWindowSystem) {
                        QCloseEvent request;
                        QApplication::sendEvent(tool->windowHandle(), &request);
                    } else {
                        tool->close();
                    }
                    QTest::qWait(20);
                    if (tool && tool->isVisible())
                        failures << name + u" stayed open";
                    if (!ranger.questions.asked.isEmpty())
                        failures << name + u" asked: " + ranger.questions.asked.join(u'|');
                    ranger.questions.asked.clear();
                }
            }
            QCoreApplication::exit(0);
        };
        // The map list opens only with an index in ./map.
        QVERIFY(folder.enter());
        QTimer::singleShot(0, &player, tryAll);
        QApplication::exec();
        folder.leave();

        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QVERIFY(player.isVisible());
        QVERIFY(!player.state().appClosing);
        QVERIFY(player.state().inSession && player.directPlay());
        QCOMPARE(playerNames(master.w()).size(), 2);
    }
};

QTEST_MAIN(TestSessionTools)
#include "tst_session_tools.moc"
