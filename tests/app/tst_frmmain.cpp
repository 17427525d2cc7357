#include "RecordingSender.h"
#include "ScriptedQuestions.h"
#include "app/forms/frmMain.h"
#include "app/widgets/UpDownControl.h"
#include "session/transport/SessionTransport.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest/QTest>

using namespace vellmar;
using vellmar::app::frmMain;

namespace {

const QString exitQuestion =
    QStringLiteral("This will end the program and close all forms - are you sure you want to exit?");

// The log as the user would copy it: lines separated by CR LF.
QString logText(const QPlainTextEdit *edit) { return edit->toPlainText().replace(u'\n', QStringLiteral("\r\n")); }

// These tests never start a session.
const frmMain::TransportFactory noSession = [](core::Questions &) {
    return std::unique_ptr<session::SessionTransport>();
};

QRect pixels(int l, int t, int w, int h) { return vellmar::ui::toPixels({l, t, w, h}); }

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsOfflineAsMasterWithEveryControl()
    {
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.windowTitle(), QStringLiteral("Vellmar"));
        QVERIFY(!window.state().inSession && window.state().isMaster && !window.state().appClosing);
        QVERIFY(!window.mapLoaded);
        QCOMPARE(window.map10Size, 22.56);
        QCOMPARE(window.map10OffsetX, -9);
        QCOMPARE(window.map10OffsetY, -13);
        QCOMPARE(window.zoom, 1.0);
        QCOMPARE(window.NextMarkerID(), 1);
        QCOMPARE(window.NextMarkerID(), 2);
        QCOMPARE(window.NextIconID(), 1);

