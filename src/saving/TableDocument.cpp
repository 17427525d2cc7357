#include "TableDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>
#include <set>

namespace vellmar::saving {

namespace {

const QString formatName = QStringLiteral("vellmar-table");
// A table document larger than this is not one we wrote: 1,000 markers take
// about 150 KB.
constexpr qsizetype maxDocumentBytes = 64 * 1024 * 1024;

QJsonObject mapObject(const table::ShownMap &map, bool pictureIncluded)
{
    return {
        {QStringLiteral("name"), map.name},
        {QStringLiteral("map10Size"), map.map10Size},
        {QStringLiteral("map10OffsetX"), map.map10OffsetX},
        {QStringLiteral("map10OffsetY"), map.map10OffsetY},
        {QStringLiteral("pictureSha256"), QString::fromLatin1(map.pictureSha256.toHex())},
        {QStringLiteral("pictureSize"), map.pictureSize},
        {QStringLiteral("pictureIncluded"), pictureIncluded && !map.pictureSha256.isEmpty()},
    };
}

QJsonObject fogObject(const map::fog::FogMask &fog)
{
    return {
        {QStringLiteral("pictureWidth"), fog.pictureSize().width()},
        {QStringLiteral("pictureHeight"), fog.pictureSize().height()},
        {QStringLiteral("cellSize"), fog.cellSize()},
        {QStringLiteral("hiddenRuns"), QString::fromLatin1(fog.runLengths().toBase64())},
    };
}

QJsonObject markerObject(const table::CMarker &marker)
{
    return {
        {QStringLiteral("id"), marker.id},
        {QStringLiteral("text"), marker.info},
        {QStringLiteral("x"), marker.mapX},
        {QStringLiteral("y"), marker.mapY},
        {QStringLiteral("ownerName"), marker.player},
        {QStringLiteral("ownerId"), marker.UserID},
    };
}

QJsonObject iconObject(const table::CIcon &icon)
{
    return {
        {QStringLiteral("id"), icon.id},
        {QStringLiteral("name"), icon.name},
        {QStringLiteral("x"), icon.mapX},
        {QStringLiteral("y"), icon.mapY},
        {QStringLiteral("size"), icon.size},
        {QStringLiteral("damage"), icon.damage},
        {QStringLiteral("maxHealth"), icon.maxHealth},
        {QStringLiteral("initiative"), icon.initiative},
        {QStringLiteral("ownerId"), icon.UserID},
        // Derived from damage and maxHealth; written for readers, not read back.
        {QStringLiteral("health"), icon.HealthStatus()},
    };
}

QJsonObject combatObject(const combat::TurnOrder::State &combat)
{
    QJsonArray rows;
    for (const auto &row : combat.rows)
        rows.append(QJsonObject{{QStringLiteral("participant"), row.participant},
                                {QStringLiteral("initiative"), row.initiative}});
    return {
        {QStringLiteral("rows"), rows},
        {QStringLiteral("currentRow"), combat.currentTurn},
        {QStringLiteral("markedRow"), combat.markedRow ? QJsonValue(qint64(*combat.markedRow)) : QJsonValue()},
        {QStringLiteral("round"), combat.round},
    };
}

// Reads members strictly and remembers the first thing that was wrong.
class Reader
{
public:
    QString problem;

    bool fail(const QString &what)
    {
        if (problem.isEmpty())
            problem = what;
        return false;
    }

    template <typename Int>
    Int integer(const QJsonObject &object, const QString &key, const QString &where)
    {
        const QJsonValue value = object.value(key);
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || std::trunc(number) != number || number < double(std::numeric_limits<Int>::min())
            || number > double(std::numeric_limits<Int>::max())) {
            fail(QStringLiteral("%1: \"%2\" is not a whole number in range").arg(where, key));
            return 0;
        }
        return static_cast<Int>(number);
    }

    QString text(const QJsonObject &object, const QString &key, const QString &where, bool semicolonAllowed = true)
    {
        const QJsonValue value = object.value(key);
        if (!value.isString()) {
            fail(QStringLiteral("%1: \"%2\" is not a text").arg(where, key));
            return {};
        }
        const QString result = value.toString();
        // Marker texts and names travel in ";"-joined messages.
        if (!semicolonAllowed && result.contains(u';'))
            fail(QStringLiteral("%1: \"%2\" contains \";\"").arg(where, key));
        return result;
    }

    QJsonArray array(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return {};
        if (!value.isArray())
            fail(QStringLiteral("\"%1\" is not a list").arg(key));
        return value.toArray();
    }

    QJsonObject element(const QJsonValue &value, const QString &where)
    {
        if (!value.isObject())
            fail(where + QStringLiteral(" is not an object"));
        return value.toObject();
    }

