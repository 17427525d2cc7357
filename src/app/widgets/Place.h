#pragma once

#include "app/layout/Twips.h"

#include <QWidget>

namespace vellmar::app {

// Puts a control where a twip layout says.
inline void place(QWidget *widget, const TwipRect &rect) { widget->setGeometry(toPixels(rect)); }

} // namespace vellmar::app
