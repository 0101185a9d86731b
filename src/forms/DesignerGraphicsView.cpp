#include "forms/DesignerGraphicsView.h"

#include <QWheelEvent>

#include <algorithm>
#include <cmath>

DesignerGraphicsView::DesignerGraphicsView(QWidget *parent)
    : QGraphicsView(parent)
{
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    setDragMode(QGraphicsView::RubberBandDrag);
    setAlignment(Qt::AlignCenter);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
}

int DesignerGraphicsView::zoomPercent() const
{
    return int(std::lround(transform().m11() * 100));
}

QPointF DesignerGraphicsView::viewportCentreInScene() const
{
    return mapToScene(QPoint((viewport()->width() - 1) / 2, (viewport()->height() - 1) / 2));
}

void DesignerGraphicsView::setZoomPercent(int percent)
{
    percent = std::clamp(percent, 5, 400);
    const QPointF centre = viewportCentreInScene();
    resetTransform();
    scale(percent / 100.0, percent / 100.0);
    centerOn(centre);
    if (zoomChanged)
        zoomChanged(percent);
}

void DesignerGraphicsView::resetZoom()
{
    resetTransform();
    if (zoomChanged)
        zoomChanged(100);
}

void DesignerGraphicsView::fitCanvas()
{
    if (!scene())
        return;
    const QRectF paper = scene()->sceneRect();
    if (paper.width() <= 0 || paper.height() <= 0)
        return;
    fitInView(paper.adjusted(-18, -18, 18, 18), Qt::KeepAspectRatio);
    if (zoomChanged)
        zoomChanged(zoomPercent());
}

void DesignerGraphicsView::wheelEvent(QWheelEvent *event)
{
    // Ctrl with a sideways scroll is no zoom.
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        QGraphicsView::wheelEvent(event);
        return;
    }
    const int step = event->angleDelta().y() > 0 ? 10 : -10;
    const QPoint pointer = event->position().toPoint();
    const QPointF before = mapToScene(pointer);
    setZoomPercent(zoomPercent() + step);
    // The point under the pointer stays where it was.
    const QPointF after = mapToScene(pointer);
    centerOn(viewportCentreInScene() + (before - after));
    event->accept();
}
