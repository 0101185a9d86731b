#include "queue/BatchPrinter.h"

#include "engines/OfficeSuites.h"
#include "engines/LibreOffice.h"
#include "platform/FileLock.h"
#include "platform/JobTracking.h"
#include "platform/Spooler.h"
#include "queue/JobFollower.h"
#include "queue/PrintSummaryDialog.h"
#include "queue/QueueController.h"
#include "store/DataLocation.h"
#include "store/LocalStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QSemaphore>
#include <QThread>
#include <QtConcurrent>

#include <memory>
#include <utility>

namespace {

// How long a worker waits for the window thread to note its job.
constexpr int kNoteWaitMs = 2000;

PrintedFile printedFileOf(const PrintJob &job, int pages)
{
    PrintedFile printed;
    printed.rowPath = job.path;
    printed.printerName = job.printerName;
    printed.duplex = job.duplex;
    printed.color = job.color;
    printed.historyPath = job.isCache && !job.sourcePath.isEmpty() ? job.sourcePath : job.path;
    printed.pages = std::max(pages, 1);
    printed.copies = job.copies;
    printed.hotFolderId = job.hotFolderId;
    printed.hotFolderName = job.hotFolderName;
    printed.displayName = job.displayName;
    return printed;
}

// Called on the worker the moment the scheduler made a row's job, before
// any of its data goes out: the job is noted on the window thread first, so
// that a window killed at any point leaves either a noted job or one
// without data, which never prints. A window thread that does not answer
// in time (it is closing) does not hold the print up.
void noteJobMade(const QPointer<BatchPrinter> &batch, LocalStore *store, const QString &path,
                 const QString &printer, int jobId)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) // the program is ending
        return;
    auto noted = std::make_shared<QSemaphore>();
    auto note = [batch, store, path, printer, jobId, noted] {
        if (batch)
            store->noteSentJob(path, printer, jobId);
        noted->release();
    };
    if (QThread::currentThread() == application->thread()) {
        note();
        return;
    }
    QMetaObject::invokeMethod(application, note, Qt::QueuedConnection);
    noted->tryAcquire(1, kNoteWaitMs);
}

} // namespace

