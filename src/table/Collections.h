#pragma once

#include "table/CIcon.h"
#include "table/CMarker.h"
#include "table/KeyedCollection.h"
#include "table/ShownIcon.h"

namespace vellmar::table {

// Both live for the whole run; nothing empties them, neither a new map nor a
// session.
using IconCollection = KeyedCollection<CIcon>;
using MarkerCollection = KeyedCollection<CMarker>;
// A player's copy: the master's icons shown to the players, kept apart from
// this copy's own icons.
using ShownIconCollection = KeyedCollection<ShownIcon>;

} // namespace vellmar::table
