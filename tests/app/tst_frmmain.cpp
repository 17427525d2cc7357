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

QRect pixels(int l, int t, int w, int h) { return vellmar::app::toPixels({l, t, w, h}); }

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
        QVERIFY(!window.state().inSession);
        QVERIFY(window.state().isMaster);
        QVERIFY(!window.state().appClosing);
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
        auto *scroll = window.findChild<QScrollBar *>(QStringLiteral("vmapScroll"));
        QCOMPARE(scroll->minimum(), 0);
        QCOMPARE(scroll->maximum(), 10);
        QCOMPARE(window.findChild<QScrollBar *>(QStringLiteral("HmapScroll"))->maximum(), 0);
        auto *zoom = window.findChild<app::UpDownControl *>(QStringLiteral("UpDownZoom"));
        QCOMPARE(zoom->minimum(), 1);
        QCOMPARE(zoom->maximum(), 11);
        QCOMPARE(zoom->value(), 6);
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
        QCOMPARE(window.findChild<QWidget *>(QStringLiteral("Picture1"))->geometry(), pixels(120, 120, 4935, 4455));
        QCOMPARE(window.findChild<QGroupBox *>(QStringLiteral("Frame1"))->geometry(), pixels(5280, 0, 2775, 4695));
        QCOMPARE(window.findChild<QPlainTextEdit *>(QStringLiteral("txtChat"))->geometry(),
                 pixels(120, 4800, 7935, 1575));
        QCOMPARE(window.findChild<QListWidget *>(QStringLiteral("lstPlayer"))->geometry(),
                 pixels(1440, 2880, 1215, 1740));
        QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("btnResize"))->geometry(),
                 pixels(5135, 4620, 135, 195));

        const QStringList iconMenu{QStringLiteral("Place Icon"),
                                   QStringLiteral("Modify Icon"),
                                   QStringLiteral("(&R)emove Icon"),
                                   QStringLiteral("Roll (I)nitiative"),
                                   QString(),
                                   QStringLiteral("Place Marker"),
                                   QStringLiteral("Modify Marker"),
                                   QStringLiteral("(&R)emove Marker"),
                                   QStringLiteral("(&Q)uick Marker")};
        QStringList shown;
        for (const QAction *action : window.findChild<QMenu *>(QStringLiteral("mnuIcon"))->actions())
            shown << action->text();
        QCOMPARE(shown, iconMenu);
        QVERIFY(window.findChild<QAction *>(QStringLiteral("mnuKickandBan")));
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuHostSession"))->text(), QStringLiteral("Host Session"));
    }

    void exitAnsweredNoChangesNothing()
    {
        ScriptedQuestions questions;
        questions.yesNoAnswers = {false};
        frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Display(QStringLiteral("before"));
        const QString logBefore = logText(window.txtChat);

        window.mnuExit->trigger();
        QCOMPARE(questions.asked, QStringList{exitQuestion});
        QVERIFY(window.isVisible());
        QVERIFY(!window.state().appClosing);
        QCOMPARE(logText(window.txtChat), logBefore);
    }

    void exitAnsweredYesClosesEveryWindow()
    {
        ScriptedQuestions questions;
        questions.yesNoAnswers = {true};
        frmMain window(questions, noSession);
        QWidget hiddenTool;
        hiddenTool.show();
        hiddenTool.hide();
        QWidget shownTool;
        shownTool.show();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(window.close());
        QCOMPARE(questions.asked, QStringList{exitQuestion});
        QVERIFY(window.state().appClosing);
        QVERIFY(logText(window.txtChat).endsWith(QStringLiteral("\r\nClosing application...")));
        QVERIFY(!window.isVisible());
        QVERIFY(!shownTool.isVisible());
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

    void displayPrecedesEachLineWithCrLf()
    {
        ScriptedQuestions questions;
        frmMain window(questions, noSession);
        window.Display(QStringLiteral("a"));
        window.Display(QStringLiteral("b"));
        QCOMPARE(logText(window.txtChat), QStringLiteral("\r\na\r\nb"));
        QCOMPARE(window.txtChat->textCursor().position(), window.txtChat->document()->characterCount() - 1);
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
        const QRect mapBefore = window.Picture1->geometry();
        const QRect chatBefore = window.txtChat->geometry();

        window.resize(window.width() + 100, window.height() + 60);
        QTRY_COMPARE(window.Picture1->width(), mapBefore.width() + 100);
        QCOMPARE(window.Picture1->height(), mapBefore.height());
        QCOMPARE(window.txtChat->height(), chatBefore.height() + 60);

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
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
