#include "app/toolbar/frmToolbar.h"
#include "ui/Twips.h"

#include <QAction>
#include <QActionGroup>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolBar>
#include <QtTest/QTest>

using vellmar::app::frmToolbar;
using vellmar::tokens::PaletteTool;

namespace {

struct Fixture
{
    QPointer<frmToolbar> form = new frmToolbar;

    Fixture()
    {
        form->show();
        if (!QTest::qWaitForWindowExposed(form))
            qFatal("palette not exposed");
    }
    ~Fixture() { delete form; }

    QAction *button(int index) const { return form->Buttons.at(static_cast<std::size_t>(index - 1)); }
    void click(int index) const
    {
        QWidget *widget = form->Toolbar1->widgetForAction(button(index));
        QTest::mouseClick(widget, Qt::LeftButton);
    }
};

} // namespace

class TestToolbar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void paletteStartsWithItsToolsAndCloseButton()
    {
        Fixture f;
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Toolbar"));
        QCOMPARE(f.form->size(), QSize(83, 177));
        QVERIFY(f.form->findChild<QToolBar *>(QStringLiteral("Toolbar1")));
        auto *close = f.form->findChild<QPushButton *>(QStringLiteral("btnClose"));
        QCOMPARE(close->text(), QStringLiteral("Close"));
        QCOMPARE(close->geometry(), vellmar::ui::toPixels({120, 2160, 975, 375}));

        // The tools that act keep their captions and tips; the fog tools come later.
        const char *const table[][2] = {{"Objects", "Allows you to add, remove and position objects"},
                                        {"Markers", "Place or remove a marker"},
                                        {"Measure", "Drag on the map to measure a distance in grid cells"}};
        QCOMPARE(f.form->Toolbar1->actions().size(), frmToolbar::buttonCount);
        for (int i = 1; i <= frmToolbar::buttonCount; ++i) {
            QCOMPARE(f.button(i)->text(), QString::fromLatin1(table[i - 1][0]));
            QCOMPARE(f.button(i)->toolTip(), QString::fromLatin1(table[i - 1][1]));
            QVERIFY(!f.button(i)->isChecked());
            // Every button is on the palette, inside the window.
            QWidget *widget = f.form->Toolbar1->widgetForAction(f.button(i));
            QVERIFY(widget && widget->isVisible());
            QVERIFY(f.form->rect().contains(widget->mapTo(f.form.data(), widget->rect().bottomRight())));
        }
    }

    void eachClickChoosesTheClickedTool()
    {
        Fixture f;
        QSignalSpy chosen(f.form.data(), &frmToolbar::toolChosen);
        f.click(1);
        f.click(3);
        QVERIFY(!f.button(1)->isChecked());
        QCOMPARE(f.form->tool(), PaletteTool::Measure);
        // Clicking the pressed tool releases it: back to the plain pointer.
        f.click(3);
        QCOMPARE(f.form->tool(), PaletteTool::None);
        f.click(2);
        QCOMPARE(chosen.size(), 4);
        const PaletteTool expected[] = {PaletteTool::Objects, PaletteTool::Measure, PaletteTool::None,
                                        PaletteTool::Markers};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(chosen.at(i).at(0).value<PaletteTool>(), expected[i]);
    }

    void theMastersFogToolsComeAndGoWithoutMovingTheOthers()
    {
        Fixture f;
        QSignalSpy chosen(f.form.data(), &frmToolbar::toolChosen);
        f.form->showFogTools(true);
        QVERIFY(f.form->height() > 177);
        // Every fog control lies inside the window, none over another.
        QList<QRect> taken{f.form->btnClose->geometry(), f.form->BrushCells->geometry()};
        for (QAction *action : f.form->FogToolbar->actions()) {
            QWidget *widget = f.form->FogToolbar->widgetForAction(action);
            QVERIFY(widget && widget->isVisible());
            taken << QRect(widget->mapTo(f.form.data(), QPoint()), widget->size());
        }
        for (int i = 0; i < taken.size(); ++i) {
            QVERIFY(f.form->rect().contains(taken[i]));
            for (int j = i + 1; j < taken.size(); ++j)
                QVERIFY(!taken[i].intersects(taken[j]));
        }
        // A fog tool shares the one pressed tool with the others.
        QTest::mouseClick(f.form->FogToolbar->widgetForAction(f.form->FogButtons[4]), Qt::LeftButton);
        QCOMPARE(f.form->tool(), PaletteTool::FogRevealBrush);
        f.click(1);
        QVERIFY(!f.form->FogButtons[4]->isChecked());
        QTest::mouseClick(f.form->FogToolbar->widgetForAction(f.form->FogButtons[1]), Qt::LeftButton);
        QCOMPARE(f.form->tool(), PaletteTool::FogHideRect);
        // Taken away (the copy became a player) while pressed: the plain pointer.
        f.form->showFogTools(false);
        QCOMPARE(f.form->tool(), PaletteTool::None);
        QCOMPARE(chosen.last().at(0).value<PaletteTool>(), PaletteTool::None);
        QCOMPARE(f.form->size(), QSize(83, 177));
        QCOMPARE(f.form->btnClose->geometry(), vellmar::ui::toPixels({120, 2160, 975, 375}));
    }

    void closeAndReopenGivesAFreshPalette()
    {
        Fixture f;
        f.click(2);
        QTest::mouseClick(f.form->btnClose, Qt::LeftButton);
        QTRY_VERIFY(f.form.isNull());

        frmToolbar reopened;
        for (QAction *button : reopened.Buttons)
            QVERIFY(!button->isChecked());
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
