#include "app/state/SharedState.h"
#include "dice/UniformSource.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/IconDialogs.h"
#include "tokens/icons/IconEdits.h"
#include "tokens/icons/IconEntry.h"
#include "tokens/icons/InitiativeTracker.h"

#include <QtTest/QTest>

#include <limits>
#include <vector>

using namespace vellmar;
using namespace vellmar::tokens;

namespace {

struct OpenedDialog
{
    QString kind;
    std::int32_t a = 0; // map x, or the icon id
    std::int32_t b = 0; // map y
    IconEntry entry;
};

class RecordingDialogs final : public IconDialogs
{
public:
    std::vector<OpenedDialog> opened;
    void showPlaceIcon(std::int32_t mapX, std::int32_t mapY) override
    {
        opened.push_back({QStringLiteral("place"), mapX, mapY, {}});
    }
    void showModifyIcon(std::int32_t id, const IconEntry &entry) override
    {
        opened.push_back({QStringLiteral("modify"), id, 0, entry});
    }
};

class RecordingTracker final : public InitiativeTracker
{
public:
    QStringList rows;
    void AddRow(const QString &participant, std::int32_t initiative) override
    {
        rows << participant + u'=' + QString::number(initiative);
    }
};

// Hands out one uniform number again and again: the d20 always shows `face`.
class FixedFace final : public dice::UniformSource
{
public:
    explicit FixedFace(int face) : m_value((static_cast<float>(face) - 0.5f) / 20.0f) {}
    float next() override { return m_value; }

private:
    float m_value;
};

IconValues goblin() { return {QStringLiteral("Goblin"), 0, 7, 12, 15}; }

struct Fixture
{
    app::SharedState state;
    RecordingDialogs dialogs;
    RecordingTracker tracker;
    int repaints = 0;
    IconCommands commands;

    explicit Fixture(int face = 1)
        : commands(
            state, dialogs, tracker, [this] { ++repaints; }, std::make_unique<FixedFace>(face))
    {}
    std::shared_ptr<CIcon> place(const IconValues &values = goblin()) { return addPlacedIcon(state, values, 100, 200); }
};

} // namespace

class TestIconCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placedIconIsCompleteAndLast()
    {
        Fixture f;
        f.state.ownPlayerID = 4711;
        f.place({QStringLiteral("Orc"), 1, 2, 3, 4});
        const auto icon = addPlacedIcon(f.state, goblin(), 300, -20);
        QVERIFY(icon);
        QCOMPARE(f.state.icons.records().back(), icon);
        QCOMPARE(f.state.icons.find(QStringLiteral("2")), icon);
        QCOMPARE(std::tuple(icon->name, icon->damage, icon->maxHealth, icon->size, icon->initiative),
                 std::tuple(QStringLiteral("Goblin"), std::int16_t(0), std::int16_t(7), 12, 15));
        QCOMPARE(std::tuple(icon->mapX, icon->mapY, icon->id, icon->UserID), std::tuple(300, -20, 2, 4711));
        QCOMPARE(f.state.NextIconID(), 3);
    }

    void rewriteTouchesOnlyTheFiveFields()
    {
        Fixture f;
        f.state.ownPlayerID = 9;
        const auto icon = f.place();
        const IconValues changed{QStringLiteral("Goblin boss;"), -3, 32767, 0, -2147483647 - 1};
        QVERIFY(rewriteIcon(f.state.icons, icon->id, changed));
        QCOMPARE(readEntry(entryOf(*icon)).values, std::optional(changed));
        QCOMPARE(std::tuple(icon->mapX, icon->mapY, icon->id, icon->UserID), std::tuple(100, 200, 1, 9));
        QVERIFY(!rewriteIcon(f.state.icons, 2, changed));
    }

    void dialogsOpenWithPositionOrIcon()
    {
        Fixture f;
        f.commands.PlaceIcon(-5, 640);
        const auto icon = f.place();
        QVERIFY(f.commands.ModifyIcon(icon.get()));
        QCOMPARE(f.dialogs.opened.size(), std::size_t(2));
        QCOMPARE(f.dialogs.opened[0].kind, QStringLiteral("place"));
        QCOMPARE(std::pair(f.dialogs.opened[0].a, f.dialogs.opened[0].b), std::pair(-5, 640));
        QCOMPARE(f.dialogs.opened[1].kind, QStringLiteral("modify"));
        QCOMPARE(f.dialogs.opened[1].a, icon->id);
        QCOMPARE(f.dialogs.opened[1].entry,
                 (IconEntry{QStringLiteral("Goblin"), QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("12"),
                            QStringLiteral("15")}));
        QVERIFY(f.state.icons.size() == 1); // opening adds nothing
    }

    void staleOrForeignIconsAreLeftAlone()
    {
        Fixture f;
        const auto kept = f.place();
        const CIcon lookalike = *kept; // same id, but not the record in `icons`
        QVERIFY(!f.commands.ModifyIcon(nullptr));
        QVERIFY(!f.commands.ModifyIcon(&lookalike));
        QVERIFY(!f.commands.RemoveIcon(&lookalike));
        QVERIFY(!f.commands.RollInitiative(&lookalike));
        QVERIFY(f.dialogs.opened.empty());
        QVERIFY(f.tracker.rows.isEmpty());
        QCOMPARE(f.state.icons.size(), std::size_t(1));
        QCOMPARE(f.repaints, 0);
    }

    void removeRepaintsAndNeverReusesTheId()
    {
        Fixture f;
        const auto first = f.place();
        const auto second = f.place();
        QVERIFY(f.commands.RemoveIcon(second.get()));
        QCOMPARE(f.repaints, 1);
        QVERIFY(!f.state.icons.contains(QStringLiteral("2")));
        QVERIFY(!f.commands.RemoveIcon(second.get()));
        QCOMPARE(f.repaints, 1);
        QCOMPARE(f.place()->id, 3);
        QCOMPARE(f.state.icons.records().front(), first);
    }

    void rollAddsNameAndTotal_data()
    {
        QTest::addColumn<int>("face");
        QTest::addColumn<int>("initiative");
        QTest::addColumn<int>("total");
        QTest::newRow("lowest face") << 1 << 15 << 16;
        QTest::newRow("highest face") << 20 << -3 << 17;
        QTest::newRow("saturates high") << 20 << std::numeric_limits<int>::max() - 5 << std::numeric_limits<int>::max();
        QTest::newRow("most negative") << 1 << std::numeric_limits<int>::min() << std::numeric_limits<int>::min() + 1;
    }

    void rollAddsNameAndTotal()
    {
        QFETCH(int, face);
        QFETCH(int, initiative);
        QFETCH(int, total);
        Fixture f(face);
        IconValues values = goblin();
        values.initiative = initiative;
        const auto icon = f.place(values);
        QCOMPARE(f.commands.RollInitiative(icon.get()), std::optional(total));
        QCOMPARE(f.tracker.rows, QStringList{QStringLiteral("Goblin=") + QString::number(total)});
    }
};

QTEST_GUILESS_MAIN(TestIconCommands)
#include "tst_iconcommands.moc"
