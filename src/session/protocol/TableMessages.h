#pragma once

#include "Messages.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// Messages of the shared table: what the master shows every player. Each is
// accepted only from the master as the host stamped it. Fields are joined by
// ";" like the marker messages; a free text that may hold ";" (a name) is the
// last field and takes the rest of the payload.
namespace vellmar::session {

enum TableMessageType : std::int32_t {
    MSG_SHOW_MAP = 1000,
    MSG_SHOW_ICON = 1010,
    MSG_HIDE_ICON = 1011,
    MSG_SHOW_TURN_ORDER = 1012,
    MSG_HIDE_TURN_ORDER = 1013,
};

struct ShowMapPayload // type 1000
{
    double map10Size = 0.0;
    std::int32_t map10OffsetX = 0;
    std::int32_t map10OffsetY = 0;
    QByteArray pictureSha256; // 32 raw bytes, or empty for a map without a picture
    qint64 pictureSize = 0;
    QString name;
    bool operator==(const ShowMapPayload &) const = default;
};

struct ShowIconPayload // type 1010: a new shown icon or a change of one
{
    std::int32_t id = 0;
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;
    std::int32_t size = 0;
    QString healthWord; // one of table::healthWord's words
    QString name;
    bool operator==(const ShowIconPayload &) const = default;
};

struct HideIconPayload // type 1011
{
    std::int32_t id = 0;
    bool operator==(const HideIconPayload &) const = default;
};

struct TurnOrderRow
{
    QString participant;
    QString initiative; // empty for a name-only row
    bool operator==(const TurnOrderRow &) const = default;
};

struct ShowTurnOrderPayload // type 1012; type 1013 (hide) has an empty payload
{
    std::int32_t round = 1;
    std::int32_t currentRow = 0; // may name no row (an empty list)
    QList<TurnOrderRow> rows;
    bool operator==(const ShowTurnOrderPayload &) const = default;
};

QString formatPayload(const ShowMapPayload &p);
QString formatPayload(const ShowIconPayload &p);
QString formatPayload(const HideIconPayload &p);
// A ";" in a participant's name travels as ",": the rows have no last field.
QString formatPayload(const ShowTurnOrderPayload &p);

Parsed<ShowMapPayload> parseShowMap(const QString &payload);
Parsed<ShowIconPayload> parseShowIcon(const QString &payload);
Parsed<HideIconPayload> parseHideIcon(const QString &payload);
Parsed<ShowTurnOrderPayload> parseShowTurnOrder(const QString &payload);

} // namespace vellmar::session
