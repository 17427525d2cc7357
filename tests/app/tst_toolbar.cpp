#include "ScriptedQuestions.h"
#include "app/toolbar/frmToolbar.h"
#include "ui/Twips.h"

#include <QAction>
#include <QActionGroup>
#include <QPointer>
#include <QPushButton>
#include <QToolBar>
#include <QtTest/QTest>

using vellmar::app::frmToolbar;

namespace {

struct Fixture
{
    ScriptedQuestions questions;
    QPointer<frmToolbar> form = new frmToolbar(questions);

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

        const char *const table[][2] = {{"Objects", "Allows you to add, remove and position objects"},
                                        {"Markers", "Place or remove a marker"},
                                        {"", ""},
                                        {"Visible", "Set area as visible"},
                                        {"Visited", "Set area as visited (grayed)"},
                                        {"Unexplored", "Set area as unexplored (black)"}};
        for (int i = 1; i <= 6; ++i) {
            QCOMPARE(f.button(i)->text(), QString::fromLatin1(table[i - 1][0]));
            if (i != 3)
                QCOMPARE(f.button(i)->toolTip(), QString::fromLatin1(table[i - 1][1]));
            QVERIFY(!f.button(i)->isChecked());
            // Every button is on the palette, inside the window.
            QWidget *widget = f.form->Toolbar1->widgetForAction(f.button(i));
            QVERIFY(widget && widget->isVisible());
            QVERIFY(f.form->rect().contains(widget->mapTo(f.form.data(), widget->rect().bottomRight())));
        }
        QVERIFY(f.button(3)->isSeparator());
    }

    void eachClickNamesTheClickedTool()
    {
        Fixture f;
        f.click(1);
        QCOMPARE(f.questions.told, QStringList{QStringLiteral("Objects")});
        f.click(5);
        QCOMPARE(f.questions.told, (QStringList{QStringLiteral("Objects"), QStringLiteral("Visited")}));
        QVERIFY(!f.button(1)->isChecked());
        // Clicking the pressed tool releases it: nothing pressed, nothing said.
        f.click(5);
        QCOMPARE(f.questions.told.size(), 2);
        QVERIFY(!f.button(5)->isChecked());
    }

    void onePerPressedButtonInOrder()
    {
        Fixture f;
        f.form->findChild<QActionGroup *>()->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        f.button(6)->setChecked(true);
        f.button(2)->setChecked(true);
        f.form->Toolbar1_ButtonClick(f.button(6));
        QCOMPARE(f.questions.told, (QStringList{QStringLiteral("Markers"), QStringLiteral("Unexplored")}));
    }

    void closeAndReopenGivesAFreshPalette()
    {
        Fixture f;
        f.click(2);
        QTest::mouseClick(f.form->btnClose, Qt::LeftButton);
        QTRY_VERIFY(f.form.isNull());

        ScriptedQuestions questions;
        frmToolbar reopened(questions);
        for (QAction *button : reopened.Buttons)
            QVERIFY(!button->isChecked());
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
