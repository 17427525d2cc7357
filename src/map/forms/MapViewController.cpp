#include "MapViewController.h"

#include "map/MapState.h"
#include "map/forms/MapView.h"

#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>

namespace vellmar::map {

namespace {

void applyRange(QScrollBar *bar, int pictureExtent)
{
    // Pictures are refused at load when their ends do not fit 16 bits.
    const ScrollRange range = scrollRangeFor(pictureExtent).value_or(ScrollRange{});
    // A value outside the new range moves to its nearest end, which emits
    // valueChanged and so repaints.
    bar->setRange(range.minimum, range.maximum);
    bar->setSingleStep(range.smallChange);
    bar->setPageStep(range.largeChange);
}

} // namespace

MapViewController::MapViewController(MapState &state, const Controls &controls, Sources sources, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_controls(controls)
    , m_sources(std::move(sources))
{
    // With tracking, valueChanged arrives for every thumb position while it is
    // dragged as well as for arrows, track clicks and values set in code.
    for (QScrollBar *bar : {m_controls.horizontal, m_controls.vertical}) {
        bar->setTracking(true);
        connect(bar, &QScrollBar::valueChanged, this, &MapViewController::scrollChanged);
    }
    connect(m_controls.showGrid, &QCheckBox::toggled, this, &MapViewController::chkShowGrid_Click);
}

ViewGeometry MapViewController::geometry() const
{
    ViewGeometry geometry;
    geometry.pictureWidth = m_state.picture.width();
    geometry.pictureHeight = m_state.picture.height();
    geometry.viewWidth = m_controls.view->width();
    geometry.viewHeight = m_controls.view->height();
    geometry.hs = m_controls.horizontal->value();
    geometry.vs = m_controls.vertical->value();
    geometry.z = m_state.zoom;
    return geometry;
}

void MapViewController::Picture1_Paint()
{
    if (!m_state.mapLoaded || (m_sources.resizing && m_sources.resizing()))
        return;
    MapScene scene = m_sources.scene ? m_sources.scene() : MapScene{};
    scene.showGrid = m_controls.showGrid->isChecked();
    m_renderer.paint(m_controls.view->canvas(), m_state, geometry(), scene);
    m_controls.view->present();
}

void MapViewController::clearView() { m_controls.view->clear(); }

void MapViewController::clearAndPaint()
{
    clearView();
    Picture1_Paint();
}

void MapViewController::SetHScroll() { applyRange(m_controls.horizontal, m_state.picture.width()); }

void MapViewController::SetVScroll() { applyRange(m_controls.vertical, m_state.picture.height()); }

void MapViewController::UpDownZoom_Change(int step, int minimum, int maximum)
{
    m_state.zoom = zoomFactor(step, minimum, maximum);
    clearAndPaint();
    SetVScroll();
    SetHScroll();
}

void MapViewController::mapReplaced()
{
    m_renderer.preparePicture(m_state.picture);
    showPictureCorner();
    SetVScroll();
    SetHScroll();
    clearAndPaint();
}

void MapViewController::scrollChanged() { clearAndPaint(); }

void MapViewController::chkShowGrid_Click() { Picture1_Paint(); }

void MapViewController::showPictureCorner()
{
    QLabel *holder = m_controls.pictureHolder;
    if (!holder || m_state.picture.isNull())
        return;
    // The holder shows the picture unscaled from its top-left corner; copying
    // only that corner keeps a large map from being held twice.
    const QRect corner = QRect(QPoint(0, 0), holder->size()).intersected(m_state.picture.rect());
    holder->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    holder->setPixmap(QPixmap::fromImage(m_state.picture.copy(corner)));
}

} // namespace vellmar::map
