#pragma once

#include <QDialog>

class LocalStore;
class QTableWidget;

// The print history with its totals; exports it to a file or merges one in.
class HistoryDialog : public QDialog
{
    Q_OBJECT

public:
    explicit HistoryDialog(LocalStore *store, QWidget *parent = nullptr);

    // An import succeeded: the caller shows a fresh dialog with the merge.
    bool imported() const { return m_imported; }
    QTableWidget *table() const { return m_table; }
    int rowCount() const { return m_rowCount; }

    // "2025-03-01T14:05:09.123+08:00" → "2025-03-01 14:05:09.123".
    static QString displayTime(const QString &printedAt);

    // The file an export writes to: ".db" is added when missing.
    static QString exportTarget(const QString &chosen);

    bool exportTo(const QString &path);
    bool importFrom(const QString &path);

private:
    void exportData();
    void importData();

    LocalStore *m_store;
    QTableWidget *m_table = nullptr;
    bool m_imported = false;
    int m_rowCount = 0;
};
