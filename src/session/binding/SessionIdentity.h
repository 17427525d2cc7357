#pragma once

#include <QString>

#include <cstdint>

// Who our sessions are: every copy of the program uses these values, and the
// transport lists only sessions with the same application identifier.
namespace vellmar::session::identity {

inline QString applicationGuid() { return QStringLiteral("{12332123-5544-6546-4332-112344334334}"); }
inline QString sessionName() { return QStringLiteral("TestChat"); }
inline constexpr int maxPlayers = 99;
// Host migration (4) and the transport's own guaranteed delivery (0x2000).
inline constexpr std::uint32_t sessionFlags = 8196;

} // namespace vellmar::session::identity
