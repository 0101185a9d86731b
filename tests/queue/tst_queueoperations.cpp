#include "ModalAnswerer.h"
#include "PdfFactory.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QDBusConnection>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QToolButton>
#include <QUrl>

#include <cstdio>

#include <unistd.h>

#include <sys/stat.h>

#include <memory>

// The file manager of the private session bus: it records what it was
// asked to show.
class FileManagerStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
};

// The desktop of the tests: a session bus of their own with the file
// manager above, and a default application for PDFs and folders (a desktop
// entry in the profile) that writes each path it opens into a log.
struct DesktopStandIn
{
    DesktopStandIn(const QString &root)
        : log(root + "/opened.log")
    {
        const QString script = root + "/recorder.sh";
        writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '%1'\n").arg(log).toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Recorder\nExec=%1 %f\n"
                               "MimeType=application/pdf;inode/directory;\n").arg(script).toUtf8();
        setDefaults(true);
        // The system's own associations stay out of it; its MIME data stays in.
        QDir().mkpath(root + "/share");
        QFile::link("/usr/share/mime", root + "/share/mime");

        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        daemon.waitForReadyRead(10000);
        address = QString::fromLatin1(daemon.readLine().trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "file-manager"));
        bus->registerObject("/org/freedesktop/FileManager1", &fileManager,
                            QDBusConnection::ExportAllSlots);
        setFileManagerRunning(true);
    }

    ~DesktopStandIn()
    {
        QDBusConnection::disconnectFromBus("file-manager");
        daemon.kill();
        daemon.waitForFinished();
    }

    // Without it no application is there for PDFs and folders at all.
    void setDefaults(bool present)
    {
        const QString desktopFile = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/recorder.desktop";
        if (present)
            writeFile(desktopFile, entry);
        else
            QFile::remove(desktopFile);
        writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list",
                  present ? "[Default Applications]\napplication/pdf=recorder.desktop\n"
                            "inode/directory=recorder.desktop\n"
                          : "[Default Applications]\n");
    }

    void setFileManagerRunning(bool running)
    {
        if (running)
            bus->registerService("org.freedesktop.FileManager1");
        else
            bus->unregisterService("org.freedesktop.FileManager1");
    }

    QStringList opened() const
    {
        return QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts);
    }

    QString log;
    QByteArray entry;
    QProcess daemon;
    QString address;
    std::unique_ptr<QDBusConnection> bus;
    FileManagerStandIn fileManager;
};

class TestQueueOperations : public QObject
{
    Q_OBJECT

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

    // Only existing files of supported types are added; nothing to add, or
    // a refused write, is said on the status line.
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
        QCOMPARE(m_list->statuses.last(),
                 qMakePair(QStringLiteral("Added 2 files to “Normal queue”, pending print"), false));
        m_list->queue.addFiles({zip, vanished});
        QCOMPARE(m_list->statuses.last(), qMakePair(QStringLiteral("No supported files to add"), false));

        QVERIFY(m_list->refuse("no_insert", "BEFORE INSERT ON print_files"));
        m_list->queue.addFiles({m_list->makeFile("b.pdf"), m_list->makeFile("c.pdf")});
        // The failure stays on the status line, and the table shows the database.
        QVERIFY(m_list->statuses.last().first.startsWith(QStringLiteral("Add failed：refused by test")));
        QVERIFY(m_list->statuses.last().second);
        QCOMPARE(m_list->table.rowCount(), 2);
        QCOMPARE(listedNames().size(), 2);
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
        // A link to a blob without a file type keeps the link's name.
        const QString blob = m_list->makeFile("3f9a0c");
        const QString named = m_list->files.filePath("report.pdf");
        QVERIFY(QFile::link(blob, named));
        m_list->queue.addFiles({named});
        QCOMPARE(listedNames(), (QStringList{"a.pdf", "report.pdf"}));
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
        m_list->queue.moveToTop(1);
        QCOMPARE(m_list->statuses.size(), 5);
        for (const auto &status : m_list->statuses)
            QCOMPARE(status, qMakePair(QStringLiteral("The queue is locked while a batch is running"), true));
        m_list->statuses.clear();
        m_list->actions->sortByName();
        m_list->actions->clearQueue();
        m_list->actions->setCopiesForAll();
        m_list->actions->importFiles();
        QCOMPARE(m_list->statuses,
                 (QList<QPair<QString, bool>>{
                     {"Wait for the current file to finish or stop the remaining batch before sorting", true},
                     {"Stop the remaining batch before clearing the queue", true},
                     {"Copies cannot be changed while a batch is running", true},
                     {"Files cannot be imported while a batch is running", true}}));
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

