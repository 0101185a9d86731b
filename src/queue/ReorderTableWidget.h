#pragma once

#include <QPoint>
#include <QSet>
#include <QTableWidget>

class QFrame;
class QRubberBand;

// The print list's table: rows are chosen by click, Ctrl-click, Shift-click
// or a rubber band, and a selected group is dragged to a new position. The
// table only reports what the user asked for; the window does the work.
class ReorderTableWidget : public QTableWidget
{
    Q_OBJECT

public:
    static constexpr char kMimeType[] = "application/x-local-print-files";

    explicit ReorderTableWidget(QWidget *parent = nullptr);

    // Called whenever the rows are rebuilt: resets drag state, selection and
    // the drop indicator.
    void resetRows(int rowCount);
    int realRowCount() const { return m_rowCount; }
    // The width one cell asks for, as a column fitted to its contents
    // measures each of its cells.
    int cellWidthHint(int row, int column) const;

    QSet<int> selectedRows() const;
    void setSelectedRows(const QSet<int> &rows);

    // Where a drop at this vertical position puts the dragged rows.
    int dropTargetAt(int y) const;
    // Row numbers from this table's drag data: valid, sorted, each once.
    QList<int> parseDraggedRows(const QByteArray &data) const;
    static QByteArray encodeDraggedRows(const QList<int> &rows);

    bool isDropIndicatorVisible() const;

Q_SIGNALS:
    void rowsMoveRequested(const QList<int> &rows, int target);
    void deleteRequested(const QList<int> &rows);
    void selectionCountChanged(int count);
    void rowDoubleClicked(int row, int column);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    // Runs the drag of the given rows; the real one blocks until the drop.
    virtual void startRowDrag(const QList<int> &rows);
    QPixmap dragImage(const QList<int> &rows, QPoint *hotSpot) const;

private:
    int realRowAt(const QPoint &pos) const;
    bool isDraggableCell(const QPoint &pos) const;
    QRect fullRowRect(int row) const;
    void updateHoverCursor(const QPoint &pos);
    void updateBand(const QPoint &pos);
    void showDropIndicator(int target);
    void hideDropIndicator();
    bool isOwnRowDrag(const QDropEvent *event) const;

    int m_rowCount = 0;
    QPoint m_pressPos;
    int m_anchorRow = -1;
    int m_dragRow = -1;
    QSet<int> m_dragRows;
    QPoint m_bandOrigin;
    QSet<int> m_bandSnapshot;
    bool m_banding = false;
    QRubberBand *m_band = nullptr;
    QFrame *m_dropIndicator = nullptr;
};
