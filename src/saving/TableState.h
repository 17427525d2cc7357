#pragma once

#include "saving/TableContent.h"

#include <cstdint>

namespace vellmar::table {
class Records;
}

// Between the live table and a table file's content.
namespace vellmar::saving {

// Copies the markers, icons and combat order; the map is the caller's.
TableContent contentOf(const table::Records &records, const combat::TurnOrder &order);

// Who opens a table decides what of it replaces the live one.
enum class OpenAs {
    Alone,  // outside a session: everything
    Player, // a player in a session: only its own icons and combat order
};

// The parts that the table file replaces. Icons belong to the copy that
// holds them, so they take ownPlayerId. The selection is cleared and the id
// counters move past the ids read. The map is the caller's.
void restoreContent(const TableContent &content, OpenAs as, std::int32_t ownPlayerId, table::Records &records,
                    combat::TurnOrder &order);

} // namespace vellmar::saving
