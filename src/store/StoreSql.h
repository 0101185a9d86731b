#pragma once

// Internal to the store: the small pieces every LocalStore file needs.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <QVariantList>
#include <QVariantMap>

namespace StoreSql {

inline void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Runs a prepared query; its driver text becomes the error on failure.
inline bool run(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    setError(error, query.lastError().text());
    return false;
}

// The current row keyed by the column names of the SELECT list.
inline QVariantMap rowToMap(const QSqlQuery &query)
{
    const QSqlRecord record = query.record();
    QVariantMap map;
    for (int i = 0; i < record.count(); ++i)
        map.insert(record.fieldName(i), query.value(i));
    return map;
}

// Every row of an executed query; false when the read stopped at an error
// (a damaged page) rather than at the end.
inline bool readRows(QSqlQuery &query, QVariantList *rows, QString *error)
{
    // The column names once, in the map's own order, so that each row's map
    // is built by appending: a list can hold thousands of rows.
    const QSqlRecord record = query.record();
    QList<QPair<QString, int>> columns;
    for (int i = 0; i < record.count(); ++i)
        columns.append({record.fieldName(i), i});
    // A name given twice keeps its last column, as inserting in order would.
    std::sort(columns.begin(), columns.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : a.second > b.second;
    });
    columns.erase(std::unique(columns.begin(), columns.end(),
                              [](const auto &a, const auto &b) { return a.first == b.first; }),
                  columns.end());
    while (query.next()) {
        QVariantMap map;
        for (const auto &[name, index] : columns)
            map.insert(map.cend(), name, query.value(index));
        *rows << map;
    }
    if (!query.lastError().isValid())
        return true;
    setError(error, query.lastError().text());
    return false;
}

// For lists shown to the user: what could be read.
inline QVariantList allRows(QSqlQuery &query)
{
    QVariantList rows;
    readRows(query, &rows, nullptr);
    return rows;
}

// Begins a transaction that writes: the write lock is taken at once, so a
// writer waits its turn (the busy timeout) rather than failing when another
// process wrote between its read and its write.
inline bool beginWriting(QSqlDatabase &db, QString *error)
{
    QSqlQuery begin(db);
    if (begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return true;
    setError(error, begin.lastError().text());
    return false;
}

// One transaction; anything not committed is rolled back when it goes away.
class Transaction
{
public:
    Transaction(QSqlDatabase db, QString *error)
        : m_db(db)
        , m_error(error)
    {
        m_open = beginWriting(m_db, m_error);
    }
    ~Transaction()
    {
        if (m_open)
            m_db.rollback();
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isOpen() const { return m_open; }

    bool commit()
    {
        if (!m_db.commit()) {
            setError(m_error, m_db.lastError().text());
            return false;
        }
        m_open = false;
        return true;
    }

private:
    QSqlDatabase m_db;
    QString *m_error;
    bool m_open = false;
};

} // namespace StoreSql
