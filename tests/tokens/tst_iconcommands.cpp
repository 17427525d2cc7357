#include "table/Table.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/IconDialogs.h"
#include "tokens/icons/IconEdits.h"
#include "tokens/icons/IconEntry.h"
#include "tokens/icons/InitiativeTracker.h"

#include <QtTest/QTest>

#include <limits>

using namespace vellmar;
using namespace vellmar::tokens;
using vellmar::table::CIcon;

namespace {

// Records what the commands open and roll.
class Recorder final : public IconDialogs, public InitiativeTracker
{
public:
    QStringList calls;
    void showPlaceIcon(std::int32_t, std::int32_t) override { calls << QStringLiteral("place"); }
    void showModifyIcon(std::int32_t, const IconEntry &) override { calls << QStringLiteral("modify"); }
    void AddRow(const QString &participant, std::int32_t initiative) override
    {
        calls << QStringLiteral("row %1 %2").arg(participant).arg(initiative);
    }
};

// The d20 always shows the same face.
class FixedFace final : public dice::UniformSource
{
public:
    explicit FixedFace(int face) : m_value((static_cast<float>(face) - 0.5f) / 20.0f) {}
    float next() override { return m_value; }

private:
    float m_value;
};

struct Fixture
{
    table::Table state;
    Recorder recorder;
    int repaints = 0;
    IconCommands commands;

    explicit Fixture(int face = 1)
        : commands(
            state, recorder, recorder, [this] { ++repaints; }, std::make_unique<FixedFace>(face))
    {}
    std::shared_ptr<CIcon> place(std::int32_t initiative = 15)
    {
        return addPlacedIcon(state, {QStringLiteral("Goblin"), 0, 7, 12, initiative}, 100, 200, state.ownPlayerID);
    }
};

} // namespace

class TestIconCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void staleOrLookalikeIconsAreLeftAlone()
    {
        Fixture f;
        const CIcon lookalike = *f.place(); // same id, but not the record kept in `icons`
        QVERIFY(!f.commands.ModifyIcon(nullptr));
        QVERIFY(!f.commands.ModifyIcon(&lookalike));
        QVERIFY(!f.commands.RemoveIcon(&lookalike));
        QVERIFY(!f.commands.RollInitiative(&lookalike));
        QVERIFY(f.recorder.calls.isEmpty());
        QCOMPARE(f.state.icons.size(), std::size_t(1));
        QCOMPARE(f.repaints, 0);
    }

    void removeRepaintsOnceAndNeverReusesTheId()
    {
        Fixture f;
        const auto first = f.place();
        const auto second = f.place();
        QVERIFY(f.commands.RemoveIcon(second.get()));
        QVERIFY(!f.commands.RemoveIcon(second.get()));
        QCOMPARE(f.repaints, 1);
        QCOMPARE(f.state.icons.records(), std::vector{first});
        QCOMPARE(f.place()->id, 3);
    }

    void rollAddsNameAndTotal_data()
    {
        QTest::addColumn<int>("face");
        QTest::addColumn<int>("initiative");
        QTest::addColumn<int>("total");
        constexpr int top = std::numeric_limits<int>::max();
        constexpr int bottom = std::numeric_limits<int>::min();
        QTest::newRow("lowest face") << 1 << 15 << 16;
        QTest::newRow("saturates") << 20 << top - 5 << top;
        QTest::newRow("most negative") << 1 << bottom << bottom + 1;
    }

    void rollAddsNameAndTotal()
    {
        QFETCH(int, face);
        QFETCH(int, initiative);
        QFETCH(int, total);
        Fixture f(face);
        QCOMPARE(f.commands.RollInitiative(f.place(initiative).get()), std::optional(total));
        QCOMPARE(f.recorder.calls, QStringList{QStringLiteral("row Goblin %1").arg(total)});
    }
};

QTEST_GUILESS_MAIN(TestIconCommands)
#include "tst_iconcommands.moc"
