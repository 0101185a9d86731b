#include "queue/QueueActions.h"

#include "platform/DesktopShell.h"
#include "queue/PlainMessage.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSpinBox>
#include <QToolButton>

namespace {

const char kImportFilter[] =
    "Printable files (*.pdf *.caj *.doc *.docx *.rtf *.wps *.ppt *.pptx *.xls *.xlsx *.et *.odt "
    "*.ott *.odm *.oth *.ods *.ots *.odp *.otp *.odg *.otg *.odf *.jpg *.jpeg *.png *.bmp *.gif "
    "*.tif *.tiff *.webp)";

const char kOpenTitle[] = "Unable to openFile";
const char kLocateTitle[] = "Locate file";

struct RowFile
{
    QString path;
    bool isCache = false;
    QString sourcePath;
};

RowFile rowFile(const ReorderTableWidget *table, int row)
{
    RowFile file;
    if (row < 0 || row >= table->realRowCount())
        return file;
    if (const QTableWidgetItem *item = table->item(row, QueueTable::File)) {
        file.path = item->data(QueueTable::PathRole).toString();
        file.isCache = item->data(QueueTable::IsCacheRole).toBool();
        file.sourcePath = item->data(QueueTable::SourcePathRole).toString();
    }
    return file;
}

} // namespace

QueueActions::QueueActions(QueueController *queue, ReorderTableWidget *table, QWidget *window)
    : QObject(window)
    , m_queue(queue)
    , m_table(table)
    , m_window(window)
{
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, &QueueActions::showRowMenu);
    connect(m_table, &ReorderTableWidget::rowDoubleClicked, this, &QueueActions::openRowFile);
    if (QToolButton *sort = QueueTable::sortButton(m_table))
        connect(sort, &QToolButton::clicked, this, &QueueActions::sortByName);
    if (QToolButton *copies = QueueTable::copiesButton(m_table))
        connect(copies, &QToolButton::clicked, this, &QueueActions::setCopiesForAll);
}

void QueueActions::setCacheRowHandler(std::function<void(int)> handler)
{
    m_cacheRow = std::move(handler);
}

void QueueActions::showStatus(const QString &text, bool error)
{
    Q_EMIT statusMessage(text, error);
}

