#include "frmMaplist.h"

#include "core/Questions.h"
#include "map/IndexFile.h"
#include "map/MapIndex.h"
#include "map/MapLoading.h"
#include "map/MapState.h"
#include "map/forms/MapViewController.h"
#include "ui/DesignFont.h"
#include "ui/Twips.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>

#include <optional>

namespace vellmar::map {

namespace {

// Long problem lists are cut so that the message box stays on the screen.
constexpr qsizetype maxReportedProblems = 12;

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, const ui::TwipRect &place)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFont(ui::designFont(9.75, true));
    b->setGeometry(ui::toPixels(place));
    return b;
}

// Loading a large picture takes a moment; the pointer says so.
class BusyPointer
{
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

} // namespace

frmMaplist *frmMaplist::load(MapState &state, MapViewController &view, core::Questions &questions,
                             const QDir &mapFolder, QWidget *parent)
{
    auto *dialog = new frmMaplist(state, view, questions, mapFolder, parent);
    if (!dialog->Form_Load()) {
        delete dialog;
        return nullptr;
    }
    return dialog;
}

frmMaplist::frmMaplist(MapState &state, MapViewController &view, core::Questions &questions, const QDir &mapFolder,
                       QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_view(view)
    , m_questions(questions)
    , m_mapFolder(mapFolder)
{
    setObjectName(QStringLiteral("frmMaplist"));
    setWindowTitle(QStringLiteral("Map list"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(ui::twipsToPixels(2730), ui::twipsToPixels(2640));
    createControls();
    connect(btnLoad, &QPushButton::clicked, this, &frmMaplist::btnLoad_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmMaplist::btnCancel_Click);
    connect(btnShow, &QPushButton::clicked, this, &frmMaplist::btnShow_Click);
    connect(lstMap, &QListWidget::itemDoubleClicked, this, &frmMaplist::lstMap_DblClick);
}

void frmMaplist::createControls()
{
    lstMap = new QListWidget(this);
    lstMap->setObjectName(QStringLiteral("lstMap"));
    lstMap->setSelectionMode(QAbstractItemView::SingleSelection);
    lstMap->setSortingEnabled(false);
    lstMap->setGeometry(ui::toPixels({120, 120, 2415, 1815}));
    btnLoad = button(this, QStringLiteral("btnLoad"), QStringLiteral("Load"), {120, 2040, 1215, 495});
    btnCancel = button(this, QStringLiteral("btnCancel"), QStringLiteral("Close"), {1440, 2040, 1095, 495});
    btnShow = button(this, QStringLiteral("btnShow"), QStringLiteral("Show to Players"), {120, 2640, 2415, 495});
    btnShow->hide();
}

void frmMaplist::setShowToPlayers(std::function<void()> show)
{
    m_showToPlayers = std::move(show);
    btnShow->setVisible(bool(m_showToPlayers));
    setFixedSize(ui::twipsToPixels(2730), ui::twipsToPixels(m_showToPlayers ? 3240 : 2640));
}

void frmMaplist::btnShow_Click()
{
    // Shows the map that is loaded, which need not be the one selected.
    if (m_showToPlayers)
        m_showToPlayers();
}

QString frmMaplist::indexPath() const { return m_mapFolder.filePath(QStringLiteral("mapindex.txt")); }

QString frmMaplist::picturePath(const QString &fileName) const
{
    // Indexes written for other systems separate folders with backslashes.
    QString relative = fileName;
    relative.replace(u'\\', u'/');
    return m_mapFolder.filePath(relative);
}

bool frmMaplist::Form_Load()
{
    const auto bytes = readIndexFile(indexPath());
    if (!bytes) {
        m_questions.tell(QStringLiteral("There is no map index - this dialog will close"));
        return false;
    }
    lstMap->addItems(mapNames(decodeIndex(*bytes)));
    lstMap->setCurrentRow(-1);
    lstMap->clearSelection();
    return true;
}

void frmMaplist::btnLoad_Click()
{
    const QList<QListWidgetItem *> selected = lstMap->selectedItems();
    if (selected.isEmpty()) {
        m_questions.tell(QStringLiteral("You must select a map to load"));
        return;
    }
    const QString name = selected.first()->text();

    // The index is read afresh: it may have changed since the list was filled.
    const auto bytes = readIndexFile(indexPath());
    if (!bytes) {
        m_questions.tell(QStringLiteral("The map index can no longer be read - the map was not loaded"));
        return;
    }
    const auto entry = findMapEntry(decodeIndex(*bytes), name);
    if (!entry) {
        m_questions.tell(QStringLiteral("Map not found"));
        return;
    }

    QStringList problems;
    {
        const BusyPointer busy;
        QString readFrom;
        problems = applyMapEntry(m_state, *entry, [this, &readFrom](const QString &fileName) {
            PictureLoad load = loadMapPicture(picturePath(fileName));
            if (!load.picture.isNull())
                readFrom = picturePath(fileName);
            return load;
        });
        m_state.name = name;
        if (!readFrom.isEmpty())
            m_state.pictureFile = readFrom;
        m_view.mapReplaced();
    }
    reportProblems(name, problems);
}

void frmMaplist::reportProblems(const QString &name, const QStringList &problems)
{
    if (problems.isEmpty())
        return;
    QStringList shown = problems.mid(0, maxReportedProblems);
    if (problems.size() > maxReportedProblems)
        shown << QStringLiteral("... and %1 more").arg(problems.size() - maxReportedProblems);
    m_questions.tell(QStringLiteral("The map \"%1\" was loaded, but not all of its entry could be used:\n").arg(name)
                     + shown.join(u'\n'));
}

void frmMaplist::btnCancel_Click() { close(); }

} // namespace vellmar::map
