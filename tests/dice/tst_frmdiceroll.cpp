#include "ScriptedQuestions.h"
#include "ScriptedSource.h"
#include "app/MainWindowApi.h"
#include "app/layout/Twips.h"
#include "app/state/SharedState.h"
#include "dice/forms/frmDiceRoll.h"
#include "session/protocol/Messages.h"

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

class FakeMainWindow final : public app::MainWindowApi
{
public:
    QStringList displayed;
    void Display(const QString &p_Text) override { displayed << p_Text; }
    void RestoreWindow(QWidget &) override {}
};

class RecordingSender final : public session::MessageSender
{
public:
    QList<std::pair<std::int32_t, session::AppMessage>> sent;
    bool accept = true;
    bool send(std::int32_t to, const session::AppMessage &message) override
    {
        sent.append({to, message});
        return accept;
    }
};

QRect pixels(int l, int t, int w, int h) { return app::toPixels({l, t, w, h}); }

// One dice window with everything it talks to, shown offscreen.
struct Fixture
{
    app::SharedState state;
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
        form = std::make_unique<frmDiceRoll>(state, mainWindow, questions, nullptr, std::move(scripted));
        form->show();
    }
    void joinAsPlayer()
    {
        state.inSession = true;
        state.isMaster = false;
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
    void controlsAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("d4") << QStringLiteral("btn4") << QStringLiteral("d4") << pixels(720, 240, 735, 495);
        QTest::newRow("d8") << QStringLiteral("btn8") << QStringLiteral("d8") << pixels(720, 1440, 735, 495);
        QTest::newRow("d12") << QStringLiteral("btn12") << QStringLiteral("d12") << pixels(2160, 840, 735, 495);
        QTest::newRow("ROLL") << QStringLiteral("btnRoll") << QStringLiteral("ROLL") << pixels(3000, 240, 1335, 1695);
        QTest::newRow("quick") << QStringLiteral("btnQuickRoll20") << QStringLiteral("Quick roll 20")
                               << pixels(1080, 2040, 2295, 495);
        QTest::newRow("row 4") << QStringLiteral("btnRollIt(4)") << QStringLiteral("Roll it")
                               << pixels(3240, 240 + 2400, 855, 495);
    }
    void controlsAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        Fixture f;
        auto *button = f.child<QPushButton>(name);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->geometry(), geometry);
    }

    void freshWindow()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Dice Rolls"));
        QCOMPARE(f.form->size(), QSize(301, 496));
        QCOMPARE(f.child<QGroupBox>(QStringLiteral("Frame1"))->title(), QStringLiteral("Special 20's"));
        QCOMPARE(f.child<QGroupBox>(QStringLiteral("Frame1"))->geometry(), pixels(120, 4080, 4335, 3255));
        QCOMPARE(f.child<QLineEdit>(QStringLiteral("txtMod(2)"))->geometry(), pixels(2520, 1680, 495, 285));
        QCOMPARE(f.child<QLineEdit>(QStringLiteral("txt10"))->geometry(), pixels(1680, 240, 375, 375));
        QCOMPARE(f.child<QLabel>(QStringLiteral("LabelDesc(0)"))->text(), QStringLiteral("Description"));
        QCOMPARE(f.child<QLabel>(QStringLiteral("LabelMod(3)"))->text(), QStringLiteral("Mod"));
        QVERIFY(f.child<QLineEdit>(QStringLiteral("txt4"))->isReadOnly());
        QVERIFY(f.form->txtRolls->isReadOnly());
        QVERIFY(f.form->btnRoll->font().bold());
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

        // The next roll goes on its own line at the end, and the view follows it.
        f.click(QStringLiteral("btn12"));
        f.source->addFaces(12, {12});
        f.click(QStringLiteral("btnRoll"));
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [2d4 + 1d20 (3+1+17)] = 21\nRoll: [1d12 (12)] = 12"));
        QVERIFY(f.form->txtRolls->textCursor().atEnd());
        // Offline nothing leaves the window.
        QVERIFY(f.sender.sent.isEmpty());
        QVERIFY(f.mainWindow.displayed.isEmpty());
    }

    void quickRollDropsCollectedDice()
    {
        Fixture f;
        f.click(QStringLiteral("btn4"));
        f.click(QStringLiteral("btn20"));
        f.source->addFaces(20, {9});
        f.click(QStringLiteral("btnQuickRoll20"));
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [1d20 (9)] = 9"));
        QCOMPARE(f.counts(), noCounts);
        QVERIFY(!f.form->btnRoll->isEnabled());
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
        // Empty row: ignored without a word.
        f.click(QStringLiteral("btnRollIt(0)"));
        f.fillRow(1, QString(), QStringLiteral("none"));
        f.click(QStringLiteral("btnRollIt(1)"));
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

    void playerInSessionAnnounces()
    {
        Fixture f;
        f.joinAsPlayer();
        f.fillRow(0, QStringLiteral("Stealth"), QStringLiteral("4"));
        f.source->addFaces(20, {12});
        f.click(QStringLiteral("btnRollIt(0)"));
        const QString text = QStringLiteral("(Stealth)[1d20 (12)+4] = 16");
        QCOMPARE(f.log(), u"\nRoll: " + text);
        QCOMPARE(f.sender.sent.size(), 1);
        QCOMPARE(f.sender.sent[0].first, 0);
        QCOMPARE(f.sender.sent[0].second.type, std::int32_t{session::MSG_DICE_ROLL});
        QCOMPARE(f.sender.sent[0].second.payload, text);
        QCOMPARE(f.mainWindow.displayed, QStringList{u"Scout rolls " + text});
    }

    void masterAndOfflineRollsStayInTheLog_data()
    {
        QTest::addColumn<bool>("inSession");
        QTest::newRow("master hosting") << true;
        QTest::newRow("offline") << false;
    }
    void masterAndOfflineRollsStayInTheLog()
    {
        QFETCH(bool, inSession);
        Fixture f;
        f.state.inSession = inSession;
        f.state.isMaster = true;
        f.source->addFaces(20, {20});
        f.click(QStringLiteral("btnQuickRoll20"));
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [1d20 (20)] = 20"));
        QVERIFY(f.sender.sent.isEmpty());
        QVERIFY(f.mainWindow.displayed.isEmpty());
    }

    void failedSendKeepsTheRollAndSaysSo()
    {
        Fixture f;
        f.joinAsPlayer();
        f.sender.accept = false;
        f.source->addFaces(20, {7});
        f.click(QStringLiteral("btnQuickRoll20"));
        QCOMPARE(f.log(), QStringLiteral("\nRoll: [1d20 (7)] = 7"));
        QCOMPARE(f.sender.sent.size(), 1);
        QCOMPARE(f.mainWindow.displayed,
                 (QStringList{QStringLiteral("*ERROR* - the roll could not be sent to the other players"),
                              QStringLiteral("Scout rolls [1d20 (7)] = 7")}));
        QVERIFY(!f.form->btnRoll->isEnabled());
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

        // A new window starts empty and rolls with a clock-seeded generator.
        frmDiceRoll reopened(f.state, f.mainWindow, f.questions);
        QCOMPARE(reopened.txtRolls->toPlainText(), QString());
        QCOMPARE(reopened.txtDescription[0]->text(), QString());
        for (int i = 0; i < 200; ++i) {
            const float face = reopened.Random(20);
            QVERIFY(face >= 1.0f && face <= 20.0f);
        }
    }
};

QTEST_MAIN(TestFrmDiceRoll)
#include "tst_frmdiceroll.moc"
