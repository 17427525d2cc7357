#pragma once

#include <QString>
#include <QStringView>

// Text conventions shared by every chat pane, log and dialog.
namespace vellmar::core {

// Removes leading and trailing spaces only; tabs and other blanks are part
// of what the user typed and stay.
QString trimSpaces(QStringView text);

// The line separator of every chat pane and log.
inline constexpr QStringView lineBreak = u"\r\n";

// What appending a line does to a log's text: a CR LF and the line go at the
// end, so the log starts with an empty line and never ends with a break.
QString withAppendedLine(const QString &log, QStringView line);

} // namespace vellmar::core
