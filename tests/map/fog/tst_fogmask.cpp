// The fog mask's geometry at the picture's edges and beyond, its overlays,
// and the history's undo and redo against a mask rebuilt from scratch.
#include "map/fog/FogHistory.h"
#include "map/fog/FogMask.h"

#include <QRandomGenerator>
#include <QtTest/QTest>

using namespace vellmar::map::fog;

namespace {

// 100 x 60 pixels: cells of 2 pixels, 50 x 30 of them; cell (x, y) has its
// centre at (2x + 1, 2y + 1).
const QSize kPicture(100, 60);

FogStep hideAll() { return wholeMap(FogMode::hide); }
FogStep brush(QList<QPoint> points, int diameter, FogMode mode) { return {FogKind::brush, mode, diameter, points}; }

// The hidden cells of a row as a string of '#' and '.'.
QString row(const FogMask &mask, int y)
{
    QString out;
    for (int x = 0; x < mask.cellCount().width(); ++x)
        out += mask.isHidden(x, y) ? u'#' : u'.';
    return out;
}

FogMask rebuilt(const QList<FogStep> &steps, qsizetype count)
{
    FogMask mask(kPicture);
    for (qsizetype i = 0; i < count; ++i)
        mask.apply(steps.at(i));
    return mask;
}

FogStep randomStep(QRandomGenerator &random)
{
    const auto point = [&] { return QPoint(random.bounded(-20, 120), random.bounded(-20, 80)); };
    const FogMode mode = random.bounded(2) ? FogMode::hide : FogMode::reveal;
    switch (random.bounded(10)) {
    case 0:
        return wholeMap(mode);
    case 1:
    case 2:
    case 3:
        return {FogKind::rect, mode, 0, {point(), point()}};
    case 4:
    case 5:
        return {FogKind::polygon, mode, 0, {point(), point(), point(), point()}};
    default:
        return brush({point(), point(), point()}, random.bounded(1, 30), mode);
    }
}

} // namespace

class FogMaskTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cellSizeKeepsMaskSmall()
    {
        QCOMPARE(FogMask::cellSizeFor(QSize(100, 60)), 2);
        QCOMPARE(FogMask::cellSizeFor(QSize(2048, 10)), 2);
        QCOMPARE(FogMask::cellSizeFor(QSize(10, 2049)), 4);
        QCOMPARE(FogMask::cellSizeFor(QSize(8192, 8192)), 8);
        const FogMask big(QSize(8193, 100));
        QCOMPARE(big.cellSize(), 16);
        QCOMPARE(big.cellCount(), QSize(513, 7)); // the last column reaches past the picture
    }

    // Cells are taken by their centre; corners in any order; the parts of a
    // rectangle beyond the picture are cut off; one wholly outside changes nothing.
    void rectangleRevealsAndHidesByCellCentres()
    {
        FogMask mask(kPicture);
        QCOMPARE(mask.apply(hideAll()), QRect(0, 0, 50, 30));
        QCOMPARE(mask.apply({FogKind::rect, FogMode::reveal, 0, {QPoint(20, 20), QPoint(10, 10)}}), QRect(5, 5, 5, 5));
        QVERIFY(!mask.hides(QPointF(15, 15)));
        QVERIFY(mask.hides(QPointF(9.9, 15)));   // cell 4, centre 9: outside
        QVERIFY(mask.hides(QPointF(20.5, 15)));  // cell 10, centre 21: outside
        QVERIFY(!mask.hides(QPointF(19.9, 10))); // cell (9, 5)

        QCOMPARE(mask.apply({FogKind::rect, FogMode::reveal, 0, {QPoint(-50, -50), QPoint(5, 5)}}), QRect(0, 0, 2, 2));
        QCOMPARE(mask.apply({FogKind::rect, FogMode::reveal, 0, {QPoint(95, 55), QPoint(500, 500)}}),
                 QRect(47, 27, 3, 3));
        QVERIFY(!mask.hides(QPointF(99, 59)));
        QCOMPARE(mask.apply({FogKind::rect, FogMode::reveal, 0, {QPoint(101, 0), QPoint(300, 60)}}), QRect());
        QCOMPARE(mask.apply({FogKind::rect, FogMode::reveal, 0, {QPoint(10, 10), QPoint(10, 40)}}), QRect());
        QCOMPARE(mask.hiddenCells(), 50 * 30 - 25 - 4 - 9);

        // Two rectangles meeting at x = 30 never share a cell.
        mask.apply(wholeMap(FogMode::reveal));
        mask.apply({FogKind::rect, FogMode::hide, 0, {QPoint(0, 0), QPoint(30, 2)}});
        mask.apply({FogKind::rect, FogMode::hide, 0, {QPoint(30, 0), QPoint(60, 2)}});
        QCOMPARE(row(mask, 0), QString(30, u'#') + QString(20, u'.'));
    }

    // Non-zero winding: a five-pointed star drawn in one stroke covers its
    // middle too, as a lasso drawn round twice covers what it loops around.
    void polygonFillsWhatItWindsAround()
    {
        FogMask mask(kPicture);
        QList<QPoint> star;
        for (int i = 0; i < 5; ++i) {
            const double a = -M_PI / 2 + i * 4 * M_PI / 5;
            star.append(QPoint(int(50 + 28 * std::cos(a)), int(30 + 28 * std::sin(a))));
        }
        mask.apply({FogKind::polygon, FogMode::hide, 0, star});
        QVERIFY(mask.hides(QPointF(50, 30)));
        QVERIFY(mask.hides(QPointF(50, 8)));  // near the top point
        QVERIFY(!mask.hides(QPointF(30, 8))); // between two points
        QVERIFY(!mask.hides(QPointF(50, 59)));

        // Reaching past the left and bottom edges: cut off there.
        FogMask edge(kPicture);
        const QRect touched = edge.apply(
            {FogKind::polygon, FogMode::hide, 0, {QPoint(-40, 30), QPoint(20, 30), QPoint(20, 200), QPoint(-40, 200)}});
        QCOMPARE(touched, QRect(0, 15, 10, 15));
        QCOMPARE(edge.hiddenCells(), 10 * 15);
        QCOMPARE(edge.apply({FogKind::polygon, FogMode::hide, 0, {QPoint(-9, -9), QPoint(-1, -9), QPoint(-1, -1)}}),
                 QRect());
    }

    void brushCoversItsStrokeAndAtLeastTheCellUnderIt()
    {
        FogMask mask(kPicture);
        mask.apply(brush({QPoint(0, 30), QPoint(100, 30)}, 10, FogMode::hide));
        QVERIFY(mask.hides(QPointF(50, 26)));
        QVERIFY(mask.hides(QPointF(99, 34)));
        QVERIFY(!mask.hides(QPointF(50, 23))); // centre 23 is 7 away
        QVERIFY(!mask.hides(QPointF(50, 37)));
        // A single point covers a disc, not a square.
        mask.apply(wholeMap(FogMode::reveal));
        mask.apply(brush({QPoint(50, 30)}, 20, FogMode::hide));
        QVERIFY(mask.hides(QPointF(57, 37)));  // centre (57, 37): 9.9 from the point
        QVERIFY(!mask.hides(QPointF(59, 39))); // centre (59, 39): 12.7 away

        // Smaller than a cell, on a cell corner: the cells around it are hit.
        mask.apply(wholeMap(FogMode::reveal));
        mask.apply(brush({QPoint(10, 10)}, 1, FogMode::hide));
        QVERIFY(mask.hides(QPointF(10.5, 10.5)));
        QVERIFY(mask.hides(QPointF(9.5, 9.5)));
        QCOMPARE(mask.hiddenCells(), 4);

        // Beyond a corner: only the cells the circle reaches into.
        mask.apply(wholeMap(FogMode::reveal));
        const QRect touched = mask.apply(brush({QPoint(-5, -5)}, 20, FogMode::hide));
        QVERIFY(touched.contains(0, 0));
        QVERIFY(mask.isHidden(0, 0));
        QVERIFY(!mask.isHidden(3, 3));
        QCOMPARE(mask.apply(brush({QPoint(-500, -500), QPoint(-400, -500)}, 20, FogMode::hide)), QRect());
    }

    // Points and rectangles beyond the picture count as its nearest edge
    // cells; a rectangle's far edge on a cell border does not reach past it.
    void hidesAskedOfPointsAndRects()
    {
        FogMask none;
        QVERIFY(!none.hides(QPointF(1, 1)));
        QVERIFY(!none.hidesRect(QRectF(0, 0, 10, 10)));

        FogMask mask(kPicture);
        mask.apply({FogKind::rect, FogMode::hide, 0, {QPoint(0, 0), QPoint(20, 20)}});
        QVERIFY(mask.hides(QPointF(-30, -30)));
        QVERIFY(!mask.hides(QPointF(500, -30)));
        QVERIFY(mask.hidesRect(QRectF(-10, -10, 30, 30)));
        QVERIFY(mask.hidesRect(QRectF(4, 4, 16, 16)));
        QVERIFY(!mask.hidesRect(QRectF(4, 4, 16.5, 16)));
        QVERIFY(mask.hidesRect(QRectF(19, 19, 0, 0)));
        QVERIFY(!mask.hidesRect(QRectF(20, 19, 0, 0)));
    }

    // What a drawing cache asks: every cell that differs from an earlier
    // revision lies in what changedSince gives for it.
    void changedSinceCoversEveryChangedCell()
    {
        QRandomGenerator random(4);
        FogMask mask(kPicture);
        std::vector<std::pair<quint64, QImage>> seen{{mask.revision(), mask.cells().copy()}};
        for (int round = 0; round < 60; ++round) {
            mask.apply(randomStep(random));
            for (qsizetype back = 0; back < 6 && back < qsizetype(seen.size()); ++back) {
                const auto &[revision, cells] = seen[seen.size() - 1 - size_t(back)];
                const QRect changed = mask.changedSince(revision);
                for (int y = 0; y < cells.height(); ++y)
                    for (int x = 0; x < cells.width(); ++x)
                        if (cells.constScanLine(y)[x] != mask.cells().constScanLine(y)[x])
                            QVERIFY2(changed.contains(x, y), qPrintable(QStringLiteral("%1, %2").arg(x).arg(y)));
            }
            seen.emplace_back(mask.revision(), mask.cells().copy());
        }
        QVERIFY(mask.changedSince(mask.revision()).isEmpty());
        QCOMPARE(mask.changedSince(seen.front().first), QRect(QPoint(0, 0), mask.cellCount())); // too long ago
        // Another mask's revision says nothing about this one.
        const FogMask other(kPicture);
        QVERIFY(other.revision() != mask.revision());
        QCOMPARE(mask.changedSince(other.revision()), QRect(QPoint(0, 0), mask.cellCount()));
        mask.setCells(other.cells());
        QCOMPARE(mask.changedSince(seen.back().first), QRect(QPoint(0, 0), mask.cellCount()));
    }

    void runLengthsRoundTripAndRefuseBadInput()
    {
        FogMask mask(kPicture);
        QCOMPARE(FogMask::fromRunLengths(kPicture, mask.runLengths()), mask);
        mask.apply({FogKind::rect, FogMode::hide, 0, {QPoint(0, 0), QPoint(2, 2)}}); // first cell hidden
        mask.apply(brush({QPoint(60, 10), QPoint(90, 50)}, 14, FogMode::hide));
        const QByteArray runs = mask.runLengths();
        QCOMPARE(FogMask::fromRunLengths(kPicture, runs), mask);
        QVERIFY(!FogMask::fromRunLengths(QSize(100, 62), runs));                // too few cells
        QVERIFY(!FogMask::fromRunLengths(kPicture, runs.chopped(1)));           // short
        QVERIFY(!FogMask::fromRunLengths(kPicture, QByteArray(runs + '\x01'))); // one run too many
        QVERIFY(!FogMask::fromRunLengths(kPicture, QByteArray(runs + '\x00'))); // an empty run
        QVERIFY(!FogMask::fromRunLengths(kPicture, QByteArray(runs + '\x80'))); // a cut number
        QVERIFY(!FogMask::fromRunLengths(kPicture, QByteArray(6, '\xff')));     // a number too long
        QVERIFY(!FogMask::fromRunLengths(QSize(0, 10), QByteArray(1, '\0')));
    }

    // Random steps, undos and redos: the mask always equals the steps up to
    // the position applied to a fresh mask, and the byte form brings back the
    // same history, able to undo as far.
    void undoAndRedoEqualARebuiltMask()
    {
        QRandomGenerator random(15);
        FogHistory history(kPicture);
        QList<FogStep> all; // every step since the reset, as a model
        // The model's mask after each number of steps, each built from the one before.
        std::vector<FogMask> after{FogMask(kPicture)};
        int position = 0;
        for (int round = 0; round < 1500; ++round) {
            const int action = random.bounded(20);
            if (action < 15) {
                const FogStep step = randomStep(random);
                QVERIFY(history.push(step));
                all.resize(position);
                all.append(step);
                after.resize(++position);
                after.push_back(after.back());
                after.back().apply(step);
            } else if (action < 18) {
                const int back = random.bounded(1, 9);
                const int target = std::max(history.firstIndex(), position - back);
                QVERIFY(history.moveTo(target));
                position = target;
            } else {
                const int target = std::min(history.endIndex(), position + random.bounded(1, 9));
                QVERIFY(history.moveTo(target));
                position = target;
            }
            QCOMPARE(history.position(), position);
            QCOMPARE(history.endIndex(), all.size());
            QVERIFY(history.endIndex() - history.firstIndex() <= FogHistory::kMaxSteps);
            QVERIFY2(history.mask() == after.at(position), qPrintable(QString::number(round)));

            if (round % 100 == 99) {
                QString why;
                const auto copy = FogHistory::fromBytes(history.toBytes(), &why);
                QVERIFY2(copy, qPrintable(why));
                QCOMPARE(copy->position(), history.position());
                QCOMPARE(copy->firstIndex(), history.firstIndex());
                QCOMPARE(copy->steps(), history.steps());
                QVERIFY(copy->mask() == history.mask());
                history = *copy;
            }
        }
        QVERIFY(history.firstIndex() > 0); // old steps were dropped on the way
        QVERIFY(history.mask() == rebuilt(all, position));
        // A straight run of steps stays undoable at least kUndoSteps back.
        for (int i = 0; i < 3 * FogHistory::kMaxSteps; ++i) {
            const FogStep step = randomStep(random);
            history.push(step);
            all.resize(position++);
            all.append(step);
        }
        QVERIFY(history.moveTo(position - FogHistory::kUndoSteps));
        QVERIFY(history.mask() == rebuilt(all, position - FogHistory::kUndoSteps));
        QVERIFY(!history.moveTo(history.firstIndex() - 1));
        QVERIFY(!history.moveTo(history.endIndex() + 1));
        QVERIFY(!history.push({FogKind::rect, FogMode::hide, 0, {QPoint(1, 1)}}));
        QVERIFY(!FogHistory().push(hideAll()));
    }

    // Every cut of a valid byte form and a few wrong fields are refused with
    // a reason, never read past.
    void byteFormRefusesBadInput()
    {
        FogHistory history(kPicture);
        history.push(hideAll());
        history.push(brush({QPoint(1, 2), QPoint(30, 40)}, 9, FogMode::reveal));
        history.undo();
        const QByteArray bytes = history.toBytes();
        for (qsizetype n = 0; n < bytes.size(); ++n)
            QVERIFY(!FogHistory::fromBytes(bytes.first(n)));
        QVERIFY(!FogHistory::fromBytes(QByteArray(bytes + 'x')));
        const auto patched = [&](qsizetype at, char value) {
            QByteArray b = bytes;
            b[at] = value;
            QString why;
            return FogHistory::fromBytes(b, &why) ? QString() : why;
        };
        QVERIFY(!patched(0, 2).isEmpty()); // version
        QVERIFY(patched(4, 0).contains(u"picture size"));
        QVERIFY(patched(16, 3).contains(u"step numbers"));       // position past the end
        QVERIFY(patched(20, 99).contains(u"step numbers"));      // too many steps
        const qsizetype firstStep = bytes.size() - 8 - (8 + 16); // "all", then the brush of 2 points
        QVERIFY(patched(firstStep, 7).contains(u"kind or mode"));
        QVERIFY(FogHistory::fromBytes(bytes)->position() == 1);
    }
};

QTEST_GUILESS_MAIN(FogMaskTest)
#include "tst_fogmask.moc"
