#pragma once

#include "MessageBuffer.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

// Application messages exchanged between copies: a 32-bit type and exactly one
// string. Compound payloads are fields joined by ";" with whole numbers as
// decimal text. This file is the only place that knows that format.
namespace vellmar::session {

enum MessageType : std::int32_t {
    MSG_CHAT = 0,
    MSG_PRIVATE_CHAT = 1,
    MSG_PARTY_CHAT = 2,
    MSG_DICE_ROLL = 3,
    MSG_REMOVE_MARKER = 4,
    MSG_PLACE_MARKER = 6,
    MSG_REQUEST_MARKER = 11,
    MSG_UPDATE_MARKER = 12,
    // A roll typed in chat for the master's eyes: sent to the master's player
    // id only; its text reads like a dice roll's.
    MSG_MASTER_ROLL = 1030,
};

// Notices come from the transport itself, with sender id 0.
enum NoticeType : std::int32_t {
    NOTICE_PLAYER_CREATED = 3,
    NOTICE_PLAYER_DESTROYED = 5,
    NOTICE_HOST_MIGRATED = 0x101,
    // This participant could not reach any host and is out of the session
    // (the others were reported as left before it).
    NOTICE_SESSION_LOST = 0x102,
};

struct AppMessage
{
    std::int32_t type = MSG_CHAT;
    QString payload;
};

QByteArray encodeMessage(const AppMessage &message);
// The one reader of application messages, for the program and its tests: a
// type, then exactly one string of valid UTF-8 that ends the bytes. Bytes
// that end right after the type carry the empty string. Anything else is
// refused, with the reason in `why` when it is given.
std::optional<AppMessage> decodeMessage(const QByteArray &bytes, QString *why = nullptr);

// The same layout for a type whose string holds bytes rather than text (a
// picture chunk): the type, the byte count, the bytes. No text is made or
// checked on either side, which is what keeps large payloads cheap.
QByteArray encodeBytesMessage(std::int32_t type, QByteArrayView bytes);
// The bytes after the count, as a view into `message`, when the layout holds
// (type, then nothing or exactly one counted string); refused like
// decodeMessage otherwise, but the bytes need not be UTF-8.
std::optional<QByteArrayView> decodeMessageBytes(const QByteArray &message, QString *why = nullptr);

struct PlaceMarkerPayload // type 6
{
    std::int32_t id = 0;
    QString info;
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;
    QString player;
    std::int32_t userId = 0;
    bool operator==(const PlaceMarkerPayload &) const = default;
};

struct RequestMarkerPayload // type 11
{
    QString info;
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;
    QString player;
    std::int32_t userId = 0;
    bool operator==(const RequestMarkerPayload &) const = default;
};

struct UpdateMarkerPayload // type 12
{
    std::int32_t id = 0;
    QString info;
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;
    bool operator==(const UpdateMarkerPayload &) const = default;
};

struct RemoveMarkerPayload // type 4
{
    std::int32_t id = 0;
    bool operator==(const RemoveMarkerPayload &) const = default;
};

// Either the parsed record or a sentence saying what is wrong with the text.
template <typename T>
using Parsed = std::variant<T, QString>;

QString formatPayload(const PlaceMarkerPayload &p);
QString formatPayload(const RequestMarkerPayload &p);
QString formatPayload(const UpdateMarkerPayload &p);
QString formatPayload(const RemoveMarkerPayload &p);

Parsed<PlaceMarkerPayload> parsePlaceMarker(const QString &payload);
Parsed<RequestMarkerPayload> parseRequestMarker(const QString &payload);
Parsed<UpdateMarkerPayload> parseUpdateMarker(const QString &payload);
Parsed<RemoveMarkerPayload> parseRemoveMarker(const QString &payload);

} // namespace vellmar::session
