#pragma once

#include "combat/TurnOrder.h"
#include "map/fog/FogMask.h"
#include "table/CIcon.h"
#include "table/CMarker.h"
#include "table/ShownMap.h"

#include <QString>

#include <optional>
#include <vector>

namespace vellmar::saving {

// What a table file holds: a participant's table as plain values, copied out
// of the live records so it can be written on another thread.
struct TableContent
{
    // The map the table shows; empty when none is loaded.
    std::optional<table::ShownMap> map;
    std::vector<table::CMarker> markers; // in the order they were placed
    std::vector<table::CIcon> icons;     // in the order they were placed
    combat::TurnOrder::State combat;
    // The fog over the map; empty when it hides nothing (or there is no map).
    std::optional<map::fog::FogMask> fog;

    bool operator==(const TableContent &) const = default;
};

// A table about to be written: its content and where the map's picture bytes
// are on this computer (empty when none).
struct TableSnapshot
{
    TableContent content;
    QString pictureFile;
    // Write only the picture's hash, not its bytes.
    bool linkOnly = false;
};

} // namespace vellmar::saving
