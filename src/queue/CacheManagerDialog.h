#pragma once

#include "cache/CacheStore.h"
#include "store/QueueRecords.h"

#include <QDialog>

class LocalStore;
class QLabel;
class QTableWidget;

// The print caches of one hot folder: each can be imported into the list
// as a standalone cache job (which prints even when its file is gone) or
// deleted with the jobs imported from it.
class CacheManagerDialog : public QDialog
{
    Q_OBJECT

public:
    CacheManagerDialog(LocalStore *store, const HotFolder &hotFolder, QWidget *parent = nullptr);

    void refreshCacheList();
    void importCacheEntry(const CacheEntry &entry);
    void deleteCacheEntry(const CacheEntry &entry);

    QTableWidget *table() const { return m_table; }
    QLabel *summary() const { return m_summary; }
    const QList<CacheEntry> &entries() const { return m_entries; }

Q_SIGNALS:
    // The print list changed: the window shows it again.
    void listChanged();
    void statusMessage(const QString &text, bool error);

private:
    void buildUi(const QString &name);
    QWidget *actionCell(const CacheEntry &entry);

    LocalStore *m_store;
    PrintSettings m_settings;
    int m_actionWidth = 230;
    QTableWidget *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QList<CacheEntry> m_entries;
};
