#include "../saving/TableSamples.h"
#include "ScriptedQuestions.h"
#include "SessionParticipants.h"
#include "app/forms/TableFiles.h"
#include "app/forms/frmMain.h"
#include "combat/forms/frmCombat.h"
#include "saving/Autosaver.h"
#include "saving/TableFileChooser.h"
#include "saving/TableState.h"
#include "session/transport/SessionTransport.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>

using namespace vellmar;
using app::frmMain;

namespace {

const frmMain::TransportFactory noSession = [](core::Questions &) {
    return std::unique_ptr<session::SessionTransport>();
};

class ScriptedChooser final : public saving::TableFileChooser
{
public:
    QString &next;
    explicit ScriptedChooser(QString &path) : next(path) {}
    std::optional<SaveChoice> chooseSaveFile(const QString &) override { return SaveChoice{next, false}; }
    std::optional<QString> chooseOpenFile(const QString &) override { return next; }
};

struct Window
{
    ScriptedQuestions questions;
    frmMain w{questions, noSession};
    QString chosen;

    Window() { w.tableFiles().setChooser(std::make_unique<ScriptedChooser>(chosen)); }
    saving::TableContent content() { return saving::contentOf(w.state().records(), w.turnOrder()); }
    void fill(int markers, int icons)
    {
        const saving::TableContent sample = testing::sampleTable(markers, icons);
        for (const auto &marker : sample.markers)
            w.state().markers.add(std::make_shared<table::CMarker>(marker));
        for (const auto &icon : sample.icons)
            w.state().icons.add(std::make_shared<table::CIcon>(icon));
    }
    combat::frmCombat *combat()
    {
        w.btnCombat->click();
        return w.findChild<combat::frmCombat *>();
    }
};

} // namespace

class TestTableFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    app::Storage storage(const QString &name) const
    {
        const QString root = m_dir.filePath(name);
        return {root + u"/settings.ini", root + u"/autosave", root + u"/pictures"};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
    }

    void theFileMenuHoldsTheTableCommandsAndAFirstStartAsksNothing()
    {
        Window f;
        QStringList captions;
        for (const QAction *action : f.w.mnuFile->actions())
            captions << action->text();
        QCOMPARE(captions, (QStringList{QStringLiteral("Save Table..."), QStringLiteral("Save Table"),
                                        QStringLiteral("Open Table..."), QStringLiteral("Recent Tables"), QString(),
                                        QStringLiteral("Exit")}));
        f.w.useStorage(storage(QStringLiteral("first")));
        QCOMPARE(f.questions.asked, QStringList());
        QVERIFY(!f.w.tableFiles().mnuRecentTables->isEnabled());
        QVERIFY(!QFile::exists(storage(QStringLiteral("first")).settingsFile));
        f.w.tableFiles().finish();
    }

    void aSavedTableOpensAsItWas()
    {
        Window f;
        f.w.useStorage(storage(QStringLiteral("round")));
        f.fill(200, 50);
        combat::frmCombat *tracker = f.combat();
        QVERIFY(tracker);
        tracker->AddRow(QStringLiteral("Aldric"), 15);
        tracker->AddRow(QStringLiteral("Goblin"), 9);
        tracker->btnNext->click();
        // A map as the map list leaves it.
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        const QString pictureFile = m_dir.filePath(QStringLiteral("keep.png"));
        QVERIFY(picture.save(pictureFile));
        f.w.mapState.picture = picture;
        f.w.mapState.pictureFile = pictureFile;
        f.w.mapState.name = QStringLiteral("Keep");
        f.w.mapState.mapLoaded = true;
        f.w.map10Size = 40;
        const saving::TableContent saved = f.content();

        f.chosen = m_dir.filePath(QStringLiteral("evening"));
        f.w.tableFiles().mnuSaveTableAs->trigger();
        QVERIFY(QFile::exists(f.chosen + u".vtable"));
        QCOMPARE(f.questions.told, QStringList());

        Window other;
        other.fill(3, 3);
        other.chosen = f.chosen + u".vtable";
        other.w.tableFiles().mnuOpenTable->trigger();
        QCOMPARE(other.questions.told, QStringList());
        QCOMPARE(other.content(), saved);
        QCOMPARE(other.w.mapState.name, QStringLiteral("Keep"));
        QCOMPARE(other.w.map10Size, 40.0);
        QCOMPARE(other.w.mapState.picture.size(), picture.size());
        QCOMPARE(other.combat()->lstTurn->count(), 2);
        // New ids continue after the restored ones.
        QCOMPARE(other.w.NextMarkerID(), 201);
        QCOMPARE(other.w.NextIconID(), 51);

        // The recent list offers the saved file.
        QCOMPARE(f.w.tableFiles().mnuRecentTables->actions().size(), 1);
        f.w.tableFiles().finish();
    }

    void aBadFileSaysWhyAndChangesNothing()
    {
        Window f;
        f.fill(5, 5);
        f.combat()->AddRow(QStringLiteral("Aldric"), 3);
        const saving::TableContent before = f.content();
        f.chosen = m_dir.filePath(QStringLiteral("bad.vtable"));
        QFile bad(f.chosen);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("PK\x03\x04 cut off here");
        bad.close();
        f.w.tableFiles().mnuOpenTable->trigger();
        QCOMPARE(f.questions.told.size(), 1);
        QVERIFY(f.questions.told.first().contains(QStringLiteral("cut off or damaged")));
        QVERIFY(f.questions.told.first().contains(QStringLiteral("was not changed")));
        QCOMPARE(f.content(), before);
        QVERIFY(!f.w.mapState.mapLoaded);
    }

    void aPlayerInASessionRestoresOnlyItsOwnParts()
    {
        Window saver;
        saver.fill(4, 2);
        saver.chosen = m_dir.filePath(QStringLiteral("player.vtable"));
        saver.w.tableFiles().saveTableAs();

        Window f;
        f.fill(7, 0);
        f.w.state().inSession = true;
        f.w.state().isMaster = false;
        f.w.state().ownPlayerID = 4;
        const auto markersBefore = f.content().markers;
        QVERIFY(f.w.tableFiles().openTable(saver.chosen));
        QCOMPARE(f.content().markers, markersBefore);
        QCOMPARE(f.content().icons.size(), std::size_t(2));
        for (const auto &icon : f.content().icons)
            QCOMPARE(icon.UserID, 4);
    }

    void theMastersTableReplacesTheSessionsMapAndMarkers()
    {
        Window saver;
        saver.fill(30, 0);
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkRed);
        const QString pictureFile = m_dir.filePath(QStringLiteral("crypt.png"));
        QVERIFY(picture.save(pictureFile));
        saver.w.mapState.picture = picture;
        saver.w.mapState.pictureFile = pictureFile;
        saver.w.mapState.name = QStringLiteral("Crypt");
        saver.w.mapState.mapLoaded = true;
        saver.chosen = m_dir.filePath(QStringLiteral("crypt.vtable"));
        saver.w.tableFiles().saveTableAs();
        const auto savedMarkers = saver.content().markers;

        // The session already has markers of its own, which the table replaces.
        apptest::Participant master;
        apptest::Participant ranger;
        for (int id = 1; id <= 3; ++id)
            master.w().state().markers.add(std::make_shared<table::CMarker>(
                table::CMarker{QStringLiteral("old"), QStringLiteral("Scout"), 10 * id, 10, id, 0}));
        QVERIFY(apptest::gather(master, ranger));
        QTRY_COMPARE(ranger.w().state().markers.size(), std::size_t(3));

        QVERIFY(master.w().tableFiles().openTable(saver.chosen));
        const auto onMaster = saving::contentOf(master.w().state().records(), master.w().turnOrder()).markers;
        QCOMPARE(onMaster, savedMarkers);
        QTRY_COMPARE(saving::contentOf(ranger.w().state().records(), ranger.w().turnOrder()).markers, onMaster);
        QVERIFY(ranger.w().state().shownMap);
        QCOMPARE(ranger.w().state().shownMap->name, QStringLiteral("Crypt"));
        QCOMPARE(master.questions.told, QStringList());
    }

    void afterACrashTheNewestAutosaveIsOfferedOnce()
    {
        const app::Storage place = storage(QStringLiteral("crash"));
        {
            // A run that autosaved and then died without its clean exit.
            const saving::TableSnapshot table{testing::sampleTable(9, 1), QString(), false};
            saving::Autosaver crashed(place.autosaveFolder, [&table] { return table; });
            crashed.start();
            crashed.saveNowAndWait();
        }
        Window f;
        f.questions.yesNoAnswers = {true};
        f.w.useStorage(place);
        QCOMPARE(f.questions.asked.size(), 1);
        QVERIFY(f.questions.asked.first().contains(QStringLiteral("Restore the table from ")));
        QCOMPARE(f.content().markers.size(), std::size_t(9));
        // Autosaves are not the user's files: not recent, not where "Save Table" writes.
        QVERIFY(!f.w.tableFiles().mnuRecentTables->isEnabled());
        f.w.tableFiles().finish();

        Window next;
        next.w.useStorage(place);
        QCOMPARE(next.questions.asked, QStringList());
        next.w.tableFiles().finish();
    }

    void toolWindowsOpenWhereTheyWereLeft()
    {
        const app::Storage place = storage(QStringLiteral("windows"));
        QRect left;
        {
            Window f;
            f.w.useStorage(place);
            combat::frmCombat *tracker = f.combat();
            tracker->move(tracker->pos() + QPoint(37, 21));
            left = tracker->geometry();
            tracker->close();
            f.w.tableFiles().finish();
        }
        Window again;
        again.w.useStorage(place);
        QCOMPARE(again.combat()->geometry(), left);
        again.w.tableFiles().finish();
    }
};

QTEST_MAIN(TestTableFiles)
#include "tst_tablefiles.moc"
