#include "frmMain.h"

#include "app/forms/TableFiles.h"
#include "combat/TurnOrderExchange.h"
#include "combat/forms/frmCombat.h"
#include "combat/forms/frmShownTurnOrder.h"
#include "core/Questions.h"
#include "map/fog/TableFog.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"
#include "map/sharing/LocalPictureSupply.h"
#include "map/sharing/PictureCache.h"
#include "map/sharing/PictureExchange.h"
#include "map/sharing/ShownMapExchange.h"
#include "saving/Preferences.h"
#include "session/protocol/Messages.h"
#include "tokens/icons/ShownIcons.h"
#include "tokens/markers/MarkerExchange.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>

// The main window's part in the shared table: the master shows its map, a
// player's copy draws what the master shows, and a player who joins late is
// sent the table as it is.
namespace vellmar::app {

frmMain::PictureSupplyFactory frmMain::defaultPictureSupply()
{
    return [](table::Table &, session::Dispatcher &) {
        return std::make_unique<map::LocalPictureSupply>(QDir(QStringLiteral("map")));
    };
}

frmMain::PictureSupplyFactory frmMain::sessionPictureSupply(const QString &cacheFolder, const QString &mapFolder)
{
    return [cacheFolder, mapFolder](table::Table &state, session::Dispatcher &dispatcher) {
        auto cache = std::make_shared<map::PictureCache>(cacheFolder);
        auto exchange =
            std::make_unique<map::PictureExchange>(state.outbox(), state.identity(), dispatcher, *cache, mapFolder);
        // The cache lives exactly as long as the exchange that uses it: the
        // connection holding it goes only after the exchange's destructor ran.
        QObject::connect(exchange.get(), &QObject::destroyed, [cache] {});
        return exchange;
    };
}

void frmMain::createTableSharing()
{
    m_pictures = m_pictureSupplyFactory(m_state, m_dispatcher);
    m_fog = std::make_unique<map::fog::TableFog>(m_state, mapState, [this] { Picture1_Paint(); });
    m_shownMap =
        std::make_unique<map::ShownMapExchange>(m_state, mapState, *m_pictures,
                                                map::ShownMapExchange::Hooks{
                                                    [this](const QString &line) { Display(line); },
                                                    [this](const QString &text) { statusBar()->showMessage(text); },
                                                    [this] {
                                                        m_mapView->mapReplaced();
                                                        m_fog->shownMapArrived();
                                                    },
                                                });
    m_shownIcons = std::make_unique<tokens::ShownIcons>(m_state, [this] { Picture1_Paint(); });
    m_turnOrderExchange = std::make_unique<combat::TurnOrderExchange>(m_state);
    connect(m_turnOrderExchange.get(), &combat::TurnOrderExchange::seenChanged, this, &frmMain::showSeenTurnOrder);
    connect(m_shownMap.get(), &map::ShownMapExchange::readinessChanged, this, &frmMain::markMapReadiness);
    connect(mnuShowMap, &QAction::triggered, this, &frmMain::mnuShowMap_Click);
    connect(mnuShowIcon, &QAction::triggered, this, &frmMain::mnuShowIcon_Click);
    connect(mnuDownloadMaps, &QAction::triggered, this, &frmMain::mnuDownloadMaps_Click);
}

void frmMain::routeTableSharing()
{
    m_shownMap->route(m_dispatcher);
    m_shownIcons->route(m_dispatcher);
    m_turnOrderExchange->route(m_dispatcher);
    m_fog->route(m_dispatcher);
    // A player who resumes keeps its place and gets what it missed from the
    // host; one whose resume came too late is out and comes back as a new
    // player, so a join is the one moment to send the table.
    m_dispatcher.onNotice(session::NOTICE_PLAYER_CREATED, [this](std::int32_t player) { sendTableTo(player); });
}

void frmMain::sendTableTo(std::int32_t playerId)
{
    if (!m_state.isMaster || !m_state.inSession || playerId == 0)
        return;
    m_shownMap->sendTo(playerId);
    m_markers->sendMarkersTo(playerId);
    m_shownIcons->sendTo(playerId);
    m_turnOrderExchange->sendTo(playerId);
    m_fog->sendTo(playerId); // after the map it covers
}

void frmMain::offerShowToPlayers()
{
    if (!m_state.isMaster || !m_state.inSession)
        return;
    if (m_maplist) {
        m_maplist->setShowToPlayers([this] { mnuShowMap_Click(); });
        m_maplist->btnShow->setToolTip(showToPlayersTip());
    }
    mnuShowMap->setStatusTip(showToPlayersTip());
    if (m_combat && m_combat->chkShow->isHidden()) {
        m_combat->offerShowToPlayers(m_turnOrderExchange->shown());
        connect(m_combat, &combat::frmCombat::orderChanged, this,
                [this] { m_turnOrderExchange->publish(m_combat->turnOrder()); });
        connect(m_combat, &combat::frmCombat::showToPlayersToggled, this,
                [this](bool shown) { m_turnOrderExchange->setShown(shown, m_combat->turnOrder()); });
    }
}

void frmMain::showSeenTurnOrder()
{
    const auto &seen = m_turnOrderExchange->seen();
    if (!seen) {
        if (m_shownTurnOrder)
            m_shownTurnOrder->hide();
        return;
    }
    if (!m_shownTurnOrder) {
        m_shownTurnOrder = new combat::frmShownTurnOrder(this);
        m_shownTurnOrder->show();
    }
    m_shownTurnOrder->showOrder(*seen);
}

void frmMain::mnuShowMap_Click()
{
    QString problem;
    {
        // Hashing a large picture takes a moment on this thread.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        problem = m_shownMap->showLoadedMap();
        QGuiApplication::restoreOverrideCursor();
    }
    if (!problem.isEmpty()) {
        m_questions.tell(problem);
        return;
    }
    m_fog->mapShown();
    Display(QStringLiteral("Showing the map \"%1\" to the players").arg(m_state.shownMap->name));
}

void frmMain::mnuShowIcon_Click()
{
    if (m_state.currentIcon)
        m_shownIcons->toggle(*m_state.currentIcon);
}

void frmMain::mnuDownloadMaps_Click() { m_shownMap->setDownloadsRefused(!mnuDownloadMaps->isChecked()); }

QString frmMain::showToPlayersTip() const
{
    return QStringLiteral("Shows the loaded map to every player; its picture may have at most %1 MB")
        .arg(double(m_shownMap->pictureLimit) / 1e6, 0, 'f', 1);
}

void frmMain::mnuPictureCache_Click()
{
    saving::Preferences *remembered = m_tableFiles->preferences();
    constexpr qint64 megabyte = 1024 * 1024;
    const qint64 current = remembered && remembered->pictureCacheLimit() ? *remembered->pictureCacheLimit()
                                                                         : map::PictureCache::kDefaultLimitBytes;
    const auto answer = m_questions.askText(
        QStringLiteral("Picture Cache Size"),
        QStringLiteral("Megabytes of map pictures fetched from sessions to keep (least recently used go first):"),
        QString::number(current / megabyte));
    if (!answer)
        return;
    bool ok = false;
    const qint64 megabytes = answer->trimmed().toLongLong(&ok);
    if (!ok || megabytes < 1 || megabytes > 1024 * 1024) {
        m_questions.tell(QStringLiteral("The picture cache size must be a whole number of megabytes from 1 to "
                                        "1048576; it stays %1 MB.")
                             .arg(current / megabyte));
        return;
    }
    m_pictures->limitStorage(megabytes * megabyte);
    if (remembered)
        remembered->setPictureCacheLimit(megabytes * megabyte);
}

void frmMain::markMapReadiness()
{
    if (!m_state.isMaster || !m_state.shownMap)
        return;
    for (int row = 0; row < lstPlayer->count(); ++row) {
        QListWidgetItem *entry = lstPlayer->item(row);
        const std::int32_t id = entry->data(Qt::UserRole).toInt();
        if (id == m_state.ownPlayerID)
            continue;
        const bool ready = m_shownMap->playerHasMap(id);
        entry->setToolTip(ready ? QStringLiteral("Sees the shown map \"%1\"").arg(m_state.shownMap->name)
                                : QStringLiteral("Still loading the shown map \"%1\"").arg(m_state.shownMap->name));
        entry->setForeground(ready ? QPalette().text() : QPalette().placeholderText());
    }
}

} // namespace vellmar::app
