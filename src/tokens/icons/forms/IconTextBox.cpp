#include "IconTextBox.h"

#include <QFocusEvent>
#include <QTimer>

namespace vellmar::tokens {

void IconTextBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
    // A click places the caret after the focus arrived; select once it has.
    if (event->reason() == Qt::MouseFocusReason)
        QTimer::singleShot(0, this, &QLineEdit::selectAll);
}

} // namespace vellmar::tokens