    // Record ids are handed out counting up from 1.
    std::int32_t id(const QJsonObject &object, const QString &where, std::set<std::int32_t> &seen)
    {
        const auto value = integer<std::int32_t>(object, QStringLiteral("id"), where);
        if (problem.isEmpty() && (value < 1 || value == std::numeric_limits<std::int32_t>::max()))
            fail(where + QStringLiteral(": the id is out of range"));
        else if (problem.isEmpty() && !seen.insert(value).second)
            fail(where + QStringLiteral(": the id %1 is used twice").arg(value));
        return value;
    }
};

std::optional<table::ShownMap> readMap(Reader &r, const QJsonObject &object, bool &pictureIncluded)
{
    const QString where = QStringLiteral("the map");
    table::ShownMap map;
    map.name = r.text(object, QStringLiteral("name"), where);
    const QJsonValue size = object.value(QStringLiteral("map10Size"));
    if (!size.isDouble() || !std::isfinite(size.toDouble()))
        r.fail(QStringLiteral("the map: \"map10Size\" is not a number"));
    map.map10Size = size.toDouble();
    map.map10OffsetX = r.integer<std::int32_t>(object, QStringLiteral("map10OffsetX"), where);
    map.map10OffsetY = r.integer<std::int32_t>(object, QStringLiteral("map10OffsetY"), where);
    const QString hex = r.text(object, QStringLiteral("pictureSha256"), where);
    map.pictureSha256 = QByteArray::fromHex(hex.toLatin1());
    if (!hex.isEmpty() && (map.pictureSha256.size() != 32 || map.pictureSha256.toHex() != hex.toLatin1().toLower()))
        r.fail(QStringLiteral("the map: \"pictureSha256\" is not a SHA-256 in hex"));
    map.pictureSize = r.integer<qint64>(object, QStringLiteral("pictureSize"), where);
    if (map.pictureSize < 0)
        r.fail(QStringLiteral("the map: the picture size is negative"));
    pictureIncluded = object.value(QStringLiteral("pictureIncluded")).toBool() && !map.pictureSha256.isEmpty();
    return map;
}

void readMarkers(Reader &r, const QJsonArray &list, std::vector<table::CMarker> &markers)
{
    std::set<std::int32_t> ids;
    for (qsizetype i = 0; i < list.size() && r.problem.isEmpty(); ++i) {
        const QString where = QStringLiteral("marker %1").arg(i + 1);
        const QJsonObject o = r.element(list.at(i), where);
        table::CMarker m;
        m.id = r.id(o, where, ids);
        m.info = r.text(o, QStringLiteral("text"), where, false);
        m.mapX = r.integer<std::int32_t>(o, QStringLiteral("x"), where);
        m.mapY = r.integer<std::int32_t>(o, QStringLiteral("y"), where);
        m.player = r.text(o, QStringLiteral("ownerName"), where, false);
        m.UserID = r.integer<std::int32_t>(o, QStringLiteral("ownerId"), where);
        markers.push_back(m);
    }
}

void readIcons(Reader &r, const QJsonArray &list, std::vector<table::CIcon> &icons)
{
    std::set<std::int32_t> ids;
    for (qsizetype i = 0; i < list.size() && r.problem.isEmpty(); ++i) {
        const QString where = QStringLiteral("icon %1").arg(i + 1);
        const QJsonObject o = r.element(list.at(i), where);
        table::CIcon icon;
        icon.id = r.id(o, where, ids);
        icon.name = r.text(o, QStringLiteral("name"), where);
        icon.mapX = r.integer<std::int32_t>(o, QStringLiteral("x"), where);
        icon.mapY = r.integer<std::int32_t>(o, QStringLiteral("y"), where);
        icon.size = r.integer<std::int32_t>(o, QStringLiteral("size"), where);
        icon.damage = r.integer<std::int16_t>(o, QStringLiteral("damage"), where);
        icon.maxHealth = r.integer<std::int16_t>(o, QStringLiteral("maxHealth"), where);
        icon.initiative = r.integer<std::int32_t>(o, QStringLiteral("initiative"), where);
        icon.UserID = r.integer<std::int32_t>(o, QStringLiteral("ownerId"), where);
        icons.push_back(icon);
    }
}

// Types are the reader's to check; whether the cells add up is the fog's.
std::optional<map::fog::FogMask> readFog(Reader &r, const QJsonObject &o, QString &damage)
{
    using map::fog::FogMask;
    const QString where = QStringLiteral("the fog");
    const QSize picture(r.integer<std::int32_t>(o, QStringLiteral("pictureWidth"), where),
                        r.integer<std::int32_t>(o, QStringLiteral("pictureHeight"), where));
    const auto cell = r.integer<std::int32_t>(o, QStringLiteral("cellSize"), where);
    const QString runs = r.text(o, QStringLiteral("hiddenRuns"), where);
    if (!r.problem.isEmpty())
        return std::nullopt;
    if (picture.width() < 1 || picture.height() < 1 || picture.width() > FogMask::kMaxPictureSide
        || picture.height() > FogMask::kMaxPictureSide) {
        r.fail(QStringLiteral("the fog: its picture size is out of range"));
        return std::nullopt;
    }
    if (cell != FogMask::cellSizeFor(picture)) {
        r.fail(QStringLiteral("the fog: its cell size does not fit its picture"));
        return std::nullopt;
    }
    const auto bytes = QByteArray::fromBase64Encoding(runs.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    auto fog = bytes ? FogMask::fromRunLengths(picture, *bytes) : std::nullopt;
    if (!fog)
        damage = QStringLiteral("its fog's hidden cells do not add up to its picture");
    return fog;
}

void readCombat(Reader &r, const QJsonObject &o, combat::TurnOrder::State &combat)
{
    const QString where = QStringLiteral("the combat tracker");
    const QJsonArray rows = r.array(o, QStringLiteral("rows"));
    for (qsizetype i = 0; i < rows.size() && r.problem.isEmpty(); ++i) {
        const QString rowWhere = QStringLiteral("combat row %1").arg(i + 1);
        const QJsonObject row = r.element(rows.at(i), rowWhere);
        combat.rows.append({r.text(row, QStringLiteral("participant"), rowWhere),
                            r.text(row, QStringLiteral("initiative"), rowWhere)});
    }
    combat.currentTurn = r.integer<std::int32_t>(o, QStringLiteral("currentRow"), where);
    combat.round = r.integer<std::int32_t>(o, QStringLiteral("round"), where);
    if (!o.value(QStringLiteral("markedRow")).isNull())
        combat.markedRow = r.integer<std::int32_t>(o, QStringLiteral("markedRow"), where);
    if (r.problem.isEmpty() && !combat::TurnOrder::fromState(combat))
        r.fail(QStringLiteral("the combat tracker's current row, marked row or round does not fit its rows"));
}

} // namespace

TableProblem notATable(const QString &detail)
{
    return {
        TableProblem::Kind::NotATable,
        QStringLiteral("This file is not a Vellmar table (%1). Choose a file saved with \"Save Table\".").arg(detail)};
}

TableProblem truncatedFile(const QString &detail)
{
    return {TableProblem::Kind::Truncated,
            QStringLiteral("This table file is cut off or damaged (%1). Open an older copy of it, or one of the "
                           "autosaved tables.")
                .arg(detail)};
}

QByteArray encodeDocument(const TableContent &content, bool pictureIncluded)
{
    QJsonObject document{
        {QStringLiteral("format"), formatName},
        {QStringLiteral("version"), content.fog ? tableFormatVersion : tableFormatWithoutFog},
    };
    document.insert(QStringLiteral("map"),
                    content.map ? QJsonValue(mapObject(*content.map, pictureIncluded)) : QJsonValue());
    QJsonArray markers;
    for (const auto &marker : content.markers)
        markers.append(markerObject(marker));
    document.insert(QStringLiteral("markers"), markers);
    QJsonArray icons;
    for (const auto &icon : content.icons)
        icons.append(iconObject(icon));
    document.insert(QStringLiteral("icons"), icons);
    document.insert(QStringLiteral("combat"), combatObject(content.combat));
    if (content.fog)
        document.insert(QStringLiteral("fog"), fogObject(*content.fog));
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

std::variant<DecodedDocument, TableProblem> decodeDocument(const QByteArray &json)
{
    if (json.size() > maxDocumentBytes)
        return notATable(QStringLiteral("its table document is too large"));
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &error);
    if (parsed.isNull() || !parsed.isObject())
        return notATable(QStringLiteral("its table document is not JSON: %1").arg(error.errorString()));
    const QJsonObject root = parsed.object();
    if (root.value(QStringLiteral("format")).toString() != formatName)
        return notATable(QStringLiteral("its document does not say it is a table"));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() < 1)
        return notATable(QStringLiteral("its document has no format version"));
    if (version.toDouble() > tableFormatVersion)
        return TableProblem{TableProblem::Kind::NewerVersion,
                            QStringLiteral("This table was saved by a newer version of Vellmar (table format %1; this "
                                           "program reads up to %2). Update Vellmar to open it.")
                                .arg(version.toDouble())
                                .arg(tableFormatVersion)};

