#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QueueController;
class QWidget;
class ReorderTableWidget;

// The list operations that ask the user something or open something: the
// import dialog, the confirmations, the row menu, opening a row's file and
// showing it in the file manager. The list itself changes only through the
// controller.
class QueueActions : public QObject
{
    Q_OBJECT

public:
    QueueActions(QueueController *queue, ReorderTableWidget *table, QWidget *window);

    // "Cache this file" in the row menu; the entry is disabled without it.
    void setCacheRowHandler(std::function<void(int row)> handler);

    void importFiles();
    void clearQueue();
    void setCopiesForAll();
    // The header button: ascending first, then each click the other way.
    void sortByName();
    void showRowMenu(const QPoint &pos);
    void openRowFile(int row, int column);
    void locateRowFile(int row);

Q_SIGNALS:
    void statusMessage(const QString &text, bool error);

private:
    void showStatus(const QString &text, bool error = false);
    void openContainingFolder(const QString &folder, bool fileIsGone);

    QueueController *m_queue;
    ReorderTableWidget *m_table;
    QWidget *m_window;
    std::function<void(int)> m_cacheRow;
    bool m_nextAscending = true;
};
