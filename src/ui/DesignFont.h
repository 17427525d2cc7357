#pragma once

#include <QFont>
#include <QFontInfo>

namespace vellmar::ui {

// The font every window was laid out for, "MS Sans Serif", at a size given in
// points at 96 dots per inch. The size is set in pixels, as the layout is (15
// twips per pixel), so text and boxes stay in step on any screen.
//
// Where that font is missing, DejaVu Sans Condensed stands in one pixel
// smaller: its letters are wider and taller than the layout's font at the
// same size, and plain DejaVu Sans would cut captions such as "Show Grid".
inline QFont designFont(double pointSize = 8.25, bool bold = false)
{
    const int pixels = qRound(pointSize * 96.0 / 72.0);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    if (QFontInfo(font).family() == u"MS Sans Serif")
        return font;
    QFont standIn(QStringLiteral("DejaVu Sans Condensed"));
    standIn.setStyleHint(QFont::SansSerif);
    standIn.setPixelSize(pixels - 1);
    standIn.setBold(bold);
    return standIn;
}

} // namespace vellmar::ui
