#include "frmDiceRoll.h"

#include "core/Questions.h"
#include "dice/Announcement.h"
#include "dice/PreparedRow.h"
#include "dice/Random.h"
#include "dice/Roll.h"
#include "dice/RollLog.h"
#include "session/protocol/Messages.h"
#include "table/Outbox.h"
#include "ui/DesignFont.h"
#include "ui/LogLine.h"
#include "ui/MainWindowApi.h"
#include "ui/Twips.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vellmar::dice {

namespace {

QRect at(int left, int top, int width, int height) { return ui::toPixels(ui::TwipRect{left, top, width, height}); }

QFont dieButtonFont() { return ui::designFont(9.75, true); }

QLineEdit *countBox(QWidget *parent, const QString &name, int left, int top)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setGeometry(at(left, top, 375, 375));
    return box;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
}

// Object names of the prepared rows' controls: "txtMod(2)".
QString indexed(const QString &name, int index) { return name + u'(' + QString::number(index) + u')'; }

} // namespace

frmDiceRoll::frmDiceRoll(const table::Identity &identity, table::Outbox &outbox, ui::MainWindowApi &mainWindow,
                         core::Questions &questions, QWidget *parent, std::unique_ptr<UniformSource> source,
                         RollLog *log)
    : QWidget(parent, Qt::Window)
    , m_identity(identity)
    , m_outbox(outbox)
    , m_mainWindow(mainWindow)
    , m_questions(questions)
    , m_shownLog(std::make_unique<RollLog>())
    , m_log(log ? log : m_shownLog.get())
{
    setObjectName(QStringLiteral("frmDiceRoll"));
    setWindowTitle(QStringLiteral("Dice Rolls"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(ui::designFont(8));
    // Controls sit at fixed positions, so the window keeps the size they fill.
    setFixedSize(ui::twipsToPixels(4515), ui::twipsToPixels(7440));
    createControls();
    connectControls();
    Form_Load(std::move(source));
    // The window's list starts empty and is lost on closing; while it is open
    // it takes every roll this copy sees, from this window or from chat.
    if (m_log != m_shownLog.get())
        connect(m_log, &RollLog::appended, m_shownLog.get(), &RollLog::append);
    connect(m_shownLog.get(), &RollLog::appended, this, &frmDiceRoll::AddRollLine);
}

frmDiceRoll::~frmDiceRoll() = default;

void frmDiceRoll::createControls()
{
    txt4 = countBox(this, QStringLiteral("txt4"), 240, 240);
    txt6 = countBox(this, QStringLiteral("txt6"), 240, 840);
    txt8 = countBox(this, QStringLiteral("txt8"), 240, 1440);
    txt10 = countBox(this, QStringLiteral("txt10"), 1680, 240);
    txt12 = countBox(this, QStringLiteral("txt12"), 1680, 840);
    txt20 = countBox(this, QStringLiteral("txt20"), 1680, 1440);
    m_countBoxes = {txt4, txt6, txt8, txt10, txt12, txt20};

    btn4 = button(this, QStringLiteral("btn4"), QStringLiteral("d4"), at(720, 240, 735, 495));
    btn6 = button(this, QStringLiteral("btn6"), QStringLiteral("d6"), at(720, 840, 735, 495));
    btn8 = button(this, QStringLiteral("btn8"), QStringLiteral("d8"), at(720, 1440, 735, 495));
    btn10 = button(this, QStringLiteral("btn10"), QStringLiteral("d10"), at(2160, 240, 735, 495));
    btn12 = button(this, QStringLiteral("btn12"), QStringLiteral("d12"), at(2160, 840, 735, 495));
    btn20 = button(this, QStringLiteral("btn20"), QStringLiteral("d20"), at(2160, 1440, 735, 495));
    btnRoll = button(this, QStringLiteral("btnRoll"), QStringLiteral("ROLL"), at(3000, 240, 1335, 1695));
    btnQuickRoll20 =
        button(this, QStringLiteral("btnQuickRoll20"), QStringLiteral("Quick roll 20"), at(1080, 2040, 2295, 495));
    for (QPushButton *b : {btn4, btn6, btn8, btn10, btn12, btn20, btnRoll, btnQuickRoll20}) {
        b->setFont(dieButtonFont());
        b->setAutoDefault(false);
    }

    txtRolls = new QPlainTextEdit(this);
    txtRolls->setObjectName(QStringLiteral("txtRolls"));
    txtRolls->setReadOnly(true);
    txtRolls->setUndoRedoEnabled(false);
    txtRolls->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtRolls->setGeometry(at(120, 2640, 4215, 1335));
    btnCopyLog = button(this, QStringLiteral("btnCopyLog"), QStringLiteral("Copy log"), at(3480, 2040, 855, 495));
    btnCopyLog->setAutoDefault(false);

    Frame1 = new QGroupBox(QStringLiteral("Special 20's"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(at(120, 4080, 4335, 3255));
    createPreparedRows();
}

void frmDiceRoll::createPreparedRows()
{
    for (int i = 0; i < preparedRowCount; ++i) {
        const int labelTop = 240 + 600 * i;
        const int boxTop = 480 + 600 * i;

        LabelDesc[i] = new QLabel(QStringLiteral("Description"), Frame1);
        LabelDesc[i]->setObjectName(indexed(QStringLiteral("LabelDesc"), i));
        LabelDesc[i]->adjustSize();
        LabelDesc[i]->move(ui::twipsToPixels(120), ui::twipsToPixels(labelTop));

        txtDescription[i] = new QLineEdit(Frame1);
        txtDescription[i]->setObjectName(indexed(QStringLiteral("txtDescription"), i));
        txtDescription[i]->setGeometry(at(120, boxTop, 2175, 285));

        LabelMod[i] = new QLabel(QStringLiteral("Mod"), Frame1);
        LabelMod[i]->setObjectName(indexed(QStringLiteral("LabelMod"), i));
        LabelMod[i]->adjustSize();
        LabelMod[i]->move(ui::twipsToPixels(2520), ui::twipsToPixels(labelTop));

        txtMod[i] = new QLineEdit(Frame1);
        txtMod[i]->setObjectName(indexed(QStringLiteral("txtMod"), i));
        txtMod[i]->setGeometry(at(2520, boxTop, 495, 285));

        btnRollIt[i] = button(Frame1, indexed(QStringLiteral("btnRollIt"), i), QStringLiteral("Roll it"),
                              at(3240, labelTop, 855, 495));
        btnRollIt[i]->setAutoDefault(false);
    }
}

void frmDiceRoll::connectControls()
{
    connect(btn4, &QPushButton::clicked, this, &frmDiceRoll::btn4_Click);
    connect(btn6, &QPushButton::clicked, this, &frmDiceRoll::btn6_Click);
    connect(btn8, &QPushButton::clicked, this, &frmDiceRoll::btn8_Click);
    connect(btn10, &QPushButton::clicked, this, &frmDiceRoll::btn10_Click);
    connect(btn12, &QPushButton::clicked, this, &frmDiceRoll::btn12_Click);
    connect(btn20, &QPushButton::clicked, this, &frmDiceRoll::btn20_Click);
    connect(btnRoll, &QPushButton::clicked, this, &frmDiceRoll::btnRoll_Click);
    connect(btnQuickRoll20, &QPushButton::clicked, this, &frmDiceRoll::btnQuickRoll20_Click);
    connect(btnCopyLog, &QPushButton::clicked, this, &frmDiceRoll::btnCopyLog_Click);
    for (int i = 0; i < preparedRowCount; ++i)
        connect(btnRollIt[i], &QPushButton::clicked, this, [this, i] { btnRollIt_Click(i); });
}

void frmDiceRoll::Form_Load(std::unique_ptr<UniformSource> source)
{
    // Every opening seeds afresh, so a reopened window does not repeat itself.
    m_source = source ? std::move(source) : std::make_unique<SeededUniformSource>(clockSeed());
    btnRoll->setEnabled(false);
}

float frmDiceRoll::Random(std::int16_t sides) { return dice::Random(*m_source, sides); }

void frmDiceRoll::btn4_Click() { addDie(0); }
void frmDiceRoll::btn6_Click() { addDie(1); }
void frmDiceRoll::btn8_Click() { addDie(2); }
void frmDiceRoll::btn10_Click() { addDie(3); }
void frmDiceRoll::btn12_Click() { addDie(4); }
void frmDiceRoll::btn20_Click() { addDie(5); }

void frmDiceRoll::addDie(std::size_t kind)
{
    m_dice.add(kind);
    showCounts();
    btnRoll->setEnabled(true);
}

void frmDiceRoll::btnRoll_Click() { RollDice(QString(), 0); }

void frmDiceRoll::btnQuickRoll20_Click()
{
    m_dice.setSingleD20();
    showCounts();
    RollDice(QString(), 0);
}

void frmDiceRoll::btnRollIt_Click(int Index)
{
    const QString description = txtDescription.at(Index)->text();
    const PreparedRoll prepared = readPreparedRow(description, txtMod.at(Index)->text());
    switch (prepared.action) {
    case PreparedRoll::Action::Ignore:
        return;
    case PreparedRoll::Action::Refuse:
        m_questions.tell(modifierOutOfRangeMessage());
        return;
    case PreparedRoll::Action::Roll:
        m_dice.setSingleD20();
        showCounts();
        RollDice(description, prepared.modifier);
        return;
    }
}

void frmDiceRoll::RollDice(const QString &description, std::int16_t modifier)
{
    const QString text = rollText(rollDice(m_dice, *m_source, description, modifier));
    m_log->append(rollLogLine(text));
    if (isAnnounced(m_identity.inSession, m_identity.isMaster)) {
        // The roll stays in the log either way; the chat pane says it went nowhere.
        if (!m_outbox.sendToAll(session::MSG_DICE_ROLL, text))
            m_mainWindow.Display(rollNotSentLine());
        m_mainWindow.Display(rollChatLine(m_identity.userName, text));
    }
    btnRoll->setEnabled(false);
    m_dice.clear();
    showCounts();
}

void frmDiceRoll::btnCopyLog_Click() { QGuiApplication::clipboard()->setText(m_shownLog->text()); }

void frmDiceRoll::AddRollLine(const QString &text) { ui::appendLogLine(*txtRolls, text); }

void frmDiceRoll::showCounts()
{
    for (std::size_t kind = 0; kind < kindCount; ++kind)
        m_countBoxes[kind]->setText(m_dice.countText(kind));
}

} // namespace vellmar::dice
