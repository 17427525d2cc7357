#pragma once

#include "ui/Twips.h"

#include <QWidget>

namespace vellmar::ui {

// Puts a control where a twip layout says.
inline void place(QWidget *widget, const TwipRect &rect) { widget->setGeometry(toPixels(rect)); }

} // namespace vellmar::ui
