#include "Messages.h"

#include "WireBytes.h"

#include "core/Numbers.h"

#include <QStringDecoder>
#include <QStringList>

namespace vellmar::session {

namespace {

QString number(std::int32_t value) { return QString::number(value); }

// Splits a compound payload and reads its numeric fields, collecting the first
// problem found so the caller can say exactly what was wrong.
class FieldReader
{
public:
    FieldReader(const QString &payload, qsizetype expectedFields, const char *what)
        : m_fields(payload.split(u';'))
        , m_what(QString::fromLatin1(what))
    {
        if (m_fields.size() != expectedFields)
            m_error = QStringLiteral("%1 payload has %2 fields, expected %3")
                          .arg(m_what)
                          .arg(m_fields.size())
                          .arg(expectedFields);
    }

    QString text(qsizetype index) const { return m_error.isEmpty() ? m_fields.at(index) : QString(); }

    std::int32_t integer(qsizetype index, const char *field)
    {
        if (!m_error.isEmpty())
            return 0;
        const auto value = core::parseDecimalInt32(m_fields.at(index));
        if (!value) {
            m_error = QStringLiteral("%1 field %2 is not a 32-bit decimal number: \"%3\"")
                          .arg(m_what, QString::fromLatin1(field), m_fields.at(index));
            return 0;
        }
        return *value;
    }

    template <typename T>
    Parsed<T> result(T value) const
    {
        if (!m_error.isEmpty())
            return m_error;
        return value;
    }

private:
    QStringList m_fields;
    QString m_what;
    QString m_error;
};

} // namespace

QByteArray encodeMessage(const AppMessage &message)
{
    return wire::Writer().u32(static_cast<std::uint32_t>(message.type)).text(message.payload).take();
}

QByteArray encodeBytesMessage(std::int32_t type, QByteArrayView bytes)
{
    wire::Writer writer;
    writer.buffer().reserve(8 + bytes.size());
    return writer.u32(static_cast<std::uint32_t>(type)).bytes(bytes).take();
}

std::optional<QByteArrayView> decodeMessageBytes(const QByteArray &message, QString *why)
{
    const auto refuse = [why](const QString &reason) -> std::optional<QByteArrayView> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    wire::Reader reader(message);
    reader.u32();
    if (!reader.ok())
        return refuse(QStringLiteral("%1 bytes do not hold a message type").arg(message.size()));
    if (reader.remaining() == 0)
        return QByteArrayView();
    const auto length = static_cast<std::int32_t>(reader.u32());
    if (!reader.ok())
        return refuse(QStringLiteral("%1 bytes after the type do not hold a string length").arg(message.size() - 4));
    const qsizetype available = reader.remaining();
    if (length < 0 || length > available)
        return refuse(
            QStringLiteral("string length %1 does not fit the %2 bytes that follow").arg(length).arg(available));
    if (length < available)
        return refuse(QStringLiteral("%1 bytes follow the string").arg(available - length));
    return QByteArrayView(message).sliced(reader.position());
}

std::optional<AppMessage> decodeMessage(const QByteArray &bytes, QString *why)
{
    const auto raw = decodeMessageBytes(bytes, why);
    if (!raw)
        return std::nullopt;
    AppMessage message{static_cast<std::int32_t>(wire::Reader(bytes).u32()), {}};
    // A byte-order mark at the start is kept as text, so every string has
    // one encoding.
    QStringDecoder decode(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    message.payload = decode(*raw);
    if (decode.hasError()) {
        if (why)
            *why = QStringLiteral("the string is not valid UTF-8");
        return std::nullopt;
    }
    return message;
}

QString formatPayload(const PlaceMarkerPayload &p)
{
    return QStringList{number(p.id), p.info, number(p.mapX), number(p.mapY), p.player, number(p.userId)}.join(u';');
}

QString formatPayload(const RequestMarkerPayload &p)
{
    return QStringList{p.info, number(p.mapX), number(p.mapY), p.player, number(p.userId)}.join(u';');
}

QString formatPayload(const UpdateMarkerPayload &p)
{
    return QStringList{number(p.id), p.info, number(p.mapX), number(p.mapY)}.join(u';');
}

QString formatPayload(const RemoveMarkerPayload &p) { return number(p.id); }

Parsed<PlaceMarkerPayload> parsePlaceMarker(const QString &payload)
{
    FieldReader r(payload, 6, "place-marker");
    PlaceMarkerPayload p;
    p.id = r.integer(0, "id");
    p.info = r.text(1);
    p.mapX = r.integer(2, "mapX");
    p.mapY = r.integer(3, "mapY");
    p.player = r.text(4);
    p.userId = r.integer(5, "UserID");
    return r.result(p);
}

Parsed<RequestMarkerPayload> parseRequestMarker(const QString &payload)
{
    FieldReader r(payload, 5, "request-marker");
    RequestMarkerPayload p;
    p.info = r.text(0);
    p.mapX = r.integer(1, "mapX");
    p.mapY = r.integer(2, "mapY");
    p.player = r.text(3);
    p.userId = r.integer(4, "UserID");
    return r.result(p);
}

Parsed<UpdateMarkerPayload> parseUpdateMarker(const QString &payload)
{
    FieldReader r(payload, 4, "update-marker");
    UpdateMarkerPayload p;
    p.id = r.integer(0, "id");
    p.info = r.text(1);
    p.mapX = r.integer(2, "mapX");
    p.mapY = r.integer(3, "mapY");
    return r.result(p);
}

Parsed<RemoveMarkerPayload> parseRemoveMarker(const QString &payload)
{
    FieldReader r(payload, 1, "remove-marker");
    RemoveMarkerPayload p;
    p.id = r.integer(0, "id");
    return r.result(p);
}

} // namespace vellmar::session
