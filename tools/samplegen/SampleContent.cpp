#include "SampleContent.h"

#include "DungeonPainter.h"
#include "MapIndex.h"
#include "SoundSynth.h"
#include "TerrainPainter.h"
#include "TownPainter.h"
#include "WavWriter.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <functional>

namespace vellmar::samplegen {

namespace {

struct SampleMap
{
    MapEntry entry;
    QSize size;
    std::function<QImage(QSize, const MapGrid &)> paint;
};

// Grid values are deliberately uneven (fractional cells, negative and
// positive offsets) so that maps exercise the program's grid placement.
std::vector<SampleMap> catalogue()
{
    return {
        {{QStringLiteral("Sunken Keep - Dungeon"), QStringLiteral("sunken_keep.jpg"), 50.0, -6, -19},
         QSize(1210, 910),
         [](QSize s, const MapGrid &g) { return paintDungeon(s, g, 0x5EEDu); }},
        {{QStringLiteral("Millbrook Crossing - Outdoors"), QStringLiteral("millbrook_crossing.bmp"), 70.4, -9, -26},
         QSize(1400, 1050),
         [](QSize s, const MapGrid &g) { return paintTerrain(s, g, 0xB00Cu); }},
        {{QStringLiteral("Harrowgate - Walled Town"), QStringLiteral("harrowgate_town.jpg"), 96.0, 35, -37},
         QSize(4000, 3000),
         [](QSize s, const MapGrid &g) { return paintTown(s, g, 0x70A1u); }},
    };
}

QString save(const QByteArray &bytes, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return u"cannot write " + path + u": " + file.errorString();
    return {};
}

QString saveImage(const QImage &image, const QString &path)
{
    QImageWriter writer(path);
    writer.setQuality(88);
    if (!writer.write(image))
        return u"cannot write " + path + u": " + writer.errorString();
    return {};
}

} // namespace

QString writeSampleContent(const QString &folder)
{
    const QDir root(folder);
    if (!root.mkpath(QStringLiteral("map")) || !root.mkpath(QStringLiteral("Sounds")))
        return u"cannot create folders in " + folder;

    std::vector<MapEntry> entries;
    for (const SampleMap &m : catalogue()) {
        const MapGrid grid{m.entry.map10Size, m.entry.offsetX, m.entry.offsetY};
        const QString error = saveImage(m.paint(m.size, grid), root.filePath(u"map/" + m.entry.file));
        if (!error.isEmpty())
            return error;
        entries.push_back(m.entry);
    }

    const QStringList remarks{
        QStringLiteral("; Maps offered by the Map list dialog. Lines that start with none of the keys are ignored."),
        QStringLiteral("; To add a map, put its picture (JPEG or BMP) into this folder and append five lines:"),
        QStringLiteral(";   mapname=<name shown in the list>    mapfile=<picture file in this folder>"),
        QStringLiteral(";   map10size=<twice the grid cell size in picture pixels, may have decimals>"),
        QStringLiteral(";   map10offsetX=<minus the x of the first vertical grid line>  map10offsetY=<likewise for y>"),
        QStringLiteral("; A map the game master shows reaches every player; one loaded from this list is yours alone."),
        QString(),
    };
    if (const QString error = save(mapIndexText(remarks, entries), root.filePath(QStringLiteral("map/mapindex.txt")));
        !error.isEmpty())
        return error;

    if (const QString error = save(wavFile(sound::knock(0x4B4Eu), sound::kSampleRate),
                                   root.filePath(QStringLiteral("Sounds/knucklhd.wav")));
        !error.isEmpty())
        return error;
    return save(wavFile(sound::doorShut(0xD005u), sound::kSampleRate),
                root.filePath(QStringLiteral("Sounds/doorshut.wav")));
}

} // namespace vellmar::samplegen
