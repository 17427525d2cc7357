#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

// Reading the map index: a text of lines, grouped into entries that each begin
// with a "mapname" line. Pure functions over the file's bytes, so every rule
// is tested and fuzzed without files or windows.
namespace vellmar::map {

// The index's bytes as text: UTF-8 when they are valid UTF-8 (a leading byte
// order mark is dropped), otherwise one character per byte (Latin-1).
QString decodeIndex(const QByteArray &bytes);

// Splits into lines. In a text that holds a CR anywhere, CR LF or a lone CR
// ends a line and a lone LF is an ordinary character; a text without any CR
// (as ordinary editors on Linux write it) ends its lines at LF. Text after the
// last line end is a last line; nothing follows a final line end.
class IndexLines
{
public:
    explicit IndexLines(QStringView text) : m_text(text), m_lineEnd(text.contains(u'\r') ? u'\r' : u'\n') {}

    bool atEnd() const { return m_position >= m_text.size(); }
    // The next line without its end; call only when not atEnd().
    QStringView next();
    // 1 for the first line, counting the lines handed out so far.
    int lineNumber() const { return m_lineNumber; }

private:
    QStringView m_text;
    QChar m_lineEnd;
    qsizetype m_position = 0;
    int m_lineNumber = 0;
};

// The names of all entries, in file order, duplicates included.
QStringList mapNames(QStringView text);

// One effect of an index entry, applied in the order the lines stand.
struct MapSetting
{
    enum class Kind { PictureFile, GridSize, GridOffsetX, GridOffsetY };
    Kind kind = Kind::PictureFile;
    QString pictureFile;     // PictureFile: relative to the map folder, as written
    double gridSize = 0.0;   // GridSize
    std::int32_t offset = 0; // GridOffsetX, GridOffsetY
};

struct MapEntry
{
    std::vector<MapSetting> settings;
    // Lines that name a key but whose value cannot be used; they change nothing.
    QStringList problems;
};

// The first entry whose name equals `name` exactly; empty when there is none.
// The entry runs to the next "mapname" line or the end of the text.
std::optional<MapEntry> findMapEntry(QStringView text, QStringView name);

} // namespace vellmar::map
