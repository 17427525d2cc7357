#include "ScriptedQuestions.h"

#include <QtTest/QTest>

std::optional<QString> ScriptedQuestions::askText(const QString &, const QString &prompt, const QString &)
{
    asked << prompt;
    if (textAnswers.empty()) {
        // A test that runs out of answers would loop forever on a repeated question.
        qFatal("ScriptedQuestions: no text answer left for \"%s\"", qPrintable(prompt));
    }
    auto answer = textAnswers.front();
    textAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedQuestions::askSecret(const QString &, const QString &prompt)
{
    askedSecrets << prompt;
    if (secretAnswers.empty())
        return QString();
    // Built from a plain string: copying the optional itself trips a false
    // may-be-uninitialized warning in optimised builds.
    const bool given = secretAnswers.front().has_value();
    const QString text = secretAnswers.front().value_or(QString());
    secretAnswers.pop_front();
    return given ? std::optional<QString>(text) : std::nullopt;
}

void ScriptedQuestions::tell(const QString &message)
{
    asked << message;
    told << message;
}

bool ScriptedQuestions::askYesNo(const QString &message)
{
    asked << message;
    if (yesNoAnswers.empty())
        qFatal("ScriptedQuestions: no yes/no answer left for \"%s\"", qPrintable(message));
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}
