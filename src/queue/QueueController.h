#pragma once

#include "cache/PrintSettings.h"
#include "queue/JobModel.h"
#include "store/QueueRecords.h"

#include <QObject>
#include <QSet>

#include <functional>

class LocalStore;
class ReorderTableWidget;
struct QueueTableContext;

// The print list of the current tab: its rows in memory, the table that
// shows them, and the operations on them. Every change goes to the database
// first; the table is then rebuilt from it.
class QueueController : public QObject
{
    Q_OBJECT

public:
    QueueController(LocalStore *store, ReorderTableWidget *table, QObject *parent = nullptr);

    // The tab whose list is shown: 0 is the normal queue.
    void setCurrentTab(int hotFolderId, const QString &tabText);
    int currentHotFolderId() const { return m_hotFolderId; }
    QString currentTabText() const { return m_tabText; }

    void setBatchRunning(bool running) { m_batchRunning = running; }
    bool isBatchRunning() const { return m_batchRunning; }

    // Where the window's controls answer, when they exist; otherwise the
    // stored settings are read.
    void setDefaultPrinterSource(std::function<QString()> source);
    void setEngineSources(std::function<QString()> pdf, std::function<QString()> office);
    // Whether an ordinary row has a print cache (the cache store's lookup).
    void setCacheLookup(std::function<bool(const QString &path, const PrintSettings &)> lookup);
    // Whether a printed row's job is still at the printer.
    void setWaitingLookup(std::function<bool(const QString &path)> lookup);

    // The rows as last read from the database; the table shows exactly
    // these (its File cells carry the same paths), so they are the one source.
    const QVariantList &entries() const { return m_entries; }
    int rowForPath(const QString &path) const;
    QString pathOfRow(int row) const;

    void reloadQueueTable();
    // One row read again and drawn again, when only it changed (a print
    // ended); the whole list when the row is gone from the database.
    void refreshRow(const QString &path);
    // The row is being printed: its status and buttons say so until the
    // next rebuild.
    void markRowBusy(int row);
    // A cache of the row is being built: its status says so until the next rebuild.
    void markRowCaching(int row);
    PrintJob buildPrintJob(int row) const;
    QString defaultPrinter() const;

    void addFiles(const QStringList &paths);
    void removeRow(int row);
    void removeRows(const QList<int> &rows);
    void moveRows(const QList<int> &rows, int target);
    void moveToTop(int row);
    // Orders the list by file name; false when refused or not stored.
    bool sortByName(bool ascending);
    // Every row of the list gets these copies, in the database and on screen.
    bool setCopiesForAll(int copies, QString *error);
    // Empties the list of the current tab; refused while a batch runs.
    bool clearList(QString *error);

Q_SIGNALS:
    void statusMessage(const QString &text, bool error);
    // The list was rebuilt: counts and controls need a refresh.
    void tableReloaded();
    void printRequested(int row);

private:
    bool refuseWhileBatchRuns(const char *message = nullptr);
    HotFolder currentHotFolder() const;
    QueueTableContext tableContext();
    void onCopiesChanged(int row, int copies);
    void onSelectionCountChanged(int count);

    LocalStore *m_store;
    ReorderTableWidget *m_table;
    int m_hotFolderId = 0;
    QString m_tabText = QStringLiteral("Normal queue");
    bool m_batchRunning = false;
    QVariantList m_entries;
    std::function<QString()> m_defaultPrinterSource;
    std::function<QString()> m_pdfEngineSource;
    std::function<QString()> m_officeEngineSource;
    std::function<bool(const QString &, const PrintSettings &)> m_cacheLookup;
    std::function<bool(const QString &)> m_waitingLookup;
};
