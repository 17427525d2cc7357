#include "app/layout/MainLayout.h"

#include <QSize>
#include <QtTest/QTest>

using vellmar::app::MainLayout;
using vellmar::ui::TwipRect;

namespace {

// A window of the start size with the menu bar's height on top.
constexpr int startWidth = MainLayout::clientWidth;
constexpr int startHeight = MainLayout::clientHeight + 300;

MainLayout laidOutAtStart()
{
    MainLayout layout;
    layout.start(startWidth, startHeight);
    layout.resize(startWidth, startHeight);
    return layout;
}

} // namespace

class TestMainLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstLayoutMovesOnlyTheGrip()
    {
        const MainLayout fresh;
        const MainLayout layout = laidOutAtStart();
        for (auto control : {&MainLayout::picture1, &MainLayout::frame1, &MainLayout::txtChat, &MainLayout::txtInput,
                             &MainLayout::vmapScroll, &MainLayout::hmapScroll})
            QCOMPARE(layout.*control, fresh.*control);
        // 80 right of and 45 below the map view's bottom-right corner; size kept.
        QCOMPARE(layout.btnResize, (TwipRect{120 + 4935 + 80, 120 + 4455 + 45, 135, 195}));
    }

    void widerAndTallerWindow()
    {
        MainLayout layout = laidOutAtStart();
        const auto size = layout.resize(startWidth + 1500, startHeight + 900);
        QCOMPARE(QSize(size.width, size.height), QSize(startWidth + 1500, startHeight + 900));
        QCOMPARE(layout.frame1.left, 5280 + 1500);
        QCOMPARE(layout.picture1, (TwipRect{120, 120, 4935 + 1500, 4455}));
        QCOMPARE(layout.vmapScroll.left, 5040 + 1500);
        QCOMPARE(layout.hmapScroll.width, 4935 + 1500);
        // All extra height goes to the chat pane; the input box moves down.
        QCOMPARE(layout.txtChat, (TwipRect{120, 4800, 7935 + 1500, 1575 + 900}));
        QCOMPARE(layout.txtInput, (TwipRect{120, 6435 + 900, 7935 + 1500, 330}));
        QCOMPARE(layout.btnResize.left, 120 + 4935 + 1500 + 80);
        QCOMPARE(QSize(layout.lastWidth(), layout.lastHeight()), QSize(startWidth + 1500, startHeight + 900));
    }

    void tooSmallWindowSnapsToTheMinimum()
    {
        MainLayout layout = laidOutAtStart();
        const int gripTop = layout.btnResize.top;
        const auto size = layout.resize(100, 100);
        QCOMPARE(QSize(size.width, size.height), QSize(2775 + 600, gripTop + 1820));
        // The layout followed the snapped size, not the requested one.
        QCOMPARE(QSize(layout.lastWidth(), layout.lastHeight()), QSize(size.width, size.height));
        QCOMPARE(layout.frame1.left, 5280 + (size.width - startWidth));
        QCOMPARE(layout.txtInput.top, 6435 + (size.height - startHeight));
        // Exactly at the minimum nothing snaps.
        const auto again = layout.resize(size.width, size.height);
        QCOMPARE(QSize(again.width, again.height), QSize(size.width, size.height));
    }

    void gripDragFollowsThePointerWithinLimits()
    {
        MainLayout layout = laidOutAtStart();
        const MainLayout before = layout;
        // Only the left button starts a drag.
        layout.pressGrip(Qt::RightButton, 90);
        QVERIFY(!layout.resizing());
        QVERIFY(!layout.moveGrip(400));
        QCOMPARE(layout.btnResize, before.btnResize);
        layout.pressGrip(Qt::LeftButton, 90);
        QVERIFY(layout.resizing());
        QVERIFY(layout.moveGrip(90 + 300));
        const int d = layout.btnResize.top - before.btnResize.top;
        QCOMPARE(d, 300);
        QCOMPARE(layout.picture1.height, before.picture1.height + d);
        QCOMPARE(layout.txtChat.top, before.txtChat.top + d);
        QCOMPARE(layout.txtChat.height, before.txtChat.height - d);
        QCOMPARE(layout.hmapScroll.top, before.hmapScroll.top + d);
        QCOMPARE(layout.vmapScroll.height, before.vmapScroll.height + d);
        QCOMPARE(QSize(layout.btnResize.width, layout.btnResize.height), QSize(135, 135));

        // Far down: stops 600 above the input box.
        layout.moveGrip(90 + 100000);
        QCOMPARE(layout.btnResize.top, layout.txtInput.top - 600);
        QCOMPARE(layout.picture1.bottom() + 45, layout.btnResize.top);
        // Far up: stops 45 above the side panel's bottom edge.
        layout.moveGrip(90 - 100000);
        QCOMPARE(layout.btnResize.top, layout.frame1.height - 45);
        QCOMPARE(layout.picture1.bottom() + 45, layout.btnResize.top);

        layout.releaseGrip();
        QVERIFY(!layout.resizing());
        const MainLayout released = layout;
        QVERIFY(!layout.moveGrip(5000));
        QCOMPARE(layout.btnResize, released.btnResize);
    }

    void upperLimitWinsWhenBothApply()
    {
        MainLayout layout = laidOutAtStart();
        layout.resize(0, 0); // as short as allowed
        // Push the input box up so that the lower limit lies above the upper one.
        layout.txtInput.top = layout.frame1.height;
        layout.pressGrip(Qt::LeftButton, 0);
        layout.moveGrip(500);
        QCOMPARE(layout.btnResize.top, layout.frame1.height - 45);
    }
};

QTEST_GUILESS_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
