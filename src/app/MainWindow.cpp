#include "app/MainWindow.h"

#include "app/AppIdentity.h"
#include "app/WindowGeometry.h"

#include "cache/CacheStore.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"

#include <QDragEnterEvent>
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
    reloadQueueTable();

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

    m_table = new ReorderTableWidget(central);
    QueueTable::setup(m_table);
    layout->addWidget(m_table, 1);
    setCentralWidget(central);

    m_queue = new QueueController(&m_store, m_table, this);
    connect(m_queue, &QueueController::statusMessage, this, &MainWindow::showStatus);
    connect(m_queue, &QueueController::tableReloaded, this, &MainWindow::updateBatchControls);
    m_queue->setCacheLookup([](const QString &path, const PrintSettings &settings) {
        return findCache(path, settings);
    });

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
    m_queue->setBatchRunning(m_batchRunning);
    m_table->setEnabled(!m_batchRunning);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_batchRunning && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_batchRunning && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (m_batchRunning) {
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
