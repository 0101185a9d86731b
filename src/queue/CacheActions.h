#pragma once

#include "engines/CacheBuilder.h"

#include <QObject>

class LocalStore;
class QueueController;
class QWidget;

// "Cache this file" on a row of a hot folder: the confirmation dialog, the
// build on a worker thread, and its outcome in the table and status line.
// Several builds may run at once; the window stays usable meanwhile.
class CacheActions : public QObject
{
    Q_OBJECT

public:
    CacheActions(LocalStore *store, QueueController *queue, QWidget *window);

    void cacheRow(int row);
    // Builds still running.
    int buildsInFlight() const { return m_inFlight; }

Q_SIGNALS:
    void statusMessage(const QString &text, bool error);
    void buildFinished(const CacheResult &result);

private:
    bool confirm(const PrintJob &job, const QVariantMap &hotFolder);
    void startBuild(int row, const PrintJob &job);
    void onBuildFinished(const CacheResult &result, const PrintJob &job);

    LocalStore *m_store;
    QueueController *m_queue;
    QWidget *m_window;
    int m_inFlight = 0;
};
