// Runs the sample content generator into a temporary folder and checks that
// what it wrote is usable: an index the program's own reader accepts, pictures
// that load and whose painted walls lie on the grid the index describes, and
// sounds that are valid, audible, unclipped and shaped like a knock and a
// slammed door.

#include "map/MapIndex.h"
#include "map/MapLoading.h"
#include "map/MapState.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace vellmar::map;

namespace {

struct Wav
{
    int sampleRate = 0;
    std::vector<qint16> samples;
};

// Mean darkness of the picture folded over two grid cells along one axis:
// bin k holds the columns (or rows) whose distance past a grid line, modulo
// two cells, is about k pixels. Two cells, so that a picture drawn on cells
// twice the size (walls on every other line only) shows up.
std::vector<double> foldedDarkness(const QImage &gray, bool alongX, double cell, int firstLine)
{
    const int length = alongX ? gray.width() : gray.height();
    const int across = alongX ? gray.height() : gray.width();
    // Every other pixel across is plenty, and rows are read in memory order.
    std::vector<double> profile(static_cast<std::size_t>(length), 0.0);
    for (int y = 0; y < gray.height(); y += alongX ? 2 : 1) {
        const uchar *line = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); x += alongX ? 1 : 2)
            profile[static_cast<std::size_t>(alongX ? x : y)] += 255 - line[x];
    }
    const double period = 2 * cell;
    const int bins = static_cast<int>(std::ceil(period));
    std::vector<double> sum(static_cast<std::size_t>(bins), 0.0);
    std::vector<int> count(static_cast<std::size_t>(bins), 0);
    for (int i = 0; i < length; ++i) {
        // Pixel i covers [i, i + 1); its centre decides the bin.
        double phase = std::fmod(i + 0.5 - firstLine, period);
        if (phase < 0)
            phase += period;
        const auto b = static_cast<std::size_t>(std::min(bins - 1, static_cast<int>(phase)));
        sum[b] += profile[static_cast<std::size_t>(i)];
        ++count[b];
    }
    for (std::size_t b = 0; b < sum.size(); ++b)
        sum[b] = count[b] ? sum[b] / count[b] / ((across + 1) / 2) : 0.0;
    return sum;
}

// Mean of the bins within `radius` pixels of `phase` (wrapping around).
double around(const std::vector<double> &bins, double phase, double radius)
{
    const double period = static_cast<double>(bins.size());
    double sum = 0;
    int n = 0;
    for (std::size_t b = 0; b < bins.size(); ++b) {
        double d = std::abs(b + 0.5 - phase);
        d = std::min(d, period - d);
        if (d <= radius) {
            sum += bins[b];
            ++n;
        }
    }
    return n ? sum / n : 0.0;
}

Wav readWav(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    if (b.size() < 44 || b.left(4) != "RIFF" || u32(4) != quint32(b.size() - 8) || b.mid(8, 4) != "WAVE"
        || b.mid(12, 4) != "fmt " || u32(16) != 16 || u16(20) != 1 || u16(22) != 1 || u16(32) != 2 || u16(34) != 16
        || u32(28) != u32(24) * 2 || b.mid(36, 4) != "data" || u32(40) != quint32(b.size() - 44))
        return {};
    Wav w;
    w.sampleRate = static_cast<int>(u32(24));
    for (int at = 44; at + 1 < b.size(); at += 2)
        w.samples.push_back(qFromLittleEndian<qint16>(b.constData() + at));
    return w;
}

// RMS in windows of `ms` milliseconds, as a fraction of full scale. A window
// should span a period of the lowest mode, or the RMS beats with it.
std::vector<double> envelope(const Wav &w, int ms)
{
    const auto win = static_cast<std::size_t>(w.sampleRate * ms / 1000);
    std::vector<double> env;
    for (std::size_t i = 0; i + win <= w.samples.size(); i += win) {
        double sum = 0;
        for (std::size_t k = i; k < i + win; ++k)
            sum += double(w.samples[k]) * w.samples[k];
        env.push_back(std::sqrt(sum / win) / 32768.0);
    }
    return env;
}

} // namespace

class TestSampleGen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void indexListsLoadablePictures();
    void wallsLieOnTheGrid_data();
    void wallsLieOnTheGrid();
    void soundsAreValidAndLevelled_data();
    void soundsAreValidAndLevelled();
    void knockIsSeparateKnocksAndTheDoorThudsLast();

