#pragma once

#include "saving/TableContent.h"
#include "saving/TableFile.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QImage;
class QMenu;
class QWidget;

namespace vellmar::core {
class Questions;
}
namespace vellmar::table {
class Table;
}
namespace vellmar::combat {
class TurnOrder;
}
namespace vellmar::map {
class MapState;
class MapViewController;
class PictureSupply;
} // namespace vellmar::map
namespace vellmar::saving {
class Autosaver;
class Preferences;
class TableFileChooser;
} // namespace vellmar::saving

namespace vellmar::app {

// Where the program keeps what outlives a run.
struct Storage
{
    QString settingsFile; // empty: the user's usual settings
    QString autosaveFolder;
    QString pictureFolder; // pictures unpacked from table files
    // Below QStandardPaths::AppDataLocation.
    static Storage standard();
};

// The File menu's table commands, autosave and the crash restore offer. The
// main window owns one and hands it the parts of the table it saves.
class TableFiles final : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        table::Table &table;
        combat::TurnOrder &turnOrder;
        map::MapState &mapState;
        map::MapViewController &mapView;
        core::Questions &questions;
        // Shows the replaced records: the map and the combat window.
        std::function<void()> refresh;
    };
    // The master in a session opens a table: its map is loaded here and its
    // icons and combat order restored; this shows the map to the players and
    // replaces the session's markers with the table's.
    using ShowInSession = std::function<void(const saving::OpenedTable &)>;

    TableFiles(Parts parts, std::unique_ptr<saving::TableFileChooser> chooser, QWidget *dialogParent);
    ~TableFiles() override;

    // Puts the commands into the menu, before `before`.
    void addTo(QMenu *menu, QAction *before);
    // Remembers settings and autosaves from now on; without it the program
    // keeps nothing between runs (as in tests).
    void useStorage(const Storage &storage);
    saving::Preferences *preferences() const { return m_preferences.get(); }
    // After a run that did not end cleanly: asks once whether to restore the
    // newest autosave. Call after useStorage, before anything changes.
    void offerRestoreAfterCrash();
    // At a clean exit: the last autosave and the clean-exit mark.
    void finish();

    // Tests choose files from a script.
    void setChooser(std::unique_ptr<saving::TableFileChooser> chooser);
    void setPictureSupply(map::PictureSupply *supply) { m_pictureSupply = supply; }
    void setShowInSession(ShowInSession show) { m_showInSession = std::move(show); }
    // The fog over the map in view (none: it hides nothing), and where a
    // table opened outside a session puts its fog, after its map.
    struct Fog
    {
        std::function<std::optional<map::fog::FogMask>()> current;
        std::function<void(const std::optional<map::fog::FogMask> &)> opened;
    };
    void setFog(Fog fog) { m_fog = std::move(fog); }

    // The commands.
    void saveTableAs();
    void saveTable();
    void openTableDialog();
    bool openTable(const QString &path);

    // The table as it is now, cheap to take on the interface thread.
    saving::TableSnapshot snapshot() const;

    QAction *mnuSaveTableAs = nullptr;
    QAction *mnuSaveTable = nullptr;
    QAction *mnuOpenTable = nullptr;
    QMenu *mnuRecentTables = nullptr;

private:
    bool writeTo(const QString &path, bool linkOnly);
    bool load(const QString &path);
    QString findPicture(const QByteArray &sha256) const;
    void restore(const saving::OpenedTable &opened, const QImage &picture);
    void loadMap(const table::ShownMap &shown, const QImage &picture, const QString &pictureFile);
    void fillRecent();
    void remember(const QString &path);

    Parts m_parts;
    std::unique_ptr<saving::TableFileChooser> m_chooser;
    QWidget *m_dialogParent;
    std::unique_ptr<saving::Preferences> m_preferences;
    std::unique_ptr<saving::Autosaver> m_autosaver;
    QString m_pictureFolder;
    QString m_currentFile;
    bool m_currentLinkOnly = false;
    map::PictureSupply *m_pictureSupply = nullptr;
    ShowInSession m_showInSession;
    Fog m_fog;
};

} // namespace vellmar::app
