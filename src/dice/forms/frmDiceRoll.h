#pragma once

#include "dice/DiceCollection.h"
#include "dice/UniformSource.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vellmar::table {
struct Identity;
class Outbox;
} // namespace vellmar::table

namespace vellmar::ui {
class MainWindowApi;
}

namespace vellmar::core {
class Questions;
}

namespace vellmar::dice {

class RollLog;

// The dice roller window: collect dice, roll them, read the results in the
// window's own log. A player's rolls in a session are also announced to
// everybody; the game master's stay in this window. The roll list shows a
// roll log: the main window's, which also keeps the rolls from chat and
// outlives the window, or one of the window's own. The window deletes itself
// when closed, losing its counts and prepared rows.
class frmDiceRoll final : public QWidget
{
    Q_OBJECT
public:
    // Seeds its generator from the clock; tests pass a seeded source instead.
    frmDiceRoll(const table::Identity &identity, table::Outbox &outbox, ui::MainWindowApi &mainWindow,
                core::Questions &questions, QWidget *parent = nullptr, std::unique_ptr<UniformSource> source = nullptr,
                RollLog *log = nullptr);
    ~frmDiceRoll() override;

    // One die face from 1 to sides.
    float Random(std::int16_t sides);

    static constexpr int preparedRowCount = 5;

    QLineEdit *txt4;
    QLineEdit *txt6;
    QLineEdit *txt8;
    QLineEdit *txt10;
    QLineEdit *txt12;
    QLineEdit *txt20;
    QPushButton *btn4;
    QPushButton *btn6;
    QPushButton *btn8;
    QPushButton *btn10;
    QPushButton *btn12;
    QPushButton *btn20;
    QPushButton *btnRoll;
    QPushButton *btnQuickRoll20;
    QPlainTextEdit *txtRolls;
    QPushButton *btnCopyLog;
    QGroupBox *Frame1;
    std::array<QLabel *, preparedRowCount> LabelDesc{};
    std::array<QLineEdit *, preparedRowCount> txtDescription{};
    std::array<QLabel *, preparedRowCount> LabelMod{};
    std::array<QLineEdit *, preparedRowCount> txtMod{};
    std::array<QPushButton *, preparedRowCount> btnRollIt{};

private:
    void createControls();
    void createPreparedRows();
    void connectControls();

    void Form_Load(std::unique_ptr<UniformSource> source);
    void btn4_Click();
    void btn6_Click();
    void btn8_Click();
    void btn10_Click();
    void btn12_Click();
    void btn20_Click();
    void btnRoll_Click();
    void btnQuickRoll20_Click();
    void btnRollIt_Click(int Index);
    void btnCopyLog_Click();

    void addDie(std::size_t kind);
    void RollDice(const QString &description, std::int16_t modifier);
    void AddRollLine(const QString &text);
    void showCounts();

    const table::Identity &m_identity;
    table::Outbox &m_outbox;
    ui::MainWindowApi &m_mainWindow;
    core::Questions &m_questions;
    std::unique_ptr<UniformSource> m_source;
    // What this window shows; rolls reach it through m_log, the copy's feed.
    std::unique_ptr<RollLog> m_shownLog;
    RollLog *m_log;
    DiceCollection m_dice;
    std::array<QLineEdit *, kindCount> m_countBoxes{};
};

} // namespace vellmar::dice
