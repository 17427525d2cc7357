#include "ScriptedQuestions.h"
#include "app/layout/Twips.h"
#include "app/state/SharedState.h"
#include "combat/forms/frmCombat.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/IconEdits.h"
#include "tokens/icons/forms/CombatTrackerLink.h"
#include "tokens/icons/forms/QtIconDialogs.h"
#include "tokens/icons/forms/frmModifyIcon.h"
#include "tokens/icons/forms/frmSetIcon.h"

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

namespace {

QRect pixels(int l, int t, int w, int h) { return app::toPixels({l, t, w, h}); }

// Answers from the script; with `popUp` each message also takes the
// activation away for a moment, as a real message box does.
class PopUpQuestions final : public core::Questions
{
public:
    explicit PopUpQuestions(ScriptedQuestions &script) : m_script(script) {}
    bool popUp = false;

    std::optional<QString> askText(const QString &title, const QString &prompt, const QString &text) override
    {
        return m_script.askText(title, prompt, text);
    }
    bool askYesNo(const QString &message) override { return m_script.askYesNo(message); }
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
    app::SharedState state;
    int repaints = 0;
    QPointer<combat::frmCombat> tracker;
    QtIconDialogs dialogs{state, asker, [this] { ++repaints; }, nullptr};
    CombatTrackerLink link{[this] {
        if (!tracker)
            tracker = new combat::frmCombat(questions);
        return tracker.data();
    }};
    IconCommands commands{state, dialogs, link, [this] { ++repaints; }};

    ~Fixture() { delete tracker.data(); }

    frmSetIcon *openPlace(int x, int y)
    {
        commands.PlaceIcon(x, y);
        frmSetIcon *form = dialogs.placeDialog();
        if (!QTest::qWaitForWindowActive(form))
            qFatal("place dialog not active");
        return form;
    }
    frmModifyIcon *openModify(const std::shared_ptr<CIcon> &icon)
    {
        commands.ModifyIcon(icon.get());
        frmModifyIcon *form = dialogs.modifyDialog();
        if (!form || !QTest::qWaitForWindowActive(form))
            qFatal("modify dialog not active");
        return form;
    }
};

// Types each text into the box that has the focus, moving on with Tab.
void typeAll(QWidget *form, const QStringList &texts)
{
    for (const QString &text : texts) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::keyClick(form, Qt::Key_Tab);
    }
}

void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

bool discarded(QPointer<frmModifyIcon> &form)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return form.isNull();
}

QStringList tabWalk(int steps)
{
    QStringList names{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << QApplication::focusWidget()->objectName();
    }
    return names;
}

