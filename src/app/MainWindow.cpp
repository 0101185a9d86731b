#include "app/MainWindow.h"

#include "app/AppIdentity.h"
#include "app/WindowGeometry.h"

#include <QLabel>
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

    // Runs once the event loop has started and the window is visible.
    QTimer::singleShot(0, this, &MainWindow::runDependencyCheck);
}

MainWindow::~MainWindow() = default;

void MainWindow::setupUi()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addStretch(1);
    setCentralWidget(central);

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
    // The engines report what they are missing once they exist.
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