void QueueActions::importFiles()
{
    if (m_queue->isBatchRunning()) {
        showStatus(QStringLiteral("Files cannot be imported while a batch is running"), true);
        return;
    }
    QFileDialog dialog(m_window, QStringLiteral("Import printable files"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(QLatin1String(kImportFilter));
    if (dialog.exec() == QDialog::Accepted)
        m_queue->addFiles(dialog.selectedFiles());
}

void QueueActions::clearQueue()
{
    if (m_queue->isBatchRunning()) {
        showStatus(QStringLiteral("Stop the remaining batch before clearing the queue"), true);
        return;
    }
    if (m_queue->entries().isEmpty())
        return;
    const auto answer = QMessageBox::question(
        m_window, QStringLiteral("ClearQueue"),
        QStringLiteral("This clears only the print list and will not delete original files. "
                       "Continue?"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    QString error;
    if (!m_queue->clearList(&error)) {
        showStatus(QStringLiteral("ClearFailed：") + error, true);
        return;
    }
    showStatus(QStringLiteral("Print list cleared; original files were not deleted"));
}

void QueueActions::setCopiesForAll()
{
    if (m_queue->isBatchRunning()) {
        showStatus(QStringLiteral("Copies cannot be changed while a batch is running"), true);
        return;
    }
    const int rows = int(m_queue->entries().size());
    if (rows == 0) {
        QMessageBox::information(m_window, QStringLiteral("Set copies"),
                                 QStringLiteral("There are no files in the current print list."));
        return;
    }
    const int first = QueueTable::rowCopies(m_table, 0);
    bool ok = false;
    const int copies = QInputDialog::getInt(m_window, QStringLiteral("Set copies"),
                                            QStringLiteral("Set copies for %1 files to:").arg(rows),
                                            first > 0 ? first : 1, 1, 9999, 1, &ok);
    if (!ok)
        return;
    QString error;
    if (!m_queue->setCopiesForAll(copies, &error))
        QMessageBox::warning(m_window, QStringLiteral("Failed to set copies"), error);
}

void QueueActions::sortByName()
{
    const bool ascending = m_nextAscending;
    if (!m_queue->sortByName(ascending))
        return;
    if (QToolButton *button = QueueTable::sortButton(m_table)) {
        button->setIcon(QIcon(ascending ? QStringLiteral(":/icons/sort_ascending.svg")
                                        : QStringLiteral(":/icons/sort_descending.svg")));
        button->setToolTip(ascending ? QStringLiteral("Sorted ascending. Click to sort descending")
                                     : QStringLiteral("Sorted descending. Click to sort ascending"));
    }
    m_nextAscending = !ascending;
}

void QueueActions::showRowMenu(const QPoint &pos)
{
    const QModelIndex index = m_table->indexAt(pos);
    const int row = index.isValid() ? index.row() : -1;
    if (row < 0 || row >= m_table->realRowCount())
        return;
    m_table->setSelectedRows({row});

    QMenu menu(m_table);
    QAction *top = menu.addAction(QStringLiteral("Move to top"));
    QAction *cache = menu.addAction(QStringLiteral("Cache this file"));
    cache->setEnabled(bool(m_cacheRow));
    QAction *locate = menu.addAction(QStringLiteral("Locate file"));
    menu.addSeparator();
    QAction *remove = menu.addAction(QStringLiteral("Remove file"));

    QAction *chosen = menu.exec(m_table->viewport()->mapToGlobal(pos));
    if (chosen == top)
        m_queue->moveToTop(row);
    else if (chosen == cache && m_cacheRow)
        m_cacheRow(row);
    else if (chosen == locate)
        locateRowFile(row);
    else if (chosen == remove)
        m_queue->removeRows({row});
}

void QueueActions::openRowFile(int row, int column)
{
    if (column != QueueTable::File)
        return;
    const RowFile file = rowFile(m_table, row);
    QString target = file.path;
    if (file.isCache) {
        target = file.sourcePath;
        if (target.isEmpty() || !QFileInfo::exists(target)) {
            QMessageBox::information(
                m_window, QStringLiteral("Standalone cache job"),
                QStringLiteral("The original file was deleted, moved, or renamed, but the cache is "
                               "intact,This job can still be printed.\n\nCached jobs cannot open "
                               "the original file."));
            return;
        }
    }
    if (target.isEmpty()) {
        QMessageBox::warning(m_window, QLatin1String(kOpenTitle),
                             QStringLiteral("File path was not found."));
        return;
    }
    const QFileInfo info(target);
    if (!info.exists() || !info.isFile()) {
        plainMessage(m_window, QMessageBox::Warning, QLatin1String(kOpenTitle),
                     QStringLiteral("File does not exist or was moved:\n") + target);
        return;
    }
    const QString absolute = info.absoluteFilePath();
    if (!Platform::openWithDefaultApplication(absolute)) {
        plainMessage(m_window, QMessageBox::Warning, QLatin1String(kOpenTitle),
                     QStringLiteral("No default application is available to open this file:\n")
                         + QDir::toNativeSeparators(absolute));
        return;
    }
    showStatus(QStringLiteral("Opened file: ") + info.fileName());
}

void QueueActions::locateRowFile(int row)
{
    const RowFile file = rowFile(m_table, row);
    QString target = file.path;
    if (file.isCache)
        target = QFileInfo::exists(file.sourcePath) ? file.sourcePath : file.path;
    if (target.isEmpty()) {
        QMessageBox::warning(m_window, QLatin1String(kLocateTitle),
                             QStringLiteral("No file path to locate was found."));
        return;
    }
    const QFileInfo info(target);
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    if (!info.exists() || !info.isFile()) {
        openContainingFolder(folder, true);
        return;
    }
    // Without a file manager on the bus the folder still opens, unselected.
    Platform::showInFileManager(info.absoluteFilePath(), this, [this, folder](bool shown) {
        if (!shown)
            openContainingFolder(folder, false);
    });
}

void QueueActions::openContainingFolder(const QString &folder, bool fileIsGone)
{
    if (!QFileInfo(folder).isDir() || !Platform::openWithDefaultApplication(folder)) {
        plainMessage(m_window, QMessageBox::Warning, QLatin1String(kLocateTitle),
                     QStringLiteral("Unable to open the file folder:\n") + folder);
        return;
    }
    if (fileIsGone) {
        showStatus(QStringLiteral("The original file no longer exists. Opened its containing "
                                  "folder"));
    }
}
