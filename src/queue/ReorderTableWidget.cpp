#include "queue/ReorderTableWidget.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRubberBand>

#include <algorithm>

namespace {

QList<int> sortedList(const QSet<int> &rows)
{
    QList<int> list(rows.begin(), rows.end());
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

ReorderTableWidget::ReorderTableWidget(QWidget *parent)
    : QTableWidget(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(false); // drags are started by this class, not the base
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setMouseTracking(true);

    m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
    m_band->setStyleSheet(QStringLiteral("border:1px solid #2563eb; background:rgba(37,99,235,38);"));
    m_band->hide();

    m_dropIndicator = new QFrame(viewport());
    m_dropIndicator->setObjectName(QStringLiteral("QueueDropIndicator"));
    m_dropIndicator->setStyleSheet(
        QStringLiteral("background:#2563eb; border:0; border-radius:1px;"));
    m_dropIndicator->setFixedHeight(3);
    m_dropIndicator->hide();
}

void ReorderTableWidget::resetRows(int rowCount)
{
    m_rowCount = rowCount;
    m_anchorRow = -1;
    m_dragRow = -1;
    m_dragRows.clear();
    m_banding = false;
    m_band->hide();
    clearSelection();
    hideDropIndicator();
}

QSet<int> ReorderTableWidget::selectedRows() const
{
    QSet<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows.insert(index.row());
    return rows;
}

void ReorderTableWidget::setSelectedRows(const QSet<int> &rows)
{
    QItemSelection selection;
    int count = 0;
    for (const int row : rows) {
        if (row < 0 || row >= m_rowCount)
            continue;
        selection.select(model()->index(row, 0), model()->index(row, columnCount() - 1));
        ++count;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    Q_EMIT selectionCountChanged(count);
}

int ReorderTableWidget::realRowAt(const QPoint &pos) const
{
    const int row = rowAt(pos.y());
    return row >= 0 && row < m_rowCount ? row : -1;
}

bool ReorderTableWidget::isDraggableCell(const QPoint &pos) const
{
    const int column = columnAt(pos.x());
    return realRowAt(pos) >= 0 && column >= 0 && column <= 2;
}

QRect ReorderTableWidget::fullRowRect(int row) const
{
    return QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
}

void ReorderTableWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QTableWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    m_pressPos = pos;

    if (!isDraggableCell(pos)) {
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        m_banding = true;
        m_bandOrigin = pos;
        m_dragRow = -1;
        m_bandSnapshot = ctrl ? selectedRows() : QSet<int>();
        if (!ctrl)
            setSelectedRows({});
        m_band->setGeometry(QRect(pos, QSize()));
        m_band->show();
        return;
    }

    const int row = realRowAt(pos);
    if (event->modifiers() & Qt::ControlModifier) {
        QSet<int> rows = selectedRows();
        if (!rows.remove(row))
            rows.insert(row);
        setSelectedRows(rows);
        m_anchorRow = row;
        m_dragRow = -1;
    } else if ((event->modifiers() & Qt::ShiftModifier) && m_anchorRow >= 0) {
        QSet<int> rows;
        for (int r = std::min(m_anchorRow, row); r <= std::max(m_anchorRow, row); ++r)
            rows.insert(r);
        setSelectedRows(rows);
        m_dragRow = -1;
    } else {
        // A press inside a selected group keeps the group for dragging.
        if (!selectedRows().contains(row))
            setSelectedRows({row});
        m_anchorRow = row;
        m_dragRow = row;
        m_dragRows = selectedRows();
        viewport()->setCursor(Qt::ClosedHandCursor);
    }
}

void ReorderTableWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_banding) {
        updateBand(pos);
        return;
    }
    if ((event->buttons() & Qt::LeftButton) && m_dragRow >= 0) {
        if ((pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
            return;
        QList<int> rows = sortedList(m_dragRows);
        if (!rows.contains(m_dragRow)) {
            rows = {m_dragRow};
            setSelectedRows({m_dragRow});
        }
        m_dragRow = -1;
        m_dragRows.clear();
        startRowDrag(rows);
        hideDropIndicator();
        viewport()->setCursor(Qt::OpenHandCursor);
        return;
    }
    if (event->buttons() == Qt::NoButton)
        updateHoverCursor(pos);
}

void ReorderTableWidget::updateBand(const QPoint &pos)
{
    const QRect band = QRect(m_bandOrigin, pos).normalized();
    m_band->setGeometry(band);
    QSet<int> rows = m_bandSnapshot;
    for (int row = 0; row < m_rowCount; ++row) {
        if (fullRowRect(row).intersects(band))
            rows.insert(row);
    }
    setSelectedRows(rows);
}

void ReorderTableWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QTableWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_banding) {
        m_banding = false;
        m_band->hide();
        const QList<int> rows = sortedList(selectedRows());
        m_anchorRow = rows.isEmpty() ? -1 : rows.first();
        viewport()->setCursor(Qt::ArrowCursor);
        return;
    }
    m_dragRows.clear();
    m_dragRow = -1;
    updateHoverCursor(event->position().toPoint());
}

