#include "app/MainWindow.h"

#include "imagelayout/ImageLayoutDialog.h"

#include "app/AppIdentity.h"
#include "app/SummaryCard.h"
#include "app/WindowGeometry.h"

#include "cache/CacheStore.h"
#include "engines/LibreOffice.h"
#include "engines/PrinterDefaults.h"
#include "forms/FormDesignerDialog.h"
#include "imagelayout/ImageLayoutDialog.h"
#include "platform/FileNames.h"
#include "queue/BatchPrinter.h"
#include "queue/CacheActions.h"
#include "queue/CacheManagerDialog.h"
#include "queue/ColoredTabBar.h"
#include "queue/DriverProperties.h"
#include "queue/HistoryDialog.h"
#include "queue/HotFolderEditor.h"
#include "queue/HotFolderTabs.h"
#include "queue/JobFollower.h"
#include "queue/PrintSummaryDialog.h"
#include "queue/PlainMessage.h"
#include "queue/PrinterList.h"
#include "queue/QueueActions.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <QToolButton>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quorvalent Dunmarrow %1")
                       .arg(QLatin1String(applicationVersionLabel())));
    setMinimumSize(WindowGeometry::kMinimumSize);
    resize(WindowGeometry::initialSizeFor(screen()));
    setAcceptDrops(true);

    setupUi();
    connectControls();
    openLocalStore();
    // A print that was killed may have left a printer's settings changed,
    // and LibreOffice's files (or LibreOffice itself) behind.
    restoreAbandonedPrinterDefaults();
    removeAbandonedLibreOfficeRuns();
    refreshPrinters();
    loadHotFolderTabs(0);
    // Jobs a window closed or killed earlier left at the printer.
    m_batch->resumeSentJobs();

    // Runs once the event loop has started and the window is visible.
    QTimer::singleShot(0, this, &MainWindow::runDependencyCheck);
}

MainWindow::~MainWindow() = default;

void MainWindow::connectControls()
{
    m_queue = new QueueController(&m_store, m_ui.table, this);
    connect(m_queue, &QueueController::statusMessage, this, &MainWindow::showStatus);
    connect(m_queue, &QueueController::tableReloaded, this, &MainWindow::updateBatchControls);
    m_queue->setCacheLookup([](const QString &path, const PrintSettings &settings) {
        return findCache(path, settings);
    });
    m_queue->setEngineSources([this] { return m_ui.pdfEngine->currentData().toString(); },
                              [this] { return m_ui.officeEngine->currentData().toString(); });

    m_actions = new QueueActions(m_queue, m_ui.table, this);
    connect(m_actions, &QueueActions::statusMessage, this, &MainWindow::showStatus);
    m_caching = new CacheActions(&m_store, m_queue, this);
    connect(m_caching, &CacheActions::statusMessage, this, &MainWindow::showStatus);
    m_actions->setCacheRowHandler([this](int row) { cacheRow(row); });

    m_batch = new BatchPrinter(&m_store, m_queue, this);
    connect(m_queue, &QueueController::printRequested, this,
            [this](int row) { startPrint(row, false); });
    connect(m_batch, &BatchPrinter::statusMessage, this, &MainWindow::showStatus);
    connect(m_batch, &BatchPrinter::stateChanged, this, &MainWindow::updateBatchControls);
    connect(m_batch, &BatchPrinter::summaryReady, this, &MainWindow::showPrintSummary);
    connect(m_batch, &BatchPrinter::printFailed, this, [this](const QString &message) {
        if (!m_closing)
            plainMessage(this, QMessageBox::Warning, QStringLiteral("PrintFailed"), message);
    });

    connect(m_ui.tabBar, &QTabBar::currentChanged, this, &MainWindow::onTabChanged);
    // The clicked tab is current before either runs.
    m_ui.tabBar->setEditCallback([this](int) { editHotFolder(); });
    m_ui.tabBar->setDeleteCallback([this](int) { confirmDeleteHotFolder(); });
    connect(m_ui.newHotFolderButton, &QPushButton::clicked, this, &MainWindow::createHotFolder);
    connect(m_ui.printerCombo, &QComboBox::currentTextChanged, this,
            &MainWindow::onNormalPrinterChanged);
    connect(m_ui.propertiesButton, &QPushButton::clicked, this,
            &MainWindow::editNormalQueueProperties);
    connect(m_ui.historyButton, &QPushButton::clicked, this, &MainWindow::showHistory);
    connect(m_ui.cacheButton, &QPushButton::clicked, this, &MainWindow::showCacheManager);
    connect(m_ui.imageLayoutButton, &QPushButton::clicked, this, &MainWindow::showImageLayout);
    connect(m_ui.formsButton, &QPushButton::clicked, this, &MainWindow::showFormsDesigner);
    connect(m_ui.refreshButton, &QPushButton::clicked, this, &MainWindow::refreshPrinters);
    connect(m_ui.importButton, &QPushButton::clicked, this, &MainWindow::importFiles);
    connect(m_ui.clearButton, &QPushButton::clicked, this, &MainWindow::clearQueue);
    connect(m_ui.printAllButton, &QPushButton::clicked, this, &MainWindow::startBatch);
    connect(m_ui.stopButton, &QPushButton::clicked, this, &MainWindow::stopRemainingJobs);
}

