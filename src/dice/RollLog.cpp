#include "RollLog.h"

#include "core/Text.h"

namespace vellmar::dice {

void RollLog::append(const QString &line)
{
    m_lines.append(line);
    m_characters += line.size();
    // The newest line always stays.
    while (m_lines.size() > 1 && (m_lines.size() > lineLimit || m_characters > characterLimit))
        m_characters -= m_lines.takeFirst().size();
    Q_EMIT appended(line);
}

QString RollLog::text() const { return m_lines.join(core::lineBreak); }

} // namespace vellmar::dice
