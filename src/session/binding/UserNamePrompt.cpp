#include "UserNamePrompt.h"

#include "core/Questions.h"
#include "core/Text.h"

namespace vellmar::session {

QString askUserName(core::Questions &questions, const QString &suggested)
{
    QString userName;
    while (userName.isEmpty()) {
        const auto answer =
            questions.askText(QStringLiteral("Username"), QStringLiteral("Enter your username:"), suggested);
        userName = core::trimSpaces(answer.value_or(QString()));
        if (userName.contains(u';')) {
            questions.tell(QStringLiteral("Username cannot contain ;"));
            userName.clear();
        }
    }
    return userName;
}

} // namespace vellmar::session
