#pragma once

#include "map/MapOverlay.h"

#include <QColor>
#include <QPoint>
#include <QString>

namespace vellmar::map {

// The measuring line: from one map point to another, with its length in grid
// cells in a small box at the far end.
class MeasureOverlay final : public MapOverlay
{
public:
    MeasureOverlay(QPoint from, QPoint to, QString label) : m_from(from), m_to(to), m_label(std::move(label)) {}

    void paint(QImage &target, const ViewGeometry &geometry) const override;

    // The line's colour: red stands out on most maps and differs from the
    // white markers, the black grid and the selection rings.
    static QColor colour();

private:
    QPoint m_from;
    QPoint m_to;
    QString m_label;
};

} // namespace vellmar::map
