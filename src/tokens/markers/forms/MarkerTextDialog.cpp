#include "MarkerTextDialog.h"

#include "core/Questions.h"
#include "tokens/markers/MarkerExchange.h"
#include "ui/Place.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace vellmar::tokens {

MarkerTextDialog::MarkerTextDialog(MarkerExchange &exchange, core::Questions &questions, QWidget *parent)
    : QDialog(parent)
    , lblInfo(new QLabel(QStringLiteral("Info"), this))
    , txtInfo(new QLineEdit(this))
    , btnSet(new QPushButton(QStringLiteral("Set"), this))
    , btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_exchange(exchange)
    , m_questions(questions)
{
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    txtInfo->setObjectName(QStringLiteral("txtInfo"));
    btnSet->setObjectName(QStringLiteral("btnSet"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    txtInfo->setMaxLength(16);
    txtInfo->installEventFilter(this);
    btnSet->setDefault(true);
    btnSet->setAutoDefault(true);
    btnCancel->setAutoDefault(false);

    ui::place(lblInfo, {120, 165, 495, 255});
    ui::place(txtInfo, {720, 120, 2535, 315});
    ui::place(btnSet, {720, 600, 1215, 375});
    ui::place(btnCancel, {2040, 600, 1215, 375});
    setFixedSize(ui::twipsToPixels(3375), ui::twipsToPixels(1140));

    connect(btnSet, &QPushButton::clicked, this, &MarkerTextDialog::btnSet_Click);
    // Escape presses Cancel: QDialog rejects on Escape, which is what Cancel does.
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void MarkerTextDialog::btnSet_Click()
{
    const QString text = txtInfo->text();
    if (!MarkerExchange::acceptableInfo(text)) {
        m_questions.tell(QStringLiteral("Information cannot contain ;"));
        return;
    }
    applyText(text);
}

void MarkerTextDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        txtInfo->setFocus(Qt::ActiveWindowFocusReason);
}

void MarkerTextDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    txtInfo->setFocus(Qt::OtherFocusReason);
    txtInfo->selectAll();
}

bool MarkerTextDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Selecting after the focus event lets a mouse click that brought the
    // focus not undo the selection.
    if (watched == txtInfo && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, txtInfo, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

} // namespace vellmar::tokens
