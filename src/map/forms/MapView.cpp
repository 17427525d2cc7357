#include "MapView.h"

#include "map/MapRenderer.h"

#include <QPaintEvent>
#include <QPainter>

namespace vellmar::map {

namespace {

QImage blankCanvas(QSize size)
{
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(MapRenderer::background());
    return canvas;
}

} // namespace

MapView::MapView(QWidget *parent) : QWidget(parent), m_canvas(blankCanvas(size().expandedTo(QSize(1, 1))))
{
    // The canvas covers every pixel, so Qt need not paint a background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage &MapView::canvas()
{
    fitCanvas();
    return m_canvas;
}

const QImage &MapView::canvas() const
{
    fitCanvas();
    return m_canvas;
}

void MapView::clear()
{
    fitCanvas();
    m_canvas.fill(MapRenderer::background());
    update();
}

void MapView::present() { update(); }

void MapView::paintEvent(QPaintEvent *event)
{
    fitCanvas();
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), m_canvas, event->rect());
}

void MapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitCanvas();
}

void MapView::fitCanvas() const
{
    const QSize wanted = size().expandedTo(QSize(1, 1));
    if (m_canvas.size() == wanted)
        return;
    // Keep the old drawing where it still fits: while the splitter is dragged
    // nothing is redrawn, and the view should not go blank meanwhile.
    QImage canvas = blankCanvas(wanted);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, m_canvas);
    painter.end();
    m_canvas = std::move(canvas);
}

} // namespace vellmar::map
