#pragma once

#include <QLayout>
#include <QList>

// The window's top bar: groups of controls in one row, the last one at the
// right end, as long as the row is wide enough for all of them at their
// size; where it is not, a group that does not fit starts a new row (the
// last one still at the right). Nothing is squeezed below its size, so
// nothing overlaps or is cut at any width the window allows.
class TopBarLayout : public QLayout
{
public:
    explicit TopBarLayout(QWidget *parent = nullptr);
    ~TopBarLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
};
