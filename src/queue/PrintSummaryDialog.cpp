#include "queue/PrintSummaryDialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidgetItem *centred(qint64 value)
{
    auto *item = new QTableWidgetItem(QString::number(value));
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

PrintSummaryDialog::PrintSummaryDialog(const QList<QVariantMap> &results,
                                       std::function<bool(QString *)> clearList, QWidget *parent)
    : QDialog(parent)
    , m_clearList(std::move(clearList))
{
    setWindowTitle(QStringLiteral("Print complete"));
    setMinimumWidth(430);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 20, 22, 18);
    layout->setSpacing(14);

    layout->addWidget(new QLabel(
        QStringLiteral("<span style='font-size:22px;font-weight:700;color:#059669'>✓ Print "
                       "complete</span><br><span style='font-size:12px;color:#667085'>Successfully "
                       "sent %1 files to the printer</span>")
            .arg(results.size()),
        this));

    m_detail = new QWidget(this);
    auto *detailLayout = new QVBoxLayout(m_detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    auto *table = new QTableWidget(int(results.size()), 4, m_detail);
    table->setHorizontalHeaderLabels({"File", "Pages per copy", "Copies", "Printed pages"});
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setAlternatingRowColors(true);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < 4; ++column)
        table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    qint64 total = 0;
    for (int row = 0; row < results.size(); ++row) {
        const QVariantMap &result = results.at(row);
        QString name = result.value(QStringLiteral("displayName")).toString();
        if (name.isEmpty())
            name = QFileInfo(result.value(QStringLiteral("path")).toString()).fileName();
        const qint64 pages = result.value(QStringLiteral("pages")).toLongLong();
        const qint64 copies = result.value(QStringLiteral("copies")).toLongLong();
        // What happened to the file that was not asked for (another paper).
        const QString note = result.value(QStringLiteral("note")).toString();
        table->setItem(row, 0, new QTableWidgetItem(note.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, note)));
        table->setItem(row, 1, centred(pages));
        table->setItem(row, 2, centred(copies));
        table->setItem(row, 3, centred(pages * copies));
        total += pages * copies;
    }
    table->setMinimumHeight(std::min(36 * int(results.size()) + 42, 320));
    detailLayout->addWidget(table);
    auto *totals = new QLabel(
        QStringLiteral("%1 files，printed %2 pages total").arg(results.size()).arg(total), m_detail);
    totals->setStyleSheet(QStringLiteral("font-weight:700; color:#172033; padding:4px 2px;"));
    detailLayout->addWidget(totals);
    m_detail->hide();
    layout->addWidget(m_detail);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_listButton = new QPushButton(QStringLiteral("Print list"), this);
    m_clearButton = new QPushButton(QStringLiteral("Clear list"), this);
    m_clearButton->setObjectName(QStringLiteral("PrimaryButton"));
    buttons->addWidget(m_listButton);
    buttons->addWidget(m_clearButton);
    layout->addLayout(buttons);

    connect(m_listButton, &QPushButton::clicked, this, &PrintSummaryDialog::toggleList);
    connect(m_clearButton, &QPushButton::clicked, this, &PrintSummaryDialog::clear);
}

void PrintSummaryDialog::toggleList()
{
    const bool show = m_detail->isHidden();
    m_detail->setVisible(show);
    m_listButton->setText(show ? QStringLiteral("Hide list") : QStringLiteral("Print list"));
    setMinimumWidth(show ? 680 : 430);
    adjustSize();
}

void PrintSummaryDialog::clear()
{
    QString error;
    if (m_clearList && !m_clearList(&error)) {
        QMessageBox::warning(this, QStringLiteral("ClearFailed"), error);
        return;
    }
    accept();
}