private:
    QTemporaryDir m_dir;
    QByteArray m_index;
    QStringList m_names;
    std::vector<MapState> m_maps; // each entry as the program loads it
};

void TestSampleGen::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QImageReader::setAllocationLimit(512);
    QProcess gen;
    gen.start(QStringLiteral(VELLMAR_SAMPLEGEN_PATH), {m_dir.path()});
    QVERIFY(gen.waitForFinished(60000));
    QCOMPARE(gen.exitStatus(), QProcess::NormalExit);
    QVERIFY2(gen.exitCode() == 0, gen.readAllStandardError().constData());

    QFile index(m_dir.filePath(QStringLiteral("map/mapindex.txt")));
    QVERIFY(index.open(QIODevice::ReadOnly));
    m_index = index.readAll();
    const QString text = decodeIndex(m_index);
    m_names = mapNames(text);
    const QDir mapFolder(m_dir.filePath(QStringLiteral("map")));
    for (const QString &name : m_names) {
        const auto entry = findMapEntry(text, name);
        QVERIFY(entry);
        MapState state;
        const QStringList problems =
            applyMapEntry(state, *entry, [&](const QString &file) { return loadMapPicture(mapFolder.filePath(file)); });
        QVERIFY2(problems.isEmpty(), qPrintable(name + u": " + problems.join(u"; ")));
        m_maps.push_back(state);
    }
}

void TestSampleGen::indexListsLoadablePictures()
{
    // The program only ends lines at CR LF or a lone CR.
    for (qsizetype i = 0; i < m_index.size(); ++i)
        if (m_index.at(i) == '\n')
            QVERIFY2(i > 0 && m_index.at(i - 1) == '\r', "bare LF in the index");
    QVERIFY(m_index.endsWith("\r\n"));
    QVERIFY2(!m_index.startsWith("map"), "the index should open with remarks on how to add a map");
    QVERIFY(m_index.contains(".jpg") && m_index.contains(".bmp"));

    QVERIFY(m_names.size() >= 3);
    QCOMPARE(QSet<QString>(m_names.begin(), m_names.end()).size(), m_names.size()); // the first of equal names wins
    qint64 largest = 0;
    for (const MapState &map : m_maps) {
        QVERIFY(!map.picture.isNull() && map.map10Size > 0);
        largest = std::max(largest, qint64(map.picture.width()) * map.picture.height());
        // Big enough to play on: at least 20 x 15 cells.
        QVERIFY(map.picture.width() >= 10 * map.map10Size && map.picture.height() >= 7.5 * map.map10Size);
    }
    QVERIFY2(largest >= 4000 * 3000, "one map should be large enough to try big-map performance");
}

void TestSampleGen::wallsLieOnTheGrid_data()
{
    QTest::addColumn<int>("entry");
    for (int i = 0; i < m_names.size(); ++i)
        QTest::newRow(qPrintable(m_names[i])) << i;
}

// Walls, grout, fences and eaves are painted on grid lines, so the picture is
// darker on the lines than halfway between them. A picture drawn with the
// offset's sign flipped, or with cells of map10size instead of half of it,
// puts its walls elsewhere.
void TestSampleGen::wallsLieOnTheGrid()
{
    QFETCH(int, entry);
    const MapState &map = m_maps[static_cast<std::size_t>(entry)];
    const QImage gray = map.picture.convertToFormat(QImage::Format_Grayscale8);
    const double cell = map.map10Size / 2;

    for (bool alongX : {true, false}) {
        const int firstLine = alongX ? -map.map10OffsetX : -map.map10OffsetY;
        const std::vector<double> bins = foldedDarkness(gray, alongX, cell, firstLine);
        const double evenLines = around(bins, 0.0, 1.5);
        const double oddLines = around(bins, cell, 1.5);
        const double midCells = std::max(around(bins, cell / 2, 2.0), around(bins, cell * 1.5, 2.0));
        // How much the profile wanders inside cells, away from any line.
        double mean = 0;
        double square = 0;
        int n = 0;
        for (std::size_t k = 0; k < bins.size(); ++k) {
            const double phase = std::fmod(k + 0.5, cell);
            if (phase > cell / 4 && phase < cell * 3 / 4) {
                mean += bins[k];
                square += bins[k] * bins[k];
                ++n;
            }
        }
        mean /= n;
        const double margin = std::max(3.0, 3 * std::sqrt(std::max(0.0, square / n - mean * mean)));
        const QByteArray where = m_names[entry].toLatin1() + (alongX ? " vertical" : " horizontal") + " lines: even "
                                 + QByteArray::number(evenLines, 'f', 1) + ", odd "
                                 + QByteArray::number(oddLines, 'f', 1) + ", mid-cell "
                                 + QByteArray::number(midCells, 'f', 1) + ", margin " + QByteArray::number(margin);
        QVERIFY2(evenLines > midCells + margin && oddLines > midCells + margin, where.constData());
    }
}