BatchPrinter::BatchPrinter(LocalStore *store, QueueController *queue, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_queue(queue)
    , m_dispatcher(dispatchPrintJob)
    , m_follower(new JobFollower(store, this))
{
    // A row waits at the printer until its job ended; one that failed there
    // is a failed row again, with the printer's reason.
    m_queue->setWaitingLookup([follower = QPointer<JobFollower>(m_follower)](const QString &path) {
        return follower && follower->isWaiting(path);
    });
    connect(m_follower, &JobFollower::jobEnded, this,
            [this](const QString &path, const QString &state, const QString &failure, const QString &label) {
                if (!path.isEmpty()) {
                    noteEndAtPrinter(&m_batchResults, path, state, failure);
                    m_queue->refreshRow(path);
                    Q_EMIT stateChanged();
                }
                if (!failure.isEmpty())
                    Q_EMIT statusMessage(QStringLiteral("%1: %2").arg(label, failure), true);
            });
    connect(m_follower, &JobFollower::jobWaiting, this, [this](const QString &label, const QString &reason) {
        Q_EMIT statusMessage(QStringLiteral("%1: waiting at the printer — %2").arg(label, reason), false);
    });
    connect(m_follower, &JobFollower::rowResumed, this, [this](const QString &path) {
        m_queue->refreshRow(path);
        Q_EMIT stateChanged();
        releaseOwnershipWhenIdle();
    });
}

BatchPrinter::~BatchPrinter() = default;

bool BatchPrinter::takeOwnership(bool quietly)
{
    if (!m_ownership)
        m_ownership = std::make_unique<Platform::FileLock>(QDir(localDataDirectory()).filePath(QStringLiteral("printing.lock")));
    if (m_ownership->isLocked() || m_ownership->tryLock())
        return true;
    if (!quietly)
        Q_EMIT statusMessage(QStringLiteral("Another Quorvalent Dunmarrow window is printing from these lists. "
                                            "Try again when it has finished."),
                             true);
    return false;
}

void BatchPrinter::releaseOwnershipWhenIdle()
{
    if (!m_running && m_inFlight == 0 && !m_follower->isSettling() && m_ownership)
        m_ownership->unlock();
}

void BatchPrinter::resumeSentJobs()
{
    // Only the window that prints may settle: a job another window is
    // sending right now would look unfinished.
    if (!takeOwnership(true))
        return;
    m_follower->resume();
    releaseOwnershipWhenIdle();
}

void BatchPrinter::startPrint(int row, bool batch)
{
    if (!batch && !takeOwnership())
        return;
    // A file that cannot start hands over to the next path at once.
    if (!tryStartPrint(row, batch) && batch)
        printNextInBatch();
    releaseOwnershipWhenIdle();
}

bool BatchPrinter::tryStartPrint(int row, bool batch)
{
    const PrintJob job = m_queue->buildPrintJob(row);
    const QString file = job.isCache ? job.cachePath : job.path;
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        Q_EMIT statusMessage(job.isCache
                                 ? QStringLiteral("The cached file does not exist and cannot be printed")
                                 : QStringLiteral("The file does not exist and cannot be printed"),
                             true);
        return false;
    }
    if (job.printerName.isEmpty()) {
        Q_EMIT statusMessage(QStringLiteral("Please select a printer first"), true);
        return false;
    }
    // Its last job is still being looked for at the printer: printing it
    // now could print it twice.
    if (m_follower->isBeingSettled(job.path)) {
        Q_EMIT statusMessage(QStringLiteral("%1 was being printed when the program last ended; it is printed "
                                            "again only if that print did not reach the printer. Try again "
                                            "in a moment.")
                                 .arg(job.displayName),
                             true);
        return false;
    }

    m_queue->markRowBusy(row);
    Q_EMIT statusMessage(QStringLiteral("Printing：") + job.displayName, false);
    // Noted before the job exists, so that a window closed or killed while
    // it is sent neither prints the file again nor forgets its job.
    m_store->noteSending(printedFileOf(job, 1));

    auto *watcher = new QFutureWatcher<PrintResult>(this);
    connect(watcher, &QFutureWatcher<PrintResult>::finished, this, [this, watcher, job, batch] {
        const PrintResult result = watcher->result();
        watcher->deleteLater();
        --m_inFlight;
        finishPrint(result, job, batch);
        releaseOwnershipWhenIdle();
    });
    ++m_inFlight;
    // Nothing may escape the worker: an exception would end the program
    // when the result is read.
    watcher->setFuture(QtConcurrent::run([dispatcher = m_dispatcher, job, batchPrinter = QPointer<BatchPrinter>(this),
                                          store = m_store]() {
        PrintResult result;
        // The job it makes, to follow it to its end.
        QString jobPrinter;
        int jobId = 0;
        const Platform::JobCreatedScope jobs([&](const QString &printer, int id) {
            jobPrinter = printer;
            jobId = id;
            noteJobMade(batchPrinter, store, job.path, printer, id);
        });
        try {
            result = dispatcher(job);
        } catch (const std::exception &error) {
            result = PrintResult();
            result.message = QString::fromLocal8Bit(error.what());
        } catch (...) {
            result = PrintResult();
            result.message = QStringLiteral("The local print component did not return a successful result.");
        }
        if (result.jobId == 0) {
            result.jobPrinter = jobPrinter;
            result.jobId = jobId;
        }
        return result;
    }));
    return true;
}

