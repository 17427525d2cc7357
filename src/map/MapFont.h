#pragma once

#include <QFont>

namespace vellmar::map {

// The view's text font: bold 8.25-point "MS Sans Serif" on a 96-dpi screen, so
// 11 pixels; set in pixels so labels measure the same on every screen.
inline QFont mapFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

} // namespace vellmar::map
