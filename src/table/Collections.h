#pragma once

#include "table/CIcon.h"
#include "table/CMarker.h"
#include "table/KeyedCollection.h"

namespace vellmar::table {

// Both live for the whole run; nothing empties them, neither a new map nor a
// session.
using IconCollection = KeyedCollection<CIcon>;
using MarkerCollection = KeyedCollection<CMarker>;

} // namespace vellmar::table
