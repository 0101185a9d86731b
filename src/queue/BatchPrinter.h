#pragma once

#include "engines/Dispatch.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

class JobFollower;
class LocalStore;
class OfficeBatchConversion;
namespace Platform {
class FileLock;
class PrinterReuseScope;
}
class QueueController;

// Prints rows in the background: one row on its own, or the whole list one
// file after another. Each file is dispatched on the global thread pool with
// its own copy of the job; its result comes back here, on the window thread,
// where the database, the history and the table are updated. A batch starts
// its next file only when the previous one has come back.
class BatchPrinter : public QObject
{
    Q_OBJECT

public:
    using Dispatcher = std::function<PrintResult(const PrintJob &)>;

    BatchPrinter(LocalStore *store, QueueController *queue, QObject *parent = nullptr);
    ~BatchPrinter() override;

    // What prints a job (the real dispatch unless a test says otherwise).
    void setDispatcher(Dispatcher dispatcher) { m_dispatcher = std::move(dispatcher); }

    bool isRunning() const { return m_running; }
    bool isStopRequested() const { return m_stopRequested; }
    int remainingCount() const { return int(m_batchPaths.size()); }
    int inFlightCount() const { return m_inFlight; }
    JobFollower *jobFollower() const { return m_follower; }

    // Settles what a window closed or killed earlier left at the printer
    // (see JobFollower::resume); only while no other window prints.
    void resumeSentJobs();
    void startPrint(int row, bool batch);
    void startBatch();
    void printNextInBatch();
    void stopRemainingJobs();

Q_SIGNALS:
    void statusMessage(const QString &text, bool error);
    // Running, stopping or idle changed: the controls follow.
    void stateChanged();
    // What was sent, for the summary dialog, and how many files of the
    // batch never reached the printer. A sent map's "atPrinter" is
    // "waiting" while its job is followed (see JobFollower), then the job's
    // end, with "failure".
    void summaryReady(const QList<QVariantMap> &results, int notSent);
    // A row printed on its own failed: the user is told in a box.
    void printFailed(const QString &message);

private:
    // One window of a profile prints its lists at a time: a second one
    // would print the same pending rows again. Held while anything prints.
    bool takeOwnership(bool quietly = false);
    void releaseOwnershipWhenIdle();
    bool tryStartPrint(int row, bool batch);
    void finishPrint(const PrintResult &result, const PrintJob &job, bool batch);

    LocalStore *m_store;
    QueueController *m_queue;
    Dispatcher m_dispatcher;
    JobFollower *m_follower;
    bool m_running = false;
    bool m_stopRequested = false;
    QStringList m_batchPaths;
    QList<QVariantMap> m_batchResults;
    int m_batchNotSent = 0;
    int m_inFlight = 0;
    std::unique_ptr<Platform::FileLock> m_ownership;
    // The batch's printers stay set up from its first file to its last.
    std::unique_ptr<Platform::PrinterReuseScope> m_keptPrinters;
    std::unique_ptr<OfficeBatchConversion> m_officeDocuments;
};
