#include "LoopbackWrapper.h"
#include "SessionParticipants.h"
#include "chat/forms/Form2.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "dice/forms/frmDiceRoll.h"
#include "session/protocol/Messages.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

// The real loopback transport, noting the type of every message this copy
// receives: what reached it on the wire, whether or not anything showed it.
class Recording final : public session::testing::LoopbackWrapper
{
public:
    Recording(core::Questions &asker, QList<std::int32_t> &types) : LoopbackWrapper(asker), m_types(types) {}
    std::optional<session::ReceivedMessage> Receive() override
    {
        auto received = m_inner.Receive();
        if (received && received->from != session::kSystemSender) {
            session::MessageBuffer copy(received->message.bytes());
            m_types.append(copy.ReadLong().value_or(-1));
        }
        return received;
    }

private:
    QList<std::int32_t> &m_types;
};

// The lines of a pane that begin with prefix.
QStringList linesStarting(const QPlainTextEdit *pane, const QString &prefix)
{
    QStringList found;
    for (const QString &line : lines(pane)) {
        if (line.startsWith(prefix))
            found << line;
    }
    return found;
}

void typeInto(chat::ChatWindow &window, const QString &text)
{
    window.txtInput->setText(text);
    QTest::keyClick(window.txtInput, Qt::Key_Return);
}

// Waits until everyone has what `from` says next: the host delivers in one
// order, so whatever `from` sent before has arrived by then, or never will.
void sync(Participant &from, const QList<Participant *> &others, const QString &word)
{
    from.type(word);
    const QString line = from.w().state().userName + u" : " + word;
    for (Participant *p : others)
        QTRY_VERIFY(p->says(line));
}

} // namespace

