#pragma once

#include <QListWidget>

#include <functional>

class QFrame;

// The image layout's thumbnail grid. Thumbnails are dragged within it to
// set the page order, with a drop indicator of its own between cells;
// files dragged in from outside are handed to filesDropped.
class ImageListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit ImageListWidget(QWidget *parent = nullptr);

    std::function<void(const QStringList &)> filesDropped;
    std::function<void()> itemsReordered;

    // The grid cell for a viewport of the given width.
    static QSize gridCellSize(int viewportWidth);

    // Where a drop at a viewport position puts the dragged items: before
    // the nearest cell, or after it when the pointer is right of its
    // centre. 0 for an empty list, -1 when no cell is laid out.
    int dropIndexAt(const QPoint &position) const;
    // Moves the selected items to a drop index, keeping their order and
    // their selection.
    void moveSelectedTo(int dropIndex);

    QFrame *dropIndicator() const { return m_indicator; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool isOwnDrag(const QDropEvent *event) const;
    void setExternalDragActive(bool active);
    void placeIndicator(int dropIndex);

    QFrame *m_indicator = nullptr;
};
