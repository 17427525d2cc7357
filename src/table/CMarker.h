#pragma once

#include <QString>

#include <cstdint>

namespace vellmar::table {

// A short text pinned to a spot of the map, the same on every copy.
class CMarker
{
public:
    QString info;   // never contains ";": it travels in ";"-joined messages
    QString player; // user name of whoever placed it
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;
    std::int32_t id = 0;     // handed out by the game master's copy
    std::int32_t UserID = 0; // player id of whoever placed it; 0 before any session

    bool operator==(const CMarker &) const = default;
};

} // namespace vellmar::table
