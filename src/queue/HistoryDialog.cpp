#include "queue/HistoryDialog.h"

#include "queue/JobModel.h"
#include "store/LocalStore.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

QTableWidgetItem *textItem(const QString &text)
{
    return new QTableWidgetItem(text);
}

// Stored as a number, so the column sorts numerically.
QTableWidgetItem *numberItem(qint64 value)
{
    auto *item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

QPushButton *pointingButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

HistoryDialog::HistoryDialog(LocalStore *store, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
{
    setWindowTitle(QStringLiteral("Print history"));
    resize(1120, 650);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(12);

    const QVariantList rows = m_store->recentHistory(100000);
    // Imported files may hold any numbers: the totals saturate.
    const auto add = [](qint64 sum, qint64 value) {
        qint64 result = 0;
        return __builtin_add_overflow(sum, value, &result) ? std::numeric_limits<qint64>::max()
                                                          : result;
    };
    qint64 documentPages = 0;
    qint64 printedPages = 0;
    for (const QVariant &row : rows) {
        documentPages = add(documentPages, row.toMap().value(QStringLiteral("page_count")).toLongLong());
        printedPages = add(printedPages, row.toMap().value(QStringLiteral("total_pages")).toLongLong());
    }

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(
        QStringLiteral("<span style='font-size:22px;font-weight:700;color:#172033'>Print "
                       "history</span><br><span style='font-size:12px;color:#667085'>%1 print jobs "
                       "· %2 document pages · %3 pages printed</span>")
            .arg(rows.size())
            .arg(documentPages)
            .arg(printedPages),
        this);
    header->addWidget(title, 1);
    QPushButton *exportButton = pointingButton(QStringLiteral("Export data"), this);
    QPushButton *importButton = pointingButton(QStringLiteral("Import data"), this);
    header->addWidget(exportButton);
    header->addWidget(importButton);
    layout->addLayout(header);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("HistoryTable"));
    m_table->setColumnCount(10);
    m_table->setHorizontalHeaderLabels({"Print time", "File", "Type", "Document pages", "Copies",
                                        "Printed pages", "Printer", "hot folder", "File size", "At the printer"});
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setAlternatingRowColors(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    layout->addWidget(m_table, 1);

    // What became of each print's job, where it was followed to its end.
    const QHash<qint64, QVariantMap> ends = m_store->jobEnds();
    m_table->setSortingEnabled(false);
    m_table->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const QVariantMap row = rows.at(i).toMap();
        const auto text = [&](const char *key) { return row.value(QLatin1String(key)).toString(); };
        m_table->setItem(i, 0, textItem(displayTime(text("printed_at"))));
        QTableWidgetItem *file = textItem(text("file_name"));
        file->setToolTip(text("path"));
        m_table->setItem(i, 1, file);
        m_table->setItem(i, 2, textItem(text("file_type")));
        m_table->setItem(i, 3, numberItem(row.value(QStringLiteral("page_count")).toLongLong()));
        m_table->setItem(i, 4, numberItem(row.value(QStringLiteral("copies")).toLongLong()));
        m_table->setItem(i, 5, numberItem(row.value(QStringLiteral("total_pages")).toLongLong()));
        m_table->setItem(i, 6, textItem(text("printer_name")));
        m_table->setItem(i, 7, textItem(text("hot_folder_name")));
        m_table->setItem(i, 8,
                         textItem(formatFileSize(row.value(QStringLiteral("file_size")).toLongLong())));
        const QVariantMap end = ends.value(row.value(QStringLiteral("id")).toLongLong());
        const QString failure = end.value(QStringLiteral("message")).toString();
        m_table->setItem(i, 9,
                         textItem(end.isEmpty()         ? QString()
                                  : failure.isEmpty()   ? QStringLiteral("Completed")
                                                        : failure));
    }
    m_table->setSortingEnabled(true);
    m_rowCount = int(rows.size());

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton *close = pointingButton(QStringLiteral("Close"), this);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(exportButton, &QPushButton::clicked, this, &HistoryDialog::exportData);
    connect(importButton, &QPushButton::clicked, this, &HistoryDialog::importData);
}

QString HistoryDialog::displayTime(const QString &printedAt)
{
    QString text = printedAt;
    text.replace(QLatin1Char('T'), QLatin1Char(' '));
    const qsizetype plus = text.indexOf(QLatin1Char('+'), 10);
    if (text.size() > 10 && plus >= 10)
        text.truncate(plus);
    return text;
}

QString HistoryDialog::exportTarget(const QString &chosen)
{
    return chosen.endsWith(QLatin1String(".db"), Qt::CaseInsensitive) ? chosen
                                                                       : chosen + QStringLiteral(".db");
}

bool HistoryDialog::exportTo(const QString &path)
{
    QString error;
    if (!m_store->exportHistory(exportTarget(path), &error)) {
        QMessageBox::warning(this, QStringLiteral("SaveFailed"), error);
        return false;
    }
    QMessageBox::information(this, QStringLiteral("Export complete"),
                             QStringLiteral("Exported %1 print history records.").arg(m_rowCount));
    return true;
}

bool HistoryDialog::importFrom(const QString &path)
{
    int imported = 0;
    int skipped = 0;
    QString error;
    if (!m_store->importHistory(path, &imported, &skipped, &error)) {
        QMessageBox::warning(this, QStringLiteral("Import failed"), error);
        return false;
    }
    QMessageBox::information(this, QStringLiteral("Import complete"),
                             QStringLiteral("Imported %1 records and skipped %2 duplicates.")
                                 .arg(imported)
                                 .arg(skipped));
    m_imported = true;
    accept();
    return true;
}

void HistoryDialog::exportData()
{
    const QString suggested =
        QDir::home().filePath(QStringLiteral("Print history-%1.db")
                                  .arg(QDateTime::currentDateTime().toString(
                                      QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export print history"), suggested,
                                     QStringLiteral("Print history database (*.db)"));
    if (!chosen.isEmpty())
        exportTo(chosen);
}

void HistoryDialog::importData()
{
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("Import print history"), QString(),
                                     QStringLiteral("Print history database (*.db)"));
    if (!chosen.isEmpty())
        importFrom(chosen);
}
