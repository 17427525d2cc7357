#include "core/Numbers.h"
#include "map/MapFont.h"
#include "map/MapRenderer.h"
#include "map/MapState.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QtTest/QTest>

#include <chrono>
#include <cmath>
#include <memory>

using namespace vellmar;
using namespace vellmar::map;

namespace {

const QRgb white = qRgb(255, 255, 255);
const QRgb black = qRgb(0, 0, 0);
const QRgb grey = qRgb(128, 128, 128);
const QRgb yellow = qRgb(255, 255, 0);
const QRgb cyan = qRgb(0, 255, 255);

int halfEven(double value) { return core::roundToInt32(value).value(); }

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Four quadrants split at (W/2, H/2) rounded halves to even.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    const int iw = halfEven(width / 2.0);
    const int ih = halfEven(height / 2.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           x < iw ? (y < ih ? qRgb(255, 0, 0) : qRgb(0, 0, 255))
                                  : (y < ih ? qRgb(0, 255, 0) : qRgb(255, 255, 0)));
    return image;
}

double zoomAt(int step) { return zoomFactor(step, 1, 11); }

// A map, a view and the records on it; paints like the main window does.
struct Scene
{
    MapState state;
    table::MarkerCollection markers;
    table::IconCollection icons;
    std::shared_ptr<table::CMarker> selected;
    std::int32_t ownPlayerID = 7;
    bool showGrid = false;
    ViewGeometry geometry;
    QImage canvas;
    MapRenderer renderer;

    Scene(QImage picture, int viewWidth, int viewHeight)
    {
        state.picture = std::move(picture);
        state.mapLoaded = true;
        geometry.pictureWidth = state.picture.width();
        geometry.pictureHeight = state.picture.height();
        geometry.viewWidth = viewWidth;
        geometry.viewHeight = viewHeight;
        canvas = filled(viewWidth, viewHeight, white);
    }

    void setZoomStep(int step) { geometry.z = state.zoom = zoomAt(step); }
    void clear() { canvas.fill(white); }
    void paint()
    {
        MapScene scene{&markers, &icons, selected.get(), ownPlayerID, showGrid};
        renderer.paint(canvas, state, geometry, scene);
    }

    std::shared_ptr<table::CMarker> addMarker(int id, int mapX, int mapY, const QString &info, const QString &player,
                                              int userId = 7)
    {
        auto marker = std::make_shared<table::CMarker>(table::CMarker{info, player, mapX, mapY, id, userId});
        markers.add(marker);
        return marker;
    }
    void addIcon(int mapX, int mapY, int size, std::int16_t maxHealth = 0, std::int16_t damage = 0)
    {
        const int id = static_cast<int>(icons.size()) + 1;
        icons.add(std::make_shared<table::CIcon>(table::CIcon{damage, maxHealth, {}, size, mapX, mapY, id, 0, 0}));
    }

    QRgb at(int x, int y) const { return canvas.pixel(x, y); }
    int count(QRgb colour) const
    {
        int n = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                n += at(x, y) == colour ? 1 : 0;
        return n;
    }
};

int roundedWidth(const QString &text) { return halfEven(QFontMetricsF(mapFont()).horizontalAdvance(text)); }
int lineHeight() { return QFontMetrics(mapFont()).height(); }

} // namespace

