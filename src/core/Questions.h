#pragma once

#include <QString>

#include <optional>

// Every modal question the program asks goes through this interface, so the
// forms stay testable: tests answer from a script instead of a dialog.
namespace vellmar::core {

class Questions
{
public:
    virtual ~Questions() = default;

    // An input box; empty when the user cancels.
    virtual std::optional<QString> askText(const QString &title, const QString &prompt, const QString &defaultText) = 0;
    // An input box whose text is not shown (a password); empty when the
    // user cancels. Without a box of its own, an ordinary one.
    virtual std::optional<QString> askSecret(const QString &title, const QString &prompt)
    {
        return askText(title, prompt, QString());
    }
    // A message box with an OK button.
    virtual void tell(const QString &message) = 0;
    // A message box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString &message) = 0;
};

} // namespace vellmar::core
