#include "QtQuestions.h"

#include <QInputDialog>
#include <QMessageBox>

namespace vellmar::app {

namespace {
const QString programTitle = QStringLiteral("Vellmar");
}

std::optional<QString> QtQuestions::askText(const QString &title, const QString &prompt, const QString &defaultText)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, title.isEmpty() ? programTitle : title, prompt,
                                                 QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

std::optional<QString> QtQuestions::askSecret(const QString &title, const QString &prompt)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, title.isEmpty() ? programTitle : title, prompt,
                                                 QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

void QtQuestions::tell(const QString &message)
{
    QMessageBox::information(m_parent, programTitle, message, QMessageBox::Ok);
}

bool QtQuestions::askYesNo(const QString &message)
{
    return QMessageBox::question(m_parent, programTitle, message, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

} // namespace vellmar::app
