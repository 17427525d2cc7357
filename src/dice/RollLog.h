#pragma once

#include <QObject>
#include <QStringList>

namespace vellmar::dice {

// Every roll this copy has seen, for the dice window's roll list: its own
// rolls, those typed in chat and those others announced. It lives as long as
// the main window, so the list survives closing the dice window and can be
// copied out whole.
class RollLog final : public QObject
{
    Q_OBJECT
public:
    // The same bounds as every pane's log.
    static constexpr int lineLimit = 2000;
    static constexpr int characterLimit = 400000;

    void append(const QString &line);
    const QStringList &lines() const { return m_lines; }
    // The whole list, one roll a line, for the clipboard.
    QString text() const;

Q_SIGNALS:
    void appended(const QString &line);

private:
    QStringList m_lines;
    qsizetype m_characters = 0;
};

} // namespace vellmar::dice
