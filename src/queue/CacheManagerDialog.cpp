#include "queue/CacheManagerDialog.h"

#include "queue/JobModel.h"
#include "store/LocalStore.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton *actionButton(const QString &text, const char *objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setMinimumSize(button->fontMetrics().horizontalAdvance(text) + 28, 30);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return button;
}

} // namespace

CacheManagerDialog::CacheManagerDialog(LocalStore *store, const HotFolder &hotFolder, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_settings(rowPrintSettings(hotFolder.value(QStringLiteral("id")).toInt(), hotFolder, QString()))
{
    const QFontMetrics metrics(font());
    m_actionWidth = std::max(230, metrics.horizontalAdvance(QStringLiteral("Import cache"))
                                      + metrics.horizontalAdvance(QStringLiteral("Delete cache")) + 82);
    buildUi(hotFolder.value(QStringLiteral("name")).toString());
    refreshCacheList();
}

void CacheManagerDialog::buildUi(const QString &name)
{
    setWindowTitle(QStringLiteral("Cache manager - ") + name);
    resize(std::max(820, m_actionWidth + 570), 460);
    setMinimumSize(std::max(720, m_actionWidth + 470), 360);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(12);

    auto *heading = new QLabel(QStringLiteral("Current hot folder: ") + name, this);
    heading->setTextFormat(Qt::PlainText);
    QFont font = heading->font();
    font.setPointSize(15);
    font.setWeight(QFont::Bold);
    heading->setFont(font);
    layout->addWidget(heading);
    auto *note = new QLabel(QStringLiteral("Only caches matching the current hot folder printer, duplex, "
                                           "color, and paper settings are shown."),
                            this);
    note->setStyleSheet(QStringLiteral("color:#667085;"));
    note->setWordWrap(true);
    layout->addWidget(note);
    m_summary = new QLabel(this);
    m_summary->setStyleSheet(QStringLiteral("color:#2455a6;"));
    layout->addWidget(m_summary);

    m_table = new QTableWidget(0, 4, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Cached file"), QStringLiteral("Pages"),
                                        QStringLiteral("Cache size"), QStringLiteral("Actions")});
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setFocusPolicy(Qt::NoFocus); // nothing to select, so no current cell to outline
    m_table->verticalHeader()->hide();
    QHeaderView *header = m_table->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(3, QHeaderView::Fixed);
    m_table->setColumnWidth(3, m_actionWidth);
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QWidget *CacheManagerDialog::actionCell(const CacheEntry &entry)
{
    auto *cell = new QWidget(m_table);
    cell->setMinimumWidth(m_actionWidth - 2);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(6);
    QPushButton *import = actionButton(QStringLiteral("Import cache"), "RowPrintButton", cell);
    import->setEnabled(QFileInfo::exists(entry.prnPath));
    import->setToolTip(QStringLiteral("Add the standalone cache job to the current print list without "
                                      "the original file"));
    QPushButton *remove = actionButton(QStringLiteral("Delete cache"), "RowRemoveButton", cell);
    connect(import, &QPushButton::clicked, this, [this, entry] { importCacheEntry(entry); });
    connect(remove, &QPushButton::clicked, this, [this, entry] { deleteCacheEntry(entry); });
    layout->addWidget(import);
    layout->addWidget(remove);
    return cell;
}

void CacheManagerDialog::refreshCacheList()
{
    m_entries = listCaches(m_settings);
    m_table->setRowCount(0);
    m_table->setRowCount(int(m_entries.size()));
    qint64 total = 0;
    const int rowHeight = std::max(38, m_table->verticalHeader()->defaultSectionSize());
    for (int row = 0; row < m_entries.size(); ++row) {
        const CacheEntry &entry = m_entries.at(row);
        auto *file = new QTableWidgetItem(entry.sourceName);
        file->setToolTip(entry.sourcePath);
        if (!QFileInfo::exists(entry.sourcePath)) {
            file->setText(entry.sourceName + QStringLiteral(" (original file no longer exists)"));
            file->setForeground(QColor(QStringLiteral("#b54708")));
        }
        m_table->setItem(row, 0, file);
        auto *pages = new QTableWidgetItem(QString::number(entry.pageCount));
        pages->setTextAlignment(Qt::AlignCenter);
        m_table->setItem(row, 1, pages);
        m_table->setItem(row, 2, new QTableWidgetItem(formatFileSize(entry.prnSize)));
        m_table->setCellWidget(row, 3, actionCell(entry));
        m_table->setRowHeight(row, rowHeight);
        total += entry.prnSize;
    }
    m_summary->setText(m_entries.isEmpty()
                           ? QStringLiteral("No cache in the current hot folder")
                           : QStringLiteral("%1 cache entries using %2")
                                 .arg(m_entries.size())
                                 .arg(formatFileSize(total)));
    m_table->resizeRowsToContents();
}

void CacheManagerDialog::importCacheEntry(const CacheEntry &entry)
{
    if (!QFileInfo::exists(entry.prnPath)) {
        QMessageBox::warning(this, QStringLiteral("Import cache"),
                             QStringLiteral("The cached file no longer exists and cannot be added to "
                                            "the print list."));
        return;
    }
    RowSettings settings;
    settings.printerName = m_settings.printerName;
    settings.duplexMode = !m_settings.duplex ? 0 : m_settings.shortEdge ? 2 : 1;
    settings.color = m_settings.color;
    settings.paperKey = m_settings.paperSize;
    settings.copies = 1;
    QString error;
    if (!m_store->addCacheJob({entry.sourceName, entry.sourcePath, entry.prnPath, entry.pageCount},
                              m_settings.hotFolderId, settings, &error)) {
        QMessageBox::warning(this, QStringLiteral("Import cacheFailed"), error);
        return;
    }
    Q_EMIT listChanged();
    Q_EMIT statusMessage(QStringLiteral("Imported standalone cache job: ") + entry.sourceName, false);
}

void CacheManagerDialog::deleteCacheEntry(const CacheEntry &entry)
{
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Delete cache"),
        QStringLiteral("Delete this print cache?\n\n") + entry.sourceName
            + QStringLiteral("\n\nAssociated imported cache jobs will also be removed from the print "
                             "list; the original file will not be deleted."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    QString error;
    if (!m_store->removeCacheJobs(entry.prnPath, &error)) {
        QMessageBox::warning(this, QStringLiteral("Delete cacheFailed"), error);
        return;
    }
    if (!deleteCacheFiles(entry, &error)) {
        Q_EMIT listChanged();
        QMessageBox::warning(this, QStringLiteral("Delete cacheFailed"), error);
        return;
    }
    Q_EMIT listChanged();
    Q_EMIT statusMessage(QStringLiteral("Deleted cache: ") + entry.sourceName, false);
    refreshCacheList();
}