void BatchPrinter::finishPrint(const PrintResult &result, const PrintJob &job, bool batch)
{
    if (!result.success) {
        m_store->forgetSentJob(job.path);
        m_store->markFailed(job.path, result.message);
        Q_EMIT statusMessage(QStringLiteral("PrintFailed：") + result.message, true);
        if (!batch)
            Q_EMIT printFailed(result.message);
        else
            ++m_batchNotSent;
    }

    QVariantMap sent;
    if (result.success) {
        const PrintedFile printed = printedFileOf(job, result.pages);
        QString error;
        qint64 historyId = 0;
        const bool recorded = m_store->recordPrinted(printed, &error, &historyId);
        const bool followed = recorded && result.jobId > 0;
        // A job that could not be recorded keeps its note: the next start
        // records it.
        if (followed)
            m_follower->follow({job.path, historyId, result.jobPrinter, result.jobId, QString()});
        else if (result.jobId <= 0)
            m_store->forgetSentJob(job.path);
        sent = {{QStringLiteral("path"), job.path},
                {QStringLiteral("displayName"), job.displayName},
                {QStringLiteral("pages"), printed.pages},
                {QStringLiteral("copies"), std::max(job.copies, 1)},
                {QStringLiteral("note"), result.note},
                {QStringLiteral("atPrinter"), followed ? QStringLiteral("waiting") : QString()}};
        if (batch)
            m_batchResults << sent;
        const QString sentText = QStringLiteral("Sent to %1: %2").arg(job.printerName, job.displayName);
        Q_EMIT statusMessage(result.note.isEmpty() ? sentText : QStringLiteral("%1 (%2)").arg(sentText, result.note),
                             false);
        if (!recorded)
            Q_EMIT statusMessage(QStringLiteral("The file was printed, but the print could not be "
                                                "recorded: ")
                                     + error,
                                 true);
    }

    // Only this row changed: the rest of a long list stays as it is drawn.
    m_queue->refreshRow(job.path);
    if (batch)
        printNextInBatch();
    else if (result.success)
        Q_EMIT summaryReady({sent}, 0);
}

void BatchPrinter::startBatch()
{
    if (m_running || m_queue->entries().isEmpty() || !takeOwnership())
        return;
    m_batchResults.clear();
    m_batchNotSent = 0;
    m_stopRequested = false;
    m_batchPaths.clear();
    for (int row = 0; row < m_queue->entries().size(); ++row) {
        const QString path = m_queue->pathOfRow(row);
        if (!path.isEmpty())
            m_batchPaths << path;
    }
    m_running = true;
    m_keptPrinters = std::make_unique<Platform::PrinterReuseScope>();
    // The office documents are converted together while the rest prints.
    QList<PrintJob> officeJobs;
    for (int row = 0; row < m_queue->entries().size(); ++row) {
        if (isOfficeDocument(m_queue->pathOfRow(row)))
            officeJobs << m_queue->buildPrintJob(row);
    }
    m_officeDocuments = std::make_unique<OfficeBatchConversion>(libreOfficeDocumentsOf(officeJobs));
    Q_EMIT stateChanged();
    Q_EMIT statusMessage(QStringLiteral("Batch printing started: %1 files. Use Stop remaining jobs "
                                        "to finish the current file and skip the rest.")
                             .arg(m_batchPaths.size()),
                         false);
    printNextInBatch();
}

void BatchPrinter::printNextInBatch()
{
    // A loop, not a recursion: a list of thousands of moved files must not
    // grow the stack.
    while (!m_batchPaths.isEmpty()) {
        const QString path = m_batchPaths.takeFirst();
        // The row as stored now: one removed meanwhile is not printed.
        m_queue->refreshRow(path);
        const int row = m_queue->rowForPath(path);
        if (row < 0)
            continue;
        if (tryStartPrint(row, true))
            return;
        ++m_batchNotSent;
    }
    const bool stopped = m_stopRequested;
    m_running = false;
    m_keptPrinters.reset();
    m_officeDocuments.reset();
    m_stopRequested = false;
    releaseOwnershipWhenIdle();
    Q_EMIT stateChanged();
    Q_EMIT statusMessage(stopped ? QStringLiteral("Batch stopped after the current file. Remaining "
                                                  "files were not sent.")
                                 : QStringLiteral("All print jobs have been processed"),
                         false);
    if (!m_batchResults.isEmpty())
        Q_EMIT summaryReady(std::exchange(m_batchResults, {}), std::exchange(m_batchNotSent, 0));
}

void BatchPrinter::stopRemainingJobs()
{
    if (!m_running || m_stopRequested)
        return;
    const qsizetype remaining = m_batchPaths.size();
    m_batchNotSent += int(remaining);
    m_stopRequested = true;
    m_batchPaths.clear();
    Q_EMIT stateChanged();
    Q_EMIT statusMessage(QStringLiteral("Stopping after the current file. %1 remaining jobs will "
                                        "not be sent. Jobs already in the print service "
                                        "are not cancelled.")
                             .arg(remaining),
                         false);
}
