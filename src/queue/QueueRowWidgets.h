#pragma once

#include <QList>
#include <QObject>
#include <QSet>

#include <functional>

class QPushButton;
class QSpinBox;
class QWidget;
class ReorderTableWidget;

// The copies box and the Print / Remove buttons of the print list's rows.
// They exist only for the rows in view and a few around them: a list of
// thousands of files would otherwise hold thousands of widgets that Qt lays
// out and clips against each other on every change. Scrolling creates the
// widgets of rows coming into view and drops the others; what they show
// (copies, a row being printed) is kept here, so every row looks and acts
// the same whether its widgets existed before or not.
class QueueRowWidgets : public QObject
{
    Q_OBJECT

public:
    struct Actions
    {
        std::function<void(int row)> printRow;
        std::function<void(int row)> removeRow;
        std::function<void(int row, int copies)> copiesChanged;
    };

    explicit QueueRowWidgets(ReorderTableWidget *table);

    // New rows: each row's copies, in row order.
    void reset(const QList<int> &copies, const Actions &actions);
    // One row anew: its copies, not busy.
    void resetRow(int row, int copies);
    void setBusy(int row);
    // Every row shows this number; the boxes do not report it as an edit.
    void setAllCopies(int copies);
    // What the row's copies box shows (or would show).
    int copies(int row) const;
    QSpinBox *copiesBox(int row) const;

    // Creates the widgets of the rows in view, drops the others.
    void update();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void create(int row);
    void drop(int row);
    QWidget *makeActions(int row);

    ReorderTableWidget *m_table;
    Actions m_actions;
    QList<int> m_copies;
    QSet<int> m_busy;
    QSet<int> m_shown;
};
