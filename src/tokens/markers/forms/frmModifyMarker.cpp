#include "frmModifyMarker.h"

#include "core/Questions.h"
#include "tokens/markers/MarkerExchange.h"

#include <QLineEdit>
#include <QPushButton>

namespace vellmar::tokens {

frmModifyMarker::frmModifyMarker(MarkerExchange &exchange, core::Questions &questions, QWidget *parent)
    : MarkerTextDialog(exchange, questions, parent)
{
    setObjectName(QStringLiteral("frmModifyMarker"));
    setWindowTitle(QStringLiteral("Modify Marker"));
    setTabOrder(btnCancel, btnSet);
    setTabOrder(btnSet, txtInfo);
}

void frmModifyMarker::applyText(const QString &text)
{
    // Someone may have removed the marker while this dialog was open.
    if (!m_exchange.modifyMarker(id, text))
        m_questions.tell(QStringLiteral("Master had deleted the marker - can't update"));
    accept();
}

} // namespace vellmar::tokens
