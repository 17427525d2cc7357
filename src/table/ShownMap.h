#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace vellmar::table {

// The map the master shows to every player: what another copy needs to draw
// it the same way. The picture is named by the SHA-256 of its file's bytes,
// never by a path, so a copy finds it wherever it holds those bytes.
struct ShownMap
{
    QString name;
    // Grid values as the map state keeps them (see map::MapState).
    double map10Size = 22.56;
    std::int32_t map10OffsetX = -9;
    std::int32_t map10OffsetY = -13;
    // 32 raw bytes; empty for a map without a picture.
    QByteArray pictureSha256;
    qint64 pictureSize = 0;

    bool operator==(const ShownMap &) const = default;
};

} // namespace vellmar::table
