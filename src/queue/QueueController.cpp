#include "queue/QueueController.h"

#include "platform/FileNames.h"
#include "platform/ReleaseAside.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"
#include "queue/RowOrder.h"
#include "store/LocalStore.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const char kLockedMessage[] = "The queue is locked while a batch is running";

QString settingText(const char *key, const char *fallback)
{
    return QSettings().value(QLatin1String(key), QLatin1String(fallback)).toString();
}

// One spelling per file: symbolic links and relative forms of the same file
// become one row. A link whose target has a name the program cannot print
// by (a content-addressed blob) stays the link: its name is the file type.
QString resolvedPath(const QString &path)
{
    // (A file whose name is not UTF-8 keeps the link that names it.)
    const QString canonical = Platform::canonicalPath(path);
    if (canonical.isEmpty() || !isSupportedFile(canonical))
        return QFileInfo(path).absoluteFilePath();
    return canonical;
}

} // namespace

QueueController::QueueController(LocalStore *store, ReorderTableWidget *table, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_table(table)
{
    connect(m_table, &ReorderTableWidget::rowsMoveRequested, this, &QueueController::moveRows);
    connect(m_table, &ReorderTableWidget::deleteRequested, this, &QueueController::removeRows);
    connect(m_table, &ReorderTableWidget::selectionCountChanged, this,
            &QueueController::onSelectionCountChanged);
}

void QueueController::setCurrentTab(int hotFolderId, const QString &tabText)
{
    m_hotFolderId = hotFolderId;
    m_tabText = tabText;
}

void QueueController::setDefaultPrinterSource(std::function<QString()> source)
{
    m_defaultPrinterSource = std::move(source);
}

void QueueController::setEngineSources(std::function<QString()> pdf, std::function<QString()> office)
{
    m_pdfEngineSource = std::move(pdf);
    m_officeEngineSource = std::move(office);
}

void QueueController::setWaitingLookup(std::function<bool(const QString &)> lookup)
{
    m_waitingLookup = std::move(lookup);
}

void QueueController::setCacheLookup(std::function<bool(const QString &, const PrintSettings &)> lookup)
{
    m_cacheLookup = std::move(lookup);
}

QString QueueController::defaultPrinter() const
{
    return m_defaultPrinterSource ? m_defaultPrinterSource() : settingText("defaultPrinter", "");
}

HotFolder QueueController::currentHotFolder() const
{
    return m_hotFolderId > 0 ? m_store->hotFolder(m_hotFolderId) : HotFolder();
}

int QueueController::rowForPath(const QString &path) const
{
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).toMap().value(QStringLiteral("path")).toString() == path)
            return row;
    }
    return -1;
}

QString QueueController::pathOfRow(int row) const
{
    if (row < 0 || row >= m_entries.size())
        return QString();
    return m_entries.at(row).toMap().value(QStringLiteral("path")).toString();
}

QueueTableContext QueueController::tableContext()
{
    const HotFolder folder = currentHotFolder();
    QueueTableContext context;
    context.isHotFolder = m_hotFolderId > 0 && !folder.isEmpty();
    if (m_cacheLookup) {
        const PrintSettings settings = rowPrintSettings(m_hotFolderId, folder, defaultPrinter());
        context.hasCache = [lookup = m_cacheLookup, settings](const QueueEntry &row) {
            return lookup(row.value(QStringLiteral("path")).toString(), settings);
        };
    }
    if (m_waitingLookup) {
        context.isWaitingAtPrinter = [lookup = m_waitingLookup](const QueueEntry &row) {
            return lookup(row.value(QStringLiteral("path")).toString());
        };
    }
    context.printRow = [this](int row) { Q_EMIT printRequested(row); };
    context.removeRow = [this](int row) { removeRow(row); };
    context.copiesChanged = [this](int row, int copies) { onCopiesChanged(row, copies); };
    return context;
}

void QueueController::reloadQueueTable()
{
    // The old rows are freed on the release thread while the new ones are
    // read: ten thousand maps cost tens of milliseconds to let go of.
    Platform::releaseAside(std::exchange(m_entries, QVariantList()));
    m_entries = m_store->files(m_hotFolderId);
    QueueTable::render(m_table, m_entries, tableContext());
    Q_EMIT tableReloaded();
}

void QueueController::refreshRow(const QString &path)
{
    const int row = rowForPath(path);
    if (row < 0)
        return; // not in the list shown
    const QueueEntry entry = m_store->file(path);
    if (entry.isEmpty() || entry.value(QStringLiteral("hot_folder_id")).toInt() != m_hotFolderId) {
        reloadQueueTable();
        return;
    }
    m_entries[row] = entry;
    QueueTable::renderRow(m_table, row, entry, tableContext());
    Q_EMIT tableReloaded();
}

