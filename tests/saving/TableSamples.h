#pragma once

#include "saving/TableContent.h"
#include "saving/TableFile.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

// Tables and picture files for the saving tests and the benchmark.
namespace vellmar::testing {

// A file of `bytes` pseudo-random bytes: stands in for a map picture, which
// the table file stores without decoding.
inline bool writePictureFile(const QString &path, qsizetype bytes, quint32 seed = 7)
{
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A table with a map, `markers` markers, `icons` icons across every health
// band, and a combat order in its third round with a delayed row.
inline saving::TableContent sampleTable(int markers, int icons)
{
    saving::TableContent table;
    table.map = table::ShownMap{QStringLiteral("Crypt of the Old King"), 50.5, -12, -7, {}, 0};
    for (int i = 0; i < markers; ++i) {
        table::CMarker marker;
        marker.id = i + 1;
        marker.info = QStringLiteral("Mark %1 \u00e9").arg(i);
        marker.player = i % 2 ? QStringLiteral("Brenna") : QStringLiteral("Aldric(DM)");
        marker.UserID = i % 2 ? 3 : 1;
        marker.mapX = i * 37 - 400;
        marker.mapY = i * 11;
        table.markers.push_back(marker);
    }
    for (int i = 0; i < icons; ++i) {
        table::CIcon icon;
        icon.id = i + 1;
        icon.name = QStringLiteral("Goblin %1").arg(i);
        icon.maxHealth = 20;
        // Every health band: unhurt, healed beyond unhurt, each wound band, dead.
        static constexpr std::int16_t damages[] = {0, -2, 3, 7, 12, 17, 20, 25, 30};
        icon.damage = damages[i % 9];
        icon.size = 10 + i;
        icon.mapX = 100 + i;
        icon.mapY = -50 - i;
        icon.initiative = i % 7 - 2;
        table.icons.push_back(icon);
    }
    table.combat.rows = {{QStringLiteral("Aldric"), QStringLiteral("15")},
                         {QStringLiteral("Goblin 3"), QStringLiteral("12")},
                         {QStringLiteral("Brenna"), QString()}};
    table.combat.currentTurn = 1;
    table.combat.markedRow = 2;
    table.combat.round = 3;
    return table;
}

// The message of a read that failed; empty for one that opened.
inline QString problemText(const std::variant<saving::OpenedTable, saving::TableProblem> &read)
{
    const auto *problem = std::get_if<saving::TableProblem>(&read);
    return problem ? problem->message : QString();
}

} // namespace vellmar::testing
