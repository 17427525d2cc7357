#pragma once

#include <QDir>
#include <QWidget>

#include <functional>

class QListWidget;
class QPushButton;

namespace vellmar::core {
class Questions;
}

namespace vellmar::map {

class MapState;
class MapViewController;

// The map list: the names from the map index; "Load" (or a double click)
// reads the chosen entry into the map state and redraws the view. It stays
// open after a load and deletes itself when closed.
class frmMaplist final : public QWidget
{
    Q_OBJECT
public:
    // Reads the index in `mapFolder` and fills the list. When the index
    // cannot be read it says so and returns null: the dialog never shows.
    static frmMaplist *load(MapState &state, MapViewController &view, core::Questions &questions, const QDir &mapFolder,
                            QWidget *parent = nullptr);

    // Offers "Show to Players" (the master in a session): the button then
    // calls `show`; null hides it again.
    void setShowToPlayers(std::function<void()> show);

    QListWidget *lstMap;
    QPushButton *btnLoad;
    QPushButton *btnCancel;
    QPushButton *btnShow; // hidden unless offered

private:
    frmMaplist(MapState &state, MapViewController &view, core::Questions &questions, const QDir &mapFolder,
               QWidget *parent);

    void createControls();
    bool Form_Load();
    void btnLoad_Click();
    void lstMap_DblClick() { btnLoad_Click(); }
    void btnCancel_Click();
    void btnShow_Click();

    QString indexPath() const;
    QString picturePath(const QString &fileName) const;
    void reportProblems(const QString &name, const QStringList &problems);

    MapState &m_state;
    MapViewController &m_view;
    core::Questions &m_questions;
    QDir m_mapFolder;
    std::function<void()> m_showToPlayers;
};

} // namespace vellmar::map