        // Both scroll bars start at 0 to 10; the first layout, when the window
        // appears, sets the horizontal range from the picture, none yet: 0 to 0.
        const auto *v = window.findChild<QScrollBar *>(QStringLiteral("vmapScroll"));
        const auto *h = window.findChild<QScrollBar *>(QStringLiteral("HmapScroll"));
        QCOMPARE((QList<int>{v->minimum(), v->maximum(), h->minimum(), h->maximum()}), (QList<int>{0, 10, 0, 0}));
        const auto *zoom = window.findChild<app::UpDownControl *>(QStringLiteral("UpDownZoom"));
        QCOMPARE((QList<int>{zoom->minimum(), zoom->maximum(), zoom->value()}), (QList<int>{1, 11, 6}));
        QVERIFY(window.findChild<QCheckBox *>(QStringLiteral("chkShowGrid"))->isChecked());
        QVERIFY(!window.findChild<QLineEdit *>(QStringLiteral("txtInput"))->isEnabled());
        QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("btnPartyChat"))->isEnabled());
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("lblRollVal"))->isHidden());
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("txtRollVal"))->text(), QStringLiteral("val"));
        QVERIFY(window.findChild<QLineEdit *>(QStringLiteral("txtRollVal"))->isHidden());
        QVERIFY(window.findChild<QListWidget *>(QStringLiteral("lstPlayer"))->count() == 0);
        QVERIFY(window.findChild<QPlainTextEdit *>(QStringLiteral("txtChat"))->isReadOnly());

        const auto *enter = window.findChild<QPushButton *>(QStringLiteral("btnEnter"));
        QCOMPARE(enter->text(), QStringLiteral("Command4"));
        QVERIFY(enter->geometry().right() < 0); // out of sight

        const QList<std::pair<const char *, QString>> captions{
            {"btnMaplist", QStringLiteral("Map list")}, {"btnDiceRolls", QStringLiteral("Dice Rolls")},
            {"btnCombat", QStringLiteral("Combat")},    {"btnPartyChat", QStringLiteral("Party chat")},
            {"btnToolbar", QStringLiteral("Toolbar")},
        };
        for (const auto &[name, caption] : captions)
            QCOMPARE(window.findChild<QPushButton *>(QString::fromLatin1(name))->text(), caption);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Players"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label2"))->text(), QStringLiteral("Zoom"));

        // Start positions (the grip excepted, the first layout places it).
        const QList<std::pair<const char *, QRect>> positions{
            {"Picture1", pixels(120, 120, 4935, 4455)},  {"Frame1", pixels(5280, 0, 2775, 4695)},
            {"txtChat", pixels(120, 4800, 7935, 1575)},  {"lstPlayer", pixels(1440, 2880, 1215, 1740)},
            {"btnResize", pixels(5135, 4620, 135, 195)},
        };
        for (const auto &[name, position] : positions)
            QCOMPARE(window.findChild<QWidget *>(QString::fromLatin1(name))->geometry(), position);

        QStringList shown;
        for (const QAction *action : window.findChild<QMenu *>(QStringLiteral("mnuIcon"))->actions())
            shown << action->text();
        QCOMPARE(shown.join(u'|'), QStringLiteral("Place Icon|Modify Icon|(&R)emove Icon|Roll (I)nitiative||"
                                                  "Place Marker|Modify Marker|(&R)emove Marker|(&Q)uick Marker||"
                                                  "Shown to Players|Show to Players"));
        QVERIFY(window.findChild<QAction *>(QStringLiteral("mnuKickandBan")));
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuHostSession"))->text(), QStringLiteral("Host Session"));
    }

    // Display puts CR LF before each line; the exit question comes first.
    void exitAsksFirst_data()
    {
        QTest::addColumn<bool>("viaMenu");
        QTest::addColumn<bool>("yes");
        QTest::newRow("menu, No: nothing changes") << true << false;
        QTest::newRow("menu, Yes") << true << true;
        QTest::newRow("window closed, Yes: every window goes") << false << true;
    }
    void exitAsksFirst()
    {
        QFETCH(bool, viaMenu);
        QFETCH(bool, yes);
        ScriptedQuestions questions;
        questions.yesNoAnswers = {yes};
        frmMain window(questions, noSession);
        QWidget tool;
        tool.show();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Display(QStringLiteral("a"));
        window.Display(QStringLiteral("b"));
        QCOMPARE(window.txtChat->textCursor().position(), window.txtChat->document()->characterCount() - 1);

        if (viaMenu)
            window.mnuExit->trigger();
        else
            window.close();
        QCOMPARE(questions.asked, QStringList{exitQuestion});
        QCOMPARE(window.state().appClosing, yes);
        QCOMPARE(window.isVisible(), !yes);
        QCOMPARE(tool.isVisible(), !yes);
        QCOMPARE(logText(window.txtChat),
                 yes ? QStringLiteral("\r\na\r\nb\r\nClosing application...") : QStringLiteral("\r\na\r\nb"));
    }

    void restoredWindowsComeBackInNormalState()
    {
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        QWidget tool;
        tool.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tool));
        tool.hide();
        window.RestoreWindow(tool);
        QVERIFY(tool.isVisible());

        tool.showMinimized();
        window.RestoreWindow(tool);
        QVERIFY(tool.isVisible());
        QVERIFY(!(tool.windowState() & Qt::WindowMinimized));
    }

    void enterSendsTrimmedLineOnce()
    {
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        RecordingSender sender;
        window.state().sender = &sender;
        window.state().inSession = true;
        window.state().userName = QStringLiteral("Scout(DM)");
        window.txtInput->setEnabled(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::keyClicks(window.txtInput, QStringLiteral("   "));
        QTest::keyClick(window.txtInput, Qt::Key_Return);
        QVERIFY(sender.sent.isEmpty());
        QCOMPARE(logText(window.txtChat), QString());
        QCOMPARE(window.txtInput->text(), QString());

        QTest::keyClicks(window.txtInput, QStringLiteral("  hello  big;world "));
        QTest::keyClick(window.txtInput, Qt::Key_Return);
        QCOMPARE(sender.sent.size(), 1);
        QCOMPARE(sender.sent[0].first, 0);
        QCOMPARE(sender.sent[0].second.type, int(session::MSG_CHAT));
        QCOMPARE(sender.sent[0].second.payload, QStringLiteral("hello  big;world"));
        QCOMPARE(logText(window.txtChat), QStringLiteral("\r\nScout(DM) : hello  big;world"));
        QCOMPARE(window.txtInput->text(), QString());

        // A refused send keeps the line and says it did not go out.
        sender.accept = false;
        QTest::keyClicks(window.txtInput, QStringLiteral("lost"));
        QTest::keyClick(window.txtInput, Qt::Key_Enter);
        QVERIFY(logText(window.txtChat).contains(QStringLiteral("\r\nScout(DM) : lost\r\n<SYS> ")));
        window.state().sender = nullptr;
    }

    void windowLayoutFollowsResizeAndSplitter()
    {
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Too small: snapped back to the minimum, in pixels rounded up.
        window.resize(10, 10);
        QTRY_COMPARE(window.width(), (2775 + 600) / 15);
        QVERIFY(window.height() * 15 >= window.layoutState().btnResize.top + 1820);

        // Dragging the grip with the mouse moves the border between map and chat.
        const int mapHeight = window.Picture1->height();
        QTest::mousePress(window.btnResize, Qt::LeftButton, {}, QPoint(4, 4));
        QMouseEvent move(QEvent::MouseMove, QPointF(4, 4 + 20), window.btnResize->mapToGlobal(QPointF(4, 24)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(window.btnResize, &move);
        QTest::mouseRelease(window.btnResize, Qt::LeftButton, {}, QPoint(4, 24));
        QVERIFY(!window.layoutState().resizing());
        QVERIFY(window.Picture1->height() > mapHeight);
        QCOMPARE(window.btnResize->size(), QSize(9, 9));
    }

    // A drag far past either limit stops the grip there; the window keeps
    // its size and the chat pane keeps what the limit leaves it.
    void gripDragNeverResizesTheWindow()
    {
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize size = window.size();
        QPushButton *grip = window.btnResize;
        const auto dragBy = [&](int pixels) {
            QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(4, 4));
            // In steps, as a real pointer moves: each step sees the layout
            // (and the window) that the previous one left.
            for (int step = 1; step <= 10; ++step) {
                const QPointF at(4, 4 + pixels * step / 10);
                QMouseEvent move(QEvent::MouseMove, at, grip->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
                QApplication::sendEvent(grip, &move);
                QApplication::processEvents();
            }
            QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(4, 4 + pixels));
            QApplication::processEvents();
        };

        dragBy(300);
        QCOMPARE(window.size(), size);
        QCOMPARE(window.txtInput->y() - grip->y(), 600 / 15);
        QCOMPARE(window.txtChat->height(), (1575 - (6435 - 600 - 4620)) / 15);

        dragBy(-1000);
        QCOMPARE(window.size(), size);
        QCOMPARE(grip->y(), (4695 - 45) / 15);
        QCOMPARE(window.txtChat->height(), (1575 + 4620 - (4695 - 45)) / 15);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
