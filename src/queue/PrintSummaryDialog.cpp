#include "queue/PrintSummaryDialog.h"

#include "queue/JobFollower.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kAtPrinter = QStringLiteral("atPrinter");

bool failedAtPrinter(const QString &state)
{
    return state == QLatin1String("aborted") || state == QLatin1String("canceled");
}

QTableWidgetItem *centred(qint64 value)
{
    auto *item = new QTableWidgetItem(QString::number(value));
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

int noteEndAtPrinter(QList<QVariantMap> *results, const QString &path, const QString &state, const QString &failure)
{
    for (int row = 0; row < results->size(); ++row) {
        QVariantMap &result = (*results)[row];
        if (result.value(QStringLiteral("path")).toString() != path
            || result.value(kAtPrinter).toString() != QLatin1String("waiting"))
            continue;
        result.insert(kAtPrinter, state.isEmpty() ? QStringLiteral("unknown") : state);
        result.insert(QStringLiteral("failure"), failure);
        return row;
    }
    return -1;
}

PrintSummaryDialog::PrintSummaryDialog(const QList<QVariantMap> &results,
                                       std::function<bool(QString *)> clearList, QWidget *parent)
    : QDialog(parent)
    , m_clearList(std::move(clearList))
    , m_results(results)
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
    m_outcome = new QLabel(this);
    m_outcome->setTextFormat(Qt::PlainText);
    m_outcome->setWordWrap(true);
    m_outcome->hide();
    layout->addWidget(m_outcome);

    m_detail = new QWidget(this);
    auto *detailLayout = new QVBoxLayout(m_detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    auto *table = m_table = new QTableWidget(int(results.size()), 4, m_detail);
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
        auto *file = new QTableWidgetItem(note.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, note));
        file->setData(Qt::UserRole, file->text());
        table->setItem(row, 0, file);
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

void PrintSummaryDialog::followAtPrinter(JobFollower *follower, int notSent)
{
    m_notSent = notSent;
    if (follower) {
        // A job that ended before the dialog opened is no longer followed.
        for (QVariantMap &result : m_results) {
            if (result.value(kAtPrinter).toString() == QLatin1String("waiting")
                && !follower->isWaiting(result.value(QStringLiteral("path")).toString()))
                result.insert(kAtPrinter, QStringLiteral("unknown"));
        }
        connect(follower, &JobFollower::jobEnded, this, &PrintSummaryDialog::jobEnded);
    }
    for (int row = 0; row < m_results.size(); ++row)
        showRowOutcome(row);
    showOutcome();
}

void PrintSummaryDialog::jobEnded(const QString &path, const QString &state, const QString &failure)
{
    const int row = noteEndAtPrinter(&m_results, path, state, failure);
    if (row < 0)
        return;
    showRowOutcome(row);
    showOutcome();
}

// "2 completed at the printer · 1 failed at the printer · 1 not sent"
void PrintSummaryDialog::showOutcome()
{
    int waiting = 0;
    int completed = 0;
    int failed = 0;
    int unknown = 0;
    for (const QVariantMap &result : std::as_const(m_results)) {
        const QString state = result.value(kAtPrinter).toString();
        waiting += state == QLatin1String("waiting");
        completed += state == QLatin1String("completed");
        failed += failedAtPrinter(state);
        unknown += state == QLatin1String("unknown");
    }
    QStringList parts;
    const auto count = [&parts](int number, const QString &text) {
        if (number > 0)
            parts << text.arg(number);
    };
    count(waiting, QStringLiteral("%1 waiting at the printer"));
    count(completed, QStringLiteral("%1 completed at the printer"));
    count(failed, QStringLiteral("%1 failed at the printer"));
    count(unknown, QStringLiteral("%1 with no end reported by the printer"));
    count(m_notSent, QStringLiteral("%1 not sent"));
    m_outcome->setText(parts.join(QStringLiteral(" · ")));
    m_outcome->setVisible(!parts.isEmpty());
    const char *colour = failed + m_notSent > 0 ? "#dc2626" : waiting > 0 ? "#2563eb" : "#059669";
    m_outcome->setStyleSheet(QStringLiteral("font-weight:600; color:%1;").arg(QLatin1String(colour)));
}

void PrintSummaryDialog::showRowOutcome(int row)
{
    QTableWidgetItem *file = m_table->item(row, 0);
    const QVariantMap &result = m_results.at(row);
    if (!file || !failedAtPrinter(result.value(kAtPrinter).toString()))
        return;
    file->setText(QStringLiteral("%1 — %2").arg(file->data(Qt::UserRole).toString(),
                                                  result.value(QStringLiteral("failure")).toString()));
    file->setForeground(QColor(0xdc, 0x26, 0x26));
    file->setToolTip(result.value(QStringLiteral("failure")).toString());
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
