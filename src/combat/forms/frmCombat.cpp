#include "frmCombat.h"

#include "TabColumnDelegate.h"
#include "core/Questions.h"
#include "ui/DesignFont.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace vellmar::combat {

namespace {

QRect at(int left, int top, int width, int height) { return ui::toPixels(ui::TwipRect{left, top, width, height}); }

template <typename Control>
Control *named(Control *control, const QString &name)
{
    control->setObjectName(name);
    return control;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

// A label given only a left, top and width; its height follows its font.
QLabel *label(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width)
{
    auto *l = named(new QLabel(caption, parent), name);
    l->setGeometry(at(left, top, width, 0).adjusted(0, 0, 0, l->sizeHint().height()));
    return l;
}

// Shrinks the caption's font until it fits the button: this caption is long
// for its box in any font.
void fitCaption(QPushButton *button)
{
    QFont font = button->font();
    const QStyle *style = button->style();
    const int room = button->width() - style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                     - 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    while (QFontMetrics(font).horizontalAdvance(button->text()) > room && font.pixelSize() > 8)
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
}

} // namespace

frmCombat::frmCombat(core::Questions &questions, QWidget *parent) : frmCombat(m_ownOrder, questions, parent) {}

frmCombat::frmCombat(TurnOrder &order, core::Questions &questions, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_questions(questions)
    , m_order(order)
{
    setObjectName(QStringLiteral("frmCombat"));
    setWindowTitle(QStringLiteral("Combat"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(ui::designFont(8));
    setFixedSize(ui::twipsToPixels(3600), ui::twipsToPixels(5520));
    createControls();
    createEntryControls();
    connectControls();
    Form_Load();
}

frmCombat::~frmCombat() = default;

void frmCombat::createControls()
{
    Command1 = button(this, QStringLiteral("Command1"), QStringLiteral("Clear list (call for initiatives)"),
                      at(840, 0, 2055, 375));
    fitCaption(Command1);
    btnCombat = button(this, QStringLiteral("btnCombat"), QStringLiteral("Start Combat"), at(120, 360, 3375, 495));
    btnCombat->setFont(ui::designFont(9.75, true));

    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral("Participant"), 120, 960, 855);
    Label4 = label(this, QStringLiteral("Label4"), QStringLiteral("Initiative roll"), 1920, 960, 1215);

    lstTurn = named(new QListWidget(this), QStringLiteral("lstTurn"));
    lstTurn->setGeometry(at(120, 1200, 3375, 1620));
    lstTurn->setSortingEnabled(false);

    btnNext = button(this, QStringLiteral("btnNext"), QStringLiteral("Next"), at(240, 2880, 1215, 375));
    btnMoveDown =
        button(this, QStringLiteral("btnMoveDown"), QStringLiteral("Move Down (Delay)"), at(1680, 2880, 1695, 375));
    btnTest = button(this, QStringLiteral("btnTest"), QStringLiteral("Test"), at(2040, 3600, 1335, 375));

    Label1 = label(this, QStringLiteral("Label1"), QStringLiteral("Notes"), 120, 4080, 855);
    Text1 = named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setGeometry(at(120, 4320, 3375, 1095));
    Text1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Text1->setText(TurnOrder::sampleRows().constFirst().participant + u" poisoned");
}

void frmCombat::createEntryControls()
{
    // The gap between the turn buttons and "Test" holds the entry row.
    txtParticipant = named(new QLineEdit(this), QStringLiteral("txtParticipant"));
    txtParticipant->setGeometry(at(120, 3300, 1815, 285));
    txtParticipant->setPlaceholderText(QStringLiteral("Participant"));
    txtInitiative = named(new QLineEdit(this), QStringLiteral("txtInitiative"));
    txtInitiative->setGeometry(at(2040, 3300, 615, 285));
    txtInitiative->setPlaceholderText(QStringLiteral("Roll"));
    btnAdd = button(this, QStringLiteral("btnAdd"), QStringLiteral("Add"), at(2760, 3300, 735, 285));
    lblRound = label(this, QStringLiteral("lblRound"), QString(), 120, 3690, 1815);
    chkShow = named(new QCheckBox(QStringLiteral("Show to Players"), this), QStringLiteral("chkShow"));
    chkShow->setGeometry(at(120, 3900, 1815, 255));
    chkShow->hide();
}

void frmCombat::offerShowToPlayers(bool shown)
{
    chkShow->setChecked(shown);
    chkShow->show();
}

void frmCombat::connectControls()
{
    connect(Command1, &QPushButton::clicked, this, &frmCombat::Command1_Click);
    connect(btnCombat, &QPushButton::clicked, this, &frmCombat::btnCombat_Click);
    connect(btnNext, &QPushButton::clicked, this, &frmCombat::btnNext_Click);
    connect(btnMoveDown, &QPushButton::clicked, this, &frmCombat::btnMoveDown_Click);
    connect(btnTest, &QPushButton::clicked, this, &frmCombat::btnTest_Click);
    connect(btnAdd, &QPushButton::clicked, this, &frmCombat::btnAdd_Click);
    connect(chkShow, &QCheckBox::clicked, this, &frmCombat::showToPlayersToggled);
    // Enter in either entry box adds the row, so a list can be typed quickly.
    connect(txtParticipant, &QLineEdit::returnPressed, this, &frmCombat::btnAdd_Click);
    connect(txtInitiative, &QLineEdit::returnPressed, this, &frmCombat::btnAdd_Click);
}

void frmCombat::Form_Load()
{
    // The second column starts where the heading "Initiative roll" starts.
    const int tabStop = Label4->x() - lstTurn->x() - lstTurn->frameWidth();
    lstTurn->setItemDelegate(new TabColumnDelegate(tabStop, lstTurn));
    ShowRows();
}

void frmCombat::AddRow(const QString &participant, std::int32_t initiative)
{
    m_order.addRow(CombatRow{participant, QString::number(initiative)});
    ShowRows();
}

void frmCombat::Command1_Click()
{
    m_order.clear();
    ShowRows();
}

void frmCombat::btnCombat_Click()
{
    m_order.startCombat();
    ShowRows();
}

void frmCombat::btnNext_Click()
{
    // The list shows the new mark only once "New round" has been acknowledged.
    if (m_order.next() == TurnOrder::Step::NewRound)
        m_questions.tell(QStringLiteral("New round"));
    ShowRows();
}

void frmCombat::btnMoveDown_Click()
{
    if (m_order.moveDown())
        ShowRows();
}

void frmCombat::btnTest_Click()
{
    m_order.fillSample();
    ShowRows();
}

void frmCombat::btnAdd_Click()
{
    const RowInput input = readRowInput(txtParticipant->text(), txtInitiative->text());
    switch (input.status) {
    case RowInput::Status::NoName:
        return;
    case RowInput::Status::BadInitiative:
        m_questions.tell(initiativeOutOfRangeMessage());
        return;
    case RowInput::Status::Ok:
        m_order.addRow(input.row);
        txtParticipant->clear();
        txtInitiative->clear();
        txtParticipant->setFocus();
        ShowRows();
        return;
    }
}

void frmCombat::ShowRows()
{
    // Texts are updated in place so the user's selection survives a turn.
    while (lstTurn->count() > m_order.size())
        delete lstTurn->takeItem(lstTurn->count() - 1);
    while (lstTurn->count() < m_order.size())
        lstTurn->addItem(QString());
    for (qsizetype i = 0; i < m_order.size(); ++i)
        lstTurn->item(static_cast<int>(i))->setText(m_order.rowText(i));
    lblRound->setText(u"Round " + QString::number(m_order.round()));
    Q_EMIT orderChanged();
}

} // namespace vellmar::combat
