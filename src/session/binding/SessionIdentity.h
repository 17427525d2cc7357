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
// The master is the participant who hosted the session. The host registers
// its own player before it lets anybody in, and player ids count up from 1
// and are never reused, not even by a later host, so the master is player 1
// for the session's whole life; once it has left, nobody is.
inline constexpr std::int32_t masterPlayerId = 1;

} // namespace vellmar::session::identity
