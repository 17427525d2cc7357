#include "IconForm.h"

#include "IconTextBox.h"
#include "core/Questions.h"
#include "ui/DesignFont.h"
#include "ui/Place.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

namespace vellmar::tokens {

namespace {

// Laid out in twips: labels on the left, boxes on the right, one row each,
// the buttons under the boxes.
constexpr int rowTop = 120;
constexpr int rowPitch = 420;
constexpr int labelLeft = 120;
constexpr int labelWidth = 1095;
constexpr int boxLeft = 1320;
constexpr int boxWidth = 2175;
constexpr int boxHeight = 315;
constexpr int formWidth = 3615;
constexpr int formHeight = 2775;
constexpr ui::TwipRect setPlace{1320, 2280, 1035, 375};
constexpr ui::TwipRect cancelPlace{2460, 2280, 1035, 375};

template <typename Control>
Control *named(Control *control, const QString &name)
{
    control->setObjectName(name);
    return control;
}

} // namespace

IconForm::IconForm(const QString &name, const QString &caption, QWidget *parent) : QDialog(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    setFont(ui::designFont(8));
    setFixedSize(ui::twipsToPixels(formWidth), ui::twipsToPixels(formHeight));
    createControls();
    m_activationFocus = txtName;
}

void IconForm::createControls()
{
    const struct
    {
        QLabel *&label;
        QLineEdit *&box;
        const char *labelName;
        const char *boxName;
        QString caption;
    } rows[] = {
        {lblName, txtName, "lblName", "txtName", QStringLiteral("Name")},
        {lblDamage, txtDamage, "lblDamage", "txtDamage", QStringLiteral("Damage")},
        {lblMaxhealth, txtMaxhealth, "lblMaxhealth", "txtMaxhealth", QStringLiteral("Max Health")},
        {lblSize, txtSize, "lblSize", "txtSize", QStringLiteral("Size")},
        {lblInitiative, txtInitiative, "lblInitiative", "txtInitiative", QStringLiteral("Initiative")},
    };
    int top = rowTop;
    for (const auto &row : rows) {
        row.label = named(new QLabel(row.caption, this), QString::fromLatin1(row.labelName));
        ui::place(row.label, {labelLeft, top, labelWidth, boxHeight});
        row.box = named(new IconTextBox(this), QString::fromLatin1(row.boxName));
        ui::place(row.box, {boxLeft, top, boxWidth, boxHeight});
        row.label->setBuddy(row.box);
        top += rowPitch;
    }
    btnSet = named(new QPushButton(QStringLiteral("Set"), this), QStringLiteral("btnSet"));
    ui::place(btnSet, setPlace);
    btnSet->setDefault(true);
    btnCancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("btnCancel"));
    ui::place(btnCancel, cancelPlace);
}

IconEntry IconForm::entry() const
{
    return {txtName->text(), txtDamage->text(), txtMaxhealth->text(), txtSize->text(), txtInitiative->text()};
}

void IconForm::setEntry(const IconEntry &entry)
{
    txtName->setText(entry.name);
    txtDamage->setText(entry.damage);
    txtMaxhealth->setText(entry.maxHealth);
    txtSize->setText(entry.size);
    txtInitiative->setText(entry.initiative);
}

void IconForm::setTabChain(std::initializer_list<QWidget *> chain)
{
    QWidget *previous = nullptr;
    for (QWidget *next : chain) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
}

void IconForm::refuse(core::Questions &questions, const EntryReading &reading)
{
    QLineEdit *refused = box(reading.box);
    // A real message box takes the activation away; when it comes back the
    // caret belongs in the refused box, not in the name.
    m_activationFocus = refused;
    questions.tell(reading.problem);
    refused->setFocus(Qt::OtherFocusReason);
    refused->selectAll(); // it may have had the focus all along
}

bool IconForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QDialog::event(event);
}

void IconForm::Form_Activate()
{
    m_activationFocus->setFocus(Qt::ActiveWindowFocusReason);
    m_activationFocus = txtName;
}

void IconForm::hideEvent(QHideEvent *event)
{
    m_activationFocus = txtName;
    QDialog::hideEvent(event);
}

QLineEdit *IconForm::box(IconBox which) const
{
    switch (which) {
    case IconBox::Name:
        return txtName;
    case IconBox::Damage:
        return txtDamage;
    case IconBox::MaxHealth:
        return txtMaxhealth;
    case IconBox::Size:
        return txtSize;
    case IconBox::Initiative:
        return txtInitiative;
    }
    return txtName;
}

} // namespace vellmar::tokens
