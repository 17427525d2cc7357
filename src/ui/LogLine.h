#pragma once

#include <QString>

class QPlainTextEdit;

namespace vellmar::ui {

// Appends one line to a chat pane or log the way every log of the program
// does: the caret goes to the end and a line break and the line are inserted
// there, so the log starts with an empty line, the newest line is last with
// no break after it, and the pane scrolls to it. The pane's plain text uses
// Qt's "\n" between lines where the wire and the logs' model use CR LF.
//
// A log keeps only its newest lines: at most logLineLimit of them and at most
// logCharacterLimit characters in all (the oldest go first), so a flood of
// lines cannot grow it without bound. It keeps no undo history either.
void appendLogLine(QPlainTextEdit &pane, const QString &line);

inline constexpr int logLineLimit = 2000;
inline constexpr int logCharacterLimit = 400000;

} // namespace vellmar::ui