void checkControls(IconForm *form)
{
    QVERIFY(form->isModal());
    QCOMPARE(form->size(), QSize(241, 185));
    const char *boxes[] = {"txtName", "txtDamage", "txtMaxhealth", "txtSize", "txtInitiative"};
    const char *captions[] = {"Name", "Damage", "Max Health", "Size", "Initiative"};
    const char *labels[] = {"lblName", "lblDamage", "lblMaxhealth", "lblSize", "lblInitiative"};
    for (int i = 0; i < 5; ++i) {
        auto *box = form->findChild<QLineEdit *>(QString::fromLatin1(boxes[i]));
        auto *label = form->findChild<QLabel *>(QString::fromLatin1(labels[i]));
        QVERIFY2(box && label, boxes[i]);
        QCOMPARE(box->geometry(), pixels(1320, 120 + 420 * i, 2175, 315));
        QCOMPARE(label->text(), QString::fromLatin1(captions[i]));
        QCOMPARE(label->geometry(), pixels(120, 120 + 420 * i, 1095, 315));
    }
    auto *set = form->findChild<QPushButton *>(QStringLiteral("btnSet"));
    auto *cancel = form->findChild<QPushButton *>(QStringLiteral("btnCancel"));
    QVERIFY(set && cancel);
    QCOMPARE(set->text(), QStringLiteral("Set"));
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(set->geometry(), pixels(1320, 2280, 1035, 375));
    QCOMPARE(cancel->geometry(), pixels(2460, 2280, 1035, 375));
    QVERIFY(set->isDefault());
    QCOMPARE(QApplication::focusWidget(), form->txtName);
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
        checkControls(place);
        QCOMPARE(tabWalk(7),
                 (QStringList{QStringLiteral("txtName"), QStringLiteral("txtDamage"), QStringLiteral("txtMaxhealth"),
                              QStringLiteral("txtSize"), QStringLiteral("txtInitiative"), QStringLiteral("btnSet"),
                              QStringLiteral("btnCancel"), QStringLiteral("txtName")}));
        click(place->btnCancel);

        f.state.icons.add(std::make_shared<CIcon>());
        frmModifyIcon *modify = f.openModify(f.state.icons.find(0));
        checkControls(modify);
        QCOMPARE(tabWalk(6),
                 (QStringList{QStringLiteral("txtName"), QStringLiteral("txtDamage"), QStringLiteral("txtMaxhealth"),
                              QStringLiteral("txtSize"), QStringLiteral("txtInitiative"), QStringLiteral("btnCancel"),
                              QStringLiteral("btnSet")}));
    }

    void placeAddsIconHidesAndKeepsItsText()
    {
        Fixture f;
        f.state.ownPlayerID = 3;
        frmSetIcon *form = f.openPlace(40, 50);
        typeAll(form, {QStringLiteral("Goblin"), QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("12"),
                       QStringLiteral("15")});
        click(form->btnSet);
        QVERIFY(!form->isVisible());
        QCOMPARE(f.repaints, 1);
        const auto goblin = f.state.icons.find(QStringLiteral("1"));
        QVERIFY(goblin);
        QCOMPARE(std::tuple(goblin->name, goblin->damage, goblin->maxHealth, goblin->size, goblin->initiative),
                 std::tuple(QStringLiteral("Goblin"), std::int16_t(0), std::int16_t(7), 12, 15));
        QCOMPARE(std::tuple(goblin->mapX, goblin->mapY, goblin->UserID), std::tuple(40, 50, 3));

        // The same dialog comes back with the last values, the name selected;
        // typing replaces it and Enter presses "Set".
        QCOMPARE(f.openPlace(60, 70), form);
        QCOMPARE(QApplication::focusWidget(), form->txtName);
        QCOMPARE(form->txtName->selectedText(), QStringLiteral("Goblin"));
        QTest::mouseClick(form->txtSize, Qt::LeftButton, {}, QPoint(2, 5));
        QTRY_COMPARE(form->txtSize->selectedText(), QStringLiteral("12"));
        QTest::keyClick(form->txtSize, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(form->txtMaxhealth, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(form->txtDamage, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(form->txtName->selectedText(), QStringLiteral("Goblin"));
        QTest::keyClicks(form->txtName, QStringLiteral("Orc"));
        QTest::keyClick(form->txtName, Qt::Key_Return);
        QVERIFY(!form->isVisible());
        const auto orc = f.state.icons.records().back();
        QCOMPARE(std::tuple(orc->name, orc->id, orc->mapX, orc->mapY, orc->size),
                 std::tuple(QStringLiteral("Orc"), 2, 60, 70, 12));
    }

    void refusedEntryKeepsTheDialogOpen()
    {
        Fixture f;
        frmSetIcon *place = f.openPlace(1, 2);
        typeAll(place, {QStringLiteral("Rat"), QStringLiteral("x"), QStringLiteral("3"), QStringLiteral("4"),
                        QStringLiteral("5")});
        click(place->btnSet);
        QCOMPARE(f.questions.told,
                 QStringList{QStringLiteral("Damage is not a number: enter a whole number from -32768 to 32767.")});
        QVERIFY(place->isVisible());
        QVERIFY(f.state.icons.isEmpty());
        QCOMPARE(QApplication::focusWidget(), place->txtDamage);
        QCOMPARE(place->txtDamage->selectedText(), QStringLiteral("x"));
        QTest::keyClicks(place->txtDamage, QStringLiteral("2.5"));
        click(place->btnSet);
        QCOMPARE(f.state.icons.size(), std::size_t(1));
        QCOMPARE(f.state.icons.find(1)->damage, std::int16_t(2));

        const auto rat = f.state.icons.find(1);
        QPointer<frmModifyIcon> modify = f.openModify(rat);
        modify->txtMaxhealth->setText(QStringLiteral("40000"));
        click(modify->btnSet);
        QCOMPARE(f.questions.told.size(), 2);
        QVERIFY(f.questions.told.last().startsWith(QStringLiteral("Max Health is out of range")));
        QVERIFY(!discarded(modify) && modify->isVisible());
        QCOMPARE(rat->maxHealth, std::int16_t(3));
        QCOMPARE(QApplication::focusWidget(), modify->txtMaxhealth);

        // Back from a real message box the caret is still in the refused box.
        f.asker.popUp = true;
        click(modify->btnSet);
        modify->activateWindow(); // what the window system does when the box closes
        QTRY_VERIFY(modify->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), modify->txtMaxhealth);
        QCOMPARE(modify->txtMaxhealth->selectedText(), QStringLiteral("40000"));
        QCOMPARE(f.state.NextIconID(), 2); // only the accepted icon drew an id
    }

    void cancelAndEscapeChangeNothing()
    {
        Fixture f;
        frmSetIcon *place = f.openPlace(1, 2);
        typeAll(place, {QStringLiteral("Wolf"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                        QStringLiteral("1")});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(place->isVisible()); // no cancel button here
        click(place->btnCancel);
        QVERIFY(!place->isVisible());
        QVERIFY(f.state.icons.isEmpty());
        QCOMPARE(f.repaints, 0);

        const auto icon = addPlacedIcon(f.state, {QStringLiteral("Bear"), 1, 2, 3, 4}, 5, 6);
        QPointer<frmModifyIcon> modify = f.openModify(icon);
        QTest::keyClicks(modify->txtName, QStringLiteral("Cub"));
        QTest::keyClick(modify->txtName, Qt::Key_Escape);
        QVERIFY(discarded(modify));
        modify = f.openModify(icon);
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
        const auto icon = addPlacedIcon(f.state, {QStringLiteral("Troll;"), -4, 30, 20, 2147483647}, 7, 9);
        QPointer<frmModifyIcon> form = f.openModify(icon);
        QCOMPARE(form->txtInitiative->text(), QStringLiteral("2147483647"));
        // Changed behind the dialog's back: "Set" writes every box back.
        *icon = CIcon{9, 9, QStringLiteral("x"), 9, 7, 9, icon->id, 8, 9};
        click(form->btnSet);
        QCOMPARE(std::tuple(icon->name, icon->damage, icon->maxHealth, icon->size, icon->initiative),
                 std::tuple(QStringLiteral("Troll;"), std::int16_t(-4), std::int16_t(30), 20, 2147483647));
        QCOMPARE(std::tuple(icon->mapX, icon->mapY, icon->id, icon->UserID), std::tuple(7, 9, 1, 8));
        QCOMPARE(f.repaints, 1);
        QVERIFY(discarded(form));
    }

    void rolledInitiativeReachesTheTracker()
    {
        Fixture f;
        const auto icon = addPlacedIcon(f.state, {QStringLiteral("Goblin"), 0, 7, 12, 15}, 0, 0);
        const std::optional<std::int32_t> total = f.commands.RollInitiative(icon.get());
        QVERIFY(total && *total >= 16 && *total <= 35);
        QVERIFY(f.tracker);
        QCOMPARE(f.tracker->lstTurn->count(), 1);
        QCOMPARE(f.tracker->lstTurn->item(0)->text(), QStringLiteral("Goblin\t") + QString::number(*total));
    }
};

QTEST_MAIN(TestIconDialogs)
#include "tst_icondialogs.moc"
