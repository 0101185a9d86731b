#include "app/TopBarLayout.h"

#include <QWidget>

#include <algorithm>

TopBarLayout::TopBarLayout(QWidget *parent)
    : QLayout(parent)
{
}

TopBarLayout::~TopBarLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void TopBarLayout::addItem(QLayoutItem *item)
{
    m_items << item;
}

int TopBarLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *TopBarLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *TopBarLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations TopBarLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

bool TopBarLayout::hasHeightForWidth() const
{
    return true;
}

int TopBarLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize TopBarLayout::minimumSize() const
{
    // As narrow as the widest group: the others go to rows of their own.
    QSize size;
    for (const QLayoutItem *item : m_items)
        size = size.expandedTo(item->sizeHint());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize TopBarLayout::sizeHint() const
{
    int width = 0;
    int height = 0;
    for (const QLayoutItem *item : m_items) {
        width += item->sizeHint().width() + (width > 0 ? spacing() : 0);
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

void TopBarLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

// Places the groups row by row, each centred on its row's height; the
// height they take.
int TopBarLayout::arrange(const QRect &rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    // Which groups share a row: as many as fit, at least one.
    QList<QList<QLayoutItem *>> rows;
    int x = area.x();
    for (QLayoutItem *item : m_items) {
        const int width = item->sizeHint().width();
        if (rows.isEmpty() || (x > area.x() && x + width > area.right() + 1)) {
            rows.append(QList<QLayoutItem *>());
            x = area.x();
        }
        rows.last() << item;
        x += width + spacing();
    }
    int y = area.y();
    for (const QList<QLayoutItem *> &row : rows) {
        int height = 0;
        for (const QLayoutItem *item : row)
            height = std::max(height, item->sizeHint().height());
        x = area.x();
        for (QLayoutItem *item : row) {
            const QSize size = item->sizeHint();
            // The last group keeps to the right end of its row.
            const int left = item == m_items.last() ? std::max(x, area.right() + 1 - size.width()) : x;
            if (apply)
                item->setGeometry(QRect(QPoint(left, y + (height - size.height()) / 2), size));
            x = left + size.width() + spacing();
        }
        y += height + spacing();
    }
    return y - spacing() - rect.y() + contentsMargins().bottom();
}