void QueueController::markRowBusy(int row)
{
    QueueTable::markRowBusy(m_table, row);
}

void QueueController::markRowCaching(int row)
{
    QueueTable::showRowActivity(m_table, row, QStringLiteral("Caching"));
}

PrintJob QueueController::buildPrintJob(int row) const
{
    if (row < 0 || row >= m_entries.size())
        return PrintJob();
    PrintJobContext context;
    context.hotFolderId = m_hotFolderId;
    context.hotFolderName = m_tabText;
    context.hotFolder = currentHotFolder();
    context.copies = QueueTable::rowCopies(m_table, row);
    context.pdfEngine = m_pdfEngineSource ? m_pdfEngineSource() : settingText("pdfEngine", "acrobat");
    context.officeEngine =
        m_officeEngineSource ? m_officeEngineSource() : settingText("officeEngine", "auto");
    context.defaultPrinter = defaultPrinter();

    return buildPrintJobFor(m_entries.at(row).toMap(), context);
}

bool QueueController::refuseWhileBatchRuns(const char *message)
{
    if (!m_batchRunning)
        return false;
    Q_EMIT statusMessage(QLatin1String(message ? message : kLockedMessage), true);
    return true;
}

void QueueController::addFiles(const QStringList &paths)
{
    if (refuseWhileBatchRuns())
        return;
    QStringList accepted;
    QSet<QString> seen;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.exists() && info.isFile() && isSupportedFile(path)) {
            const QString resolved = resolvedPath(path);
            if (!seen.contains(resolved)) {
                seen.insert(resolved);
                accepted << resolved;
            }
        }
    }
    const RowSettings settings = recordedSettingsForNewRows(*m_store, m_hotFolderId);
    int added = 0;
    // A folder of scans is one commit, not one per file.
    const bool grouped = accepted.size() > 1 && m_store->beginTransaction();
    for (const QString &path : accepted) {
        QString error;
        if (m_store->addFile(path, m_hotFolderId, settings, &error))
            ++added;
        else
            Q_EMIT statusMessage(QStringLiteral("Add failed：") + error, true);
    }
    QString commitError;
    if (grouped && !m_store->commitTransaction(&commitError)) {
        added = 0;
        Q_EMIT statusMessage(QStringLiteral("Add failed：") + commitError, true);
    }
    reloadQueueTable();
    if (added > 0) {
        Q_EMIT statusMessage(
            QStringLiteral("Added %1 files to “%2”, pending print").arg(added).arg(m_tabText), false);
    } else if (accepted.isEmpty()) {
        Q_EMIT statusMessage(QStringLiteral("No supported files to add"), false);
    }
}

void QueueController::removeRow(int row)
{
    if (refuseWhileBatchRuns())
        return;
    if (row < 0 || row >= m_entries.size())
        return;
    const QString path = pathOfRow(row);
    QString error;
    if (!m_store->removeFile(path, &error)) {
        Q_EMIT statusMessage(QStringLiteral("RemoveFailed：") + error, true);
        return;
    }
    reloadQueueTable();
    Q_EMIT statusMessage(QStringLiteral("Removed from queue: ：") + QFileInfo(path).fileName(), false);
}

void QueueController::removeRows(const QList<int> &rows)
{
    if (refuseWhileBatchRuns())
        return;
    QStringList paths;
    for (const int row : rows) {
        const QString path = pathOfRow(row);
        if (!path.isEmpty() && !paths.contains(path))
            paths << path;
    }
    int removed = 0;
    QStringList failures;
    for (const QString &path : paths) {
        QString error;
        if (m_store->removeFile(path, &error))
            ++removed;
        else
            failures << QFileInfo(path).fileName() + QStringLiteral("：") + error;
    }
    reloadQueueTable();
    if (failures.isEmpty()) {
        Q_EMIT statusMessage(
            QStringLiteral("Removed %1 files from the queue; original files were not deleted")
                .arg(removed),
            false);
    } else {
        Q_EMIT statusMessage(QStringLiteral("Removed %1 files; %2 removals failed: %3")
                                 .arg(removed)
                                 .arg(failures.size())
                                 .arg(failures.join(QStringLiteral("；"))),
                             true);
    }
}

bool QueueController::clearList(QString *error)
{
    // A batch in progress would silently lose the files it has still to print.
    if (m_batchRunning) {
        *error = QLatin1String(kLockedMessage);
        return false;
    }
    if (!m_store->clearFolder(m_hotFolderId, error))
        return false;
    reloadQueueTable();
    return true;
}

