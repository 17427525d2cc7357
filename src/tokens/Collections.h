#pragma once

#include "tokens/CIcon.h"
#include "tokens/CMarker.h"
#include "tokens/KeyedCollection.h"

namespace vellmar::tokens {

// Both live for the whole run; nothing empties them, neither a new map nor a
// session.
using IconCollection = KeyedCollection<CIcon>;
using MarkerCollection = KeyedCollection<CMarker>;

} // namespace vellmar::tokens
