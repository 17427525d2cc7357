#include "frmSetMarker.h"

#include "tokens/markers/MarkerExchange.h"

#include <QLineEdit>
#include <QPushButton>

namespace vellmar::tokens {

frmSetMarker::frmSetMarker(MarkerExchange &exchange, core::Questions &questions, QWidget *parent)
    : MarkerTextDialog(exchange, questions, parent)
{
    setObjectName(QStringLiteral("frmSetMarker"));
    setWindowTitle(QStringLiteral("Set Marker"));
    setTabOrder(txtInfo, btnSet);
    setTabOrder(btnSet, btnCancel);
}

void frmSetMarker::applyText(const QString &text)
{
    m_exchange.placeMarker(text, mapX, mapY);
    accept(); // hides; the text stays for next time
}

} // namespace vellmar::tokens
