#include "Text.h"

namespace vellmar::core {

QString trimSpaces(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.sliced(first, last - first).toString();
}

QString withAppendedLine(const QString &log, QStringView line)
{
    QString result;
    result.reserve(log.size() + lineBreak.size() + line.size());
    result += log;
    result += lineBreak;
    result += line;
    return result;
}

} // namespace vellmar::core
