#pragma once

#include <QLineEdit>

namespace vellmar::tokens {

// A text box that selects its whole text whenever it receives the focus, so
// typing replaces what it holds.
class IconTextBox final : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

} // namespace vellmar::tokens
