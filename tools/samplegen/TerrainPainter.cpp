#include "TerrainPainter.h"

#include "Materials.h"
#include "Props.h"
#include "Rng.h"
#include "Rows.h"
#include "Walls.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vellmar::samplegen {

namespace {

// Where the features lie, in grid cells and in picture pixels.
struct Layout
{
    MapGrid grid;
    QSize size;
    int roadRow;   // the road crosses the river on rows roadRow and roadRow + 1
    QRect ruin;    // cells
    QRect paddock; // cells
    QRect camp;    // cells
    QRect bridge;  // cells

    double riverX(double y) const
    {
        return size.width() * 0.63 + 80.0 * std::sin(y / 180.0 + 0.5) + 35.0 * std::sin(y / 67.0 + 1.3);
    }
    double riverSlope(double y) const
    {
        return 80.0 / 180.0 * std::cos(y / 180.0 + 0.5) + 35.0 / 67.0 * std::cos(y / 67.0 + 1.3);
    }
    double riverHalfWidth(double y) const { return 44.0 + 8.0 * std::sin(y / 95.0); }
    // Distance from the river's middle, measured across the stream.
    double riverDistance(double x, double y) const
    {
        const double k = riverSlope(y);
        return std::abs(x - riverX(y)) / std::sqrt(1.0 + k * k);
    }

