#pragma once

#include <QFont>

namespace vellmar::app {

// The font every window was laid out for. Where "MS Sans Serif" is missing the
// system's sans-serif stands in, at the same point size.
inline QFont designFont(double pointSize = 8.25, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace vellmar::app
