#pragma once

#include "engines/Dispatch.h"
#include "store/LocalStore.h"

#include <QMainWindow>

class QLabel;
class QueueController;
class ReorderTableWidget;

// The composition root of the program: builds the window, owns the store and
// hands each area's work to the classes of that area.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using PrintResult = ::PrintResult;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    LocalStore &store() { return m_store; }
    QueueController *queue() const { return m_queue; }
    ReorderTableWidget *queueTable() const { return m_table; }

    // The print list of the current tab.
    void reloadQueueTable();
    int rowForPath(const QString &path) const;
    void addFiles(const QStringList &paths);
    void removeRow(int row);
    void removeRows(const QList<int> &rows);
    void moveRows(const QList<int> &rows, int target);
    void updateBatchControls();

    // The single status line: errors in red, everything else in grey.
    void showStatus(const QString &text, bool error = false);
    QString statusText() const;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setupUi();
    void openLocalStore();
    void runDependencyCheck();

    bool m_batchRunning = false;
    LocalStore m_store;
    QLabel *m_statusLabel = nullptr;
    ReorderTableWidget *m_table = nullptr;
    QueueController *m_queue = nullptr;
};
