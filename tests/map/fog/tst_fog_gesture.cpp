// The master's fog gestures: what a drag makes is one step a copy accepts.

#include "map/fog/FogGesture.h"
#include "map/fog/FogMask.h"

#include <QtTest/QTest>

using namespace vellmar::map::fog;

class TestFogGesture : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aLongWanderingStrokeIsOneStepThatKeepsItsEnds()
    {
        FogGesture gesture;
        const auto dab = gesture.press(FogKind::brush, FogMode::reveal, {10, 10}, 24);
        QVERIFY(dab && dab->points.size() == 1);
        int stretches = 0;
        QPoint at(10, 10);
        for (int i = 1; i <= 1500; ++i) {
            at = QPoint(10 + i * 3, 10 + (i % 40) * 7); // a zig-zag far longer than one step holds
            stretches += gesture.move(at) ? 1 : 0;
        }
        QCOMPARE(stretches, 1500);
        const auto step = gesture.release(at);
        QVERIFY(step);
        QVERIFY(!vellmar::session::fogStepProblem(*step));
        QCOMPARE(step->diameter, 24);
        QCOMPARE(step->points.front(), QPoint(10, 10));
        QCOMPARE(step->points.back(), at);
        QVERIFY(!gesture.held());
        // The thinned stroke still paints both ends of the path.
        FogMask mask(QSize(5000, 400));
        mask.apply(wholeMap(FogMode::hide));
        mask.apply(*step);
        QVERIFY(!mask.hides(QPointF(at)) && !mask.hides(QPointF(10, 10)));
    }

    void clicksWithoutAShapeMakeNoStep()
    {
        FogGesture gesture;
        gesture.press(FogKind::rect, FogMode::hide, {50, 50}, 1);
        QVERIFY(!gesture.release({50, 90})); // no width
        gesture.press(FogKind::polygon, FogMode::hide, {50, 50}, 1);
        gesture.move({80, 80});
        QVERIFY(!gesture.release({80, 80})); // two corners
        gesture.press(FogKind::rect, FogMode::hide, {90, 70}, 1);
        const auto step = gesture.release({50, 20});
        QVERIFY(step && !vellmar::session::fogStepProblem(*step));
        QCOMPARE(step->kind, FogKind::rect);
    }
};

QTEST_GUILESS_MAIN(TestFogGesture)
#include "tst_fog_gesture.moc"