    double roadCentreY() const { return grid.lineY(roadRow + 1); }
    double roadY(double x) const
    {
        // Straight where it crosses the bridge, winding elsewhere.
        const double xb = riverX(roadCentreY());
        const double away = (x - xb) / 230.0;
        return roadCentreY() + 60.0 * std::sin((x - xb) / 200.0) * (1.0 - std::exp(-away * away));
    }
};

Layout makeLayout(QSize size, const MapGrid &grid)
{
    Layout l{grid, size, 0, {}, {}, {}, {}};
    const int rows = grid.rowsFor(size);
    const int columns = grid.columnsFor(size);
    l.roadRow = rows / 2 - 2;
    l.ruin = QRect(3, 3, 8, 6);
    l.paddock = QRect(4, l.roadRow + 5, 9, 7);
    l.camp = QRect(columns - 11, rows - 9, 8, 6);
    const double y = l.roadCentreY();
    const double xr = l.riverX(y);
    const double hw = l.riverHalfWidth(y) + 14.0;
    const int c0 = grid.columnAt(xr - hw);
    const int c1 = grid.columnAt(xr + hw);
    l.bridge = QRect(c0, l.roadRow, c1 - c0 + 1, 2);
    return l;
}

void paintGround(QImage &img, const Layout &l, const Materials &mat)
{
    const ValueNoise &n = mat.noise();
    const MapGrid &g = l.grid;
    const QRectF ruinArea = g.cellRect(l.ruin.x(), l.ruin.y(), l.ruin.width(), l.ruin.height());
    const QRectF paddockArea = g.cellRect(l.paddock.x(), l.paddock.y(), l.paddock.width(), l.paddock.height());
    forEachRow(img, [&](int y, QRgb *line) {
        const double xr = l.riverX(y);
        const double hw = l.riverHalfWidth(y);
        const double slope = std::sqrt(1.0 + l.riverSlope(y) * l.riverSlope(y));
        for (int x = 0; x < img.width(); ++x) {
            const double ragged = 10.0 * (n.at(x / 23.0, y / 23.0) - 0.5);
            Rgb c = mat.grass(x, y);

            // Road: worn dirt with two wheel ruts, frayed at the edges.
            const double roadOff = y - l.roadY(x);
            const double roadEdge = 30.0 + ragged;
            if (std::abs(roadOff) < roadEdge + 4.0) {
                Rgb d = mat.dirt(x, y);
                const double rut = std::min(std::abs(roadOff - 11.0), std::abs(roadOff + 11.0));
                if (rut < 2.5)
                    d = d * (0.8 + 0.08 * rut);
                c = mix(d, c, smoothstep(roadEdge - 4.0, roadEdge + 4.0, std::abs(roadOff)));
            }

            // Ruin floor: old flagstones, grass creeping over them.
            if (ruinArea.contains(x + 0.5, y + 0.5)) {
                const int col = g.columnAt(x + 0.5);
                const int row = g.rowAt(y + 0.5);
                const Rgb stone =
                    mat.flagstone(x, y, x + 0.5 - g.lineX(col), y + 0.5 - g.lineY(row), g.cell(), hash2(col, row, 71u));
                c = mix(stone, c, smoothstep(0.58, 0.72, n.fbm(x / 40.0 + 7.0, y / 40.0, 3)));
            }
            // Paddock: trampled, muddy.
            if (paddockArea.contains(x + 0.5, y + 0.5))
                c = mix(c, mat.dirt(x, y) * 0.9, 0.45 * smoothstep(0.35, 0.7, n.fbm(x / 30.0, y / 30.0 + 5.0, 3)));

            // River with muddy banks.
            const double d = std::abs(x - xr) / slope;
            const double bank = hw + 12.0 + ragged;
            if (d < bank + 6.0) {
                const Rgb mud = mix(Rgb{104, 92, 66}, Rgb{140, 126, 92}, n.at(x / 9.0, y / 9.0));
                c = mix(mud, c, smoothstep(bank - 2.0, bank + 6.0, d));
                if (d < hw + ragged * 0.5)
                    c = mix(mat.water(x, y, 1.0 - d / hw), mud, smoothstep(hw - 6.0, hw + ragged * 0.5, d));
            }
            line[x] = c.toQRgb();
        }
    });
}

// Broken stone walls on the ruin's outline and one inner wall.
void drawRuin(QPainter &p, const Layout &l, Rng &rng)
{
    const MapGrid &g = l.grid;
    const QRect r = l.ruin;
    std::vector<QLineF> walls;
    std::vector<QPointF> gaps;
    auto edge = [&](QLineF e) {
        // A fifth of the wall has fallen; a gap leaves rubble behind.
        if (rng.chance(0.2))
            gaps.push_back(e.center());
        else
            walls.push_back(e);
    };
    for (int c = r.left(); c <= r.right(); ++c) {
        if (c != r.left() + 3) // the doorway
            edge(g.northEdge(c, r.bottom() + 1));
        edge(g.northEdge(c, r.top()));
    }
    for (int row = r.top(); row <= r.bottom(); ++row) {
        edge(g.westEdge(r.left(), row));
        edge(g.westEdge(r.right() + 1, row));
        if (row != r.top() + 2) // inner wall with an opening
            walls.push_back(g.westEdge(r.left() + 5, row));
    }
    const WallStyle style{g.cell() * 0.3, QColor(46, 44, 40), QColor(150, 144, 132)};
    drawWalls(p, walls, style);
    for (const QPointF &gap : gaps)
        props::rubble(p, gap, g.cell() * 0.45, rng);
    props::rubble(p, g.point(r.left() + 2.5, r.top() + 2.0), g.cell() * 0.8, rng);
    // An altar stone at the far end of the chapel.
    p.setPen(QPen(QColor(40, 38, 36), 1.5));
    p.setBrush(QColor(170, 164, 152));
    p.drawRect(g.cellRect(r.left() + 6, r.top() + 2, 1, 2).adjusted(6, 4, -6, -4));
}

void drawFence(QPainter &p, const std::vector<QLineF> &runs)
{
    p.save();
    p.setPen(QPen(QColor(0, 0, 0, 60), 3.0));
    for (const QLineF &run : runs)
        p.drawLine(run.translated(2, 2));
    p.setPen(QPen(QColor(74, 50, 28), 3.0, Qt::SolidLine, Qt::FlatCap));
    for (const QLineF &run : runs)
        p.drawLine(run);
    p.setPen(QPen(QColor(150, 110, 66), 1.0));
    for (const QLineF &run : runs)
        p.drawLine(run);
    p.setPen(QPen(QColor(40, 26, 12), 1.2));
    p.setBrush(QColor(108, 74, 40));
    for (const QLineF &run : runs)
        for (const QPointF &post : {run.p1(), run.p2()})
            p.drawRect(QRectF(post - QPointF(3.5, 3.5), QSizeF(7, 7)));
    p.restore();
}

void drawPaddock(QPainter &p, const Layout &l, Rng &rng)
{
    const MapGrid &g = l.grid;
    const QRect r = l.paddock;
    std::vector<QLineF> runs;
    for (int c = r.left(); c <= r.right(); ++c) {
        runs.push_back(g.northEdge(c, r.top()));
        if (c != r.left() + 4) // the gate faces the road
            runs.push_back(g.northEdge(c, r.bottom() + 1));
    }
    for (int row = r.top(); row <= r.bottom(); ++row) {
        runs.push_back(g.westEdge(r.left(), row));
        runs.push_back(g.westEdge(r.right() + 1, row));
    }
    drawFence(p, runs);
    // A haystack and a water trough.
    const QPointF hay = g.point(r.right() - 0.5, r.top() + 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawEllipse(hay + QPointF(6, 8), g.cell() * 0.8, g.cell() * 0.8);
    p.setPen(QPen(QColor(120, 96, 40), 1.5));
    p.setBrush(QColor(206, 176, 92));
    p.drawEllipse(hay, g.cell() * 0.8, g.cell() * 0.8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(160, 130, 60), 1.0));
    for (double k = 0.2; k < 0.8; k += 0.15)
        p.drawEllipse(hay - QPointF(k * 3, k * 3), g.cell() * k, g.cell() * k);
    p.setPen(QPen(QColor(60, 40, 20), 2.0));
    p.setBrush(QColor(60, 96, 116));
    p.drawRect(g.cellRect(r.left() + 1, r.bottom(), 2, 1).adjusted(4, 9, -4, -9));
    props::bush(p, g.point(r.left() + 1.5, r.top() + 1.5), g.cell() * 0.4, rng);
}

void drawBridge(QPainter &p, const Layout &l)
{
    const MapGrid &g = l.grid;
    const QRectF deck = g.cellRect(l.bridge.x(), l.bridge.y(), l.bridge.width(), l.bridge.height());
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawRect(deck.translated(5, 7));
    // Planks across the direction of travel.
    const double plank = 7.0;
    int i = 0;
    for (double x = deck.left(); x < deck.right(); x += plank, ++i) {
        const int tone = (i * 37) % 23 - 11;
        p.setBrush(QColor(132 + tone, 96 + tone, 58 + tone));
        p.setPen(QPen(QColor(62, 42, 22), 1.0));
        p.drawRect(QRectF(x, deck.top(), std::min(plank, deck.right() - x), deck.height()));
    }
    // Rails along both sides, on the grid lines, with posts at each line.
    p.setPen(QPen(QColor(58, 38, 20), 5.0, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(deck.topLeft(), deck.topRight());
    p.drawLine(deck.bottomLeft(), deck.bottomRight());
    p.setPen(QPen(QColor(40, 26, 12), 1.2));
    p.setBrush(QColor(96, 64, 34));
    for (int c = 0; c <= l.bridge.width(); ++c)
        for (double y : {deck.top(), deck.bottom()})
            p.drawRect(QRectF(g.lineX(l.bridge.x() + c) - 4.5, y - 4.5, 9, 9));
    p.restore();
}

void drawCamp(QPainter &p, const Layout &l, Rng &rng)
{
    const MapGrid &g = l.grid;
    const QRect r = l.camp;
    props::tent(p, g.cellRect(r.left() + 1, r.top(), 2, 3).adjusted(3, 3, -3, -3), QColor(196, 182, 140));
    props::tent(p, g.cellRect(r.left() + 5, r.top() + 1, 3, 2).adjusted(3, 3, -3, -3), QColor(150, 60, 50));
    props::campfire(p, g.cellCentre(r.left() + 3, r.top() + 3) + QPointF(g.cell() / 2, 0), g.cell() * 0.45, rng);
    props::crate(p, g.cellRect(r.left(), r.top() + 4).adjusted(6, 6, -6, -6));
    props::barrel(p, g.cellCentre(r.left() + 1, r.top() + 4), g.cell() * 0.32);
    props::table(p, g.cellRect(r.left() + 5, r.top() + 4, 2, 1).adjusted(5, 9, -5, -9), false, rng);
}

// Trees, bushes and rocks where nothing else stands.
void scatterNature(QPainter &p, const Layout &l, Rng &rng)
{
    const MapGrid &g = l.grid;
    auto cells = [&](QRect r) { return g.cellRect(r.x(), r.y(), r.width(), r.height()).adjusted(-20, -20, 20, 20); };
    const QRectF keepOut[] = {cells(l.ruin), cells(l.paddock), cells(l.camp), cells(l.bridge)};
    // riverMargin: how far from the water's edge the object must keep.
    auto clear = [&](QPointF at, double radius, double riverMargin) {
        if (std::abs(at.y() - l.roadY(at.x())) < 34.0 + radius)
            return false;
        if (l.riverDistance(at.x(), at.y()) < l.riverHalfWidth(at.y()) + riverMargin)
            return false;
        return std::none_of(std::begin(keepOut), std::end(keepOut),
                            [&](const QRectF &k) { return k.adjusted(-radius, -radius, radius, radius).contains(at); });
    };
    const double w = l.size.width();
    const double h = l.size.height();

    // Rocks along the banks, some in the shallows, and a few in the open.
    for (int i = 0; i < 40; ++i) {
        const double radius = rng.uniform(5, 15);
        const bool bank = i < 24;
        const double y = rng.uniform(0, h);
        const double side = rng.chance(0.5) ? 1.0 : -1.0;
        const QPointF at = bank ? QPointF(l.riverX(y) + side * (l.riverHalfWidth(y) + rng.uniform(-4, 26)), y)
                                : QPointF(rng.uniform(0, w), rng.uniform(0, h));
        if (clear(at, radius, bank ? -8.0 : 14.0 + radius))
            props::rock(p, at, radius, rng);
    }

    // A wood thickens towards the upper right; single trees elsewhere.
    std::vector<std::pair<QPointF, double>> trees;
    for (int attempt = 0; attempt < 3000 && trees.size() < 110; ++attempt) {
        const QPointF at(rng.uniform(-20, w + 20), rng.uniform(-20, h + 20));
        const double wood = (at.x() / w) * (1.0 - at.y() / h);
        if (!rng.chance(0.08 + 0.9 * wood * wood))
            continue;
        const double radius = rng.uniform(22, 44);
        if (!clear(at, radius * 0.7, 12.0 + radius * 0.6))
            continue;
        const bool crowded = std::any_of(trees.begin(), trees.end(), [&](const auto &t) {
            return QLineF(t.first, at).length() < (t.second + radius) * 0.7;
        });
        if (!crowded)
            trees.emplace_back(at, radius);
    }
    for (int i = 0; i < 40; ++i) {
        const QPointF at(rng.uniform(0, w), rng.uniform(0, h));
        const double radius = rng.uniform(8, 14);
        if (clear(at, radius, 12.0 + radius))
            props::bush(p, at, radius, rng);
    }
    std::sort(trees.begin(), trees.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
    for (const auto &[at, radius] : trees)
        props::tree(p, at, radius, rng);
}

void drawReeds(QPainter &p, const Layout &l, Rng &rng)
{
    p.setPen(QPen(QColor(72, 96, 40), 1.2));
    for (int i = 0; i < 500; ++i) {
        const double y = rng.uniform(0, l.size.height());
        const double side = rng.chance(0.5) ? 1.0 : -1.0;
        const QPointF root(l.riverX(y) + side * (l.riverHalfWidth(y) + rng.uniform(-4, 10)), y);
        if (std::abs(y - l.roadCentreY()) < 60)
            continue;
        p.drawLine(root, root + QPointF(rng.uniform(-4, 4), rng.uniform(-7, -3)));
    }
}

// A faint grid like printed battle maps have; the program draws its own on top.
void drawFaintGrid(QPainter &p, const MapGrid &g, QSize size)
{
    p.setPen(QPen(QColor(0, 0, 0, 48), 1.0));
    for (int c = 0; g.lineX(c) < size.width(); ++c)
        p.drawLine(QPointF(g.lineX(c), 0), QPointF(g.lineX(c), size.height()));
    for (int r = 0; g.lineY(r) < size.height(); ++r)
        p.drawLine(QPointF(0, g.lineY(r)), QPointF(size.width(), g.lineY(r)));
}

} // namespace

QImage paintTerrain(QSize size, const MapGrid &grid, std::uint64_t seed)
{
    Rng rng(seed);
    const Layout layout = makeLayout(size, grid);
    QImage img(size, QImage::Format_RGB32);
    const Materials mat(static_cast<std::uint32_t>(seed));
    paintGround(img, layout, mat);

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawReeds(p, layout, rng);
    drawRuin(p, layout, rng);
    drawPaddock(p, layout, rng);
    drawBridge(p, layout);
    drawCamp(p, layout, rng);
    scatterNature(p, layout, rng);
    drawFaintGrid(p, grid, size);
    p.end();
    return img;
}

} // namespace vellmar::samplegen
