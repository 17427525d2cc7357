#pragma once

#include "CombatRow.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace vellmar::combat {

// The turn order of one fight: rows in the order they were put in, the row
// whose turn it is, the one row that carries the turn marks, and the round.
//
// The marks belong to a row, not to the turn: they move with their row when
// it delays, and marking a row takes them off every other row.
class TurnOrder
{
public:
    enum class Step { Nothing, NextRow, NewRound };

    // Everything the order holds, as plain values: what a table file keeps.
    struct State
    {
        QList<CombatRow> rows;
        std::int32_t currentTurn = 0;
        std::optional<qsizetype> markedRow;
        std::int32_t round = 1;
        bool operator==(const State &) const = default;
    };

    State state() const { return {m_rows, m_currentTurn, m_markedRow, m_round}; }
    // Null when the parts could not have come from an order: a turn or mark
    // outside the rows, a round below 1.
    static std::optional<TurnOrder> fromState(const State &state);

    qsizetype size() const { return m_rows.size(); }
    const QList<CombatRow> &rows() const { return m_rows; }
    // The row as the list shows it: ">>" text "<<" on the marked row.
    QString rowText(qsizetype index) const;

    std::int32_t currentTurn() const { return m_currentTurn; }
    std::optional<qsizetype> markedRow() const { return m_markedRow; }
    std::int32_t round() const { return m_round; }

    void addRow(const CombatRow &row);
    // Empties the list for a new fight: turn at the first row, round 1.
    void clear();
    // Passes the turn to the next row, or back to the first in a new round.
    // Does nothing on an empty list.
    Step next();
    // The current row swaps with the one below; the turn index stays, so it
    // now names the row that was next. False (and nothing changes) when there
    // is no row below.
    bool moveDown();
    // Orders the rows by initiative, highest first; ties keep their order and
    // name-only rows go last. The first row gets the turn, round 1.
    void startCombat();
    // Six sample rows, the marks on the second; the turn index stays.
    void fillSample();

    static QList<CombatRow> sampleRows();

private:
    QList<CombatRow> m_rows;
    std::int32_t m_currentTurn = 0;
    std::optional<qsizetype> m_markedRow;
    std::int32_t m_round = 1;
};

} // namespace vellmar::combat
