#pragma once

#include "map/fog/FogStep.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <optional>

// Which parts of a picture are hidden, kept per cell of cellSize() x
// cellSize() picture pixels (at most kMaxCells cells a side), as an Alpha8
// image: 255 hidden, 0 revealed. A step changes the cells whose centre its
// shape covers, so every copy that applies the same steps holds the same
// cells to the byte.
namespace vellmar::map::fog {

class FogMask
{
public:
    static constexpr int kMaxCells = 1024;
    static constexpr int kMaxPictureSide = 1 << 17;
    // Colours of hidden cells: opaque for players, a shade for the master.
    static constexpr QRgb kPlayerFog = 0xff18181c;
    static constexpr QRgb kMasterShade = 0x8c000000; // premultiplied black, alpha 140

    // No picture: hides nothing.
    FogMask() = default;
    // Everything revealed. A side beyond kMaxPictureSide is clamped to it.
    explicit FogMask(QSize picture);
    // The smallest power of two from 2 up that keeps both sides within kMaxCells.
    static int cellSizeFor(QSize picture);

    bool isNull() const { return m_cells.isNull(); }
    QSize pictureSize() const { return m_picture; }
    int cellSize() const { return m_cell; }
    QSize cellCount() const { return m_cells.size(); }
    const QImage &cells() const { return m_cells; }
    // The area of picture pixels those cells cover (it may reach past the
    // picture's right and bottom edge by less than a cell).
    QRect pictureRect(const QRect &cellRect) const;

    // Applies a step that keeps its bounds (session::fogStepProblem); returns
    // the cells it may have changed, empty when it touched none.
    QRect apply(const FogStep &step);
    bool isHidden(int cellX, int cellY) const { return m_cells.constScanLine(cellY)[cellX] != 0; }
    // A point outside the picture counts as its nearest edge cell, so a
    // marker just beyond a hidden edge stays hidden too. False without a picture.
    bool hides(QPointF picturePoint) const;
    // True when every cell the rectangle overlaps is hidden: the whole item
    // under it may be skipped for players.
    bool hidesRect(const QRectF &pictureRect) const;
    qsizetype hiddenCells() const;

    // Every change of cells gets a number that no other change of any mask
    // has, so whoever draws a mask can tell whether it (or a copy of it)
    // still reads as when last drawn. 0 for a mask without a picture.
    quint64 revision() const { return m_revision; }
    // The cells changed after `revision`: empty when it is the current one,
    // the whole mask when it is not among this mask's recent changes.
    QRect changedSince(quint64 revision) const;

    // Replaces every cell (undo).
    void setCells(const QImage &cells);

    // Run lengths of the cells row by row, alternately revealed and hidden
    // and starting with revealed, each as an unsigned LEB128 number.
    QByteArray runLengths() const;
    // Strict: every run but the first is at least 1 and they add up to the
    // cell count exactly.
    static std::optional<FogMask> fromRunLengths(QSize picture, QByteArrayView runs);

    bool operator==(const FogMask &other) const;

private:
    void fill(const QRect &cellRect, bool hide);
    void markDirty(const QRect &cellRect);
    QRect applyRect(const FogStep &step, bool hide);
    QRect applyPolygon(const FogStep &step, bool hide);
    QRect applyBrush(const FogStep &step, bool hide);
    QRect cellBounds(double left, double top, double right, double bottom) const;

    QSize m_picture;
    int m_cell = 2;
    QImage m_cells;
    struct Change
    {
        quint64 before = 0; // the revision it followed
        QRect cells;
    };
    static constexpr int kRememberedChanges = 32;
    quint64 m_revision = 0;
    std::array<Change, kRememberedChanges> m_changes{}; // a ring, the newest at m_newest
    int m_newest = -1;
    int m_changeCount = 0;
};

} // namespace vellmar::map::fog
