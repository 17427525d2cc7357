#include "RecordingSender.h"
#include "ScriptedQuestions.h"
#include "ScriptedSource.h"
#include "dice/forms/frmDiceRoll.h"
#include "session/protocol/Messages.h"
#include "table/Table.h"
#include "ui/MainWindowApi.h"
#include "ui/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>

#include <memory>

using namespace vellmar;
using vellmar::dice::frmDiceRoll;

namespace {

class FakeMainWindow final : public ui::MainWindowApi
{
public:
    QStringList displayed;
    void Display(const QString &p_Text) override { displayed << p_Text; }
    void RestoreWindow(QWidget &) override {}
};

QRect pixels(int l, int t, int w, int h) { return ui::toPixels({l, t, w, h}); }

// One dice window with everything it talks to, shown offscreen.
struct Fixture
{
    table::Table state;
    FakeMainWindow mainWindow;
    ScriptedQuestions questions;
    RecordingSender sender;
    ScriptedSource *source = nullptr; // owned by the form
    std::unique_ptr<frmDiceRoll> form;

    Fixture()
    {
        state.userName = QStringLiteral("Scout");
        state.sender = &sender;
        auto scripted = std::make_unique<ScriptedSource>();
        source = scripted.get();
        form = std::make_unique<frmDiceRoll>(state.identity(), state.outbox(), mainWindow, questions, nullptr,
                                             std::move(scripted));
        form->show();
    }
    template <typename W>
    W *child(const QString &name) const
    {
        auto *w = form->findChild<W *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    QString log() const { return form->txtRolls->toPlainText(); }
    QStringList counts() const
    {
        QStringList texts;
        for (const char *name : {"txt4", "txt6", "txt8", "txt10", "txt12", "txt20"})
            texts << child<QLineEdit>(QString::fromLatin1(name))->text();
        return texts;
    }
    void fillRow(int row, const QString &description, const QString &modifier)
    {
        child<QLineEdit>(QStringLiteral("txtDescription(%1)").arg(row))->setText(description);
        child<QLineEdit>(QStringLiteral("txtMod(%1)").arg(row))->setText(modifier);
    }
};

const QStringList noCounts{QString(), QString(), QString(), QString(), QString(), QString()};

} // namespace

class TestFrmDiceRoll : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void freshWindowAndCollecting()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Dice Rolls"));
        QCOMPARE(f.form->size(), QSize(301, 496));
        QCOMPARE(f.child<QPushButton>(QStringLiteral("btn12"))->geometry(), pixels(2160, 840, 735, 495));
        QCOMPARE(f.child<QPushButton>(QStringLiteral("btnRoll"))->geometry(), pixels(3000, 240, 1335, 1695));
        QCOMPARE(f.child<QPushButton>(QStringLiteral("btnQuickRoll20"))->text(), QStringLiteral("Quick roll 20"));
        QCOMPARE(f.child<QLineEdit>(QStringLiteral("txt10"))->geometry(), pixels(1680, 240, 375, 375));
        QCOMPARE(f.child<QGroupBox>(QStringLiteral("Frame1"))->title(), QStringLiteral("Special 20's"));
        // Prepared rows are placed inside the frame, 600 twips apart.
        QCOMPARE(f.child<QLineEdit>(QStringLiteral("txtMod(2)"))->geometry(), pixels(2520, 1680, 495, 285));
        QCOMPARE(f.child<QPushButton>(QStringLiteral("btnRollIt(4)"))->geometry(), pixels(3240, 2640, 855, 495));
        QCOMPARE(f.child<QLabel>(QStringLiteral("LabelDesc(0)"))->text(), QStringLiteral("Description"));
        QVERIFY(f.child<QLineEdit>(QStringLiteral("txt4"))->isReadOnly());
        QVERIFY(f.form->txtRolls->isReadOnly());
        QCOMPARE(f.counts(), noCounts);
        QVERIFY(!f.form->btnRoll->isEnabled());