class TestChatRolls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modesOverThreeCopies()
    {
        QList<std::int32_t> clericReceived;
        Participant master, ranger;
        Participant cleric([&](core::Questions &asker) { return std::make_unique<Recording>(asker, clericReceived); });
        QVERIFY(gather(master, ranger, &cleric));
        master.w().txtRollVal->setText(QStringLiteral("tag"));

        // Open dice windows list every roll their copy sees from then on.
        master.w().btnDiceRolls->click();
        ranger.w().btnDiceRolls->click();

        // A player's /roll: everyone sees it, the master under its tag.
        ranger.type(QStringLiteral("/r 2d20kh1+5 attack"));
        QCOMPARE(ranger.w().txtInput->text(), QString());
        const QStringList rolled = linesStarting(ranger.w().txtChat, QStringLiteral("Ranger rolls (attack)[2d20kh1 ("));
        QCOMPARE(rolled.size(), 1);
        QTRY_VERIFY(cleric.says(rolled.first()));
        QTRY_VERIFY(master.says(u"<tag>" + rolled.first()));

        // A /gmroll typed in the party box: the roller and the master only.
        typeInto(ranger.w().partyChat(), QStringLiteral("/gr 1d20 stealth"));
        const QStringList secret = linesStarting(ranger.w().partyChat().txtChat,
                                                 QStringLiteral("Ranger rolls (master only) (stealth)[1d20 ("));
        QCOMPARE(secret.size(), 1);
        QTRY_VERIFY(master.says(u"<tag>" + secret.first()));

        // The cleric's /selfroll in a private chat stays with the cleric.
        const QListWidgetItem *rangerEntry =
            cleric.w().lstPlayer->findItems(QStringLiteral("Ranger"), Qt::MatchExactly).first();
        const int rangerId = rangerEntry->data(Qt::UserRole).toInt();
        cleric.w().privateChats().openFromPlayerList(rangerId, QStringLiteral("Ranger"));
        typeInto(*cleric.w().privateChats().find(rangerId), QStringLiteral("/selfroll 3d6!"));
        QCOMPARE(linesStarting(cleric.w().privateChats().find(rangerId)->txtChat,
                               QStringLiteral("Cleric rolls (self only) [3d6! ("))
                     .size(),
                 1);

        // The master's /roll stays secret; /publicroll shows it.
        master.type(QStringLiteral("/roll 1d8"));
        QCOMPARE(linesStarting(master.w().txtChat, QStringLiteral("Scout(DM) rolls (master only) [1d8 (")).size(), 1);
        master.type(QStringLiteral("/publicroll d%"));
        const QStringList open = linesStarting(master.w().txtChat, QStringLiteral("Scout(DM) rolls [1d% ("));
        QCOMPARE(open.size(), 1);

        sync(ranger, {&master, &cleric}, QStringLiteral("sync"));
        sync(master, {&ranger, &cleric}, QStringLiteral("sync too"));
        QTRY_VERIFY(ranger.says(open.first()));
        QVERIFY(cleric.says(open.first()));
        // The cleric never received the roll meant for the master, shown or not.
        QVERIFY(!clericReceived.contains(session::MSG_MASTER_ROLL));
        QVERIFY(clericReceived.contains(session::MSG_DICE_ROLL));
        for (Participant *p : {&master, &ranger, &cleric}) {
            QCOMPARE(p->w().partyChat().txtChat->toPlainText().count(u"rolls"), p == &ranger ? 1 : 0);
            for (const QString &line : lines(p->w().txtChat)) {
                QVERIFY2(!line.contains(u"(self only)"), qPrintable(line));
                if (p != &master)
                    QVERIFY2(!line.contains(u"(master only)"), qPrintable(line));
            }
        }
        QCOMPARE(clericReceived.count(session::MSG_DICE_ROLL), 2);

        // The roll lists keep what each copy saw, the master's untagged.
        const QString masterRolls = master.w().findChild<dice::frmDiceRoll *>()->txtRolls->toPlainText();
        QVERIFY(masterRolls.contains(rolled.first()));
        QVERIFY(masterRolls.contains(secret.first()));
        QVERIFY(!masterRolls.contains(u"<tag>"));
        auto *rangerDice = ranger.w().findChild<dice::frmDiceRoll *>();
        rangerDice->btnQuickRoll20->click();
        const QStringList rangerRolls = lines(rangerDice->txtRolls);
        QCOMPARE(rangerRolls.mid(0, 3), (QStringList{rolled.first(), secret.first(), open.first()}));
        QVERIFY(rangerRolls.at(3).startsWith(u"Roll: [1d20 ("));
        rangerDice->btnCopyLog->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), rangerRolls.join(QStringLiteral("\r\n")));
        // Closing the window loses its list; a new one starts empty.
        rangerDice->close();
        QTRY_VERIFY(!ranger.w().findChild<dice::frmDiceRoll *>());
        ranger.w().btnDiceRolls->click();
        QVERIFY(lines(ranger.w().findChild<dice::frmDiceRoll *>()->txtRolls).isEmpty());
    }

    void unreadableRollsStayInTheBox()
    {
        Participant master, ranger;
        QVERIFY(gather(master, ranger));

        ranger.type(QStringLiteral("/r 2d6x"));
        QCOMPARE(ranger.w().txtInput->text(), QStringLiteral("/r 2d6x"));
        QVERIFY(!ranger.w().lblInputError->isHidden());
        QCOMPARE(ranger.w().lblInputError->text(),
                 QStringLiteral("Cannot roll: \"x\" is not part of a roll (at character 7)"));
        ranger.type(QStringLiteral("/r 2d6"));
        QVERIFY(ranger.w().lblInputError->isHidden());

        chat::frmPartyChat &party = ranger.w().partyChat();
        const int inputTop = party.txtInput->y();
        typeInto(party, QStringLiteral("/gr 101d6"));
        QCOMPARE(party.txtInput->text(), QStringLiteral("/gr 101d6"));
        QVERIFY(!party.lblInputError->isHidden());
        QVERIFY(party.lblInputError->text().contains(u"at most 100 dice"));
        // The line sits under the box, which made room for it.
        QVERIFY(party.txtInput->y() < inputTop);
        QCOMPARE(party.lblInputError->y(), party.txtInput->geometry().bottom() + 1);
        typeInto(party, QStringLiteral("plain words"));
        QVERIFY(party.lblInputError->isHidden());
        QCOMPARE(party.txtInput->y(), inputTop);

        // Only the good roll and the words went out.
        sync(ranger, {&master}, QStringLiteral("sync"));
        QCOMPARE(linesStarting(master.w().txtChat, QStringLiteral("<val>Ranger rolls")).size(), 1);
        QTRY_VERIFY(master.w().partyChat().txtChat->toPlainText().contains(u"Ranger : plain words"));
        QVERIFY(!master.w().partyChat().txtChat->toPlainText().contains(u"101d6"));
    }
};

QTEST_MAIN(TestChatRolls)
#include "tst_chat_rolls.moc"