void MainWindow::openLocalStore()
{
    QString error;
    if (m_store.open(&error))
        return;
    // Start-up carries on: every later database call reports its own failure.
    QMessageBox::critical(this, QStringLiteral("Local database"),
                          QStringLiteral("Initialization failed：") + error);
}

void MainWindow::runDependencyCheck()
{
    ::runDependencyCheck(this);
}

void MainWindow::reloadQueueTable()
{
    m_queue->reloadQueueTable();
}

int MainWindow::rowForPath(const QString &path) const
{
    return m_queue->rowForPath(path);
}

void MainWindow::addFiles(const QStringList &paths)
{
    m_queue->addFiles(paths);
}

void MainWindow::importFiles()
{
    m_actions->importFiles();
}

void MainWindow::removeRow(int row)
{
    m_queue->removeRow(row);
}

void MainWindow::removeRows(const QList<int> &rows)
{
    m_queue->removeRows(rows);
}

void MainWindow::moveRows(const QList<int> &rows, int target)
{
    m_queue->moveRows(rows, target);
}

void MainWindow::moveToTop(int row)
{
    m_queue->moveToTop(row);
}

void MainWindow::sortByName()
{
    m_actions->sortByName();
}

void MainWindow::clearQueue()
{
    m_actions->clearQueue();
}

void MainWindow::setCopiesForAll()
{
    m_actions->setCopiesForAll();
}

void MainWindow::openRowFile(int row, int column)
{
    m_actions->openRowFile(row, column);
}

void MainWindow::locateRowFile(int row)
{
    m_actions->locateRowFile(row);
}

void MainWindow::updateBatchControls()
{
    const bool running = m_batch->isRunning();
    const bool stopping = m_batch->isStopRequested();
    m_queue->setBatchRunning(running);

    const QVariantList &rows = m_queue->entries();
    int printed = 0;
    for (const QVariant &row : rows)
        printed += row.toMap().value(QStringLiteral("status")).toString() == QLatin1String("printed");
    setSummaryCardNumber(m_ui.queueCard, int(rows.size()));
    setSummaryCardNumber(m_ui.printerCard, int(m_printers.size()));
    setSummaryCardNumber(m_ui.printedCard, printed);

    m_ui.printAllButton->setEnabled(!rows.isEmpty() && !m_printers.isEmpty() && !running);
    m_ui.printAllButton->setToolTip(QString());
    m_ui.stopButton->setVisible(running);
    m_ui.stopButton->setEnabled(running && !stopping);
    m_ui.stopButton->setText(stopping ? QStringLiteral("Stopping after current file…")
                                      : QStringLiteral("Stop remaining jobs"));

    const QList<QWidget *> locked = {
        m_ui.table, m_ui.importButton, m_ui.refreshButton, m_ui.clearButton,
        m_ui.printerCombo, m_ui.propertiesButton, m_ui.pdfEngine, m_ui.officeEngine, m_ui.tabBar,
        QueueTable::sortButton(m_ui.table), QueueTable::copiesButton(m_ui.table)};
    for (QWidget *control : locked) {
        if (control)
            control->setEnabled(!running);
    }
    m_ui.newHotFolderButton->setEnabled(!running);
    m_ui.imageLayoutButton->setEnabled(!running);
    m_ui.formsButton->setEnabled(!running);
    updateHotFolderLine();
}

void MainWindow::loadHotFolderTabs(int selectId)
{
    HotFolderTabs::fill(m_ui.tabBar, m_store.hotFolders(), selectId);
    onTabChanged(m_ui.tabBar->currentIndex());
}

void MainWindow::createHotFolder()
{
    HotFolderEditor editor(&m_store, m_printers, 0, this);
    if (!editor.run())
        return;
    const QVariantList folders = m_store.hotFolders();
    const int newest = folders.isEmpty() ? 0 : folders.last().toMap().value(QStringLiteral("id")).toInt();
    loadHotFolderTabs(newest);
    showStatus(QStringLiteral("Hot folder created. Drag files into the current tab"));
}

