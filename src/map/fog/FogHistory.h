#pragma once

#include "map/fog/FogMask.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <optional>

// The master's fog steps with undo and redo, and the fog in one byte form
// for a copy that joins late and for saving. Steps are numbered from the
// last reset on; position() is the number of steps applied, so undo and redo
// are both "move to position n". The copies that receive the master's steps
// keep the same history and follow its moves.
namespace vellmar::map::fog {

class FogHistory
{
public:
    // At least this many steps stay undoable; up to kSnapshotEvery more are
    // kept until the oldest ones are dropped together.
    static constexpr int kUndoSteps = 64;
    // The cells are copied after every this many steps, so an undo replays
    // fewer steps than this.
    static constexpr int kSnapshotEvery = 16;
    static constexpr int kMaxSteps = kUndoSteps + kSnapshotEvery;

    FogHistory() = default;
    explicit FogHistory(QSize picture) { reset(picture); }
    // Starts from these cells with no steps, as a fog read from a file.
    explicit FogHistory(FogMask start);
    // A new picture, everything revealed, no steps.
    void reset(QSize picture);

    const FogMask &mask() const { return m_mask; }
    int position() const { return m_position; }
    int firstIndex() const { return m_first; }
    int endIndex() const { return m_first + int(m_steps.size()); }
    const QList<FogStep> &steps() const { return m_steps; }
    bool canUndo() const { return m_position > m_first; }
    bool canRedo() const { return m_position < endIndex(); }

    // Applies the step as number position() and forgets the steps that
    // could have been redone. False (nothing changes) for a step that breaks
    // its bounds or without a picture. `changed` gets the cells touched.
    bool push(const FogStep &step, QRect *changed = nullptr);
    // Undo (a smaller position) or redo (a larger one). False when the
    // position is outside firstIndex()..endIndex(); `changed` gets the
    // cells that may differ.
    bool moveTo(int position, QRect *changed = nullptr);
    bool undo(QRect *changed = nullptr) { return canUndo() && moveTo(m_position - 1, changed); }
    bool redo(QRect *changed = nullptr) { return canRedo() && moveTo(m_position + 1, changed); }

    // Picture size, the oldest kept cells as run lengths, the kept steps and
    // the position; see docs/protocol.md, "Fog of war".
    QByteArray toBytes() const;
    static std::optional<FogHistory> fromBytes(QByteArrayView bytes, QString *why = nullptr);

private:
    void trim();

    FogMask m_mask;
    int m_first = 0;
    int m_position = 0;
    QList<FogStep> m_steps; // step i is number m_first + i
    // The cells after that many steps; always one at m_first.
    std::map<int, QImage> m_snapshots;
};

} // namespace vellmar::map::fog