void QueueController::moveRows(const QList<int> &rows, int target)
{
    if (refuseWhileBatchRuns())
        return;
    if (rows.isEmpty() || target < 0 || target > m_entries.size())
        return;
    QStringList current;
    for (int row = 0; row < m_entries.size(); ++row)
        current << pathOfRow(row);
    const RowMove move = moveRowsTo(current, rows, target);
    if (move.movedCount == 0)
        return;

    QSet<int> moved;
    for (int i = 0; i < move.movedCount; ++i)
        moved.insert(move.insertAt + i);
    if (move.newOrder == current) {
        m_table->setSelectedRows(moved);
        return;
    }
    QString error;
    if (!m_store->saveOrder(m_hotFolderId, move.newOrder, &error)) {
        Q_EMIT statusMessage(QStringLiteral("Failed to reorder files：") + error, true);
        return;
    }
    reloadQueueTable();
    m_table->setSelectedRows(moved);
    Q_EMIT statusMessage(QStringLiteral("Moved %1 files to position %2")
                             .arg(move.movedCount)
                             .arg(move.insertAt + 1),
                         false);
}

void QueueController::moveToTop(int row)
{
    if (refuseWhileBatchRuns() || row < 0 || row >= m_entries.size())
        return;
    if (row == 0) {
        m_table->setSelectedRows({0});
        Q_EMIT statusMessage(QStringLiteral("This file is already first"), false);
        return;
    }
    QStringList order;
    for (int i = 0; i < m_entries.size(); ++i)
        order << pathOfRow(i);
    const QString path = order.takeAt(row);
    order.prepend(path);
    QString error;
    if (!m_store->saveOrder(m_hotFolderId, order, &error)) {
        Q_EMIT statusMessage(QStringLiteral("Failed to move to top：") + error, true);
        return;
    }
    reloadQueueTable();
    m_table->setSelectedRows({0});
    Q_EMIT statusMessage(QStringLiteral("Moved to top: ") + QFileInfo(path).fileName(), false);
}

bool QueueController::sortByName(bool ascending)
{
    if (refuseWhileBatchRuns("Wait for the current file to finish or stop the remaining batch "
                             "before sorting"))
        return false;
    if (m_entries.size() < 2) {
        Q_EMIT statusMessage(QStringLiteral("There are not enough files to sort"), false);
        return false;
    }
    QStringList paths;
    QStringList names;
    for (const QVariant &entry : std::as_const(m_entries)) {
        const QVariantMap row = entry.toMap();
        paths << row.value(QStringLiteral("path")).toString();
        names << row.value(QStringLiteral("file_name")).toString();
    }
    QString error;
    if (!m_store->saveOrder(m_hotFolderId, sortedByName(paths, names, ascending), &error)) {
        Q_EMIT statusMessage(QStringLiteral("Failed to sort files: ") + error, true);
        return false;
    }
    reloadQueueTable();
    Q_EMIT statusMessage(QStringLiteral("Sorted file names in %1 order")
                             .arg(ascending ? QStringLiteral("ascending")
                                            : QStringLiteral("descending")),
                         false);
    return true;
}

bool QueueController::setCopiesForAll(int copies, QString *error)
{
    if (m_batchRunning) {
        *error = QStringLiteral("Copies cannot be changed while a batch is running");
        return false;
    }
    if (!m_store->setFolderCopies(m_hotFolderId, copies, error))
        return false;
    if (m_hotFolderId == 0)
        QSettings().setValue(QStringLiteral("normalCopies"), copies);
    // The boxes and rows change in place: a rebuild would lose the scroll
    // position of a long list for nothing.
    QueueTable::setAllCopies(m_table, copies);
    for (QVariant &entry : m_entries) {
        QVariantMap row = entry.toMap();
        row.insert(QStringLiteral("copies"), copies);
        entry = row;
    }
    Q_EMIT statusMessage(QStringLiteral("Set %2 copies for %1 files").arg(m_entries.size()).arg(copies),
                         false);
    return true;
}

void QueueController::onSelectionCountChanged(int count)
{
    if (count > 1) {
        Q_EMIT statusMessage(QStringLiteral("%1 files selected. Press Delete to remove or drag the "
                                            "group to reorder")
                                 .arg(count),
                             false);
    }
}

void QueueController::onCopiesChanged(int row, int copies)
{
    // What the box shows is what prints, so a change must outlive the next
    // rebuild of the table: every row keeps its own copies, in the normal
    // queue as in a hot folder. Only "Set copies for all" changes them all.
    QString error;
    if (!m_store->setFileCopies(pathOfRow(row), copies, &error)) {
        Q_EMIT statusMessage(QStringLiteral("Failed to set copies: ") + error, true);
        return;
    }
    QVariantMap entry = m_entries.at(row).toMap();
    entry.insert(QStringLiteral("copies"), copies);
    m_entries[row] = entry;
}
