#pragma once

#include <QObject>
#include <QStringList>

namespace vellmar::dice {

// A list of rolls: the copy's feed of every roll it sees (its own, those
// typed in chat and those others announced), which the open dice window
// follows, and the window's own list, which is lost when it closes.
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
