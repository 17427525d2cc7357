// libFuzzer target for the map index reader: any bytes must list names and
// find entries without a crash, and what is listed must be findable.
#include "map/MapIndex.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace vellmar::map;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = decodeIndex(bytes);

    IndexLines lines(text);
    while (!lines.atEnd())
        check(!lines.next().contains(u'\r'));

    const QStringList names = mapNames(text);
    for (qsizetype i = 0; i < names.size() && i < 8; ++i) {
        const auto entry = findMapEntry(text, names.at(i));
        check(entry.has_value());
        for (const MapSetting &setting : entry->settings) {
            if (setting.kind == MapSetting::Kind::GridSize)
                check(std::isfinite(setting.gridSize));
            if (setting.kind == MapSetting::Kind::PictureFile)
                check(!setting.pictureFile.isEmpty());
        }
    }
    const QString absent = QStringLiteral("\u2603 not listed \u2603");
    if (!names.contains(absent))
        check(!findMapEntry(text, absent).has_value());
    return 0;
}
