#include "queue/QueueRowWidgets.h"

#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>

#include <algorithm>

namespace {

// Rows beyond each edge of the view that get their widgets too, so that a
// short scroll does not wait for them; and the rows a table that was never
// shown (and so has no height yet) gets from the top.
constexpr int kMargin = 8;
constexpr int kUnshownRows = 64;

} // namespace

QueueRowWidgets::QueueRowWidgets(ReorderTableWidget *table)
    : QObject(table)
    , m_table(table)
{
    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this, &QueueRowWidgets::update);
    table->viewport()->installEventFilter(this);
}

void QueueRowWidgets::reset(const QList<int> &copies, const Actions &actions)
{
    // The table dropped every cell widget when it was cleared.
    m_shown.clear();
    m_busy.clear();
    m_copies = copies;
    m_actions = actions;
    update();
}

void QueueRowWidgets::resetRow(int row, int copies)
{
    if (row < 0 || row >= m_copies.size())
        return;
    m_copies[row] = copies;
    m_busy.remove(row);
    if (m_shown.contains(row)) {
        drop(row);
        create(row);
    }
}

void QueueRowWidgets::setBusy(int row)
{
    if (row < 0 || row >= m_copies.size())
        return;
    m_busy.insert(row);
    if (!m_shown.contains(row))
        return;
    QWidget *actions = m_table->cellWidget(row, QueueTable::Actions);
    for (QPushButton *button : actions->findChildren<QPushButton *>()) {
        if (button->objectName() == QLatin1String("RowPrintButton"))
            button->setText(QStringLiteral("Printing"));
        button->setEnabled(false);
    }
}

void QueueRowWidgets::setAllCopies(int copies)
{
    std::fill(m_copies.begin(), m_copies.end(), copies);
    for (const int row : std::as_const(m_shown)) {
        if (QSpinBox *box = copiesBox(row)) {
            const QSignalBlocker quiet(box);
            box->setValue(copies);
        }
    }
}

int QueueRowWidgets::copies(int row) const
{
    return row >= 0 && row < m_copies.size() ? m_copies.at(row) : 0;
}

QSpinBox *QueueRowWidgets::copiesBox(int row) const
{
    return m_shown.contains(row)
        ? qobject_cast<QSpinBox *>(m_table->cellWidget(row, QueueTable::Copies))
        : nullptr;
}

void QueueRowWidgets::update()
{
    const int rows = int(m_copies.size());
    const int first = std::max(m_table->rowAt(0) - kMargin, 0);
    // No row at the bottom edge: in a shown table every row below fits;
    // a table never shown has no height to go by (in a window still being
    // built, every row would count as in view).
    const int bottom = m_table->rowAt(m_table->viewport()->height() - 1);
    int last = 0;
    if (m_table->isVisible())
        last = bottom < 0 ? rows - 1 : bottom + kMargin;
    else
        last = std::max(bottom, first + kUnshownRows - 1);
    last = std::min(last, rows - 1);

    const QSet<int> shown = m_shown;
    for (const int row : shown) {
        if (row < first || row > last)
            drop(row);
    }
    for (int row = first; row <= last; ++row) {
        if (!m_shown.contains(row))
            create(row);
    }
}

bool QueueRowWidgets::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table->viewport()
        && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        update();
    return QObject::eventFilter(watched, event);
}

void QueueRowWidgets::create(int row)
{
    auto *box = new QSpinBox;
    box->setRange(1, 9999);
    box->setValue(std::max(m_copies.at(row), 1));
    box->setToolTip(QStringLiteral("Copies are sent to the print component in one job"));
    connect(box, &QSpinBox::valueChanged, this, [this, row](int value) {
        m_copies[row] = value;
        if (m_actions.copiesChanged)
            m_actions.copiesChanged(row, value);
    });
    m_table->setCellWidget(row, QueueTable::Copies, box);
    m_table->setCellWidget(row, QueueTable::Actions, makeActions(row));
    m_shown.insert(row);
    if (m_busy.contains(row)) {
        m_busy.remove(row);
        setBusy(row);
    }
}

void QueueRowWidgets::drop(int row)
{
    // The view forgets the widgets but does not always hide them: one made
    // before the view laid itself out would stay where it was made.
    for (const int column : {QueueTable::Copies, QueueTable::Actions}) {
        const QPointer<QWidget> widget = m_table->cellWidget(row, column);
        m_table->removeCellWidget(row, column);
        if (widget) {
            widget->hide();
            widget->deleteLater();
        }
    }
    m_shown.remove(row);
}

QWidget *QueueRowWidgets::makeActions(int row)
{
    auto *cell = new QWidget;
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(6);
    auto *print = new QPushButton(QStringLiteral("Print"), cell);
    print->setObjectName(QStringLiteral("RowPrintButton"));
    print->setFixedSize(58, 34);
    auto *remove = new QPushButton(QStringLiteral("Remove"), cell);
    remove->setObjectName(QStringLiteral("RowRemoveButton"));
    remove->setFixedSize(72, 34);
    for (QPushButton *button : {print, remove}) {
        button->setCursor(Qt::PointingHandCursor);
        layout->addWidget(button);
    }
    connect(print, &QPushButton::clicked, this, [this, row] {
        if (m_actions.printRow)
            m_actions.printRow(row);
    });
    connect(remove, &QPushButton::clicked, this, [this, row] {
        if (m_actions.removeRow)
            m_actions.removeRow(row);
    });
    return cell;
}
