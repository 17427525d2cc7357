#pragma once

#include "Messages.h"

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>

// Fog of war between copies: the master's steps, undo and redo as a move of
// the history's position, and the whole fog for a copy that lacks it. Every
// field is checked here; see docs/protocol.md, "Fog of war".
namespace vellmar::session {

enum FogMessageType : std::int32_t {
    MSG_FOG_STEP = 1020,          // index;kind;mode;diameter;points
    MSG_FOG_MOVE = 1021,          // position
    MSG_FOG_STATE = 1022,         // serial;part;parts;base64
    MSG_FOG_STATE_REQUEST = 1023, // (empty)
    // 1024 to 1029 are kept for later fog messages.
};

// Bounds that keep one step inside a few KiB of payload.
constexpr int kFogMaxPoints = 200;
constexpr int kFogCoordinateLimit = 1 << 18; // picture pixels, either sign
constexpr int kFogMaxDiameter = 1 << 14;     // picture pixels
constexpr int kFogMaxIndex = 1 << 30;
// One state part carries this many bytes of the fog's byte form.
constexpr int kFogStatePartBytes = 36000;
constexpr int kFogMaxStateParts = 64;

enum class FogKind : std::uint8_t { all, rect, polygon, brush };
enum class FogMode : std::uint8_t { reveal, hide };

// One step of the master, in picture pixels. `all` has no points; `rect`
// has two opposite corners; `polygon` 3 to kFogMaxPoints corners; `brush` 1
// to kFogMaxPoints points of a stroke with its diameter.
struct FogStep
{
    FogKind kind = FogKind::all;
    FogMode mode = FogMode::hide;
    std::int32_t diameter = 0; // brush only, 1 to kFogMaxDiameter; 0 otherwise
    QList<QPoint> points;
    bool operator==(const FogStep &) const = default;
};

// Why the step breaks a bound above, or nothing when it keeps them all.
std::optional<QString> fogStepProblem(const FogStep &step);

struct FogStepMessage // 1020
{
    std::int32_t index = 0; // the step's place in the master's history
    FogStep step;
    bool operator==(const FogStepMessage &) const = default;
};

struct FogMove // 1021
{
    std::int32_t position = 0;
    bool operator==(const FogMove &) const = default;
};

struct FogStatePart // 1022
{
    std::int32_t serial = 1;
    std::int32_t part = 0;
    std::int32_t parts = 1;
    QByteArray data;
    bool operator==(const FogStatePart &) const = default;
};

QString formatPayload(const FogStepMessage &p);
QString formatPayload(const FogMove &p);
QString formatPayload(const FogStatePart &p);

Parsed<FogStepMessage> parseFogStep(const QString &payload);
Parsed<FogMove> parseFogMove(const QString &payload);
Parsed<FogStatePart> parseFogStatePart(const QString &payload);

// The byte form of the fog's parts, split for 1022 messages.
QList<FogStatePart> splitFogState(const QByteArray &bytes, std::int32_t serial);

} // namespace vellmar::session
