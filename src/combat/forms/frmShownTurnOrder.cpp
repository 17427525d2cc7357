#include "frmShownTurnOrder.h"

#include "ui/DesignFont.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QListWidget>

namespace vellmar::combat {

frmShownTurnOrder::frmShownTurnOrder(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmShownTurnOrder"));
    setWindowTitle(QStringLiteral("Turn Order"));
    setFont(ui::designFont(8));
    setFixedSize(ui::twipsToPixels(3600), ui::twipsToPixels(2400));
    lstTurn = new QListWidget(this);
    lstTurn->setObjectName(QStringLiteral("lstTurn"));
    lstTurn->setGeometry(ui::toPixels({120, 120, 3375, 1740}));
    // The master's order: a player can look, not change it.
    lstTurn->setSelectionMode(QAbstractItemView::NoSelection);
    lstTurn->setFocusPolicy(Qt::NoFocus);
    lblRound = new QLabel(this);
    lblRound->setObjectName(QStringLiteral("lblRound"));
    lblRound->setGeometry(ui::toPixels({120, 1980, 3375, 255}));
}

void frmShownTurnOrder::showOrder(const session::ShowTurnOrderPayload &order)
{
    lstTurn->clear();
    for (qsizetype i = 0; i < order.rows.size(); ++i) {
        const auto &row = order.rows.at(i);
        QString text = row.initiative.isEmpty() ? row.participant : row.participant + u"  " + row.initiative;
        if (i == order.currentRow)
            text = u">> " + text + u" <<";
        auto *item = new QListWidgetItem(text, lstTurn);
        if (i == order.currentRow) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
        }
    }
    lblRound->setText(u"Round " + QString::number(order.round));
}

} // namespace vellmar::combat
