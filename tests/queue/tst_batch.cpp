#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "queue/BatchPrinter.h"
#include "queue/JobFollower.h"
#include "queue/PrintSummaryDialog.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QLabel>
#include <QSemaphore>
#include <QThreadPool>
#include <QSettings>
#include <QSpinBox>

#include <memory>

namespace {

// A print that succeeds once the test lets it finish.
BatchPrinter::Dispatcher gatedSuccess(QSemaphore *gate)
{
    return [gate](const PrintJob &) {
        gate->acquire();
        PrintResult ok;
        ok.success = true;
        ok.pages = 1;
        return ok;
    };
}

QStringList statusesOf(const QList<QVariantMap> &rows)
{
    QStringList names;
    for (const QVariantMap &row : rows)
        names << row.value("displayName").toString();
    return names;
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<QueueHarness> m_list;
    std::unique_ptr<BatchPrinter> m_batch;
    QStringList m_statuses;
    QList<QList<QVariantMap>> m_summaries;
    int m_notSent = 0;
    QStringList m_failureBoxes;

    QString addPdf(const QString &name, int pages = 1)
    {
        const QString path = PdfFactory::textPdf(m_list->files.path(), name, pages);
        m_list->store.addFile(path, 0, RowSettings{});
        return path;
    }

    QStringList rowStatuses() const
    {
        QStringList statuses;
        for (const QVariant &row : m_list->store.files(0))
            statuses << row.toMap().value("status").toString();
        return statuses;
    }

    bool waitUntilIdle()
    {
        if (!m_batch)
            return true;
        return QTest::qWaitFor(
            [this] { return !m_batch->isRunning() && m_batch->inFlightCount() == 0; }, 60000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(PrivateCups::isAvailable()); }

    void init()
    {
        QSettings settings;
        settings.clear();
        settings.setValue("defaultPrinter", kRaw);
        settings.setValue("pdfEngine", "pdfium");
        m_list = std::make_unique<QueueHarness>();
        m_batch = std::make_unique<BatchPrinter>(&m_list->store, &m_list->queue);
        m_statuses.clear();
        m_summaries.clear();
        m_failureBoxes.clear();
        connect(m_batch.get(), &BatchPrinter::statusMessage, this,
                [this](const QString &text, bool) { m_statuses << text; });
        connect(m_batch.get(), &BatchPrinter::summaryReady, this,
                [this](const QList<QVariantMap> &rows, int notSent) {
                    m_summaries << rows;
                    m_notSent = notSent;
                });
        connect(m_batch.get(), &BatchPrinter::printFailed, this,
                [this](const QString &text) { m_failureBoxes << text; });
        connect(m_batch.get(), &BatchPrinter::stateChanged, this,
                [this] { m_list->queue.setBatchRunning(m_batch->isRunning()); });
    }

    void cleanup()
    {
        waitUntilIdle();
        m_batch.reset();
        m_list.reset();
    }

    void fileDeletedAfterTheStart()
    {
        addPdf("one.pdf", 2);
        const QString second = addPdf("two.pdf");
        addPdf("three.pdf", 3);
        m_list->queue.reloadQueueTable();

        m_batch->startBatch();
        QVERIFY(m_batch->isRunning());
        QVERIFY(QFile::remove(second));
        // While it runs, the list is locked.
        m_list->queue.removeRow(0);
        QCOMPARE(m_list->store.files(0).size(), 3);
        // A second window of the profile stays out, batch or single row.
        {
            BatchPrinter other(&m_list->store, &m_list->queue);
            QStringList said;
            connect(&other, &BatchPrinter::statusMessage, this, [&](const QString &text, bool) { said << text; });
            other.startBatch();
            other.startPrint(2, false);
            QVERIFY(!other.isRunning() && other.inFlightCount() == 0);
            QCOMPARE(said, QStringList(2, "Another Quorvalent Dunmarrow window is printing from these lists. Try "
                                          "again when it has finished."));
        }
        QVERIFY(waitUntilIdle());

        QVERIFY(m_statuses.contains("The file does not exist and cannot be printed"));
        QCOMPARE(m_statuses.last(), QStringLiteral("All print jobs have been processed"));
        QCOMPARE(m_summaries.size(), 1);
        QCOMPARE(statusesOf(m_summaries.first()), (QStringList{"one.pdf", "three.pdf"}));
        QCOMPARE(m_summaries.first().at(1).value("pages").toInt(), 3);
        QCOMPARE(rowStatuses(), (QStringList{"printed", "pending", "printed"}));
        const QVariantList history = m_list->store.recentHistory(10);
        QCOMPARE(history.size(), 2);
        QCOMPARE(history.at(0).toMap().value("total_pages").toInt(), 3);
        QCOMPARE(history.at(0).toMap().value("hot_folder_name").toString(), QStringLiteral("Normal queue"));
        QVERIFY(m_failureBoxes.isEmpty());
    }

    void stopDuringTheFirstOfTen()
    {
        for (int i = 0; i < 10; ++i)
            addPdf(QStringLiteral("f%1.pdf").arg(i));
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        m_batch->stopRemainingJobs();
        QCOMPARE(m_statuses.last(), QStringLiteral("Stopping after the current file. 9 remaining jobs "
                                                   "will not be sent. Jobs already in the print "
                                                   "service are not cancelled."));
        QVERIFY(m_batch->isStopRequested());
        QVERIFY(waitUntilIdle());
        QCOMPARE(m_statuses.last(),
                 QStringLiteral("Batch stopped after the current file. Remaining files were not sent."));
        QCOMPARE(m_summaries.size(), 1);
        QCOMPARE(m_summaries.first().size(), 1);
        QCOMPARE(rowStatuses().count("printed"), 1);
    }

    void everyFileFails()
    {
        QSettings().setValue("defaultPrinter", "Gone_Printer");
        addPdf("a.pdf");
        addPdf("b.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QVERIFY(m_summaries.isEmpty());
        QVERIFY(m_failureBoxes.isEmpty());
        QCOMPARE(m_statuses.last(), QStringLiteral("All print jobs have been processed"));
        QCOMPARE(rowStatuses(), (QStringList{"failed", "failed"}));
        QCOMPARE(m_list->store.files(0).first().toMap().value("last_error").toString(),
                 QStringLiteral("Unable to open printer: Gone_Printer (no such printer is installed)"));
        QVERIFY(m_statuses.contains("PrintFailed：Unable to open printer: Gone_Printer (no such printer is installed)"));
    }

    // A printed row prints again in the next batch; an engine that reports
    // no pages counts as one.
    void printedRowsArePrintedAgain()
    {
        addPdf("a.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->setDispatcher([](const PrintJob &) {
            PrintResult result;
            result.success = true;
            return result;
        });
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QCOMPARE(m_summaries.size(), 2);
        QCOMPARE(m_list->store.recentHistory(10).size(), 2);
        QCOMPARE(m_summaries.first().first().value("pages").toInt(), 1);
        QCOMPARE(m_list->store.recentHistory(1).first().toMap().value("page_count").toInt(), 1);
    }

    // Each sent job is followed to its end: a printer that aborts the jobs
    // fails their rows with its reason; a stopped queue's jobs wait at the
    // printer until it starts, one cancelled there meanwhile fails. Every
    // end is kept with its print, and the summary counts the files that
    // failed at the printer apart from those that never reached it.
    void jobsFollowedToTheirEnd()
    {
        const TroubledQueues queues("batch");
        QVERIFY(queues.ready);
        const auto statusText = [this](int row) { return m_list->table.item(row, QueueTable::Status)->text(); };
        const auto endStates = [this] {
            QStringList states;
            for (const QVariantMap &end : m_list->store.jobEnds())
                states << end.value("state").toString();
            states.sort();
            return states;
        };
        const auto lastError = [this](int row) {
            return m_list->store.files(0).at(row).toMap().value("last_error").toString();
        };

        QSettings().setValue("defaultPrinter", queues.jammed);
        addPdf("a.pdf");
        addPdf("b.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QTRY_COMPARE_WITH_TIMEOUT(m_batch->jobFollower()->waitingCount(), 0, 60000);
        QCOMPARE(rowStatuses(), QStringList({"failed", "failed"}));
        QCOMPARE(statusText(0), QString("Failed"));
        QVERIFY2(lastError(0).startsWith("Failed at the printer: "), qPrintable(lastError(0)));
        QCOMPARE(endStates(), QStringList({"aborted", "aborted"}));
        QCOMPARE(m_list->store.recentHistory(10).size(), 2); // the history itself stays as it was

        QString error;
        QVERIFY(m_list->queue.clearList(&error));
        m_summaries.clear();
        QSettings().setValue("defaultPrinter", queues.paused);
        for (const char *name : {"c.pdf", "d.pdf", "gone.pdf", "e.pdf"})
            addPdf(name);
        m_list->queue.reloadQueueTable();
        QVERIFY(QFile::remove(m_list->files.filePath("gone.pdf")));
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QCOMPARE(statusText(0), QString("Waiting at the printer"));
        QCOMPARE(m_summaries.size(), 1);
        PrintSummaryDialog summary(m_summaries.first(), {});
        summary.followAtPrinter(m_batch->jobFollower(), m_notSent);
        QCOMPARE(summary.outcome()->text(), QString("3 waiting at the printer · 1 not sent"));

        QTRY_VERIFY(m_statuses.contains("c.pdf: waiting at the printer — the printer is stopped (Paused)"));
        const QList<SentJob> sent = m_list->store.sentJobs();
        QCOMPARE(sent.size(), 3);
        QVERIFY(TroubledQueues::run("cancel", {QString::number(sent.at(1).jobId)}));
        QVERIFY(TroubledQueues::run("cupsenable", {queues.paused}));
        QTRY_COMPARE_WITH_TIMEOUT(statusText(0), QString("Printed"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_batch->jobFollower()->waitingCount(), 0, 60000);
        QCOMPARE(statusText(1), QString("Failed"));
        QVERIFY2(lastError(1).startsWith("Canceled at the printer") && !lastError(1).contains("stop-point"),
                 qPrintable(lastError(1)));
        QCOMPARE(summary.outcome()->text(),
                 QString("2 completed at the printer · 1 failed at the printer · 1 not sent"));
        QCOMPARE(endStates(), QStringList({"aborted", "aborted", "canceled", "completed", "completed"}));
        QVERIFY(m_list->store.sentJobs().isEmpty());

        // A queue removed while a job waits there: the job's end cannot be
        // known, and it is let go.
        QVERIFY(TroubledQueues::run("cupsdisable", {queues.paused}));
        QVERIFY(m_list->queue.clearList(&error));
        addPdf("f.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QVERIFY(TroubledQueues::run("lpadmin", {"-x", queues.paused}));
        QTRY_COMPARE_WITH_TIMEOUT(m_batch->jobFollower()->waitingCount(), 0, 30000);
        QVERIFY(m_list->store.sentJobs().isEmpty());
    }

    // A window closed while its job waits at the printer, or killed after
    // a job reached the scheduler but before the print was recorded, loses
    // nothing and prints nothing twice: the next start records and follows
    // such jobs. A row whose print had not begun is still to print.
    void closedOrKilledWindowsPrintNothingTwice()
    {
        const TroubledQueues queues("restart");
        QVERIFY(queues.ready);
        const auto statusText = [this](int row) { return m_list->table.item(row, QueueTable::Status)->text(); };
        QSettings().setValue("defaultPrinter", queues.paused);
        addPdf("closed.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        m_batch.reset(); // closed while its job waits

        QSettings().setValue("defaultPrinter", kRaw);
        const QString killed = addPdf("killed.pdf");
        addPdf("never.pdf");
        m_list->queue.reloadQueueTable();
        const int before = PrivateCups::lastJobId(kRaw);
        QSemaphore sent;
        QSemaphore gate;
        auto dying = std::make_unique<BatchPrinter>(&m_list->store, &m_list->queue);
        dying->setDispatcher([&](const PrintJob &job) {
            const PrintResult result = dispatchPrintJob(job);
            sent.release();
            gate.acquire(); // the window dies before the result is read
            return result;
        });
        dying->startPrint(1, false);
        QTRY_VERIFY_WITH_TIMEOUT(sent.available() > 0, 60000); // the window thread answers meanwhile
        const int job = PrivateCups::waitForJobAfter(kRaw, before, "killed.pdf");
        QVERIFY(job > 0);
        dying.reset();
        QCOMPARE(m_list->store.recentHistory(10).size(), 1);

        m_batch = std::make_unique<BatchPrinter>(&m_list->store, &m_list->queue);
        m_list->queue.reloadQueueTable();
        m_batch->resumeSentJobs();
        QCOMPARE(statusText(0), QString("Waiting at the printer"));
        QTRY_COMPARE_WITH_TIMEOUT(statusText(1), QString("Printed"), 60000);
        QCOMPARE(rowStatuses(), QStringList({"printed", "printed", "pending"}));
        QCOMPARE(m_list->store.recentHistory(10).size(), 2);
        QCOMPARE(m_list->store.recentHistory(10).first().toMap().value("path").toString(), killed);
        QVERIFY(TroubledQueues::run("cupsenable", {queues.paused}));
        QTRY_COMPARE_WITH_TIMEOUT(statusText(0), QString("Printed"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_list->store.jobEnds().size(), 2, 60000);
        QVERIFY(m_list->store.sentJobs().isEmpty());
        QCOMPARE(PrivateCups::waitForJobAfter(kRaw, job, "killed.pdf", 2000), 0);
        gate.release();
        QThreadPool::globalInstance()->waitForDone();
    }

    void rowRemovedWhileItIsNext()
    {
        addPdf("a.pdf");
        const QString second = addPdf("b.pdf");
        addPdf("c.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        // Gone from the database (another program, a crash recovery...).
        QVERIFY(m_list->store.removeFile(second));
        QVERIFY(waitUntilIdle());
        QCOMPARE(statusesOf(m_summaries.first()), (QStringList{"a.pdf", "c.pdf"}));
        QVERIFY(!m_statuses.contains("The file does not exist and cannot be printed"));
    }

    void aThrowingEngineFailsItsRow()
    {
        addPdf("a.pdf");
        addPdf("b.pdf");
        m_list->queue.reloadQueueTable();
        addPdf("c.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->setDispatcher([](const PrintJob &job) -> PrintResult {
            if (job.displayName == QLatin1String("a.pdf"))
                throw std::runtime_error("engine crashed");
            if (job.displayName == QLatin1String("c.pdf"))
                throw 42; // not even an exception class
            PrintResult ok;
            ok.success = true;
            ok.pages = 1;
            return ok;
        });
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QCOMPARE(rowStatuses(), (QStringList{"failed", "printed", "failed"}));
        QVERIFY(m_statuses.contains("PrintFailed：engine crashed"));
    }

    // A row is marked printed together with its history record, or not at all.
    void printsAreRecordedWhole()
    {
        addPdf("a.pdf");
        m_list->queue.reloadQueueTable();
        QSemaphore gate(1);
        m_batch->setDispatcher(gatedSuccess(&gate));
        QVERIFY(m_list->store.execStatement(
            "CREATE TEMP TRIGGER refuse BEFORE INSERT ON print_history "
            "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
        m_batch->startPrint(0, false);
        QVERIFY(waitUntilIdle());
        QCOMPARE(rowStatuses(), QStringList{"pending"});
        QVERIFY(m_statuses.last().contains("disk I/O error"));
        QVERIFY(m_list->store.recentHistory(10).isEmpty());
    }

    // While files print, the user changes a row's copies and shows another
    // tab, or clears the list from a summary box: the change stays, the
    // clear is refused.
    void changesWhileFilesPrint()
    {
        addPdf("a.pdf");
        addPdf("b.pdf");
        m_list->queue.reloadQueueTable();
        QSemaphore gate;
        m_batch->setDispatcher(gatedSuccess(&gate));
        m_batch->startPrint(0, false);
        QueueTable::copiesBox(&m_list->table, 0)->setValue(4);
        m_list->queue.setCurrentTab(99, "Elsewhere");
        m_list->queue.reloadQueueTable();
        gate.release();
        QVERIFY(waitUntilIdle());
        QCOMPARE(m_list->store.files(0).first().toMap().value("copies").toInt(), 4);
        QCOMPARE(m_list->store.recentHistory(1).first().toMap().value("copies").toInt(), 1);

        m_list->queue.setCurrentTab(0, "Normal queue");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QString error;
        QVERIFY(!m_list->queue.clearList(&error));
        QCOMPARE(error, QStringLiteral("The queue is locked while a batch is running"));
        gate.release(2);
        QVERIFY(waitUntilIdle());
        QCOMPARE(rowStatuses(), (QStringList{"printed", "printed"}));
        QCOMPARE(m_statuses.last(), QStringLiteral("All print jobs have been processed"));
        QVERIFY(m_list->queue.clearList(&error));
        QVERIFY(m_list->store.files(0).isEmpty());
    }

    void singleRows()
    {
        addPdf("a.pdf");
        addPdf("b.pdf", 2);
        m_list->queue.reloadQueueTable();
        // Both in flight at once; neither locks the list.
        m_batch->startPrint(0, false);
        m_batch->startPrint(1, false);
        QVERIFY(!m_batch->isRunning());
        QVERIFY(waitUntilIdle());
        QCOMPARE(m_summaries.size(), 2);

        QSettings().setValue("defaultPrinter", "Gone_Printer");
        m_batch->startPrint(0, false);
        QVERIFY(waitUntilIdle());
        QCOMPARE(m_failureBoxes, QStringList{"Unable to open printer: Gone_Printer (no such printer is installed)"});

        QSettings().setValue("defaultPrinter", "");
        m_batch->startPrint(1, false);
        QCOMPARE(m_statuses.last(), QStringLiteral("Please select a printer first"));
    }
};

DUNMARROW_TEST_MAIN(TestBatch)
#include "tst_batch.moc"
