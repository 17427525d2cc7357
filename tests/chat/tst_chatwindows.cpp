#include "RecordingSender.h"
#include "chat/forms/Form2.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "table/Table.h"
#include "ui/LogLine.h"
#include "ui/MainWindowApi.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest/QTest>

using namespace vellmar;

namespace {

class FakeMainWindow final : public ui::MainWindowApi
{
public:
    int restored = 0;
    void Display(const QString &) override {}
    void RestoreWindow(QWidget &window) override
    {
        ++restored;
        window.showNormal();
    }
};

QString logText(const QPlainTextEdit *edit) { return edit->toPlainText().replace(u'\n', QStringLiteral("\r\n")); }

struct Session
{
    table::Table state;
    RecordingSender sender;
    Session(const QString &name)
    {
        state.userName = name;
        state.inSession = true;
        state.sender = &sender;
    }
};

} // namespace

class TestChatWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void partyLineIsSentOnceEchoedAndKeptWhileHidden()
    {
        Session session(QStringLiteral("Ranger"));
        chat::frmPartyChat party(session.state.identity(), session.state.outbox());
        party.show();
        QVERIFY(QTest::qWaitForWindowExposed(&party));
        QCOMPARE(party.windowTitle(), QStringLiteral("Party Chat"));

        QTest::keyClicks(party.txtInput, QStringLiteral("    "));
        QTest::keyClick(party.txtInput, Qt::Key_Return);
        QVERIFY(session.sender.sent.isEmpty());
        QCOMPARE(party.txtInput->text(), QString());

        QTest::keyClicks(party.txtInput, QStringLiteral(" Hello; all "));
        QTest::keyClick(party.txtInput, Qt::Key_Return);
        party.btnEnter()->click(); // the default button after Enter finds nothing left to send
        QCOMPARE(session.sender.sent.size(), 1);
        QCOMPARE(session.sender.sent[0].first, 0);
        QCOMPARE(session.sender.sent[0].second.type, int(session::MSG_PARTY_CHAT));
        QCOMPARE(session.sender.sent[0].second.payload, QStringLiteral("Hello; all"));
        QCOMPARE(logText(party.txtChat), QStringLiteral("\r\nRanger : Hello; all"));
        QCOMPARE(party.txtInput->text(), QString());

        // Closing only hides while the program is not leaving; lines still arrive.
        QVERIFY(!party.close());
        QVERIFY(party.isHidden());
        party.Display(QStringLiteral("Scout(DM) : while hidden"));
        QCOMPARE(logText(party.txtChat), QStringLiteral("\r\nRanger : Hello; all\r\nScout(DM) : while hidden"));
        session.state.appClosing = true;
        QVERIFY(party.close());
    }

    void chatWindowsKeepTheirLayoutAndFocusRules()
    {
        Session session(QStringLiteral("Ranger"));
        chat::frmPartyChat party(session.state.identity(), session.state.outbox());
        party.show();
        QVERIFY(QTest::qWaitForWindowExposed(&party));
        QVERIFY(party.btnEnter()->geometry().right() < 0); // hidden default button
        party.resize(500, 300);
        QTRY_COMPARE(party.txtInput->geometry().bottom() + 1, 300 - (915 - 375 - 510) / 15);
        QCOMPARE(party.txtChat->width(), 500 - 2);
        // Too short: held at the minimum outer height of 1500 twips.
        party.resize(500, 10);
        QTRY_COMPARE(party.height(), (1500 - 510) / 15);

        QTest::mouseClick(party.txtChat->viewport(), Qt::LeftButton);
        QTRY_VERIFY(party.txtInput->hasFocus());
    }

    void privateChatFindOrOpen()
    {
        Session session(QStringLiteral("Red"));
        FakeMainWindow mainWindow;
        QWidget owner;
        chat::PrivateChats chats(session.state.identity(), session.state.outbox(), mainWindow, &owner);

        chats.openFromPlayerList(7, QStringLiteral("Blue"));
        chats.openFromPlayerList(7, QStringLiteral("Blue"));
        QCOMPARE(chats.count(), 1);
        QCOMPARE(mainWindow.restored, 1);
        chat::Form2 *blue = chats.find(7);
        QCOMPARE(blue->txtInput->maxLength(), 255);

        // An entry called "User" never opens a window, nor does anything without a name.
        chats.openFromPlayerList(8, QStringLiteral("User"));
        session.state.userName.clear();
        chats.openFromPlayerList(9, QStringLiteral("Green"));
        QCOMPARE(chats.count(), 1);
        session.state.userName = QStringLiteral("Red");

        // A hidden window comes back with the line; another sender gets its own window.
        blue->close();
        QVERIFY(blue->isHidden());
        chats.receive(7, QStringLiteral("Blue"), QStringLiteral("psst"));
        QVERIFY(blue->isVisible());
        chats.receive(11, QStringLiteral("Green"), QStringLiteral("hi Red"));
        QCOMPARE(chats.count(), 2);
        QCOMPARE(chats.find(11)->windowTitle(), QStringLiteral("Private Red:Green"));
        QCOMPARE(logText(chats.find(11)->txtChat), QStringLiteral("\r\nGreen : hi Red"));
        QCOMPARE(logText(blue->txtChat), QStringLiteral("\r\nBlue : psst"));
    }

    void privateLinesGoToThePartnerOnly()
    {
        Session session(QStringLiteral("Red"));
        chat::Form2 window(session.state.identity(), session.state.outbox(), 42, QStringLiteral("Blue"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClicks(window.txtInput, QStringLiteral("secret"));
        QTest::keyClick(window.txtInput, Qt::Key_Return);
        QCOMPARE(session.sender.sent.size(), 1);
        QCOMPARE(session.sender.sent[0].first, 42);
        QCOMPARE(session.sender.sent[0].second.type, int(session::MSG_PRIVATE_CHAT));
        QCOMPARE(logText(window.txtChat), QStringLiteral("\r\nRed : secret"));
    }

    void logsKeepOnlyTheirNewestLines()
    {
        Session session(QStringLiteral("Ranger"));
        chat::frmPartyChat party(session.state.identity(), session.state.outbox());
        QTextDocument &log = *party.txtChat->document();
        const int overflow = 500;
        for (int i = 0; i < ui::logLineLimit + overflow; ++i)
            party.Display(QStringLiteral("line %1").arg(i));
        QCOMPARE(log.blockCount(), ui::logLineLimit);
        QCOMPARE(log.firstBlock().text(), QStringLiteral("line %1").arg(overflow));
        QCOMPARE(log.lastBlock().text(), QStringLiteral("line %1").arg(ui::logLineLimit + overflow - 1));
        QVERIFY(!log.isUndoAvailable()); // no hidden second copy of everything shown

        // Long lines: the character budget decides, the newest line stays whole.
        const QString longLine(40000, u'x');
        for (int i = 0; i < 20; ++i)
            party.Display(longLine + QString::number(i));
        QVERIFY(log.characterCount() <= ui::logCharacterLimit);
        QCOMPARE(log.lastBlock().text(), longLine + u"19");
        QCOMPARE(log.firstBlock().text().left(40000), longLine);
        QCOMPARE(party.txtChat->textCursor().position(), log.characterCount() - 1); // the caret is at the end
    }
};

QTEST_MAIN(TestChatWindows)
#include "tst_chatwindows.moc"