    Reader r;
    DecodedDocument decoded;
    const QJsonValue map = root.value(QStringLiteral("map"));
    if (map.isObject())
        decoded.content.map = readMap(r, map.toObject(), decoded.pictureIncluded);
    else if (!map.isNull() && !map.isUndefined())
        r.fail(QStringLiteral("the map is not an object"));
    readMarkers(r, r.array(root, QStringLiteral("markers")), decoded.content.markers);
    readIcons(r, r.array(root, QStringLiteral("icons")), decoded.content.icons);
    const QJsonValue combat = root.value(QStringLiteral("combat"));
    if (combat.isObject())
        readCombat(r, combat.toObject(), decoded.content.combat);
    else if (!combat.isUndefined())
        r.fail(QStringLiteral("the combat tracker is not an object"));
    QString damage;
    const QJsonValue fog = root.value(QStringLiteral("fog"));
    if (fog.isObject()) {
        if (!decoded.content.map)
            r.fail(QStringLiteral("the fog has no map to cover"));
        else
            decoded.content.fog = readFog(r, fog.toObject(), damage);
    } else if (!fog.isNull() && !fog.isUndefined()) {
        r.fail(QStringLiteral("the fog is not an object"));
    }
    if (!r.problem.isEmpty())
        return notATable(r.problem);
    if (!damage.isEmpty())
        return truncatedFile(damage);
    return decoded;
}

} // namespace vellmar::saving
