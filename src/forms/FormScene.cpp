#include "forms/FormScene.h"

#include "forms/FormLayout.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double kGridStep = 15;  // 5 mm
constexpr double kMajorStep = 30; // 10 mm

bool isMajor(double coordinate)
{
    return std::fmod(coordinate + 0.1, kMajorStep) < 0.2;
}

QPen gridPen(double coordinate)
{
    return isMajor(coordinate) ? QPen(QColor(QStringLiteral("#dbe5f1")), 0.8)
                               : QPen(QColor(QStringLiteral("#edf2f7")), 0.5);
}

} // namespace

FormScene::FormScene(QObject *parent)
    : QGraphicsScene(parent)
{
}

void FormScene::setPrintMode(bool on)
{
    m_printMode = on;
    update();
}

void FormScene::setPaperSize(double widthMm, double heightMm)
{
    setSceneRect(0, 0, widthMm * Forms::kUnitsPerMm, heightMm * Forms::kUnitsPerMm);
}

void FormScene::drawBackground(QPainter *painter, const QRectF &exposed)
{
    const QRectF paper = sceneRect();
    painter->fillRect(paper, Qt::white);
    if (m_printMode)
        return;
    painter->save();
    painter->setClipRect(exposed);
    // Only the lines in the exposed part: a large sheet at a high zoom
    // would otherwise draw thousands of lines for every repaint.
    const QRectF area = exposed.intersected(paper);
    const double firstX = std::max(0.0, std::floor(area.left() / kGridStep) * kGridStep);
    const double firstY = std::max(0.0, std::floor(area.top() / kGridStep) * kGridStep);
    for (double x = firstX; x <= std::min(paper.width(), area.right() + kGridStep); x += kGridStep) {
        painter->setPen(gridPen(x));
        painter->drawLine(QPointF(x, 0), QPointF(x, paper.height()));
    }
    for (double y = firstY; y <= std::min(paper.height(), area.bottom() + kGridStep); y += kGridStep) {
        painter->setPen(gridPen(y));
        painter->drawLine(QPointF(0, y), QPointF(paper.width(), y));
    }
    painter->restore();
}
