#include "frmMain.h"

#include "app/forms/WindowPlaces.h"
#include "app/widgets/UpDownControl.h"
#include "core/Questions.h"
#include "map/GridMeasure.h"
#include "map/MeasureOverlay.h"
#include "map/fog/FogGesture.h"
#include "map/fog/TableFog.h"
#include "map/forms/MapView.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/ShownIcons.h"
#include "tokens/markers/MarkerExchange.h"
#include "tokens/markers/forms/frmModifyMarker.h"
#include "tokens/markers/forms/frmSetMarker.h"
#include "tokens/pointer/MapPointer.h"
#include "tokens/pointer/ToolGesture.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>

// The main window's map: drawing, scrolling and zoom, the pointer, and the
// marker and icon commands of the map's pop-up menu.
namespace vellmar::app {

void frmMain::Picture1_Paint()
{
    // Every change to the master's icons ends in a drawing, so that is where
    // the players are told; a drag is told once, at its release.
    if (m_shownIcons && !(m_pointer && m_pointer->dragging()))
        m_shownIcons->sync();
    m_mapView->Picture1_Paint();
}

void frmMain::SetHScroll() { m_mapView->SetHScroll(); }

void frmMain::SetVScroll() { m_mapView->SetVScroll(); }

void frmMain::clearMapView() { m_mapView->clearView(); }

void frmMain::UpDownZoom_Change()
{
    m_mapView->UpDownZoom_Change(UpDownZoom->value(), UpDownZoom->minimum(), UpDownZoom->maximum());
}

void frmMain::btnMaplist_Click()
{
    // The list reads the index when it opens; while it is open it is only
    // brought to the front.
    if (!m_maplist)
        m_maplist = map::frmMaplist::load(mapState, *m_mapView, m_questions, QDir(QStringLiteral("map")), this);
    if (!m_maplist)
        return;
    m_windowPlaces->track(m_maplist);
    offerShowToPlayers();
    m_maplist->show();
    m_maplist->raise();
    m_maplist->activateWindow();
}

void frmMain::RequestPlaceMarker(const table::CMarker &p_marker) { m_markers->RequestPlaceMarker(p_marker); }

void frmMain::BroadcastPlaceMarker(const table::CMarker &p_marker) { m_markers->BroadcastPlaceMarker(p_marker); }

void frmMain::BroadcastUpdateMarker(const table::CMarker &p_marker) { m_markers->BroadcastUpdateMarker(p_marker); }

bool frmMain::dragging() const { return m_pointer->dragging(); }

void frmMain::mnuPlaceIcon_Click() { m_iconCommands->PlaceIcon(menuMapX, menuMapY); }

void frmMain::mnuModifyIcon_Click() { m_iconCommands->ModifyIcon(m_state.currentIcon.get()); }

void frmMain::mnuRemoveIcon_Click()
{
    // The selection goes first, so the repaint draws no ring on a removed icon.
    const auto icon = std::move(m_state.currentIcon);
    m_state.currentIcon.reset();
    m_iconCommands->RemoveIcon(icon.get());
}

void frmMain::mnuRollInitiative_Click() { m_iconCommands->RollInitiative(m_state.currentIcon.get()); }

QPoint frmMain::pointerMapPosition(QPointF position) const
{
    // Picture sizes are whole pixels here, so the rounded and unrounded forms
    // of the conversion agree; positions beyond 32 bits stay at the edge.
    const auto pixel = m_mapView->geometry().mapPixel(position);
    if (pixel)
        return *pixel;
    const QPointF exact = m_mapView->geometry().mapPoint(position);
    return {exact.x() < 0 ? INT32_MIN : INT32_MAX, exact.y() < 0 ? INT32_MIN : INT32_MAX};
}

void frmMain::SelectUnderPointer(QPointF position)
{
    if (m_pointer->SelectUnderPointer(pointerMapPosition(position)))
        Picture1_Paint();
}

void frmMain::Picture1_MouseDown(Qt::MouseButtons button, QPointF position)
{
    // A second button during a drag opens nothing: a menu would swallow the
    // release that ends the drag.
    if (!mapLoaded || m_pointer->dragging())
        return;
    if (button & Qt::RightButton) {
        SelectUnderPointer(position);
        const QPoint at = pointerMapPosition(position);
        menuMapX = at.x();
        menuMapY = at.y();
        const tokens::MenuRights rights = m_pointer->menuRights();
        mnuModifyIcon->setVisible(rights.iconCommands);
        mnuRemoveIcon->setVisible(rights.iconCommands);
        mnuRollInitiative->setVisible(rights.iconCommands);
        mnuModifyMarker->setVisible(rights.modifyMarker);
        mnuRemoveMarker->setVisible(rights.removeMarker);
        const bool showing = m_state.isMaster && m_state.inSession;
        mnuDivider4->setVisible(showing);
        mnuShowMap->setVisible(showing);
        mnuShowIcon->setVisible(showing && rights.iconCommands);
        mnuShowIcon->setChecked(m_state.currentIcon && m_state.currentIcon->shownToPlayers);
        mnuIcon->popup(Picture1->mapToGlobal(position.toPoint()));
    } else if (button & Qt::LeftButton) {
        if (tokens::isFogTool(m_gesture->tool())) {
            fogPress(position);
            return;
        }
        if (m_gesture->tool() != tokens::PaletteTool::None) {
            if (m_gesture->press(pointerMapPosition(position)))
                Picture1_Paint();
        } else if (m_pointer->beginDrag(pointerMapPosition(position))) {
            Picture1->setCursor(Qt::SizeAllCursor);
        }
        if (m_pointer->dragging())
            Picture1->setCursor(Qt::SizeAllCursor);
    }
}

void frmMain::Picture1_MouseMove(QPointF position)
{
    if (m_fogGesture && m_fogGesture->held()) {
        fogMove(position);
        return;
    }
    if (m_gesture->held()) {
        if (m_gesture->move(pointerMapPosition(position)))
            Picture1_Paint();
        return;
    }
    if (m_pointer->dragging()) {
        // Nothing is sent while the drag lasts; the release announces it.
        if (m_pointer->dragTo(pointerMapPosition(position)))
            Picture1_Paint();
        return;
    }
    SelectUnderPointer(position);
}

void frmMain::Picture1_MouseUp(QPointF position)
{
    if (m_fogGesture && m_fogGesture->held()) {
        fogRelease(position);
        return;
    }
    if (m_gesture->held()) {
        Picture1->unsetCursor();
        bool repaint = false;
        const tokens::ToolRequest request = m_gesture->release(pointerMapPosition(position), repaint);
        if (repaint)
            Picture1_Paint();
        carryOut(request);
        SelectUnderPointer(position);
        return;
    }
    if (!m_pointer->dragging())
        return;
    Picture1->unsetCursor();
    if (const auto marker = m_pointer->endDrag())
        BroadcastUpdateMarker(*marker);
    SelectUnderPointer(position);
    Picture1_Paint();
}

void frmMain::mnuQuickMarker_Click() { m_markers->placeMarker(QStringLiteral("Here"), menuMapX, menuMapY); }

void frmMain::mnuPlaceMarker_Click()
{
    if (!m_setMarker)
        m_setMarker = new tokens::frmSetMarker(*m_markers, m_questions, this);
    m_setMarker->mapX = menuMapX;
    m_setMarker->mapY = menuMapY;
    m_setMarker->exec();
}

void frmMain::mnuModifyMarker_Click()
{
    const auto marker = m_state.currentMarker;
    if (!marker)
        return;
    tokens::frmModifyMarker dialog(*m_markers, m_questions, this);
    dialog.id = marker->id;
    dialog.txtInfo->setText(marker->info);
    dialog.exec();
}

void frmMain::mnuRemoveMarker_Click() { m_markers->removeCurrentMarker(); }

void frmMain::toolChosen(tokens::PaletteTool tool)
{
    const bool wasMeasuring = m_gesture->measured().has_value();
    m_gesture->setTool(tool);
    if (m_fogGesture && m_fogGesture->held()) {
        m_fogGesture->cancel();
        m_fogOutline.reset();
        m_fog->endPreview();
    }
    if (wasMeasuring)
        Picture1_Paint(); // the line goes
}

void frmMain::carryOut(const tokens::ToolRequest &request)
{
    using Kind = tokens::ToolRequest::Kind;
    switch (request.kind) {
    case Kind::None:
        break;
    case Kind::AnnounceMarker:
        BroadcastUpdateMarker(*request.marker);
        break;
    case Kind::PlaceIcon:
        menuMapX = request.at.x();
        menuMapY = request.at.y();
        mnuPlaceIcon_Click();
        break;
    case Kind::PlaceMarker:
        menuMapX = request.at.x();
        menuMapY = request.at.y();
        mnuPlaceMarker_Click();
        break;
    case Kind::RemoveIcon:
        if (m_state.currentIcon
            && m_questions.askYesNo(QStringLiteral("Remove the icon \"%1\"?").arg(m_state.currentIcon->name)))
            mnuRemoveIcon_Click();
        break;
    case Kind::RemoveMarker:
        if (m_state.currentMarker
            && m_questions.askYesNo(QStringLiteral("Remove the marker \"%1\"?").arg(m_state.currentMarker->info)))
            mnuRemoveMarker_Click();
        break;
    }
}

const map::MapOverlay *frmMain::measureOverlay()
{
    const auto line = m_gesture ? m_gesture->measured() : std::nullopt;
    if (!line) {
        m_measure.reset();
        return nullptr;
    }
    const QString label = map::GridMeasure(mapState.map10Size).label(line->from, line->to);
    m_measure = std::make_unique<map::MeasureOverlay>(line->from, line->to, label);
    return m_measure.get();
}

namespace {

struct FogShape
{
    map::fog::FogKind kind;
    map::fog::FogMode mode;
};

FogShape fogShape(tokens::PaletteTool tool)
{
    using map::fog::FogKind;
    using map::fog::FogMode;
    using tokens::PaletteTool;
    switch (tool) {
    case PaletteTool::FogRevealRect:
        return {FogKind::rect, FogMode::reveal};
    case PaletteTool::FogHideRect:
        return {FogKind::rect, FogMode::hide};
    case PaletteTool::FogRevealPolygon:
        return {FogKind::polygon, FogMode::reveal};
    case PaletteTool::FogHidePolygon:
        return {FogKind::polygon, FogMode::hide};
    case PaletteTool::FogRevealBrush:
        return {FogKind::brush, FogMode::reveal};
    default:
        return {FogKind::brush, FogMode::hide};
    }
}

} // namespace

void frmMain::fogPress(QPointF position)
{
    const QString why = m_fog->whyNoTools();
    if (!why.isEmpty()) {
        statusBar()->showMessage(why);
        return;
    }
    if (!m_fogGesture)
        m_fogGesture = std::make_unique<map::fog::FogGesture>();
    const FogShape shape = fogShape(m_gesture->tool());
    // map10Size is two grid cells. A click alone paints one dab; the stroke
    // follows the pointer.
    if (const auto dab = m_fogGesture->press(shape.kind, shape.mode, pointerMapPosition(position),
                                             map::fog::brushDiameter(m_brushCells, map10Size / 2)))
        m_fog->preview(*dab);
    else
        fogMove(position);
}

void frmMain::fogMove(QPointF position)
{
    if (const auto stretch = m_fogGesture->move(pointerMapPosition(position))) {
        m_fog->preview(*stretch); // repaints
        return;
    }
    if (m_fogGesture->kind() != map::fog::FogKind::brush) {
        m_fogOutline =
            std::make_unique<map::fog::FogOutline>(m_fogGesture->kind(), m_fogGesture->mode(), m_fogGesture->path());
        Picture1_Paint();
    }
}

void frmMain::fogRelease(QPointF position)
{
    const auto step = m_fogGesture->release(pointerMapPosition(position));
    m_fogOutline.reset();
    // Either repaints: the finished step replaces the stroke's preview.
    if (!step || !m_fog->apply(*step))
        m_fog->endPreview();
    Picture1_Paint();
}

void frmMain::fogWholeMap(bool hide)
{
    const QString why = m_fog->whyNoTools();
    if (!why.isEmpty()) {
        statusBar()->showMessage(why);
        return;
    }
    m_fog->apply(map::fog::wholeMap(hide ? map::fog::FogMode::hide : map::fog::FogMode::reveal));
}

void frmMain::undoFog()
{
    if (m_fogGesture && m_fogGesture->held())
        return; // a stroke under way ends first
    m_fog->undo();
}

void frmMain::redoFog()
{
    if (m_fogGesture && m_fogGesture->held())
        return;
    m_fog->redo();
}

} // namespace vellmar::app
