#pragma once

#include "engines/Dispatch.h"
#include "store/LocalStore.h"

#include <QMainWindow>

class BatchPrinter;
class QLabel;
class QPushButton;
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

    // Printing: one row, or the whole list one file after another.
    void startPrint(int row, bool batch);
    void startBatch();
    void printNextInBatch();
    void stopRemainingJobs();
    void showPrintSummary(const QList<QVariantMap> &results);
    void showHistory();

    // The installed printers and the normal queue's printer.
    void refreshPrinters();
    const QStringList &printers() const { return m_printers; }
    BatchPrinter *batch() const { return m_batch; }

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

    LocalStore m_store;
    QLabel *m_statusLabel = nullptr;
    ReorderTableWidget *m_table = nullptr;
    QueueController *m_queue = nullptr;
    BatchPrinter *m_batch = nullptr;
    QPushButton *m_historyButton = nullptr;
    QPushButton *m_printAllButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QStringList m_printers;
};
