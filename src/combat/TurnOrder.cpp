#include "TurnOrder.h"

#include <algorithm>

namespace vellmar::combat {

QString TurnOrder::rowText(qsizetype index) const
{
    const QString text = m_rows.at(index).text();
    return m_markedRow == index ? u">>" + text + u"<<" : text;
}

std::optional<TurnOrder> TurnOrder::fromState(const State &state)
{
    const qsizetype count = state.rows.size();
    // An empty order keeps its turn at 0; otherwise the turn names a row.
    const bool turnFits = state.currentTurn == 0 || (state.currentTurn > 0 && state.currentTurn < count);
    const bool markFits = !state.markedRow || (*state.markedRow >= 0 && *state.markedRow < count);
    if (!turnFits || !markFits || state.round < 1)
        return std::nullopt;
    TurnOrder order;
    order.m_rows = state.rows;
    order.m_currentTurn = state.currentTurn;
    order.m_markedRow = state.markedRow;
    order.m_round = state.round;
    return order;
}

void TurnOrder::addRow(const CombatRow &row) { m_rows.append(row); }

void TurnOrder::clear()
{
    m_rows.clear();
    m_currentTurn = 0;
    m_markedRow.reset();
    m_round = 1;
}

TurnOrder::Step TurnOrder::next()
{
    if (m_rows.isEmpty())
        return Step::Nothing;
    Step step = Step::NextRow;
    if (m_currentTurn < m_rows.size() - 1) {
        ++m_currentTurn;
    } else {
        m_currentTurn = 0;
        ++m_round;
        step = Step::NewRound;
    }
    m_markedRow = m_currentTurn;
    return step;
}

bool TurnOrder::moveDown()
{
    const qsizetype from = m_currentTurn;
    if (from < 0 || from + 1 >= m_rows.size())
        return false;
    m_rows.swapItemsAt(from, from + 1);
    if (m_markedRow == from)
        m_markedRow = from + 1;
    else if (m_markedRow == from + 1)
        m_markedRow = from;
    return true;
}

void TurnOrder::startCombat()
{
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const CombatRow &a, const CombatRow &b) {
        const auto ia = a.initiativeValue();
        const auto ib = b.initiativeValue();
        if (!ib)
            return ia.has_value();
        return ia && *ia > *ib;
    });
    m_currentTurn = 0;
    m_round = 1;
    m_markedRow = m_rows.isEmpty() ? std::nullopt : std::optional<qsizetype>(0);
}

void TurnOrder::fillSample()
{
    m_rows = sampleRows();
    m_markedRow = 1;
}

QList<CombatRow> TurnOrder::sampleRows()
{
    return {
        {QStringLiteral("Aldric"), QStringLiteral("15")},
        {QStringLiteral("Brenna"), QStringLiteral("1")},
        {QStringLiteral("Cador"), QString()},
        {QStringLiteral("Dunmore"), QString()},
        {QStringLiteral("Elsbeth"), QString()},
        {QStringLiteral("Fennick"), QString()},
    };
}

} // namespace vellmar::combat
