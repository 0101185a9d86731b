#include "imagelayout/ImageListWidget.h"

#include "platform/FileNames.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QFrame>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kIcon = 104;
constexpr int kIndicatorWidth = 6;

QStringList localFiles(const QMimeData *data)
{
    QStringList files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files << Platform::localFilePath(url);
    }
    return files;
}

} // namespace

ImageListWidget::ImageListWidget(QWidget *parent)
    : QListWidget(parent)
{
    setIconSize(QSize(kIcon, kIcon));
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Snap);
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSpacing(4);
    setAlternatingRowColors(true);
    setProperty("externalDragActive", false);

    m_indicator = new QFrame(viewport());
    m_indicator->setObjectName(QStringLiteral("GridDropIndicator"));
    m_indicator->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_indicator->setStyleSheet(QStringLiteral(
        "QFrame#GridDropIndicator { background:#2563eb; border:1px solid #1d4ed8; border-radius:3px;}"));
    m_indicator->hide();
    setGridSize(gridCellSize(viewport()->width()));
}

QSize ImageListWidget::gridCellSize(int viewportWidth)
{
    const int width = viewportWidth - 16;
    return QSize(width > 542 ? width / 3 : 180, 168);
}

void ImageListWidget::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    setGridSize(gridCellSize(viewport()->width()));
}

int ImageListWidget::dropIndexAt(const QPoint &position) const
{
    if (count() == 0)
        return 0;
    int nearest = -1;
    qint64 nearestDistance = 0;
    int nearestCentreX = 0;
    for (int row = 0; row < count(); ++row) {
        const QRect rect = visualItemRect(item(row));
        if (!rect.isValid())
            continue;
        const QPoint centre = rect.center();
        const qint64 dx = position.x() - centre.x();
        const qint64 dy = position.y() - centre.y();
        const qint64 distance = dx * dx + dy * dy;
        if (nearest < 0 || distance < nearestDistance) {
            nearest = row;
            nearestDistance = distance;
            nearestCentreX = centre.x();
        }
    }
    if (nearest < 0)
        return -1;
    return position.x() >= nearestCentreX ? nearest + 1 : nearest;
}

void ImageListWidget::placeIndicator(int dropIndex)
{
    if (dropIndex < 0 || count() == 0) {
        m_indicator->hide();
        return;
    }
    const int halfGrid = gridSize().width() / 2;
    const bool atEnd = dropIndex >= count();
    const QRect rect = visualItemRect(item(atEnd ? count() - 1 : dropIndex));
    int x = atEnd ? rect.center().x() + halfGrid : rect.center().x() - halfGrid;
    x = std::max(3, std::min(x, viewport()->width() - 3));
    const int height = std::max(36, rect.height() - 14);
    m_indicator->setGeometry(x - 3, rect.top() + 7, kIndicatorWidth, height);
    m_indicator->show();
    m_indicator->raise();
}

void ImageListWidget::moveSelectedTo(int dropIndex)
{
    const int total = count();
    if (dropIndex < 0)
        dropIndex = total;
    QList<int> rows;
    for (QListWidgetItem *selected : selectedItems())
        rows << row(selected);
    std::sort(rows.begin(), rows.end());
    const int clamped = std::clamp(dropIndex, 0, total);
    int target = clamped - int(std::count_if(rows.cbegin(), rows.cend(), [clamped](int r) { return r < clamped; }));

    QList<QListWidgetItem *> taken;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        taken.prepend(takeItem(*it));
    target = std::clamp(target, 0, count());
    clearSelection();
    for (int i = 0; i < taken.size(); ++i) {
        insertItem(target + i, taken.at(i));
        taken.at(i)->setSelected(true);
    }
    if (itemsReordered)
        itemsReordered();
}

bool ImageListWidget::isOwnDrag(const QDropEvent *event) const
{
    return event->source() == this;
}

void ImageListWidget::setExternalDragActive(bool active)
{
    setProperty("externalDragActive", active);
    style()->unpolish(this);
    style()->polish(this);
    viewport()->update();
}

void ImageListWidget::startDrag(Qt::DropActions)
{
    const QModelIndexList indexes = selectedIndexes();
    if (indexes.isEmpty())
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(model()->mimeData(indexes));
    const QPixmap image = selectedItems().constFirst()->icon().pixmap(kIcon, kIcon);
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(image.width() / 2, image.height() / 2));
    // The drop moves the items itself; nothing is removed here afterwards.
    drag->exec(Qt::MoveAction);
}

void ImageListWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (isOwnDrag(event)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (event->mimeData()->hasUrls()) {
        setExternalDragActive(true);
        event->acceptProposedAction();
    } else {
        QListWidget::dragEnterEvent(event);
    }
}

void ImageListWidget::dragMoveEvent(QDragMoveEvent *event)
{
    if (isOwnDrag(event)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        placeIndicator(dropIndexAt(event->position().toPoint()));
    } else if (event->mimeData()->hasUrls()) {
        m_indicator->hide();
        event->acceptProposedAction();
    } else {
        QListWidget::dragMoveEvent(event);
        m_indicator->hide();
    }
}

void ImageListWidget::dragLeaveEvent(QDragLeaveEvent *event)
{
    setExternalDragActive(false);
    m_indicator->hide();
    QListWidget::dragLeaveEvent(event);
}

void ImageListWidget::dropEvent(QDropEvent *event)
{
    setExternalDragActive(false);
    m_indicator->hide();
    if (isOwnDrag(event)) {
        moveSelectedTo(dropIndexAt(event->position().toPoint()));
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (event->mimeData()->hasUrls()) {
        const QStringList files = localFiles(event->mimeData());
        if (!files.isEmpty() && filesDropped) {
            filesDropped(files);
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    } else {
        QListWidget::dropEvent(event);
    }
}
