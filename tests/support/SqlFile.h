#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

// A database file looked at or written over a connection of its own, as
// another program would: statements run in order, false at the first that
// fails.
inline bool execOnFile(const QString &path, const QStringList &statements)
{
    static int count = 0;
    const QString name = QStringLiteral("sql-file-%1").arg(++count);
    bool ok = true;
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        for (const QString &sql : statements)
            ok = ok && query.exec(sql);
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// The first column of every row a query gives, as text.
inline QStringList queryFile(const QString &path, const QString &sql)
{
    static int count = 0;
    const QString name = QStringLiteral("sql-reader-%1").arg(++count);
    QStringList values;
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(sql))
            values << QStringLiteral("error: ") + sql;
        while (query.next())
            values << query.value(0).toString();
    }
    QSqlDatabase::removeDatabase(name);
    return values;
}
