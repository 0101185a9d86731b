#include "forms/FormSnapping.h"

#include "forms/FormLayout.h"

#include <algorithm>
#include <cmath>

namespace Forms {

namespace {

double wholeMillimetres(double units)
{
    return std::round(units / kUnitsPerMm) * kUnitsPerMm; // halves away from zero
}

// The value moved so that one of its anchors meets the nearest guide
// within the threshold; the first anchor and guide win a tie.
double pulled(double value, const QList<double> &anchors, const QList<double> &guides, double threshold)
{
    double best = threshold + 0.01;
    double result = value;
    for (double anchor : anchors) {
        for (double guide : guides) {
            const double distance = std::abs(value + anchor - guide);
            if (distance <= threshold && distance < best) {
                best = distance;
                result = guide - anchor;
            }
        }
    }
    return result;
}

double onPaper(double value, double extent, double paperExtent)
{
    const double maximum = paperExtent - extent;
    return maximum <= 0 ? 0 : std::clamp(value, 0.0, maximum);
}

} // namespace

double snapThreshold(bool isLine)
{
    return isLine ? 24 : 15;
}

QPointF snapPosition(const QPointF &proposed, const QSizeF &size, bool isLine,
                     const QList<double> &guidesX, const QList<double> &guidesY, const QSizeF &paper)
{
    const double threshold = snapThreshold(isLine);
    const double w = size.width();
    const double h = size.height();
    const QList<double> anchorsX = isLine ? QList<double>{0, w} : QList<double>{0, w / 2, w};
    const QList<double> anchorsY = isLine ? QList<double>{h / 2} : QList<double>{0, h / 2, h};
    const double x = pulled(wholeMillimetres(proposed.x()), anchorsX, guidesX, threshold);
    const double y = pulled(wholeMillimetres(proposed.y()), anchorsY, guidesY, threshold);
    return QPointF(onPaper(x, w, paper.width()), onPaper(y, h, paper.height()));
}

QSizeF snapResize(const QPointF &topLeft, const QSizeF &startSize, const QPointF &dragged, bool isLine,
                  const QList<double> &guidesX, const QList<double> &guidesY, const QSizeF &paper)
{
    const double threshold = snapThreshold(isLine);
    double width = std::max(wholeMillimetres(startSize.width() + dragged.x()), kMinimumSide);
    double height = startSize.height();
    if (!isLine)
        height = std::max(wholeMillimetres(startSize.height() + dragged.y()), kMinimumSide);
    // The far edge meets a guide: the same rule as a move, anchored there.
    width = std::max(pulled(topLeft.x() + width, {0}, guidesX, threshold) - topLeft.x(), kMinimumSide);
    if (!isLine)
        height = std::max(pulled(topLeft.y() + height, {0}, guidesY, threshold) - topLeft.y(), kMinimumSide);
    // Inside the paper, but never below the least side: an element already
    // partly off the paper (a fresh copy) must not turn inside out.
    width = std::max(std::min(width, paper.width() - topLeft.x()), kMinimumSide);
    height = std::max(std::min(height, paper.height() - topLeft.y()), kMinimumSide);
    return QSizeF(width, height);
}

} // namespace Forms
