#pragma once

#include "chat/LineCommands.h"
#include "ui/Twips.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vellmar::table {
struct Identity;
class Outbox;
} // namespace vellmar::table

namespace vellmar::chat {

// What the party chat and the private chat windows have in common: a
// conversation pane, an input line sent on Enter, a layout that follows the
// window's size, and closing that only hides until the program is leaving.
class ChatWindow : public QWidget
{
    Q_OBJECT
public:
    struct Design
    {
        int clientWidth;
        int clientHeight;
        ui::TwipRect chat;
        ui::TwipRect input;
        ui::TwipRect button;
        const char *buttonName;
        QString buttonCaption;
        int inputTopFromBottom; // input top = outer height - this
        int chatHeightLessThan; // chat height = outer height - this
        int buttonHiddenLeft;
    };

    ChatWindow(const table::Identity &identity, table::Outbox &outbox, const Design &design, QWidget *parent = nullptr);

    // Appends one line to the conversation.
    void Display(const QString &p_Text);
    // Commands typed in the input are offered here before a line is sent.
    void setCommands(LineCommands commands) { m_commands = std::move(commands); }

    QPlainTextEdit *txtChat;
    QLineEdit *txtInput;
    // Under the input while a typed command cannot be read; hidden otherwise.
    QLabel *lblInputError;

protected:
    // Sends the trimmed, non-empty text; false when the session refused it.
    virtual bool sendText(const QString &text) = 0;
    // Shown when sendText failed, before the own line.
    virtual void showSendFailure(const QString &ownLine);

    const table::Identity &m_identity;
    table::Outbox &m_outbox;
    QPushButton *m_defaultButton;

    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void SendLine();
    void Form_Resize();
    void showInputError(const QString &error);

    Design m_design;
    LineCommands m_commands;
};

} // namespace vellmar::chat