void TestSampleGen::soundsAreValidAndLevelled_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("minSeconds");
    QTest::addColumn<double>("maxSeconds");
    QTest::newRow("knock") << QStringLiteral("knucklhd.wav") << 0.4 << 1.5;
    QTest::newRow("door") << QStringLiteral("doorshut.wav") << 0.8 << 2.5;
}

void TestSampleGen::soundsAreValidAndLevelled()
{
    QFETCH(QString, file);
    QFETCH(double, minSeconds);
    QFETCH(double, maxSeconds);
    const Wav w = readWav(m_dir.filePath(u"Sounds/" + file));
    QVERIFY2(!w.samples.empty(), "not a 16-bit mono PCM WAV file with consistent sizes");
    QCOMPARE(w.sampleRate, 22050);
    const double seconds = double(w.samples.size()) / w.sampleRate;
    QVERIFY(seconds >= minSeconds && seconds <= maxSeconds);

    int peak = 0;
    int atLimit = 0;
    double sum = 0;
    for (qint16 s : w.samples) {
        peak = std::max(peak, std::abs(int(s)));
        atLimit += std::abs(int(s)) >= 32767;
        sum += double(s) * s;
    }
    const double peakDb = 20 * std::log10(peak / 32768.0);
    const double rmsDb = 10 * std::log10(sum / w.samples.size() / (32768.0 * 32768.0));
    QVERIFY2(peakDb > -4.0 && peakDb < -2.0, QByteArray::number(peakDb).constData());
    QCOMPARE(atLimit, 0);
    QVERIFY2(rmsDb > -35.0, QByteArray::number(rmsDb).constData());
    // Starts and ends in silence, so playing it does not click.
    QVERIFY(std::abs(int(w.samples.front())) < 300);
    const auto tail = std::max_element(w.samples.end() - w.sampleRate / 100, w.samples.end(),
                                       [](qint16 a, qint16 b) { return std::abs(int(a)) < std::abs(int(b)); });
    QVERIFY(std::abs(int(*tail)) < 600);
}

void TestSampleGen::knockIsSeparateKnocksAndTheDoorThudsLast()
{
    const std::vector<double> knock = envelope(readWav(m_dir.filePath(QStringLiteral("Sounds/knucklhd.wav"))), 10);
    QVERIFY(!knock.empty());
    const double top = *std::max_element(knock.begin(), knock.end());
    // A knock starts when the sound rises from near silence.
    int onsets = 0;
    bool quiet = true;
    for (double level : knock) {
        if (quiet && level > 0.3 * top) {
            ++onsets;
            quiet = false;
        } else if (!quiet && level < 0.1 * top) {
            quiet = true;
        }
    }
    QVERIFY2(onsets == 2 || onsets == 3, QByteArray::number(onsets).constData());

    // The door's loudest moment, the thud, comes after it has swung, and dies
    // away within half a second.
    const std::vector<double> door = envelope(readWav(m_dir.filePath(QStringLiteral("Sounds/doorshut.wav"))), 20);
    QVERIFY(!door.empty());
    const auto thud = static_cast<std::size_t>(std::max_element(door.begin(), door.end()) - door.begin());
    QVERIFY(thud > door.size() * 2 / 5);
    QVERIFY(thud + 25 < door.size() && door[thud + 25] < 0.1 * door[thud]);
}

QTEST_GUILESS_MAIN(TestSampleGen)
#include "tst_samplegen.moc"
