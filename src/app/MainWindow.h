#pragma once

#include "engines/CacheBuilder.h"
#include "engines/Dispatch.h"
#include "store/LocalStore.h"

#include <QMainWindow>

class BatchPrinter;
class CacheActions;
class ColoredTabBar;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QueueActions;
class QueueController;
class ReorderTableWidget;

// The composition root of the program: builds the window, owns the store and
// hands each area's work to the classes of that area.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using PrintResult = ::PrintResult;
    using CacheResult = ::CacheResult;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    LocalStore &store() { return m_store; }
    QueueController *queue() const { return m_queue; }
    QueueActions *queueActions() const { return m_actions; }
    ReorderTableWidget *queueTable() const { return m_ui.table; }
    BatchPrinter *batch() const { return m_batch; }

    // The print list of the current tab.
    void reloadQueueTable();
    int rowForPath(const QString &path) const;
    void addFiles(const QStringList &paths);
    void importFiles();
    void removeRow(int row);
    void removeRows(const QList<int> &rows);
    void moveRows(const QList<int> &rows, int target);
    void moveToTop(int row);
    void sortByName();
    void clearQueue();
    void setCopiesForAll();
    void openRowFile(int row, int column);
    void locateRowFile(int row);
    void updateBatchControls();

    // Printing: one row, or the whole list one file after another.
    void startPrint(int row, bool batch);
    void startBatch();
    void printNextInBatch();
    void stopRemainingJobs();
    void showPrintSummary(const QList<QVariantMap> &results, int notSent = 0);
    void showHistory();

    // "Cache this file": the row's file rendered once into a print cache
    // for its hot folder's preset, on a worker thread.
    void cacheRow(int row);
    // The print caches of the current hot folder: import and delete.
    void showCacheManager();
    // Images to a one-image-per-page PDF; each PDF written joins the list.
    void showImageLayout();
    // The continuous and multipart form designer.
    void showFormsDesigner();
    CacheActions *caching() const { return m_caching; }

    // The hot-folder tabs; the one whose id is given becomes current.
    void loadHotFolderTabs(int selectId);
    void updateHotFolderLine();
    void createHotFolder();
    void editHotFolder();
    void confirmDeleteHotFolder();

    // The installed printers and the normal queue's printer.
    void refreshPrinters();
    // The normal queue's printer's properties window; what the user
    // confirms becomes the printer's defaults and the normal queue's settings.
    void editNormalQueueProperties();
    const QStringList &printers() const { return m_printers; }

    // The single status line: errors in red, everything else in grey.
    void showStatus(const QString &text, bool error = false);
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setupUi();
    QWidget *buildSidebar();
    QWidget *buildMainArea();
    void connectControls();
    void openLocalStore();
    void runDependencyCheck();
    void onTabChanged(int index);
    void onNormalPrinterChanged(const QString &name);

    // Every widget the window talks to after building it.
    struct Widgets
    {
        QPushButton *formsButton = nullptr;
        QPushButton *newHotFolderButton = nullptr;
        QScrollArea *tabScroll = nullptr;
        ColoredTabBar *tabBar = nullptr;
        QComboBox *printerCombo = nullptr;
        QPushButton *propertiesButton = nullptr;
        QLabel *queueCard = nullptr;
        QLabel *printerCard = nullptr;
        QLabel *printedCard = nullptr;
        QComboBox *pdfEngine = nullptr;
        QComboBox *officeEngine = nullptr;
        QPushButton *historyButton = nullptr;
        QPushButton *refreshButton = nullptr;
        QPushButton *cacheButton = nullptr;
        QLabel *hotFolderHint = nullptr;
        QPushButton *importButton = nullptr;
        QPushButton *imageLayoutButton = nullptr;
        QPushButton *clearButton = nullptr;
        QPushButton *stopButton = nullptr;
        QPushButton *printAllButton = nullptr;
        ReorderTableWidget *table = nullptr;
        QLabel *statusLabel = nullptr;
    };

    LocalStore m_store;
    Widgets m_ui;
    QueueController *m_queue = nullptr;
    QueueActions *m_actions = nullptr;
    BatchPrinter *m_batch = nullptr;
    bool m_closing = false;
    CacheActions *m_caching = nullptr;
    QStringList m_printers;
};
