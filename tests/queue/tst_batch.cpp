#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "queue/BatchPrinter.h"
#include "queue/JobFollower.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QSemaphore>
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
                [this](const QList<QVariantMap> &rows) { m_summaries << rows; });
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
    // fails their rows with its reason; a stopped queue's job waits at the
    // printer until the queue starts. Every end is kept with its print.
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

        QSettings().setValue("defaultPrinter", queues.jammed);
        addPdf("a.pdf");
        addPdf("b.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QTRY_COMPARE_WITH_TIMEOUT(m_batch->jobFollower()->waitingCount(), 0, 60000);
        QCOMPARE(rowStatuses(), QStringList({"failed", "failed"}));
        QCOMPARE(statusText(0), QString("Failed"));
        const QString reason = m_list->store.files(0).first().toMap().value("last_error").toString();
        QVERIFY2(reason.startsWith("Failed at the printer: "), qPrintable(reason));
        QCOMPARE(endStates(), QStringList({"aborted", "aborted"}));
        QCOMPARE(m_list->store.recentHistory(10).size(), 2); // the history itself stays as it was

        QString error;
        QVERIFY(m_list->queue.clearList(&error));
        QSettings().setValue("defaultPrinter", queues.paused);
        addPdf("c.pdf");
        m_list->queue.reloadQueueTable();
        m_batch->startBatch();
        QVERIFY(waitUntilIdle());
        QCOMPARE(statusText(0), QString("Waiting at the printer"));
        QVERIFY(TroubledQueues::run("cupsenable", {queues.paused}));
        QTRY_COMPARE_WITH_TIMEOUT(statusText(0), QString("Printed"), 60000);
        QCOMPARE(endStates(), QStringList({"aborted", "aborted", "completed"}));
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
