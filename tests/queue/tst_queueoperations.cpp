#include "QueueFixture.h"
#include "StandIns.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QMimeData>
#include <QSettings>
#include <QUrl>

#include <memory>

class TestQueueOperations : public QObject
{
    Q_OBJECT

    // The window checks for these once it runs; they do not exist here.
    StandInPrograms m_programs;

    std::unique_ptr<QueueHarness> m_list;

    QStringList listedNames() const
    {
        QStringList names;
        for (const QVariant &row : m_list->store.files(m_list->queue.currentHotFolderId()))
            names << row.toMap().value("file_name").toString();
        return names;
    }

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        m_list = std::make_unique<QueueHarness>();
    }

    void cleanup() { m_list.reset(); }

    void addsOnlyExistingSupportedFiles()
    {
        const QString pdf = m_list->makeFile("Q3 \"final\" 'v2' 报告.PDF");
        const QString image = m_list->makeFile("scan 01.tiff");
        const QString zip = m_list->makeFile("bundle.zip");
        QDir().mkpath(m_list->files.filePath("folder.pdf"));
        const QString vanished = m_list->files.filePath("vanished.pdf");

        m_list->queue.addFiles({pdf, zip, vanished, m_list->files.filePath("folder.pdf"), image});
        QCOMPARE(listedNames(), (QStringList{"Q3 \"final\" 'v2' 报告.PDF", "scan 01.tiff"}));
        QCOMPARE(m_list->table.rowCount(), 2);
        QCOMPARE(m_list->statuses.last().first,
                 QStringLiteral("Added 2 files to “Normal queue”, pending print"));
        QVERIFY(!m_list->statuses.last().second);
    }

    void oneRowPerFile()
    {
        const QString pdf = m_list->makeFile("a.pdf");
        const QString link = m_list->files.filePath("link to a.pdf");
        QVERIFY(QFile::link(pdf, link));
        const QString relative = QDir::current().relativeFilePath(pdf);
        const QString dotted = m_list->files.path() + "/./sub/../a.pdf";

        m_list->queue.addFiles({pdf, link, relative, dotted});
        QCOMPARE(listedNames(), QStringList{"a.pdf"});
        m_list->queue.addFiles({link});
        QCOMPARE(listedNames(), QStringList{"a.pdf"});
    }

    void nothingToAdd()
    {
        m_list->queue.addFiles({m_list->makeFile("a.zip"), m_list->files.filePath("none.pdf")});
        QVERIFY(listedNames().isEmpty());
        QCOMPARE(m_list->statuses.last(), qMakePair(QStringLiteral("No supported files to add"), false));
    }

    void refusedWritesAreReported()
    {
        const QString pdf = m_list->makeFile("a.pdf");
        QVERIFY(m_list->refuse("no_insert", "BEFORE INSERT ON print_files"));
        m_list->queue.addFiles({pdf, m_list->makeFile("b.pdf")});
        // The failure stays on the status line, and the table shows the database.
        QVERIFY(m_list->statuses.last().first.startsWith(QStringLiteral("Add failed：refused by test")));
        QVERIFY(m_list->statuses.last().second);
        QCOMPARE(m_list->table.rowCount(), 0);
    }

    void removingWithAFailure()
    {
        const QStringList paths{m_list->makeFile("a.pdf"), m_list->makeFile("b.pdf"),
                                m_list->makeFile("c.pdf")};
        m_list->queue.addFiles(paths);
        QVERIFY(m_list->refuse("keep_b", "BEFORE DELETE ON print_files WHEN OLD.file_name='b.pdf'"));
        m_list->queue.removeRows({0, 1, 2, 2, 7});
        QVERIFY(m_list->statuses.last().first.startsWith(
            QStringLiteral("Removed 2 files; 1 removals failed: b.pdf：refused by test")));
        QVERIFY(m_list->statuses.last().second);
        QCOMPARE(listedNames(), QStringList{"b.pdf"});
        for (const QString &path : paths)
            QVERIFY(QFile::exists(path));

        m_list->queue.removeRow(0);
        QVERIFY(m_list->statuses.last().first.startsWith(QStringLiteral("RemoveFailed：refused by test")));
        const qsizetype reported = m_list->statuses.size();
        m_list->queue.removeRow(5); // not a row: nothing happens
        QCOMPARE(m_list->statuses.size(), reported);
    }

    void lockedWhileABatchRuns()
    {
        m_list->queue.addFiles({m_list->makeFile("a.pdf"), m_list->makeFile("b.pdf")});
        m_list->queue.setBatchRunning(true);
        m_list->statuses.clear();
        m_list->queue.addFiles({m_list->makeFile("c.pdf")});
        m_list->queue.removeRow(0);
        m_list->queue.removeRows({0, 1});
        m_list->queue.moveRows({1}, 0);
        QCOMPARE(m_list->statuses.size(), 4);
        for (const auto &status : m_list->statuses)
            QCOMPARE(status, qMakePair(QStringLiteral("The queue is locked while a batch is running"), true));
        QCOMPARE(listedNames(), (QStringList{"a.pdf", "b.pdf"}));
    }

    void addingToAHotFolderTakesItsPreset()
    {
        QVERIFY(m_list->store.addHotFolder({"Lab", "LabPrinter", 1, true, "A3", "#e9edf3"}));
        const int id = m_list->store.hotFolders().first().toMap().value("id").toInt();
        const QString pdf = m_list->makeFile("a.pdf");
        m_list->queue.addFiles({pdf});
        m_list->queue.setCurrentTab(id, "Lab");
        m_list->queue.addFiles({pdf});
        QCOMPARE(m_list->statuses.last().first, QStringLiteral("Added 1 files to “Lab”, pending print"));
        QVERIFY(m_list->store.files(0).isEmpty());
        const QVariantMap row = m_list->store.files(id).first().toMap();
        QCOMPARE(row.value("printer_name").toString(), QStringLiteral("LabPrinter"));
        QCOMPARE(row.value("duplex_mode").toInt(), 1);
        QCOMPARE(row.value("paper_size").toString(), QStringLiteral("A3"));

        const PrintJob job = m_list->queue.buildPrintJob(0);
        QCOMPARE(job.path, LocalStore::normalizedPath(pdf));
        QCOMPARE(job.hotFolderName, QStringLiteral("Lab"));
        QCOMPARE(job.printerName, QStringLiteral("LabPrinter"));
        QCOMPARE(m_list->queue.buildPrintJob(3).path, QString());
    }

    // Files dropped on the window land in the list and survive a restart.
    void dropsOnTheWindow()
    {
        const QString pdf = m_list->makeFile("dropped one.pdf");
        const QString png = m_list->makeFile("picture.png");
        {
            MainWindow window;
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(pdf), QUrl("https://example.invalid/x.pdf"),
                          QUrl::fromLocalFile(png)});
            QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&window, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&window, &drop);
            QCOMPARE(window.queueTable()->rowCount(), 2);
            QCOMPARE(window.statusText(),
                     QStringLiteral("Added 2 files to “Normal queue”, pending print"));
        }
        MainWindow restarted;
        QCOMPARE(restarted.queueTable()->rowCount(), 2);
        QCOMPARE(restarted.queueTable()->item(0, QueueTable::File)->text(),
                 QStringLiteral("dropped one.pdf"));
    }
};

DUNMARROW_TEST_MAIN(TestQueueOperations)
#include "tst_queueoperations.moc"
