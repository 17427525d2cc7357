#pragma once

#include "core/Questions.h"

class QWidget;

namespace vellmar::app {

// Modal questions as real dialogs, titled with the program's name.
class QtQuestions final : public core::Questions
{
public:
    explicit QtQuestions(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    std::optional<QString> askText(const QString &title, const QString &prompt, const QString &defaultText) override;
    std::optional<QString> askSecret(const QString &title, const QString &prompt) override;
    void tell(const QString &message) override;
    bool askYesNo(const QString &message) override;

private:
    QWidget *m_parent;
};

} // namespace vellmar::app
