#pragma once

#include <QGraphicsScene>

// The form's sheet: white paper of the template's size with a millimetre
// grid (every 5 mm, stronger every 10 mm), no grid while a print renders.
class FormScene : public QGraphicsScene
{
public:
    explicit FormScene(QObject *parent = nullptr);

    bool isPrintMode() const { return m_printMode; }
    void setPrintMode(bool on);

    // The paper of W × H mm: (0, 0, 3·W, 3·H).
    void setPaperSize(double widthMm, double heightMm);

protected:
    void drawBackground(QPainter *painter, const QRectF &exposed) override;

private:
    bool m_printMode = false;
};
