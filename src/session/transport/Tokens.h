#pragma once

#include <cstdint>

// Resume tokens: a secret per player that only the player and its host know.
// The roster carries a hash of it, so whichever member takes over as host can
// check a resume without anyone having shared the secret.
namespace vellmar::session {

std::uint64_t newResumeToken();
std::uint64_t resumeTokenHash(std::uint64_t token);

} // namespace vellmar::session
