#pragma once

#include <QSqlDatabase>
#include <QString>

// The one access layer to the program's SQLite database. Every statement of
// the program runs through a LocalStore, on the thread that owns it.
class LocalStore
{
public:
    LocalStore();
    ~LocalStore();

    LocalStore(const LocalStore &) = delete;
    LocalStore &operator=(const LocalStore &) = delete;

    // Creates the data folder and the database file when missing, applies the
    // schema and upgrades an older file in place.
    bool open(QString *error = nullptr);

    bool execStatement(const QString &sql, QString *error = nullptr);

    QString connectionName() const { return m_connectionName; }
    QString databasePath() const { return m_databasePath; }
    bool isOpen() const { return m_db.isValid() && m_db.isOpen(); }

    // The key under which a file is stored: absolute, native separators.
    static QString normalizedPath(const QString &path);
    // Local time, ISO 8601 with milliseconds and no zone.
    static QString timestamp();

    static QString databaseFileName();

private:
    bool applySchema(QString *error);
    bool addMissingColumns(const QString &table,
                           const QList<QPair<QString, QString>> &columns,
                           QString *error);

    QString m_connectionName;
    QString m_databasePath;
    QSqlDatabase m_db;
};
