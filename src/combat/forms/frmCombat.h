#pragma once

#include "combat/TurnOrder.h"

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vellmar::core {
class Questions;
}

namespace vellmar::combat {

// The combat turn tracker: the turn order of a fight with a mark on the row
// whose turn it is. Local to this copy. The window deletes itself when
// closed; the order it shows may outlive it (the main window keeps one, so a
// table file can hold it).
class frmCombat final : public QWidget
{
    Q_OBJECT
public:
    // Shows and changes `order`, which must outlive the window.
    frmCombat(TurnOrder &order, core::Questions &questions, QWidget *parent = nullptr);
    // Keeps an order of its own.
    explicit frmCombat(core::Questions &questions, QWidget *parent = nullptr);
    ~frmCombat() override;

    // Puts a participant at the end of the list (the icons' initiative
    // command uses this).
    void AddRow(const QString &participant, std::int32_t initiative);

    const TurnOrder &turnOrder() const { return m_order; }
    // Shows the order again after it was replaced from outside.
    void refresh() { ShowRows(); }
    // The master's copy in a session: offers "Show to Players", checked as
    // given.
    void offerShowToPlayers(bool shown);

    QPushButton *Command1;
    QPushButton *btnCombat;
    QLabel *Label3;
    QLabel *Label4;
    QListWidget *lstTurn;
    QPushButton *btnNext;
    QPushButton *btnMoveDown;
    QPushButton *btnTest;
    QLabel *Label1;
    QLineEdit *Text1;
    // Typing a participant in.
    QLineEdit *txtParticipant;
    QLineEdit *txtInitiative;
    QPushButton *btnAdd;
    QLabel *lblRound;
    QCheckBox *chkShow; // hidden unless offered

Q_SIGNALS:
    // The list, the turn or the round may have changed.
    void orderChanged();
    void showToPlayersToggled(bool shown);

private:
    void createControls();
    void createEntryControls();
    void connectControls();

    void Form_Load();
    void Command1_Click();
    void btnCombat_Click();
    void btnNext_Click();
    void btnMoveDown_Click();
    void btnTest_Click();
    void btnAdd_Click();

    void ShowRows();

    core::Questions &m_questions;
    TurnOrder m_ownOrder;
    TurnOrder &m_order;
};

} // namespace vellmar::combat
