#include "ScriptedQuestions.h"
#include "combat/forms/frmCombat.h"
#include "table/Table.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/IconEdits.h"
#include "tokens/icons/forms/CombatTrackerLink.h"
#include "tokens/icons/forms/QtIconDialogs.h"
#include "tokens/icons/forms/frmModifyIcon.h"
#include "tokens/icons/forms/frmSetIcon.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>

using namespace vellmar;
using namespace vellmar::tokens;
using vellmar::table::CIcon;

namespace {

// Answers from the script; with `popUp` each message also takes the
// activation away for a moment, as a real message box does.
class PopUpQuestions final : public core::Questions
{
public:
    explicit PopUpQuestions(ScriptedQuestions &script) : m_script(script) {}
    bool popUp = false;

    std::optional<QString> askText(const QString &, const QString &, const QString &) override { return {}; }
    bool askYesNo(const QString &) override { return false; }
    void tell(const QString &message) override
    {
        m_script.tell(message);
        if (!popUp)
            return;
        QDialog box;
        box.setModal(true);
        box.show();
        if (!QTest::qWaitForWindowActive(&box))
            qFatal("message box not active");
    }

private:
    ScriptedQuestions &m_script;
};

// The main window's side of the icon commands, with the real dialogs and the
// real combat tracker.
struct Fixture
{
    ScriptedQuestions questions;
    PopUpQuestions asker{questions};
    table::Table state;
    int repaints = 0;
    QPointer<combat::frmCombat> tracker;
    QtIconDialogs dialogs{state.identity(), state.records(), asker, [this] { ++repaints; }, nullptr};
    CombatTrackerLink link{[this] {
        if (!tracker)
            tracker = new combat::frmCombat(questions);
        return tracker.data();
    }};
    IconCommands commands{state, dialogs, link, [this] { ++repaints; }};

    ~Fixture() { delete tracker.data(); }

    template <typename Form>
    Form *active(Form *form)
    {
        if (!form || !QTest::qWaitForWindowActive(form))
            qFatal("icon dialog not active");
        return form;
    }
    frmSetIcon *openPlace(int x, int y) { return commands.PlaceIcon(x, y), active(dialogs.placeDialog()); }
    frmModifyIcon *openModify(const std::shared_ptr<CIcon> &icon)
    {
        return commands.ModifyIcon(icon.get()), active(dialogs.modifyDialog());
    }
};

QStringList words(const char *text) { return QString::fromLatin1(text).split(u' '); }

// Types each text into the box that has the focus, moving on with Tab.
void typeAll(const char *texts)
{
    for (const QString &text : words(texts)) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

// Name, damage, max health, size, initiative, map x and y, id, owner.
QString fields(const CIcon &i)
{
    QStringList out{i.name};
    for (const qint64 n : {qint64(i.damage), qint64(i.maxHealth), qint64(i.size), qint64(i.initiative), qint64(i.mapX),
                           qint64(i.mapY), qint64(i.id), qint64(i.UserID)})
        out << QString::number(n);
    return out.join(u' ');
}

void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

bool discarded(QPointer<frmModifyIcon> &form)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return form.isNull();
}

// Controls where the layout puts them, and the Tab cycle from the name box.
void checkControls(IconForm *form, const QStringList &tabCycle)
{
    QVERIFY(form->isModal());
    QCOMPARE(form->size(), QSize(241, 185));
    const QStringList captions{QStringLiteral("Name"), QStringLiteral("Damage"), QStringLiteral("Max Health"),
                               QStringLiteral("Size"), QStringLiteral("Initiative")};
    const QStringList names = words("Name Damage Maxhealth Size Initiative");
    for (int i = 0; i < 5; ++i) {
        auto *box = form->findChild<QLineEdit *>(u"txt" + names[i]);
        auto *label = form->findChild<QLabel *>(u"lbl" + names[i]);
        QVERIFY2(box && label, qPrintable(names[i]));
        QCOMPARE(box->geometry(), ui::toPixels({1320, 120 + 420 * i, 2175, 315}));
        QCOMPARE(label->geometry(), ui::toPixels({120, 120 + 420 * i, 1095, 315}));
        QCOMPARE(label->text(), captions[i]);
    }
    QCOMPARE(form->findChild<QPushButton *>(QStringLiteral("btnSet"))->text(), QStringLiteral("Set"));
    QCOMPARE(form->findChild<QPushButton *>(QStringLiteral("btnCancel"))->text(), QStringLiteral("Cancel"));
    QCOMPARE(form->btnSet->geometry(), ui::toPixels({1320, 2280, 1035, 375}));
    QCOMPARE(form->btnCancel->geometry(), ui::toPixels({2460, 2280, 1035, 375}));
    QVERIFY(form->btnSet->isDefault());

    QStringList walked{QApplication::focusWidget()->objectName()};
    while (walked.size() < tabCycle.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walked, tabCycle);
}

} // namespace

class TestIconDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controlsAndTabOrder()
    {
        Fixture f;
        frmSetIcon *place = f.openPlace(0, 0);
        checkControls(place, words("txtName txtDamage txtMaxhealth txtSize txtInitiative btnSet btnCancel txtName"));
        click(place->btnCancel);
        f.state.icons.add(std::make_shared<CIcon>());
        checkControls(f.openModify(f.state.icons.find(0)),
                      words("txtName txtDamage txtMaxhealth txtSize txtInitiative btnCancel btnSet txtName"));
    }

    void placeAddsIconHidesAndKeepsItsText()
    {
        Fixture f;
        f.state.ownPlayerID = 3;
        frmSetIcon *form = f.openPlace(40, 50);
        typeAll("Goblin 0 7 12 15");
        click(form->btnSet);
        QVERIFY(!form->isVisible());
        QCOMPARE(f.repaints, 1);
        QCOMPARE(fields(*f.state.icons.find(QStringLiteral("1"))), QStringLiteral("Goblin 0 7 12 15 40 50 1 3"));

        // The same dialog comes back with the last values, the name selected;
        // a click selects too, typing replaces and Enter presses "Set".
        QCOMPARE(f.openPlace(60, 70), form);
        QCOMPARE(form->txtName->selectedText(), QStringLiteral("Goblin"));
        QTest::mouseClick(form->txtSize, Qt::LeftButton, {}, QPoint(2, 5));
        QTRY_COMPARE(form->txtSize->selectedText(), QStringLiteral("12"));
        QTest::keyClicks(form->txtSize, QStringLiteral("3.5"));
        QTest::keyClick(form->txtSize, Qt::Key_Return);
        QVERIFY(!form->isVisible());
        QCOMPARE(fields(*f.state.icons.records().back()), QStringLiteral("Goblin 0 7 4 15 60 70 2 3"));
    }

    void refusedEntryKeepsTheDialogOpen()
    {
        Fixture f;
        frmSetIcon *place = f.openPlace(1, 2);
        typeAll("Rat x 3 4 5");
        click(place->btnSet);
        QCOMPARE(f.questions.told,
                 QStringList{QStringLiteral("Damage is not a number: enter a whole number from -32768 to 32767.")});
        QVERIFY(place->isVisible());
        QVERIFY(f.state.icons.isEmpty());
        QCOMPARE(QApplication::focusWidget(), place->txtDamage);
        QTest::keyClicks(place->txtDamage, QStringLiteral("2.5")); // replaces the selected "x"
        click(place->btnSet);
        const auto rat = f.state.icons.find(1);
        QCOMPARE(fields(*rat), QStringLiteral("Rat 2 3 4 5 1 2 1 0"));

        // Back from a real message box the caret is still in the refused box.
        QPointer<frmModifyIcon> modify = f.openModify(rat);
        modify->txtMaxhealth->setText(QStringLiteral("40000"));
        f.asker.popUp = true;
        click(modify->btnSet);
        modify->activateWindow(); // what the window system does when the box closes
        QTRY_VERIFY(modify->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), modify->txtMaxhealth);
        QCOMPARE(modify->txtMaxhealth->selectedText(), QStringLiteral("40000"));
        QVERIFY(f.questions.told.last().startsWith(QStringLiteral("Max Health is out of range")));
        QVERIFY(!discarded(modify));
        QCOMPARE(rat->maxHealth, std::int16_t(3));
        QCOMPARE(f.state.NextIconID(), 2); // only the accepted icon drew an id
    }

    void cancelAndEscapeChangeNothing()
    {
        Fixture f;
        frmSetIcon *place = f.openPlace(1, 2);
        typeAll("Wolf 1 1 1 1");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(place->isVisible()); // no cancel button here
        click(place->btnCancel);
        QVERIFY(!place->isVisible());
        QVERIFY(f.state.icons.isEmpty());

        const auto icon = addPlacedIcon(f.state, {QStringLiteral("Bear"), 1, 2, 3, 4}, 5, 6, f.state.ownPlayerID);
        QPointer<frmModifyIcon> modify = f.openModify(icon);
        QTest::keyClicks(modify->txtName, QStringLiteral("Cub"));
        click(modify->btnCancel);
        QVERIFY(discarded(modify));
        QCOMPARE(icon->name, QStringLiteral("Bear"));
        QCOMPARE(f.repaints, 0);
        QCOMPARE(f.state.NextIconID(), 2);
    }

    void modifyRewritesAllFiveFieldsAndIsDiscarded()
    {
        Fixture f;
        f.state.ownPlayerID = 8;
        const auto icon =
            addPlacedIcon(f.state, {QStringLiteral("Troll;"), -4, 30, 20, 2147483647}, 7, 9, f.state.ownPlayerID);
        QPointer<frmModifyIcon> form = f.openModify(icon);
        // Changed behind the dialog's back: "Set" writes every box back.
        *icon = CIcon{9, 9, QStringLiteral("x"), 9, 7, 9, icon->id, 8, 9};
        click(form->btnSet);
        QCOMPARE(fields(*icon), QStringLiteral("Troll; -4 30 20 2147483647 7 9 1 8"));
        QCOMPARE(f.repaints, 1);
        QVERIFY(discarded(form));
    }

    void rolledInitiativeReachesTheTracker()
    {
        Fixture f;
        const auto icon = addPlacedIcon(f.state, {QStringLiteral("Goblin"), 0, 7, 12, 15}, 0, 0, f.state.ownPlayerID);
        const std::optional<std::int32_t> total = f.commands.RollInitiative(icon.get());
        QVERIFY(total && *total >= 16 && *total <= 35);
        QVERIFY(f.tracker && f.tracker->lstTurn->count() == 1);
        QCOMPARE(f.tracker->lstTurn->item(0)->text(), QStringLiteral("Goblin\t") + QString::number(*total));
    }
};

QTEST_MAIN(TestIconDialogs)
#include "tst_icondialogs.moc"