    void sortingByName()
    {
        m_list->queue.addFiles({m_list->makeFile("Report 10.pdf"), m_list->makeFile("report 2.pdf"),
                                m_list->makeFile("Report 1.pdf")});
        QToolButton *button = QueueTable::sortButton(&m_list->table);
        const QStringList ascending{"Report 1.pdf", "report 2.pdf", "Report 10.pdf"};
        button->click();
        QCOMPARE(listedNames(), ascending);
        QCOMPARE(button->toolTip(), QStringLiteral("Sorted ascending. Click to sort descending"));
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Sorted file names in ascending order"));
        button->click();
        const QStringList descending{"Report 10.pdf", "report 2.pdf", "Report 1.pdf"};
        QCOMPARE(listedNames(), descending);
        QCOMPARE(button->toolTip(), QStringLiteral("Sorted descending. Click to sort ascending"));

        // A refused order changes nothing, not even the next direction.
        QVERIFY(m_list->refuse("no_order", "BEFORE UPDATE OF sort_order ON print_files"));
        button->click();
        QVERIFY(m_list->lastStatus().startsWith("Failed to sort files: refused by test"));
        QCOMPARE(listedNames(), descending);
        QCOMPARE(button->toolTip(), QStringLiteral("Sorted descending. Click to sort ascending"));
    }

    void moveToTopAndCopiesForAll()
    {
        m_list->queue.addFiles({m_list->makeFile("a.pdf"), m_list->makeFile("b.pdf"),
                                m_list->makeFile("c.pdf")});
        m_list->queue.moveToTop(2);
        QCOMPARE(listedNames(), (QStringList{"c.pdf", "a.pdf", "b.pdf"}));
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Moved to top: c.pdf"));
        QCOMPARE(m_list->table.selectedRows(), QSet<int>{0});
        m_list->queue.moveToTop(0);
        QCOMPARE(m_list->lastStatus(), QStringLiteral("This file is already first"));

        // The row menu: its entries, and "Move to top" on the row clicked.
        QStringList entries;
        QTimer::singleShot(50, &m_list->table, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                entries << action->text() + (action->isEnabled() ? "" : " (off)");
            menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        m_list->table.resize(800, 400);
        m_list->actions->showRowMenu(m_list->table.visualRect(m_list->table.model()->index(2, 1)).center());
        QCOMPARE(entries, (QStringList{"Move to top", "Cache this file (off)", "Locate file", "",
                                       "Remove file"}));
        QCOMPARE(listedNames(), (QStringList{"b.pdf", "c.pdf", "a.pdf"}));

        ModalAnswerer dialogs;
        QString label;
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            label = input->labelText();
            input->setIntValue(7);
            input->accept();
        };
        QueueTable::copiesButton(&m_list->table)->click();
        QCOMPARE(label, QStringLiteral("Set copies for 3 files to:"));
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Set 7 copies for 3 files"));
        QCOMPARE(QSettings().value("normalCopies").toInt(), 7);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(QueueTable::rowCopies(&m_list->table, row), 7);
            QCOMPARE(m_list->store.files(0).at(row).toMap().value("copies").toInt(), 7);
        }
        QCOMPARE(m_list->queue.buildPrintJob(2).copies, 7);

        dialogs.onDialog = [](QDialog *dialog) { dialog->reject(); };
        QVERIFY(m_list->refuse("no_copies", "BEFORE UPDATE OF copies ON print_files"));
        QueueTable::copiesButton(&m_list->table)->click();
        QCOMPARE(QueueTable::rowCopies(&m_list->table, 0), 7);
        dialogs.onDialog = [](QDialog *dialog) {
            qobject_cast<QInputDialog *>(dialog)->setIntValue(2);
            dialog->accept();
        };
        QueueTable::copiesButton(&m_list->table)->click();
        QVERIFY(dialogs.seen.last().startsWith("Failed to set copies / refused by test"));
        QCOMPARE(QueueTable::rowCopies(&m_list->table, 0), 7);

