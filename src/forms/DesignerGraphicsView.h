#pragma once

#include <QGraphicsView>

#include <functional>

// The canvas view: zoom in whole percents from 5 to 400 around the
// viewport's centre (Ctrl+wheel: around the pointer), fit to the window,
// rubber-band selection.
class DesignerGraphicsView : public QGraphicsView
{
public:
    explicit DesignerGraphicsView(QWidget *parent = nullptr);

    std::function<void(int percent)> zoomChanged;

    int zoomPercent() const;
    void setZoomPercent(int percent);
    void zoomIn() { setZoomPercent(zoomPercent() + 10); }
    void zoomOut() { setZoomPercent(zoomPercent() - 10); }
    void resetZoom();
    void fitCanvas();

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    QPointF viewportCentreInScene() const;
};
