#pragma once

#include "session/protocol/TableMessages.h"

#include <QWidget>

class QLabel;
class QListWidget;

namespace vellmar::combat {

// A player's read-only view of the turn order the master shows: the rows,
// the current one marked and selected, and the round.
class frmShownTurnOrder final : public QWidget
{
    Q_OBJECT
public:
    explicit frmShownTurnOrder(QWidget *parent = nullptr);

    void showOrder(const session::ShowTurnOrderPayload &order);

    QListWidget *lstTurn;
    QLabel *lblRound;
};

} // namespace vellmar::combat
