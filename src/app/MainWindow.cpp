#include "app/MainWindow.h"

#include "app/AppIdentity.h"
#include "app/WindowGeometry.h"

#include "cache/CacheStore.h"
#include "engines/PrinterDefaults.h"
#include "queue/BatchPrinter.h"
#include "queue/HistoryDialog.h"
#include "queue/PrintSummaryDialog.h"
#include "queue/PrinterList.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QLabel>
#include <QMimeData>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quorvalent Dunmarrow %1")
                       .arg(QLatin1String(applicationVersionLabel())));
    setMinimumSize(WindowGeometry::kMinimumSize);
    resize(WindowGeometry::initialSizeFor(screen()));
    setAcceptDrops(true);

    setupUi();
    openLocalStore();
    // A print that was killed may have left a printer's settings changed.
    restoreAbandonedPrinterDefaults();
    refreshPrinters();

    // Runs once the event loop has started and the window is visible.
    QTimer::singleShot(0, this, &MainWindow::runDependencyCheck);
}

MainWindow::~MainWindow() = default;

void MainWindow::setupUi()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_historyButton = new QPushButton(QStringLiteral("History"), central);
    m_historyButton->setObjectName(QStringLiteral("SecondaryButton"));
    m_historyButton->setToolTip(QStringLiteral("Open print history"));
    m_stopButton = new QPushButton(QStringLiteral("Stop remaining jobs"), central);
    m_stopButton->setObjectName(QStringLiteral("StopBatchButton"));
    m_stopButton->setToolTip(QStringLiteral("The current file will finish. Remaining files will not "
                                            "be sent to the printer."));
    m_stopButton->hide();
    m_printAllButton = new QPushButton(QStringLiteral("Print all"), central);
    m_printAllButton->setObjectName(QStringLiteral("PrimaryButton"));
    actions->addWidget(m_historyButton);
    actions->addStretch(1);
    actions->addWidget(m_stopButton);
    actions->addWidget(m_printAllButton);
    layout->addLayout(actions);

    m_table = new ReorderTableWidget(central);
    QueueTable::setup(m_table);
    layout->addWidget(m_table, 1);
    setCentralWidget(central);
    for (QPushButton *button : central->findChildren<QPushButton *>())
        button->setCursor(Qt::PointingHandCursor);

    m_queue = new QueueController(&m_store, m_table, this);
    connect(m_queue, &QueueController::statusMessage, this, &MainWindow::showStatus);
    connect(m_queue, &QueueController::tableReloaded, this, &MainWindow::updateBatchControls);
    m_queue->setCacheLookup([](const QString &path, const PrintSettings &settings) {
        return findCache(path, settings);
    });

    m_batch = new BatchPrinter(&m_store, m_queue, this);
    connect(m_queue, &QueueController::printRequested, this,
            [this](int row) { startPrint(row, false); });
    connect(m_batch, &BatchPrinter::statusMessage, this, &MainWindow::showStatus);
    connect(m_batch, &BatchPrinter::stateChanged, this, &MainWindow::updateBatchControls);
    connect(m_batch, &BatchPrinter::summaryReady, this, &MainWindow::showPrintSummary);
    connect(m_batch, &BatchPrinter::printFailed, this, [this](const QString &message) {
        QMessageBox::warning(this, QStringLiteral("PrintFailed"), message);
    });
    connect(m_printAllButton, &QPushButton::clicked, this, &MainWindow::startBatch);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopRemainingJobs);
    connect(m_historyButton, &QPushButton::clicked, this, &MainWindow::showHistory);

    m_statusLabel = new QLabel(this);
    statusBar()->addWidget(m_statusLabel, 1);
    showStatus(QStringLiteral("Ready"));
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

void MainWindow::updateBatchControls()
{
    const bool running = m_batch->isRunning();
    const bool stopping = m_batch->isStopRequested();
    m_queue->setBatchRunning(running);
    m_printAllButton->setEnabled(!m_queue->entries().isEmpty() && !m_printers.isEmpty() && !running);
    m_printAllButton->setToolTip(QString());
    m_stopButton->setVisible(running);
    m_stopButton->setEnabled(running && !stopping);
    m_stopButton->setText(stopping ? QStringLiteral("Stopping after current file…")
                                   : QStringLiteral("Stop remaining jobs"));
    m_table->setEnabled(!running);
    for (QToolButton *button : {QueueTable::sortButton(m_table), QueueTable::copiesButton(m_table)}) {
        if (button)
            button->setEnabled(!running);
    }
}

void MainWindow::refreshPrinters()
{
    m_printers = installedPrinters();
    QSettings settings;
    const QString chosen = normalQueuePrinter(
        m_printers, QString(), settings.value(QStringLiteral("defaultPrinter")).toString(),
        systemDefaultPrinter());
    if (!chosen.isEmpty())
        settings.setValue(QStringLiteral("defaultPrinter"), chosen);
    reloadQueueTable();
    showStatus(QStringLiteral("Found %1 printers").arg(m_printers.size()));
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

void MainWindow::showPrintSummary(const QList<QVariantMap> &results)
{
    if (results.isEmpty())
        return;
    const auto clearList = [this](QString *error) {
        if (!m_queue->clearList(error))
            return false;
        showStatus(QStringLiteral("Print list cleared; original files were not deleted"));
        return true;
    };
    PrintSummaryDialog dialog(results, clearList, this);
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
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    addFiles(paths);
}

void MainWindow::showStatus(const QString &text, bool error)
{
    m_statusLabel->setText(text);
    m_statusLabel->setStyleSheet(error ? QStringLiteral("color:#dc2626")
                                       : QStringLiteral("color:#374151"));
}

QString MainWindow::statusText() const
{
    return m_statusLabel->text();
}
