#include "TableMessages.h"

#include "core/Numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace vellmar::session {

namespace {

QString number(std::int32_t value) { return QString::number(value); }

// Reads ";"-joined fields strictly: the fixed fields first, then (when the
// message has one) a free text that takes the rest. The first problem is kept
// so the log says exactly what was wrong.
class Fields
{
public:
    // `fixed` fields before the text; with `restIsText` the text may hold ";".
    Fields(const QString &payload, qsizetype fixed, bool restIsText, const char *what)
        : m_what(QString::fromLatin1(what))
    {
        const QStringList parts = payload.split(u';');
        const qsizetype wanted = fixed + (restIsText ? 1 : 0);
        if (parts.size() < wanted || (!restIsText && parts.size() != wanted)) {
            m_error = QStringLiteral("%1 payload has %2 fields, expected %3%4")
                          .arg(m_what)
                          .arg(parts.size())
                          .arg(restIsText ? QStringLiteral("at least ") : QString())
                          .arg(wanted);
            return;
        }
        m_fields = parts.mid(0, fixed);
        if (restIsText)
            m_rest = parts.mid(fixed).join(u';');
    }

    bool ok() const { return m_error.isEmpty(); }
    const QString &rest() const { return m_rest; }
    QString text(qsizetype index) const { return ok() ? m_fields.at(index) : QString(); }

    std::int32_t integer(qsizetype index, const char *field)
    {
        if (!ok())
            return 0;
        const auto value = core::parseDecimalInt32(m_fields.at(index));
        if (!value)
            fail(field, QStringLiteral("is not a 32-bit decimal number"), m_fields.at(index));
        return value.value_or(0);
    }

    qint64 size(qsizetype index, const char *field)
    {
        if (!ok())
            return 0;
        static const QRegularExpression digits(QStringLiteral("^(0|[1-9][0-9]{0,17})$"));
        const QString &text = m_fields.at(index);
        if (!digits.match(text).hasMatch()) {
            fail(field, QStringLiteral("is not a byte count"), text);
            return 0;
        }
        return text.toLongLong();
    }

    double real(qsizetype index, const char *field)
    {
        if (!ok())
            return 0.0;
        // Plain decimal notation as QString::number writes it; no blanks,
        // no locale, no "inf" or "nan".
        static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,20}(\\.[0-9]{1,20})?(e[-+][0-9]{1,3})?$"));
        const QString &text = m_fields.at(index);
        bool converted = false;
        const double value = decimal.match(text).hasMatch() ? QLocale::c().toDouble(text, &converted) : 0.0;
        if (!converted || !std::isfinite(value))
            fail(field, QStringLiteral("is not a finite decimal number"), text);
        return value;
    }

    QByteArray sha256(qsizetype index, const char *field)
    {
        if (!ok())
            return {};
        static const QRegularExpression hex(QStringLiteral("^([0-9a-f]{64})?$"));
        const QString &text = m_fields.at(index);
        if (!hex.match(text).hasMatch()) {
            fail(field, QStringLiteral("is neither empty nor 64 lower-case hex digits"), text);
            return {};
        }
        return QByteArray::fromHex(text.toLatin1());
    }

    void fail(const char *field, const QString &what, const QString &value = QString())
    {
        if (!ok())
            return;
        m_error =
            QStringLiteral("%1 field %2 %3: \"%4\"").arg(m_what, QString::fromLatin1(field), what, value.left(80));
    }

    template <typename T>
    Parsed<T> result(T value) const
    {
        if (!ok())
            return m_error;
        return value;
    }

private:
    QString m_what;
    QStringList m_fields;
    QString m_rest;
    QString m_error;
};

const QStringList &healthWords()
{
    static const QStringList words{QStringLiteral("Unscathed"),   QStringLiteral("Injured"),
                                   QStringLiteral("Hurt"),        QStringLiteral("Badly Hurt"),
                                   QStringLiteral("Near Death"),  QStringLiteral("Disabled"),
                                   QStringLiteral("Unconscious"), QStringLiteral("Dead")};
    return words;
}

} // namespace

QString formatPayload(const ShowMapPayload &p)
{
    return QStringList{QString::number(p.map10Size, 'g', QLocale::FloatingPointShortest),
                       number(p.map10OffsetX),
                       number(p.map10OffsetY),
                       QString::fromLatin1(p.pictureSha256.toHex()),
                       QString::number(p.pictureSize),
                       p.name}
        .join(u';');
}

Parsed<ShowMapPayload> parseShowMap(const QString &payload)
{
    Fields f(payload, 5, true, "show-map");
    ShowMapPayload p;
    p.map10Size = f.real(0, "map10Size");
    p.map10OffsetX = f.integer(1, "map10OffsetX");
    p.map10OffsetY = f.integer(2, "map10OffsetY");
    p.pictureSha256 = f.sha256(3, "sha256");
    p.pictureSize = f.size(4, "size");
    p.name = f.rest();
    if (p.pictureSha256.isEmpty() != (p.pictureSize == 0))
        f.fail("size",
               QStringLiteral("does not agree with the picture hash (a picture has bytes, no picture has none)"),
               QString::number(p.pictureSize));
    return f.result(p);
}

QString formatPayload(const ShowIconPayload &p)
{
    return QStringList{number(p.id), number(p.mapX), number(p.mapY), number(p.size), p.healthWord, p.name}.join(u';');
}

Parsed<ShowIconPayload> parseShowIcon(const QString &payload)
{
    Fields f(payload, 5, true, "show-icon");
    ShowIconPayload p;
    p.id = f.integer(0, "id");
    p.mapX = f.integer(1, "mapX");
    p.mapY = f.integer(2, "mapY");
    p.size = f.integer(3, "size");
    p.healthWord = f.text(4);
    p.name = f.rest();
    if (p.size < 0)
        f.fail("size", QStringLiteral("is negative"), QString::number(p.size));
    if (f.ok() && !healthWords().contains(p.healthWord))
        f.fail("health", QStringLiteral("is not a health word"), p.healthWord);
    return f.result(p);
}

QString formatPayload(const HideIconPayload &p) { return number(p.id); }

Parsed<HideIconPayload> parseHideIcon(const QString &payload)
{
    Fields f(payload, 1, false, "hide-icon");
    HideIconPayload p;
    p.id = f.integer(0, "id");
    return f.result(p);
}

QString formatPayload(const ShowTurnOrderPayload &p)
{
    QStringList fields{number(p.round), number(p.currentRow)};
    for (const TurnOrderRow &row : p.rows) {
        QString participant = row.participant;
        participant.replace(u';', u',');
        QString initiative = row.initiative;
        initiative.replace(u';', u',');
        fields << participant << initiative;
    }
    return fields.join(u';');
}

Parsed<ShowTurnOrderPayload> parseShowTurnOrder(const QString &payload)
{
    const qsizetype count = payload.count(u';') + 1;
    Fields f(payload, count, false, "show-turn-order");
    ShowTurnOrderPayload p;
    if (count < 2 || count % 2 != 0) {
        f.fail("rows", QStringLiteral("do not come in name and initiative pairs after round and current row"),
               QString::number(count));
        return f.result(p);
    }
    p.round = f.integer(0, "round");
    p.currentRow = f.integer(1, "currentRow");
    for (qsizetype i = 2; i + 1 < count; i += 2)
        p.rows.append({f.text(i), f.text(i + 1)});
    return f.result(p);
}

} // namespace vellmar::session
