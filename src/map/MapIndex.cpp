#include "MapIndex.h"

#include "core/Numbers.h"

#include <QStringDecoder>

#include <cmath>

namespace vellmar::map {

namespace {

constexpr QStringView nameKey = u"mapname";
constexpr QStringView fileKey = u"mapfile";
constexpr QStringView sizeKey = u"map10size";
constexpr QStringView offsetXKey = u"map10offsetX";
constexpr QStringView offsetYKey = u"map10offsetY";

bool hasKey(QStringView line, QStringView key) { return line.startsWith(key, Qt::CaseSensitive); }

// The value starts after the key and one separator character, whatever it is.
QStringView valueOf(QStringView line, QStringView key)
{
    const qsizetype start = key.size() + 1;
    return start < line.size() ? line.mid(start) : QStringView();
}

// A value quoted for a message; very long values are cut.
QString quoted(QStringView value)
{
    constexpr qsizetype shown = 40;
    if (value.size() <= shown)
        return u'"' + value.toString() + u'"';
    return u'"' + value.left(shown).toString() + QStringLiteral("...\"");
}

QString problem(int line, QStringView key, const QString &what)
{
    return QStringLiteral("line %1 (%2): %3").arg(line).arg(key.toString(), what);
}

std::optional<double> numberValue(QStringView value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

void readGridSize(QStringView line, int lineNumber, MapEntry &entry)
{
    const QStringView value = valueOf(line, sizeKey);
    if (value.trimmed().isEmpty()) {
        entry.problems << problem(lineNumber, sizeKey, QStringLiteral("no value; the grid size is kept"));
        return;
    }
    const auto number = numberValue(value);
    if (!number) {
        entry.problems << problem(lineNumber, sizeKey,
                                  quoted(value) + QStringLiteral(" is not a number; the grid size is kept"));
        return;
    }
    MapSetting setting;
    setting.kind = MapSetting::Kind::GridSize;
    setting.gridSize = *number;
    entry.settings.push_back(setting);
}

void readOffset(QStringView line, int lineNumber, QStringView key, MapSetting::Kind kind, MapEntry &entry)
{
    const QStringView value = valueOf(line, key);
    if (value.trimmed().isEmpty()) {
        entry.problems << problem(lineNumber, key, QStringLiteral("no value; the grid offset is kept"));
        return;
    }
    const auto number = numberValue(value);
    if (!number) {
        entry.problems << problem(lineNumber, key,
                                  quoted(value) + QStringLiteral(" is not a number; the grid offset is kept"));
        return;
    }
    // A fractional offset is rounded, halves to even.
    const auto whole = core::roundToInt32(*number);
    if (!whole) {
        entry.problems << problem(
            lineNumber, key, quoted(value) + QStringLiteral(" lies beyond the 32-bit range; the grid offset is kept"));
        return;
    }
    MapSetting setting;
    setting.kind = kind;
    setting.offset = *whole;
    entry.settings.push_back(setting);
}

void readPictureFile(QStringView line, int lineNumber, MapEntry &entry)
{
    const QStringView value = valueOf(line, fileKey);
    if (value.isEmpty()) {
        entry.problems << problem(lineNumber, fileKey, QStringLiteral("no file name; the picture is kept"));
        return;
    }
    MapSetting setting;
    setting.kind = MapSetting::Kind::PictureFile;
    setting.pictureFile = value.toString();
    entry.settings.push_back(setting);
}

// One line of an entry; true when it starts the next entry.
bool readEntryLine(QStringView line, int lineNumber, MapEntry &entry)
{
    if (hasKey(line, fileKey))
        readPictureFile(line, lineNumber, entry);
    else if (hasKey(line, sizeKey))
        readGridSize(line, lineNumber, entry);
    else if (hasKey(line, offsetXKey))
        readOffset(line, lineNumber, offsetXKey, MapSetting::Kind::GridOffsetX, entry);
    else if (hasKey(line, offsetYKey))
        readOffset(line, lineNumber, offsetYKey, MapSetting::Kind::GridOffsetY, entry);
    return hasKey(line, nameKey);
}

} // namespace

QString decodeIndex(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(view);
}

QStringView IndexLines::next()
{
    const qsizetype start = m_position;
    qsizetype end = start;
    while (end < m_text.size() && m_text[end] != m_lineEnd)
        ++end;
    m_position = end;
    if (m_position < m_text.size()) {
        ++m_position; // the CR or LF
        if (m_lineEnd == u'\r' && m_position < m_text.size() && m_text[m_position] == u'\n')
            ++m_position;
    }
    ++m_lineNumber;
    return m_text.mid(start, end - start);
}

QStringList mapNames(QStringView text)
{
    QStringList names;
    IndexLines lines(text);
    while (!lines.atEnd()) {
        const QStringView line = lines.next();
        if (hasKey(line, nameKey))
            names << valueOf(line, nameKey).toString();
    }
    return names;
}

std::optional<MapEntry> findMapEntry(QStringView text, QStringView name)
{
    IndexLines lines(text);
    for (;;) {
        if (lines.atEnd())
            return std::nullopt;
        const QStringView line = lines.next();
        if (hasKey(line, nameKey) && valueOf(line, nameKey) == name)
            break;
    }
    // An entry whose name line ends the file has no settings; it still loads.
    MapEntry entry;
    while (!lines.atEnd()) {
        const QStringView line = lines.next();
        if (readEntryLine(line, lines.lineNumber(), entry))
            break;
    }
    return entry;
}

} // namespace vellmar::map