void MainWindow::editHotFolder()
{
    const int id = m_queue->currentHotFolderId();
    if (id < 1)
        return;
    HotFolderEditor editor(&m_store, m_printers, id, this);
    if (!editor.run())
        return;
    loadHotFolderTabs(id);
    showStatus(QStringLiteral("Hot folder preset updated"));
}

void MainWindow::confirmDeleteHotFolder()
{
    const int id = m_queue->currentHotFolderId();
    const HotFolder folder = id >= 1 ? m_store.hotFolder(id) : HotFolder();
    if (folder.isEmpty())
        return;
    const auto answer = plainMessage(
        this, QMessageBox::Question, QStringLiteral("Delete hot folder"),
        QStringLiteral("Delete “%1”? Its files will move back to the normal queue. Original files "
                       "will not be deleted.")
            .arg(folder.value(QStringLiteral("name")).toString()),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    QString error;
    if (!m_store.deleteHotFolder(id, &error)) {
        QMessageBox::warning(this, QStringLiteral("Delete failed"), error);
        return;
    }
    loadHotFolderTabs(0);
    showStatus(QStringLiteral("Hot folder deleted. Files moved back to the normal queue"));
}

void MainWindow::onTabChanged(int index)
{
    m_queue->setCurrentTab(m_ui.tabBar->tabData(index).toInt(), m_ui.tabBar->tabText(index));
    updateHotFolderLine();
    reloadQueueTable();
}

void MainWindow::updateHotFolderLine()
{
    const int id = m_queue->currentHotFolderId();
    const HotFolder folder = id >= 1 ? m_store.hotFolder(id) : HotFolder();
    m_ui.hotFolderHint->setText(HotFolderTabs::hintLine(folder));
    m_ui.cacheButton->setEnabled(!folder.isEmpty() && !(m_batch && m_batch->isRunning()));
    m_ui.cacheButton->setToolTip(folder.isEmpty()
                                     ? QStringLiteral("Select a configured hot folder first")
                                     : QStringLiteral("Manage print cache for the current hot folder"));
}

void MainWindow::refreshPrinters()
{
    m_printers = installedPrinters();
    QString wanted = m_ui.printerCombo->currentText();
    if (wanted.isEmpty())
        wanted = QSettings().value(QStringLiteral("defaultPrinter")).toString();
    if (wanted.isEmpty())
        wanted = systemDefaultPrinter();
    {
        const QSignalBlocker quiet(m_ui.printerCombo);
        m_ui.printerCombo->clear();
        m_ui.printerCombo->addItems(m_printers);
        const int index = m_ui.printerCombo->findText(wanted, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            m_ui.printerCombo->setCurrentIndex(index);
    }
    if (!m_ui.printerCombo->currentText().isEmpty())
        QSettings().setValue(QStringLiteral("defaultPrinter"), m_ui.printerCombo->currentText());
    if (m_ui.table->realRowCount() > 0)
        reloadQueueTable();
    else
        updateBatchControls();
    showStatus(QStringLiteral("Found %1 printers").arg(m_printers.size()));
}

void MainWindow::onNormalPrinterChanged(const QString &name)
{
    if (name.isEmpty())
        return;
    if (m_ui.tabBar->currentIndex() != 0)
        m_ui.tabBar->setCurrentIndex(0);
    QSettings().setValue(QStringLiteral("defaultPrinter"), name);
    showStatus(QStringLiteral("Normal queuePrinter：") + name);
}

void MainWindow::editNormalQueueProperties()
{
    if (m_ui.tabBar->currentIndex() != 0)
        m_ui.tabBar->setCurrentIndex(0);
    const QString printer = m_ui.printerCombo->currentText();
    DriverValues values;
    QString error;
    if (!openPrinterProperties(this, printer, &values, &error)) {
        if (!error.isEmpty())
            QMessageBox::warning(this, QStringLiteral("Printer properties"), error);
        return;
    }
    QSettings settings;
    settings.setValue(QStringLiteral("defaultPrinter"), printer.trimmed());
    settings.setValue(QStringLiteral("normalDuplexMode"), values.duplexMode);
    settings.setValue(QStringLiteral("normalColor"), values.color);
    settings.setValue(QStringLiteral("normalPaperSize"), values.paperKey);
    settings.setValue(QStringLiteral("normalCopies"), values.copies);
    if (!m_queue->setCopiesForAll(values.copies, &error)) {
        showStatus(error, true);
        return;
    }
    showStatus(QStringLiteral("Printer driver properties saved. Future jobs will use these settings"));
}

void MainWindow::showCacheManager()
{
    const int id = m_queue->currentHotFolderId();
    const HotFolder folder = id >= 1 ? m_store.hotFolder(id) : HotFolder();
    if (folder.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("Cache manager"),
                                 QStringLiteral("Caches are saved by hot folder. Select a configured "
                                                "hot folder first."));
        return;
    }
    CacheManagerDialog dialog(&m_store, folder, this);
    connect(&dialog, &CacheManagerDialog::listChanged, this, &MainWindow::reloadQueueTable);
    connect(&dialog, &CacheManagerDialog::statusMessage, this, &MainWindow::showStatus);
    dialog.exec();
}

void MainWindow::showFormsDesigner()
{
    FormDesignerDialog dialog(&m_store, m_printers, this);
    connect(&dialog, &FormDesignerDialog::formSubmitted, this,
            [this](const QString &printer, const QString &title, qint64 since) {
                m_batch->jobFollower()->findAndFollow(printer, title, since,
                                                      QStringLiteral("Form “%1”").arg(title));
            });
    dialog.exec();
}

void MainWindow::showImageLayout()
{
    ImageLayoutDialog dialog(this);
    connect(&dialog, &ImageLayoutDialog::pdfGenerated, this,
            [this](const QString &path) { addFiles({path}); });
    dialog.exec();
}

void MainWindow::cacheRow(int row)
{
    m_caching->cacheRow(row);
}

void MainWindow::startPrint(int row, bool batch)
{
    m_batch->startPrint(row, batch);
}

void MainWindow::startBatch()
{
    m_batch->startBatch();
}

void MainWindow::printNextInBatch()
{
    m_batch->printNextInBatch();
}

void MainWindow::stopRemainingJobs()
{
    m_batch->stopRemainingJobs();
}

void MainWindow::showPrintSummary(const QList<QVariantMap> &results, int notSent)
{
    if (results.isEmpty() || m_closing)
        return;
    const auto clearList = [this](QString *error) {
        if (!m_queue->clearList(error))
            return false;
        showStatus(QStringLiteral("Print list cleared; original files were not deleted"));
        return true;
    };
    PrintSummaryDialog dialog(results, clearList, this);
    dialog.followAtPrinter(m_batch->jobFollower(), notSent);
    dialog.exec();
}

void MainWindow::showHistory()
{
    // After an import a fresh dialog shows the merged history.
    bool again = true;
    while (again) {
        HistoryDialog dialog(&m_store, this);
        dialog.exec();
        again = dialog.imported();
    }
}

// Files from outside are welcome unless a batch has the list locked.
static void acceptFilesUnlessLocked(QDropEvent *event, bool locked)
{
    if (!locked && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A file being sent is let finish, so that its job is noted and then
    // recorded; the next start follows it on. The rest of a batch is not
    // sent, and nothing more is asked of the user.
    m_closing = true;
    if (m_batch->inFlightCount() > 0) {
        m_batch->stopRemainingJobs();
        showStatus(QStringLiteral("Closing once the file being printed has reached the printer…"));
        setEnabled(false);
        while (m_batch->inFlightCount() > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    acceptFilesUnlessLocked(event, m_batch->isRunning());
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    acceptFilesUnlessLocked(event, m_batch->isRunning());
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (m_batch->isRunning()) {
        showStatus(QStringLiteral("The queue is locked while a batch is running"), true);
        return;
    }
    // Files dropped on a tab go into that tab's list.
    // Only where a tab is in view: the scrolled-away ones lie under other
    // widgets.
    const QPoint position = event->position().toPoint();
    QWidget *view = m_ui.tabScroll->viewport();
    const QPoint onBar = m_ui.tabBar->mapFrom(this, position);
    if (view->rect().contains(view->mapFrom(this, position)) && m_ui.tabBar->rect().contains(onBar)) {
        const int tab = m_ui.tabBar->tabIndexAt(onBar);
        if (tab >= 0)
            m_ui.tabBar->setCurrentIndex(tab);
    }
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << Platform::localFilePath(url);
    }
    event->acceptProposedAction();
    addFiles(paths);
}

void MainWindow::showStatus(const QString &text, bool error)
{
    m_ui.statusLabel->setText(text);
    m_ui.statusLabel->setStyleSheet(error ? QStringLiteral("color:#dc2626")
                                          : QStringLiteral("color:#374151"));
}

QString MainWindow::statusText() const
{
    return m_ui.statusLabel->text();
}
