#include "LogLine.h"

#include "core/Text.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace vellmar::chat {

void appendLogLine(QPlainTextEdit &pane, const QString &line)
{
    QTextCursor cursor = pane.textCursor();
    cursor.movePosition(QTextCursor::End);
    // A CR LF pair becomes one paragraph break in the document.
    cursor.insertText(core::withAppendedLine(QString(), line));
    pane.setTextCursor(cursor);
    pane.ensureCursorVisible();
}

} // namespace vellmar::chat
