#pragma once

#include "core/Questions.h"

#include <QStringList>

#include <deque>

// Answers modal questions from a script and records what was asked, so GUI
// tests never wait on a dialog.
class ScriptedQuestions final : public vellmar::core::Questions
{
public:
    std::deque<std::optional<QString>> textAnswers; // nullopt = Cancel
    std::deque<bool> yesNoAnswers;
    // Password boxes; when none is left the user leaves the box blank.
    std::deque<std::optional<QString>> secretAnswers;
    QStringList askedSecrets;
    QStringList asked; // prompts and messages, in order
    QStringList told;  // message-box texts, in order

    std::optional<QString> askText(const QString &title, const QString &prompt, const QString &defaultText) override;
    std::optional<QString> askSecret(const QString &title, const QString &prompt) override;
    void tell(const QString &message) override;
    bool askYesNo(const QString &message) override;
};
