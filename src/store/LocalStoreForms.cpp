// The form designer's templates.

#include "store/LocalStore.h"
#include "store/StoreSql.h"

using namespace StoreSql;

namespace {

// Written so that a side that is no number at all (NaN) becomes the least.
double clampedSide(double millimetres)
{
    if (millimetres > 2000)
        return 2000;
    if (!(millimetres > 30))
        return 30;
    return millimetres;
}

} // namespace

bool LocalStore::saveTemplate(int id, const QString &name, double widthMm, double heightMm,
                              const QString &layoutJson, int *savedId, QString *error)
{
    if (savedId)
        *savedId = 0;
    if (!isOpen()) {
        setError(error, QStringLiteral("The local database is not open."));
        return false;
    }
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        setError(error, QStringLiteral("The template name cannot be empty."));
        return false;
    }
    QSqlQuery query(m_db);
    if (id < 1) {
        query.prepare(QStringLiteral(
            "INSERT INTO form_templates(name,paper_width_mm,paper_height_mm,layout_json,created_at,"
            "updated_at) VALUES(:name,:width,:height,:layout,:time,:time)"));
    } else {
        query.prepare(QStringLiteral(
            "UPDATE form_templates SET name=:name,paper_width_mm=:width,paper_height_mm=:height,"
            "layout_json=:layout,updated_at=:time WHERE id=:id"));
        query.bindValue(QStringLiteral(":id"), id);
    }
    query.bindValue(QStringLiteral(":name"), trimmed);
    query.bindValue(QStringLiteral(":width"), clampedSide(widthMm));
    query.bindValue(QStringLiteral(":height"), clampedSide(heightMm));
    query.bindValue(QStringLiteral(":layout"), layoutJson);
    query.bindValue(QStringLiteral(":time"), timestamp());
    if (!run(query, error))
        return false;
    // The template was deleted meanwhile (another window): saving into
    // nothing would lose the form, so it is stored anew.
    if (id >= 1 && query.numRowsAffected() == 0)
        return saveTemplate(0, name, widthMm, heightMm, layoutJson, savedId, error);
    if (savedId)
        *savedId = id < 1 ? query.lastInsertId().toInt() : id;
    return true;
}

QVariantMap LocalStore::formTemplate(int id) const
{
    if (id < 1 || !isOpen())
        return QVariantMap();
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id,name,paper_width_mm,paper_height_mm,layout_json,created_at,"
                                 "updated_at FROM form_templates WHERE id=:id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec() || !query.next())
        return QVariantMap();
    return rowToMap(query);
}

QVariantList LocalStore::formTemplates() const
{
    QVariantList rows;
    if (!isOpen())
        return rows;
    QSqlQuery query(m_db);
    if (query.exec(QStringLiteral("SELECT id,name,paper_width_mm,paper_height_mm,updated_at FROM "
                                  "form_templates ORDER BY updated_at DESC,id DESC")))
        readRows(query, &rows, nullptr);
    return rows;
}

bool LocalStore::deleteTemplate(int id, QString *error)
{
    if (!isOpen()) {
        setError(error, QStringLiteral("The local database is not open."));
        return false;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM form_templates WHERE id=:id"));
    query.bindValue(QStringLiteral(":id"), id);
    return run(query, error);
}
