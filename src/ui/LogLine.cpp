#include "LogLine.h"

#include "core/Text.h"

#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace vellmar::ui {

namespace {

Q_LOGGING_CATEGORY(lcUi, "vellmar.ui", QtWarningMsg)

// Drops the oldest lines while the log is over either limit; the newest line
// always stays.
void keepNewest(QPlainTextEdit &pane)
{
    QTextDocument &document = *pane.document();
    int dropped = 0;
    while (document.blockCount() > 1
           && (document.blockCount() > logLineLimit || document.characterCount() > logCharacterLimit)) {
        QTextCursor oldest(document.firstBlock());
        oldest.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
        ++dropped;
    }
    if (dropped > 0)
        qCDebug(lcUi, "log %s dropped its %d oldest lines", qUtf8Printable(pane.objectName()), dropped);
}

} // namespace

void appendLogLine(QPlainTextEdit &pane, const QString &line)
{
    // Every insertion would stay on the undo stack otherwise, however much
    // of the text is dropped.
    pane.setUndoRedoEnabled(false);
    QTextCursor cursor = pane.textCursor();
    cursor.movePosition(QTextCursor::End);
    // A CR LF pair becomes one paragraph break in the document.
    cursor.insertText(core::withAppendedLine(QString(), line));
    keepNewest(pane);
    cursor.movePosition(QTextCursor::End);
    pane.setTextCursor(cursor);
    pane.ensureCursorVisible();
}

} // namespace vellmar::ui
