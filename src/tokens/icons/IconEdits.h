#pragma once

#include "table/Records.h"

#include <cstdint>
#include <memory>

namespace vellmar::tokens {

struct IconValues;

// A new icon at the map position with the next icon id, owned by this copy's
// player `owner`, added at the end of the icons. Only called with complete values, so
// neither the collection nor the counter sees a half-built icon.
std::shared_ptr<table::CIcon> addPlacedIcon(table::Records &records, const IconValues &values, std::int32_t mapX,
                                            std::int32_t mapY, std::int32_t owner);

// Overwrites the five fields of the icon kept under `id`; false when there is
// none (it was removed while its dialog was open).
bool rewriteIcon(table::IconCollection &icons, std::int32_t id, const IconValues &values);

} // namespace vellmar::tokens
