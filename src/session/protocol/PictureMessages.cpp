#include "PictureMessages.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>

namespace vellmar::session {

namespace {

bool isLowerHex(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

// Reads the fields of one picture message, keeping the first problem found
// so the log can say exactly what was wrong.
class PictureFields
{
public:
    PictureFields(const QString &payload, qsizetype expected, const char *what)
        : m_fields(payload.split(u';'))
        , m_what(QString::fromLatin1(what))
    {
        if (m_fields.size() != expected)
            fail(QStringLiteral("has %1 fields, expected %2").arg(m_fields.size()).arg(expected));
    }

    QByteArray hash(qsizetype index)
    {
        if (!m_error.isEmpty())
            return {};
        const QString &text = m_fields.at(index);
        if (text.size() != 64 || !std::all_of(text.cbegin(), text.cend(), isLowerHex)) {
            fail(QStringLiteral("hash is not 64 lowercase hex digits"));
            return {};
        }
        return QByteArray::fromHex(text.toLatin1());
    }

    // A whole number from min to max, written as plain decimal digits.
    qint64 number(qsizetype index, const char *field, qint64 min, qint64 max)
    {
        if (!m_error.isEmpty())
            return 0;
        const QString &text = m_fields.at(index);
        bool digitsOnly = !text.isEmpty() && text.size() <= 18;
        for (QChar c : text)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        const qint64 value = digitsOnly ? text.toLongLong() : -1;
        if (!digitsOnly || value < min || value > max) {
            fail(QStringLiteral("field %1 is not a number from %2 to %3: \"%4\"")
                     .arg(QString::fromLatin1(field))
                     .arg(min)
                     .arg(max)
                     .arg(text.left(40)));
            return 0;
        }
        return value;
    }

    template <typename T>
    Parsed<T> result(T value) const
    {
        if (!m_error.isEmpty())
            return m_error;
        return value;
    }

private:
    void fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = m_what + u' ' + why;
    }

    QStringList m_fields;
    QString m_what;
    QString m_error;
};

} // namespace

QString hashToHex(const QByteArray &sha256) { return QString::fromLatin1(sha256.toHex()); }

QString formatPayload(const PictureHolds &p) { return hashToHex(p.sha256) + u';' + QString::number(p.size); }

QString formatPayload(const PictureWhoHolds &p) { return hashToHex(p.sha256); }

QString formatPayload(const PictureRequest &p)
{
    return hashToHex(p.sha256) + u';' + QString::number(p.offset) + u';' + QString::number(p.length);
}

QByteArray formatPayload(const PictureChunk &p)
{
    QByteArray out;
    out.reserve(kPictureChunkHeaderBytes + p.data.size());
    out.append(p.sha256);
    char offset[8];
    qToBigEndian(static_cast<quint64>(p.offset), offset);
    out.append(offset, 8);
    out.append(p.data);
    return out;
}

QString formatPayload(const PictureNotHeld &p) { return hashToHex(p.sha256); }

Parsed<PictureHolds> parsePictureHolds(const QString &payload)
{
    PictureFields f(payload, 2, "picture-holds");
    PictureHolds p;
    p.sha256 = f.hash(0);
    p.size = f.number(1, "size", 1, kPictureWireLimit);
    return f.result(p);
}

Parsed<PictureWhoHolds> parsePictureWhoHolds(const QString &payload)
{
    PictureFields f(payload, 1, "picture-who-holds");
    PictureWhoHolds p;
    p.sha256 = f.hash(0);
    return f.result(p);
}

Parsed<PictureRequest> parsePictureRequest(const QString &payload)
{
    PictureFields f(payload, 3, "picture-request");
    PictureRequest p;
    p.sha256 = f.hash(0);
    p.offset = f.number(1, "offset", 0, kPictureWireLimit - 1);
    p.length = f.number(2, "length", 1, kPictureChunkBytes);
    return f.result(p);
}

Parsed<PictureChunk> parsePictureChunk(QByteArrayView payload)
{
    const qsizetype data = payload.size() - kPictureChunkHeaderBytes;
    if (data < 1 || data > kPictureChunkBytes)
        return QStringLiteral("picture-chunk of %1 bytes does not hold a hash, an offset and 1 to %2 bytes of data")
            .arg(payload.size())
            .arg(kPictureChunkBytes);
    PictureChunk p;
    p.sha256 = payload.first(32).toByteArray();
    const quint64 offset = qFromBigEndian<quint64>(payload.data() + 32);
    if (offset >= quint64(kPictureWireLimit))
        return QStringLiteral("picture-chunk offset %1 is past the largest picture").arg(offset);
    p.offset = qint64(offset);
    p.data = payload.sliced(kPictureChunkHeaderBytes).toByteArray();
    return p;
}

Parsed<PictureNotHeld> parsePictureNotHeld(const QString &payload)
{
    PictureFields f(payload, 1, "picture-not-held");
    PictureNotHeld p;
    p.sha256 = f.hash(0);
    return f.result(p);
}

} // namespace vellmar::session