void ReorderTableWidget::updateHoverCursor(const QPoint &pos)
{
    viewport()->setCursor(isDraggableCell(pos) ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

void ReorderTableWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        Q_EMIT rowDoubleClicked(index.row(), index.column());
}

void ReorderTableWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        const QSet<int> rows = selectedRows();
        if (!event->isAutoRepeat() && !rows.isEmpty())
            Q_EMIT deleteRequested(sortedList(rows));
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        setSelectedRows({});
        m_banding = false;
        m_band->hide();
        hideDropIndicator();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

QByteArray ReorderTableWidget::encodeDraggedRows(const QList<int> &rows)
{
    QByteArrayList parts;
    for (const int row : rows)
        parts << QByteArray::number(row);
    return parts.join(',');
}

QList<int> ReorderTableWidget::parseDraggedRows(const QByteArray &data) const
{
    QSet<int> rows;
    for (const QByteArray &part : data.split(',')) {
        bool ok = false;
        const int row = part.trimmed().toInt(&ok);
        if (ok && row >= 0 && row < m_rowCount)
            rows.insert(row);
    }
    return sortedList(rows);
}

void ReorderTableWidget::startRowDrag(const QList<int> &rows)
{
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(kMimeType), encodeDraggedRows(rows));
    QDrag drag(this);
    drag.setMimeData(mime);
    QPoint hotSpot;
    drag.setPixmap(dragImage(rows, &hotSpot));
    drag.setHotSpot(hotSpot);
    drag.exec(Qt::MoveAction);
}

QPixmap ReorderTableWidget::dragImage(const QList<int> &rows, QPoint *hotSpot) const
{
    // The first dragged row as it looks now, from its first to last cell.
    const int first = rows.first();
    QRect area = fullRowRect(first);
    const QPixmap row = viewport()->grab(area);

    const bool many = rows.size() > 1;
    const QSize canvasSize(row.width() + (many ? 124 : 12), row.height() + 12);
    QPixmap canvas(canvasSize);
    canvas.fill(Qt::transparent);

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(15, 23, 42, 45));
    painter.drawRoundedRect(QRectF(5, 6, canvasSize.width() - 6 - 5, canvasSize.height() - 7 - 6),
                            7, 7);
    painter.setOpacity(0.96);
    painter.drawPixmap(1, 1, row);
    painter.setOpacity(1.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x25, 0x63, 0xeb), 2));
    painter.drawRoundedRect(QRectF(1, 1, row.width(), row.height()), 6, 6);
    if (many) {
        const QRectF badge(row.width() - 2, 8, 106, 30);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x25, 0x63, 0xeb));
        painter.drawRoundedRect(badge, 15, 15);
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, QStringLiteral("%1 files").arg(rows.size()));
    }
    painter.end();

    const QPoint spot = m_pressPos - area.topLeft() + QPoint(1, 1);
    *hotSpot = QPoint(std::clamp(spot.x(), 0, canvasSize.width() - 1),
                      std::clamp(spot.y(), 0, canvasSize.height() - 1));
    return canvas;
}

int ReorderTableWidget::dropTargetAt(int y) const
{
    const int row = rowAt(y);
    if (row >= 0 && row < m_rowCount) {
        const QRect rect = fullRowRect(row);
        return y >= rect.top() + rect.height() / 2 ? row + 1 : row;
    }
    if (m_rowCount > 0 && y <= 0)
        return 0;
    return m_rowCount;
}

void ReorderTableWidget::showDropIndicator(int target)
{
    int y = 0;
    if (m_rowCount > 0) {
        y = target < m_rowCount ? rowViewportPosition(target)
                                : rowViewportPosition(m_rowCount - 1) + rowHeight(m_rowCount - 1);
    }
    m_dropIndicator->setGeometry(8, std::max(0, y - 1), std::max(0, viewport()->width() - 16), 3);
    m_dropIndicator->raise();
    m_dropIndicator->show();
}

void ReorderTableWidget::hideDropIndicator()
{
    m_dropIndicator->hide();
}

bool ReorderTableWidget::isDropIndicatorVisible() const
{
    return m_dropIndicator->isVisible();
}

bool ReorderTableWidget::isOwnRowDrag(const QDropEvent *event) const
{
    return event->mimeData()->hasFormat(QLatin1String(kMimeType)) && event->source() == this;
}

void ReorderTableWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (isOwnRowDrag(event)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    // Files from outside are the window's business.
    event->ignore();
}

void ReorderTableWidget::dragMoveEvent(QDragMoveEvent *event)
{
    if (!isOwnRowDrag(event)) {
        event->ignore();
        return;
    }
    showDropIndicator(dropTargetAt(event->position().toPoint().y()));
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ReorderTableWidget::dragLeaveEvent(QDragLeaveEvent *event)
{
    hideDropIndicator();
    QTableWidget::dragLeaveEvent(event);
}

void ReorderTableWidget::dropEvent(QDropEvent *event)
{
    if (!isOwnRowDrag(event)) {
        event->ignore();
        return;
    }
    const QList<int> rows = parseDraggedRows(event->mimeData()->data(QLatin1String(kMimeType)));
    const int target = dropTargetAt(event->position().toPoint().y());
    hideDropIndicator();
    event->setDropAction(Qt::MoveAction);
    event->accept();
    if (!rows.isEmpty())
        Q_EMIT rowsMoveRequested(rows, target);
}

int ReorderTableWidget::cellWidthHint(int row, int column) const
{
    const QModelIndex index = model()->index(row, column);
    if (!index.isValid())
        return 0;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return itemDelegateForIndex(index)->sizeHint(option, index).width() + (showGrid() ? 1 : 0);
}
