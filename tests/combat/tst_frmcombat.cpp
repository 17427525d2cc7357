#include "ScriptedQuestions.h"
#include "combat/forms/frmCombat.h"
#include "ui/Twips.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include <algorithm>

using namespace vellmar;
using vellmar::combat::frmCombat;

namespace {

QRect pixels(int l, int t, int w, int h) { return ui::toPixels({l, t, w, h}); }

QStringList rows(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

struct Fixture
{
    ScriptedQuestions questions;
    frmCombat form{questions};

    Fixture()
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("combat window not exposed");
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void type(const QString &participant, const QString &initiative)
    {
        QTest::keyClicks(form.txtParticipant, participant);
        QTest::keyClicks(form.txtInitiative, initiative);
        click(form.btnAdd);
    }
    QStringList list() const { return rows(form.lstTurn); }
};

} // namespace

class TestFrmCombat : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controlsStartWithTheirCaptionsAndPlaces()
    {
        Fixture f;
        QCOMPARE(f.form.windowTitle(), QStringLiteral("Combat"));
        QCOMPARE(f.form.size(), QSize(240, 368));
        const struct
        {
            const char *name;
            const char *caption;
            QRect geometry;
        } buttons[] = {
            {"Command1", "Clear list (call for initiatives)", pixels(840, 0, 2055, 375)},
            {"btnCombat", "Start Combat", pixels(120, 360, 3375, 495)},
            {"btnMoveDown", "Move Down (Delay)", pixels(1680, 2880, 1695, 375)},
            {"btnTest", "Test", pixels(2040, 3600, 1335, 375)},
        };
        for (const auto &b : buttons) {
            auto *button = f.form.findChild<QPushButton *>(QString::fromLatin1(b.name));
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString::fromLatin1(b.caption));
            QCOMPARE(button->geometry(), b.geometry);
        }
        QVERIFY(f.form.btnCombat->font().bold());
        QCOMPARE(f.form.findChild<QListWidget *>(QStringLiteral("lstTurn"))->geometry(), pixels(120, 1200, 3375, 1620));
        QCOMPARE(f.form.findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("Initiative roll"));
        QCOMPARE(f.form.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), QStringLiteral("Aldric poisoned"));
        QCOMPARE(f.list(), QStringList());
        QCOMPARE(f.form.lblRound->text(), QStringLiteral("Round 1"));
    }

    void testRowsWithSecondRowMarked()
    {
        Fixture f;
        f.click(f.form.btnTest);
        QCOMPARE(f.list(),
                 (QStringList{QStringLiteral("Aldric\t15"), QStringLiteral(">>Brenna\t1<<"), QStringLiteral("Cador"),
                              QStringLiteral("Dunmore"), QStringLiteral("Elsbeth"), QStringLiteral("Fennick")}));
    }

    void secondColumnLinesUpUnderItsHeading()
    {
        Fixture f;
        f.type(QStringLiteral("A"), QStringLiteral("88"));
        QListWidget *list = f.form.lstTurn;
        const QImage image = list->grab().toImage();
        const QRect row = list->visualItemRect(list->item(0)).translated(list->viewport()->pos());
        // Columns (in list pixels) where the row has ink.
        QList<int> inked;
        const QRgb background = image.pixel(row.right() - 1, row.center().y());
        for (int x = row.left(); x <= row.right(); ++x) {
            for (int y = row.top(); y <= row.bottom(); ++y) {
                if (image.pixel(x, y) != background) {
                    inked << x;
                    break;
                }
            }
        }
        QVERIFY(!inked.isEmpty());
        const int column = f.form.Label4->x() - list->x();
        // "A" near the left edge, "88" starting under the heading, nothing between.
        QVERIFY(inked.first() < 15);
        const auto second = std::find_if(inked.begin(), inked.end(), [](int x) { return x >= 20; });
        QVERIFY(second != inked.end());
        QVERIFY2(*second >= column && *second <= column + 3, qPrintable(QString::number(*second)));
    }

    void nextMarksRowsAndAnnouncesNewRound()
    {
        Fixture f;
        f.type(QStringLiteral("A"), QStringLiteral("3"));
        f.type(QStringLiteral("B"), QString());
        f.type(QStringLiteral("C"), QStringLiteral("9"));
        QCOMPARE(f.list(), (QStringList{QStringLiteral("A\t3"), QStringLiteral("B"), QStringLiteral("C\t9")}));
        QVERIFY(f.form.txtParticipant->text().isEmpty());

        f.click(f.form.btnNext);
        QCOMPARE(f.list().at(1), QStringLiteral(">>B<<"));
        f.click(f.form.btnNext);
        QCOMPARE(f.list(), (QStringList{QStringLiteral("A\t3"), QStringLiteral("B"), QStringLiteral(">>C\t9<<")}));
        QVERIFY(f.questions.told.isEmpty());
        f.click(f.form.btnNext);
        QCOMPARE(f.questions.told, QStringList{QStringLiteral("New round")});
        QCOMPARE(f.list(), (QStringList{QStringLiteral(">>A\t3<<"), QStringLiteral("B"), QStringLiteral("C\t9")}));
        QCOMPARE(f.form.lblRound->text(), QStringLiteral("Round 2"));
    }

    void moveDownAndStartCombat()
    {
        Fixture f;
        for (const char *name : {"A", "B", "C", "D"})
            f.type(QString::fromLatin1(name), QString());
        f.click(f.form.btnNext);
        f.click(f.form.btnMoveDown);
        QCOMPARE(f.list(),
                 (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral(">>B<<"), QStringLiteral("D")}));
        QCOMPARE(f.form.turnOrder().currentTurn(), 1);

        f.form.AddRow(QStringLiteral("Ogre"), 17);
        f.click(f.form.btnCombat);
        QCOMPARE(f.list(), (QStringList{QStringLiteral(">>Ogre\t17<<"), QStringLiteral("A"), QStringLiteral("C"),
                                        QStringLiteral("B"), QStringLiteral("D")}));
        QCOMPARE(f.form.lblRound->text(), QStringLiteral("Round 1"));

        f.click(f.form.Command1);
        QCOMPARE(f.list(), QStringList());
    }

    void emptyListAndBadEntriesDoNoHarm()
    {
        Fixture f;
        f.click(f.form.btnNext);
        f.click(f.form.btnMoveDown);
        f.click(f.form.btnCombat);
        f.click(f.form.btnAdd);
        QCOMPARE(f.list(), QStringList());
        QVERIFY(f.questions.told.isEmpty());

        f.type(QStringLiteral("Dragon"), QStringLiteral("9e99"));
        QCOMPARE(f.questions.told, QStringList{QStringLiteral(
                                       "The initiative roll must be a whole number from -2147483648 to 2147483647.")});
        QCOMPARE(f.list(), QStringList());
        // What was typed stays for correction; Enter adds it.
        QCOMPARE(f.form.txtParticipant->text(), QStringLiteral("Dragon"));
        f.form.txtInitiative->setText(QStringLiteral("20"));
        QTest::keyClick(f.form.txtInitiative, Qt::Key_Return);
        QCOMPARE(f.list(), QStringList{QStringLiteral("Dragon\t20")});
    }
};

QTEST_MAIN(TestFrmCombat)
#include "tst_frmcombat.moc"