        for (int i = 0; i < 3; ++i)
            f.click(QStringLiteral("btn6"));
        QCOMPARE(f.child<QLineEdit>(QStringLiteral("txt6"))->text(), QStringLiteral("3"));
        QVERIFY(f.form->btnRoll->isEnabled());
    }

    void rollingCollectedDice()
    {
        Fixture f;
        f.click(QStringLiteral("btn20"));
        f.click(QStringLiteral("btn4"));
        f.click(QStringLiteral("btn4"));
        f.source->addFaces(4, {3, 1});
        f.source->addFaces(20, {17});
        f.click(QStringLiteral("btnRoll"));
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [2d4 + 1d20 (3+1+17)] = 21"));
        QVERIFY(!f.form->btnRoll->isEnabled());
        QCOMPARE(f.counts(), noCounts);

        // "Quick roll 20" drops what was collected; its line goes last and the view follows.
        f.click(QStringLiteral("btn12"));
        f.source->addFaces(20, {9});
        f.click(QStringLiteral("btnQuickRoll20"));
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [2d4 + 1d20 (3+1+17)] = 21\nRoll: [1d20 (9)] = 9"));
        QVERIFY(f.form->txtRolls->textCursor().atEnd());
        QCOMPARE(f.counts(), noCounts);
    }

    void preparedRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("modifier");
        QTest::addColumn<QString>("expected");
        QTest::newRow("description and modifier")
            << 0 << QStringLiteral("Stealth") << QStringLiteral("4") << QStringLiteral("(Stealth)[1d20 (12)+4] = 16");
        QTest::newRow("description only")
            << 1 << QStringLiteral("Spot") << QString() << QStringLiteral("(Spot)[1d20 (12)] = 12");
        QTest::newRow("modifier only") << 2 << QString() << QStringLiteral("3") << QStringLiteral("[1d20 (12)+3] = 15");
        QTest::newRow("negative") << 3 << QString() << QStringLiteral("-2") << QStringLiteral("[1d20 (12)+-2] = 10");
        QTest::newRow("2.5 is 2") << 4 << QString() << QStringLiteral("2.5") << QStringLiteral("[1d20 (12)+2] = 14");
        QTest::newRow("3.5 is 4") << 4 << QString() << QStringLiteral("3.5") << QStringLiteral("[1d20 (12)+4] = 16");
    }
    void preparedRows()
    {
        QFETCH(int, row);
        QFETCH(QString, description);
        QFETCH(QString, modifier);
        QFETCH(QString, expected);
        Fixture f;
        f.click(QStringLiteral("btn8")); // collected dice are dropped by a prepared roll
        f.fillRow(row, description, modifier);
        f.source->addFaces(20, {12});
        f.click(QStringLiteral("btnRollIt(%1)").arg(row));
        QCOMPARE(f.log(), u"\nRoll: " + expected);
        QCOMPARE(f.counts(), noCounts);
        QVERIFY(!f.form->btnRoll->isEnabled());
    }

    void preparedRowsThatDoNotRoll()
    {
        Fixture f;
        f.click(QStringLiteral("btn8"));
        f.click(QStringLiteral("btnRollIt(0)")); // empty row: ignored without a word
        QVERIFY(f.questions.told.isEmpty());
        // A modifier beyond 16 bits is refused and nothing else changes.
        f.fillRow(2, QStringLiteral("Smash"), QStringLiteral("40000"));
        f.click(QStringLiteral("btnRollIt(2)"));
        QCOMPARE(f.questions.told,
                 QStringList{QStringLiteral("The modifier must be a whole number from -32768 to 32767.")});
        QCOMPARE(f.log(), QString());
        QCOMPARE(f.child<QLineEdit>(QStringLiteral("txt8"))->text(), QStringLiteral("1"));
        QVERIFY(f.form->btnRoll->isEnabled());
    }

    void announcement_data()
    {
        QTest::addColumn<bool>("inSession");
        QTest::addColumn<bool>("isMaster");
        QTest::addColumn<bool>("sendWorks");
        QTest::addColumn<int>("sends");
        QTest::addColumn<QStringList>("displayed");
        const QString echo = QStringLiteral("Scout rolls [1d20 (7)] = 7");
        QTest::newRow("player") << true << false << true << 1 << QStringList{echo};
        QTest::newRow("master hosting") << true << true << true << 0 << QStringList{};
        QTest::newRow("offline") << false << true << true << 0 << QStringList{};
        QTest::newRow("send fails") << true << false << false << 1
                                    << QStringList{
                                           QStringLiteral("*ERROR* - the roll could not be sent to the other players"),
                                           echo};
    }
    void announcement()
    {
        QFETCH(bool, inSession);
        QFETCH(bool, isMaster);
        QFETCH(bool, sendWorks);
        QFETCH(int, sends);
        QFETCH(QStringList, displayed);
        Fixture f;
        f.state.inSession = inSession;
        f.state.isMaster = isMaster;
        f.sender.accept = sendWorks;
        f.source->addFaces(20, {7});
        f.click(QStringLiteral("btnQuickRoll20"));
        // The log has the roll in every case.
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [1d20 (7)] = 7"));
        QCOMPARE(f.sender.sent.size(), sends);
        if (sends) {
            QCOMPARE(f.sender.sent[0].first, 0);
            QCOMPARE(f.sender.sent[0].second.type, std::int32_t{session::MSG_DICE_ROLL});
            QCOMPARE(f.sender.sent[0].second.payload, QStringLiteral("[1d20 (7)] = 7"));
        }
        QCOMPARE(f.mainWindow.displayed, displayed);
    }

    void closingDiscardsTheWindow()
    {
        Fixture f;
        f.fillRow(0, QStringLiteral("Spot"), QString());
        f.source->addFaces(20, {5});
        f.click(QStringLiteral("btnRollIt(0)"));
        QPointer<frmDiceRoll> closed = f.form.release();
        closed->close();
        QTRY_VERIFY(closed.isNull());

        // A new window starts empty and rolls with its own clock-seeded generator.
        frmDiceRoll reopened(f.state.identity(), f.state.outbox(), f.mainWindow, f.questions);
        QCOMPARE(reopened.txtRolls->toPlainText(), QString());
        QCOMPARE(reopened.txtDescription[0]->text(), QString());
        const float face = reopened.Random(20);
        QVERIFY(face >= 1.0f && face <= 20.0f);
    }
};

QTEST_MAIN(TestFrmDiceRoll)
#include "tst_frmdiceroll.moc"
