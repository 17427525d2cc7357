#pragma once

#include <QString>

class QPlainTextEdit;

namespace vellmar::chat {

// Appends one line to a chat pane or log the way every log of the program
// does: the caret goes to the end and a line break and the line are inserted
// there, so the log starts with an empty line, the newest line is last with
// no break after it, and the pane scrolls to it. The pane's plain text uses
// Qt's "\n" between lines where the wire and the logs' model use CR LF.
void appendLogLine(QPlainTextEdit &pane, const QString &line);

} // namespace vellmar::chat