        QVERIFY(m_list->refuse("no_clear", "BEFORE DELETE ON print_files"));
        dialogs.reply = QMessageBox::Yes;
        m_list->actions->clearQueue();
        QVERIFY(m_list->lastStatus().startsWith("ClearFailed：refused by test"));
        QCOMPARE(listedNames().size(), 3);
        m_list->store.execStatement("DROP TRIGGER no_clear");
        m_list->actions->clearQueue();
        QVERIFY(listedNames().isEmpty());
        QueueTable::copiesButton(&m_list->table)->click();
        QCOMPARE(dialogs.seen.last(),
                 QStringLiteral("Set copies / There are no files in the current print list."));
    }

    // Opening a row's file and showing it in the file manager, through the
    // desktop's own services.
    void openingAndLocating()
    {
        DesktopStandIn desktop(m_list->files.path());
        ScopedEnv display("DISPLAY", ":99"); // xdg-open asks the desktop only with a display
        ScopedEnv dataDirs("XDG_DATA_DIRS", QFile::encodeName(m_list->files.filePath("share")));
        ScopedEnv currentDesktop("XDG_CURRENT_DESKTOP", "");
        const QString pdf = m_list->files.filePath("Q3 \"final\" 'v2' 报告.pdf");
        QVERIFY(PdfFactory::write(pdf, PdfFactory::textPages(1)));
        const QString gone = m_list->makeFile("gone.pdf");
        const QString fifo = m_list->files.filePath("pipe.pdf");
        m_list->queue.addFiles({pdf, gone});
        QFile::remove(gone);
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        m_list->store.execStatement(QStringLiteral("UPDATE print_files SET path='%1' WHERE file_name='gone.pdf'").arg(fifo));
        m_list->queue.reloadQueueTable();

        ModalAnswerer dialogs;
        m_list->actions->openRowFile(0, QueueTable::Status); // only the File column opens
        m_list->actions->openRowFile(0, QueueTable::File);
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Opened file: Q3 \"final\" 'v2' 报告.pdf"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop.opened(), QStringList{pdf}, 30000);
        m_list->actions->openRowFile(1, QueueTable::File);
        QCOMPARE(dialogs.seen.last(), "Unable to openFile / File does not exist or was moved:\n" + fifo);

        m_list->actions->locateRowFile(0);
        QTRY_COMPARE_WITH_TIMEOUT(desktop.fileManager.shown, QStringList{QUrl::fromLocalFile(pdf).toString(QUrl::FullyEncoded)}, 30000);
        // No file manager: the folder opens instead.
        desktop.setFileManagerRunning(false);
        m_list->actions->locateRowFile(0);
        QTRY_COMPARE_WITH_TIMEOUT(desktop.opened().size(), 2, 30000);
        QCOMPARE(desktop.opened().last(), m_list->files.path());
        // A file that is gone (here a FIFO): its folder, said in the status.
        m_list->actions->locateRowFile(1);
        QTRY_COMPARE_WITH_TIMEOUT(desktop.opened().size(), 3, 30000);
        QCOMPARE(m_list->lastStatus(),
                 QStringLiteral("The original file no longer exists. Opened its containing folder"));

        // No default application at all: the boxes, and nothing opened.
        desktop.setDefaults(false);
        m_list->actions->openRowFile(0, QueueTable::File);
        QCOMPARE(dialogs.seen.last(), "Unable to openFile / No default application is available to "
                                      "open this file:\n" + pdf);
        m_list->actions->locateRowFile(0);
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.seen.last(), "Locate file / Unable to open the file folder:\n" + m_list->files.path(), 30000);
        QCOMPARE(desktop.opened().size(), 3);
        QCOMPARE(listedNames().size(), 2);
    }

    void standaloneCacheJobs()
    {
        const QString cache = m_list->makeFile("job.bin");
        QVERIFY(m_list->store.addCacheJob({"Invoice", m_list->files.filePath("deleted.pdf"), cache, 2},
                                          0, RowSettings()));
        m_list->queue.reloadQueueTable();
        ModalAnswerer dialogs;
        m_list->actions->openRowFile(0, QueueTable::File);
        QCOMPARE(dialogs.seen.last(),
                 QStringLiteral("Standalone cache job / The original file was deleted, moved, or "
                                "renamed, but the cache is intact,This job can still be printed.\n\n"
                                "Cached jobs cannot open the original file."));
    }

    // Files dropped on the window land in the list and survive a restart,
    // a name that is not UTF-8 (Latin-1 "café") shown readably and usable.
    void dropsOnTheWindow()
    {
        const QString pdf = m_list->makeFile("dropped one.pdf");
        const QString png = m_list->makeFile("picture.png");
        const QByteArray latin1 = QFile::encodeName(m_list->files.path()) + "/caf\xe9.pdf";
        QVERIFY(QFile::copy(pdf, m_list->files.filePath("tmp.pdf")));
        QVERIFY(::rename(QFile::encodeName(m_list->files.filePath("tmp.pdf")).constData(), latin1.constData()) == 0);
        {
            MainWindow window;
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(pdf), QUrl("https://example.invalid/x.pdf"),
                          QUrl::fromLocalFile(png), QUrl::fromEncoded("file://" + latin1.toPercentEncoding("/"))});
            QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&window, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&window, &drop);
            QCOMPARE(window.queueTable()->rowCount(), 3);
            QCOMPARE(window.statusText(),
                     QStringLiteral("Added 3 files to “Normal queue”, pending print"));
        }
        MainWindow restarted;
        QCOMPARE(restarted.queueTable()->rowCount(), 3);
        QCOMPARE(restarted.queueTable()->item(0, QueueTable::File)->text(),
                 QStringLiteral("dropped one.pdf"));
        QCOMPARE(restarted.queueTable()->item(2, QueueTable::File)->text(), QStringLiteral("café.pdf"));
        QCOMPARE(readFile(restarted.queue()->pathOfRow(2)), readFile(pdf));
        ::unlink(latin1.constData()); // a name the temporary folder's own clean-up cannot name
    }
};

DUNMARROW_TEST_MAIN(TestQueueOperations)
#include "tst_queueoperations.moc"