class TestMapRenderer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pictureCentreSitsAtViewCentre_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("pictureWidth");
        QTest::addColumn<int>("viewWidth");
        for (int step : {1, 3, 6, 9, 11}) {
            QTest::addRow("even sizes, step %d", step) << step << 200 << 300;
            QTest::addRow("odd sizes, step %d", step) << step << 201 << 301;
        }
    }
    void pictureCentreSitsAtViewCentre()
    {
        QFETCH(int, step);
        QFETCH(int, pictureWidth);
        QFETCH(int, viewWidth);
        Scene scene(quadrants(pictureWidth, pictureWidth - 80), viewWidth, viewWidth - 100);
        scene.setZoomStep(step);
        scene.paint();
        const int cx = scene.geometry.cx();
        const int cy = scene.geometry.cy();
        // The quadrants meet exactly at the view's centre, whatever the zoom.
        QCOMPARE(scene.at(cx - 1, cy - 1), qRgb(255, 0, 0));
        QCOMPARE(scene.at(cx, cy - 1), qRgb(0, 255, 0));
        QCOMPARE(scene.at(cx - 1, cy), qRgb(0, 0, 255));
        QCOMPARE(scene.at(cx, cy), qRgb(255, 255, 0));
    }

    void pictureScalesByTheZoomFactor_data()
    {
        QTest::addColumn<int>("step");
        for (int step : {1, 6, 11})
            QTest::addRow("step %d", step) << step;
    }
    void pictureScalesByTheZoomFactor()
    {
        QFETCH(int, step);
        // Scrolled so that the picture's left edge lies at the view centre.
        Scene scene(filled(400, 40, grey), 600, 100);
        scene.setZoomStep(step);
        scene.geometry.hs = -200;
        scene.paint();
        const int cx = scene.geometry.cx();
        const int expectedRight = cx + static_cast<int>(std::ceil(400 * zoomAt(step))) - 1;
        QCOMPARE(scene.at(cx - 1, 50), white);
        QCOMPARE(scene.at(cx, 50), grey);
        if (expectedRight < 599) {
            QCOMPARE(scene.at(expectedRight, 50), grey);
            QCOMPARE(scene.at(expectedRight + 1, 50), white);
        }
    }

    void markerAtTheScrollPointIsDrawnAtTheViewCentre_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("hs");
        QTest::addColumn<int>("vs");
        QTest::addRow("step 6, scrolled") << 6 << 37 << -21;
        QTest::addRow("step 11, scrolled: white dot, black rim") << 11 << -90 << 44;
        QTest::addRow("step 9, at the origin") << 9 << 0 << 0;
    }
    void markerAtTheScrollPointIsDrawnAtTheViewCentre()
    {
        QFETCH(int, step);
        QFETCH(int, hs);
        QFETCH(int, vs);
        Scene scene(filled(401, 301, grey), 320, 241);
        scene.setZoomStep(step);
        scene.geometry.hs = hs;
        scene.geometry.vs = vs;
        const int iw = scene.geometry.iw();
        const int ih = scene.geometry.ih();
        scene.addMarker(1, iw + hs, ih + vs, QString(), QString());
        scene.paint();
        const int cx = scene.geometry.cx();
        const int cy = scene.geometry.cy();
        QCOMPARE(scene.at(cx, cy), white);
        // The dot is symmetric about (cx, cy): the centre pixel is its middle.
        // (Upwards the label follows the dot, so only the dot's own rows count.)
        const double radius = 2 * zoomAt(step);
        for (int d = 1; d <= static_cast<int>(radius) + 2; ++d)
            QCOMPARE(scene.at(cx - d, cy), scene.at(cx + d, cy));
        for (int d = 1; d <= static_cast<int>(radius); ++d)
            QCOMPARE(scene.at(cx, cy - d), scene.at(cx, cy + d));
        QCOMPARE(scene.at(cx + static_cast<int>(radius) + 2, cy), grey);
        if (step == 11) { // radius 2 * 7.59375 = 15.19: white inside a black rim
            QCOMPARE(scene.at(cx + 13, cy), white);
            QCOMPARE(scene.at(cx + 15, cy), black);
            QCOMPARE(scene.at(cx, cy + 15), black);
        }
    }

    void gridLinesFollowSizeOffsetsAndZoom_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("hs");
        QTest::addRow("z = 1: 11.28 pixels apart from picture point (9, 13)") << 6 << 0;
        QTest::addRow("z = 1.5, scrolled") << 7 << 33;
        QTest::addRow("z = 0.4444") << 4 << -50;
    }
    void gridLinesFollowSizeOffsetsAndZoom()
    {
        QFETCH(int, step);
        QFETCH(int, hs);
        Scene scene(filled(400, 300, white), 500, 400);
        scene.setZoomStep(step);
        scene.geometry.hs = hs;
        scene.geometry.vs = hs / 2;
        scene.showGrid = true;
        scene.paint();
        // Where lines belong along one axis, from the picture point (9, 13) where the grid starts.
        const auto expected = [spacing = 22.56 * zoomAt(step) / 2](double start, int limit) {
            QList<int> at;
            for (int k = 0; start + k * spacing <= limit; ++k) {
                if (start + k * spacing >= -0.5 && halfEven(start + k * spacing) < limit)
                    at << halfEven(start + k * spacing);
            }
            return at;
        };
        const QList<int> expectedColumns = expected(scene.geometry.viewX(9), 500);
        const QList<int> expectedRows = expected(scene.geometry.viewY(13), 400);
        QVERIFY(!expectedColumns.isEmpty());

        // Read the lines back along a row and a column that no line crosses.
        int freeRow = 0;
        while (expectedRows.contains(freeRow))
            ++freeRow;
        int freeColumn = 0;
        while (expectedColumns.contains(freeColumn))
            ++freeColumn;
        QList<int> columns, rows;
        for (int x = 0; x < 500; ++x)
            if (scene.at(x, freeRow) == black)
                columns << x;
        for (int y = 0; y < 400; ++y)
            if (scene.at(freeColumn, y) == black)
                rows << y;
        QCOMPARE(columns, expectedColumns);
        QCOMPARE(rows, expectedRows);
        if (step == 6) {
            QCOMPARE(columns.at(0), scene.geometry.cx() - scene.geometry.iw() + 9);
            QCOMPARE(columns.at(1), halfEven(columns.at(0) + 11.28));
            QCOMPARE(columns.at(2), halfEven(columns.at(0) + 22.56));
        }
    }

    void gridWithoutPositiveSpacingNeverStalls_data()
    {
        QTest::addColumn<double>("map10Size");
        QTest::addColumn<int>("blackColumnsAtLeast");
        QTest::addRow("zero") << 0.0 << 0;
        QTest::addRow("negative") << -22.56 << 0;
        QTest::addRow("finer than a pixel: solid from the grid's start") << 1e-12 << 300;
        QTest::addRow("enormous: one line each way") << 1e300 << 1;
    }
    void gridWithoutPositiveSpacingNeverStalls()
    {
        QFETCH(double, map10Size);
        QFETCH(int, blackColumnsAtLeast);
        Scene scene(filled(400, 300, white), 400, 300);
        scene.state.map10Size = map10Size;
        scene.showGrid = true;
        const auto started = std::chrono::steady_clock::now();
        scene.paint();
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(2));
        int blackColumns = 0;
        for (int x = 0; x < 400; ++x)
            blackColumns += scene.at(x, 299) == black ? 1 : 0;
        QVERIFY(blackColumns >= blackColumnsAtLeast);
        if (blackColumnsAtLeast == 0)
            QCOMPARE(blackColumns, 0);
    }

    void labelBoxFitsTheWiderLineWithOnePixelEachSide_data()
    {
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("player");
        QTest::addColumn<int>("mapX");
        QTest::addRow("first line wider") << QStringLiteral("Trapdoor here!") << QStringLiteral("Ann") << 200;
        QTest::addRow("second line wider, odd x") << QStringLiteral("X") << QStringLiteral("Bartholomew") << 201;
        QTest::addRow("empty info and player") << QString() << QString() << 200;
    }
    void labelBoxFitsTheWiderLineWithOnePixelEachSide()
    {
        QFETCH(QString, info);
        QFETCH(QString, player);
        QFETCH(int, mapX);
        Scene scene(filled(400, 300, grey), 400, 300);
        scene.setZoomStep(7); // z = 1.5
        scene.addMarker(1, mapX, 150, info, player);
        scene.paint();
        const int x = halfEven(scene.geometry.viewX(mapX));
        const int y = halfEven(scene.geometry.viewY(150));
        const int t = lineHeight();
        const int w = std::max(roundedWidth(info), roundedWidth(u'(' + player + u')'));
        const int ty = halfEven(y - 4 * 1.5 - 2 * t);

        // The frame's top row: a black run exactly w + 3 pixels long, grey
        // on both sides, starting one pixel left of the wider line.
        const int top = ty - 1;
        int left = 0;
        while (scene.at(left, top) != black)
            ++left;
        int right = left;
        while (scene.at(right + 1, top) == black)
            ++right;
        QCOMPARE(right - left, w + 2);
        QCOMPARE(left, halfEven(x - w / 2.0) - 1);
        QCOMPARE(scene.at(left - 1, top), grey);
        QCOMPARE(scene.at(right + 1, top), grey);
        QCOMPARE(scene.at(left, ty + 2 * t + 1), black); // the bottom row
        QCOMPARE(scene.at(left, ty + 2 * t + 2), grey);
        QCOMPARE(scene.at(left + 1, ty + 2 * t), white); // filled, below the text
        // The gap between label and dot grows with the zoom: the bottom frame
        // row lies 4z - 1 pixels above the dot's centre, rounded.
        QVERIFY(ty + 2 * t + 1 < y - 3);
        // Something dark is written inside the box: the text.
        bool text = false;
        for (int row = ty; row < ty + 2 * t; ++row)
            for (int col = left + 1; col < right; ++col)
                text = text || qGray(scene.at(col, row)) < 100;
        QVERIFY(text);
    }

    void selectionRingColourTellsWhoseMarkerItIs_data()
    {
        QTest::addColumn<int>("markerUser");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QRgb>("ring");
        QTest::addRow("own marker: yellow") << 7 << true << yellow;
        QTest::addRow("another's marker: cyan") << 8 << true << cyan;
        QTest::addRow("nothing selected: no ring") << 7 << false << QRgb(0);
    }
    void selectionRingColourTellsWhoseMarkerItIs()
    {
        QFETCH(int, markerUser);
        QFETCH(bool, select);
        QFETCH(QRgb, ring);
        Scene scene(filled(400, 300, grey), 400, 300);
        scene.setZoomStep(9); // ring radius 5 * 3.375 = 16.9
        auto marker = scene.addMarker(3, 200, 150, QStringLiteral("Door"), QStringLiteral("DM"), markerUser);
        if (select)
            scene.selected = marker;
        scene.paint();
        const int cx = scene.geometry.cx();
        const int cy = scene.geometry.cy();
        QCOMPARE(scene.count(yellow) > 0, ring == yellow);
        QCOMPARE(scene.count(cyan) > 0, ring == cyan);
        if (!select)
            return;
        // Two pixels wide, on the circle of radius 5z around the marker.
        QCOMPARE(scene.at(cx + 17, cy), ring);
        QCOMPARE(scene.at(cx - 17, cy), ring);
        QCOMPARE(scene.at(cx, cy + 17), ring);
    }

    void gridLinesBeyondThePictureStayUntilAClearingRepaint()
    {
        // A picture that fills only the left part of the view.
        Scene scene(filled(100, 80, grey), 300, 200);
        scene.geometry.hs = 60;
        scene.showGrid = true;
        scene.paint();
        const int pictureRight = halfEven(scene.geometry.pictureOrigin().x()) + 100;
        QList<int> linesBeyond;
        for (int x = pictureRight + 1; x < 300; ++x)
            if (scene.at(x, 190) == black)
                linesBeyond << x;
        QVERIFY(linesBeyond.size() > 3);

        // "Show Grid" unchecked: repainted without clearing.
        scene.showGrid = false;
        scene.paint();
        for (int x : linesBeyond)
            QCOMPARE(scene.at(x, 190), black);
        for (int x = halfEven(scene.geometry.pictureOrigin().x()); x < pictureRight; ++x)
            QCOMPARE(scene.at(x, 100), grey);

        scene.clear();
        scene.paint();
        for (int x : linesBeyond)
            QCOMPARE(scene.at(x, 190), white);
    }

    void nothingIsDrawnBeforeAMapIsLoaded()
    {
        Scene scene(filled(100, 80, grey), 300, 200);
        scene.state.mapLoaded = false;
        scene.showGrid = true;
        scene.addMarker(1, 50, 40, QStringLiteral("early"), QStringLiteral("net"));
        scene.canvas.fill(qRgb(1, 2, 3));
        scene.paint();
        QCOMPARE(scene.canvas, filled(300, 200, qRgb(1, 2, 3)));
    }

    void iconsAreDiscsInTheirHealthColour()
    {
        Scene scene(filled(400, 300, grey), 400, 300);
        scene.setZoomStep(6);
        // Badly hurt: olive.
        scene.addIcon(100, 150, 20, 40, 20);
        scene.paint();
        const int x = halfEven(scene.geometry.viewX(100));
        const int y = halfEven(scene.geometry.viewY(150));
        QCOMPARE(scene.at(x + 15, y), qRgb(128, 128, 0));
        QCOMPARE(scene.at(x - 15, y + 5), qRgb(128, 128, 0));
        QCOMPARE(scene.at(x + 20, y), black);
        QCOMPARE(scene.at(x - 20, y), black);
        QCOMPARE(scene.at(x + 22, y), grey);
        QCOMPARE(scene.at(x, y - 22), grey);
    }

    void recordsFarOutsideTheMapAreClippedWithoutHarm()
    {
        Scene scene(filled(400, 300, grey), 400, 300);
        scene.setZoomStep(11);
        scene.showGrid = true;
        scene.state.map10OffsetX = std::numeric_limits<std::int32_t>::max();
        scene.state.map10OffsetY = std::numeric_limits<std::int32_t>::min();
        scene.addMarker(1, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(),
                        QStringLiteral("far"), QStringLiteral("away"));
        scene.addIcon(200, 150, std::numeric_limits<std::int32_t>::max());
        scene.selected = scene.markers.find(1);
        scene.paint();
        // The enormous icon covers the whole view in its colour.
        QCOMPARE(scene.at(0, 0), qRgb(0, 255, 0));
        QCOMPARE(scene.at(399, 299), qRgb(0, 255, 0));
    }
};

QTEST_MAIN(TestMapRenderer)
#include "tst_maprenderer.moc"
