#include "TableFiles.h"

#include "core/Questions.h"
#include "map/MapState.h"
#include "map/PictureLoader.h"
#include "map/forms/MapViewController.h"
#include "map/sharing/PictureSupply.h"
#include "saving/Autosaver.h"
#include "saving/PictureHash.h"
#include "saving/Preferences.h"
#include "saving/TableFileChooser.h"
#include "saving/TableState.h"
#include "table/Table.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QStandardPaths>

namespace vellmar::app {

namespace {

// The busy pointer while a table is read or written on the interface thread.
class BusyPointer
{
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

QString withSuffix(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + u'.' + saving::tableFileSuffix : path;
}

} // namespace

Storage Storage::standard()
{
    const QDir data(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    return {QString(), data.filePath(QStringLiteral("autosave")), data.filePath(QStringLiteral("table-pictures"))};
}

TableFiles::TableFiles(Parts parts, std::unique_ptr<saving::TableFileChooser> chooser, QWidget *dialogParent)
    : m_parts(std::move(parts))
    , m_chooser(std::move(chooser))
    , m_dialogParent(dialogParent)
    , m_pictureFolder(QDir(QDir::tempPath()).filePath(QStringLiteral("vellmar-table-pictures")))
{}

TableFiles::~TableFiles() = default;

void TableFiles::setChooser(std::unique_ptr<saving::TableFileChooser> chooser) { m_chooser = std::move(chooser); }

void TableFiles::addTo(QMenu *menu, QAction *before)
{
    const auto add = [menu, before](const char *name, const QString &caption) {
        auto *action = new QAction(caption, menu);
        action->setObjectName(QString::fromLatin1(name));
        menu->insertAction(before, action);
        return action;
    };
    mnuSaveTableAs = add("mnuSaveTableAs", QStringLiteral("Save Table..."));
    mnuSaveTable = add("mnuSaveTable", QStringLiteral("Save Table"));
    mnuOpenTable = add("mnuOpenTable", QStringLiteral("Open Table..."));
    mnuRecentTables = new QMenu(QStringLiteral("Recent Tables"), menu);
    mnuRecentTables->setObjectName(QStringLiteral("mnuRecentTables"));
    menu->insertMenu(before, mnuRecentTables);
    menu->insertSeparator(before);
    connect(mnuSaveTableAs, &QAction::triggered, this, &TableFiles::saveTableAs);
    connect(mnuSaveTable, &QAction::triggered, this, &TableFiles::saveTable);
    connect(mnuOpenTable, &QAction::triggered, this, &TableFiles::openTableDialog);
    connect(mnuRecentTables, &QMenu::aboutToShow, this, &TableFiles::fillRecent);
    fillRecent();
}

void TableFiles::useStorage(const Storage &storage)
{
    m_preferences = storage.settingsFile.isEmpty() ? std::make_unique<saving::Preferences>()
                                                   : std::make_unique<saving::Preferences>(storage.settingsFile);
    m_pictureFolder = storage.pictureFolder;
    m_autosaver = std::make_unique<saving::Autosaver>(storage.autosaveFolder, [this] { return snapshot(); });
    connect(m_autosaver.get(), &saving::Autosaver::failed, this,
            [](const QString &reason) { qWarning("autosave failed: %s", qUtf8Printable(reason)); });
    fillRecent();
}

void TableFiles::offerRestoreAfterCrash()
{
    if (!m_autosaver)
        return;
    // Read before start() replaces the mark, so the offer comes once.
    const auto restorable = saving::Autosaver::afterCrash(m_autosaver->folder());
    m_autosaver->start();
    if (!restorable)
        return;
    const QString when = QLocale::system().toString(restorable->saved, QLocale::ShortFormat);
    if (!m_parts.questions.askYesNo(u"Vellmar did not end properly last time. Restore the table from " + when + u"?"))
        return;
    // An autosave is no file of the user's: "Save Table" does not write
    // there, and it is not a recent table.
    load(restorable->file);
}

void TableFiles::finish()
{
    if (m_autosaver)
        m_autosaver->finish();
    if (m_preferences)
        m_preferences->sync();
}

saving::TableSnapshot TableFiles::snapshot() const
{
    saving::TableSnapshot snapshot;
    snapshot.content = saving::contentOf(m_parts.table.records(), m_parts.turnOrder);
    const map::MapState &state = m_parts.mapState;
    if (state.mapLoaded && !state.name.isEmpty()) {
        // The map this copy loaded itself; the writer hashes its picture.
        snapshot.content.map =
            table::ShownMap{state.name, state.map10Size, state.map10OffsetX, state.map10OffsetY, {}, 0};
        snapshot.pictureFile = state.pictureFile;
    } else if (m_parts.table.shownMap) {
        snapshot.content.map = *m_parts.table.shownMap;
        // Only the supply here: hashing a file on this thread could stall it.
        if (m_pictureSupply)
            snapshot.pictureFile = m_pictureSupply->localPath(m_parts.table.shownMap->pictureSha256);
    }
    if (snapshot.content.map && m_fog.current)
        snapshot.content.fog = m_fog.current();
    return snapshot;
}

QString TableFiles::findPicture(const QByteArray &sha256) const
{
    if (sha256.isEmpty())
        return {};
    if (m_pictureSupply) {
        const QString path = m_pictureSupply->localPath(sha256);
        if (!path.isEmpty())
            return path;
    }
    const QString loaded = m_parts.mapState.pictureFile;
    return !loaded.isEmpty() && saving::pictureSha256(loaded) == sha256 ? loaded : QString();
}

void TableFiles::saveTableAs()
{
    const QString suggested =
        m_currentFile.isEmpty() ? QStringLiteral("table.") + saving::tableFileSuffix : m_currentFile;
    const auto choice = m_chooser->chooseSaveFile(suggested);
    if (!choice || choice->path.isEmpty())
        return;
    const QString path = withSuffix(choice->path);
    if (writeTo(path, choice->linkOnly)) {
        m_currentFile = path;
        m_currentLinkOnly = choice->linkOnly;
    }
}

void TableFiles::saveTable()
{
    if (m_currentFile.isEmpty())
        saveTableAs();
    else
        writeTo(m_currentFile, m_currentLinkOnly);
}

bool TableFiles::writeTo(const QString &path, bool linkOnly)
{
    saving::TableSnapshot table = snapshot();
    table.linkOnly = linkOnly;
    QString error;
    bool written = false;
    {
        const BusyPointer busy;
        written = saving::writeTableFile(table, path, &error);
    }
    if (!written) {
        m_parts.questions.tell(u"The table could not be saved: " + error
                               + u". Choose another place with \"Save Table...\".");
        return false;
    }
    remember(path);
    return true;
}

void TableFiles::openTableDialog()
{
    const QString folder = m_currentFile.isEmpty() ? QString() : QFileInfo(m_currentFile).path();
    if (const auto path = m_chooser->chooseOpenFile(folder))
        openTable(*path);
}

bool TableFiles::openTable(const QString &path)
{
    if (!load(path))
        return false;
    m_currentFile = path;
    m_currentLinkOnly = false;
    remember(path);
    return true;
}

bool TableFiles::load(const QString &path)
{
    const BusyPointer busy;
    // Everything is read and checked before anything changes.
    auto read = saving::readTableFile(
        path, [this](const QByteArray &sha256) { return findPicture(sha256); }, m_pictureFolder);
    if (const auto *problem = std::get_if<saving::TableProblem>(&read)) {
        m_parts.questions.tell(problem->message + u"\nThe table on the screen was not changed.");
        return false;
    }
    const auto &opened = std::get<saving::OpenedTable>(read);
    QImage picture;
    if (opened.content.map && !opened.pictureFile.isEmpty()) {
        const map::PictureLoad load = map::loadMapPicture(opened.pictureFile);
        if (load.picture.isNull()) {
            m_parts.questions.tell(u"The table's map picture cannot be shown: " + load.problem
                                   + u"\nThe table on the screen was not changed.");
            return false;
        }
        picture = load.picture;
    }
    if (opened.content.fog && (picture.isNull() || picture.size() != opened.content.fog->pictureSize())) {
        m_parts.questions.tell(QStringLiteral("The table's fog does not fit its map picture (%1 x %2 pixels), so the "
                                              "file is damaged. Open an older copy of it, or one of the autosaved "
                                              "tables.\nThe table on the screen was not changed.")
                                   .arg(picture.width())
                                   .arg(picture.height()));
        return false;
    }
    restore(opened, picture);
    return true;
}

void TableFiles::restore(const saving::OpenedTable &opened, const QImage &picture)
{
    table::Table &table = m_parts.table;
    // Markers, the shown map and its fog are the session's: a player restores
    // only what is its own, the master changes them through the session's paths.
    const bool alone = !table.inSession;
    const bool showing = table.inSession && table.isMaster;
    saving::restoreContent(opened.content, alone ? saving::OpenAs::Alone : saving::OpenAs::Player, table.ownPlayerID,
                           table.records(), m_parts.turnOrder);
    if ((alone || showing) && opened.content.map) {
        loadMap(*opened.content.map, picture, opened.pictureFile);
        // The fog goes with the loaded picture; showing it sends it along.
        if (m_fog.opened)
            m_fog.opened(opened.content.fog);
    }
    if (showing) {
        if (m_showInSession)
            m_showInSession(opened);
        else
            m_parts.questions.tell(QStringLiteral("Your icons and combat tracker were restored. The table's map "
                                                  "and markers can be shown to the players only outside a "
                                                  "session in this version."));
    }
    m_parts.refresh();
}

void TableFiles::loadMap(const table::ShownMap &shown, const QImage &picture, const QString &pictureFile)
{
    map::MapState &state = m_parts.mapState;
    state.map10Size = shown.map10Size;
    state.map10OffsetX = shown.map10OffsetX;
    state.map10OffsetY = shown.map10OffsetY;
    state.picture = picture;
    state.name = shown.name;
    state.pictureFile = pictureFile;
    state.mapLoaded = true;
    m_parts.mapView.mapReplaced();
}

void TableFiles::remember(const QString &path)
{
    if (m_preferences)
        m_preferences->rememberTable(path);
    fillRecent();
}

void TableFiles::fillRecent()
{
    if (!mnuRecentTables)
        return;
    mnuRecentTables->clear();
    const QStringList files = m_preferences ? m_preferences->recentTables() : QStringList();
    for (const QString &file : files) {
        QAction *action = mnuRecentTables->addAction(QFileInfo(file).fileName());
        action->setToolTip(file);
        connect(action, &QAction::triggered, this, [this, file] { openTable(file); });
    }
    mnuRecentTables->setEnabled(!files.isEmpty());
}

} // namespace vellmar::app
