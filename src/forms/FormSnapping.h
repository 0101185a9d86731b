#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>

// Where a moved or resized element lands on the canvas: whole millimetres,
// pulled to the edges, centres and table lines of the other elements, and
// kept on the paper. Scene units throughout (3 per millimetre).
namespace Forms {

// The threshold within which an edge is pulled to a guide: 5 mm, or 8 mm
// for a line.
double snapThreshold(bool isLine);

// A proposed top-left position for an element of the given size.
QPointF snapPosition(const QPointF &proposed, const QSizeF &size, bool isLine,
                     const QList<double> &guidesX, const QList<double> &guidesY,
                     const QSizeF &paper);

// The size a resize drag gives, from the size when it started and how far
// the pointer went; a line keeps its height.
QSizeF snapResize(const QPointF &topLeft, const QSizeF &startSize, const QPointF &dragged, bool isLine,
                  const QList<double> &guidesX, const QList<double> &guidesY, const QSizeF &paper);

} // namespace Forms
