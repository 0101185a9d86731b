#pragma once

#include <QList>
#include <QMap>
#include <QString>

class FormElementItem;

// Printing a form: which values a print asks for, and what it reports.
namespace Forms {

// The key a field is filled under: its field key, or its text when the
// key is blank (both trimmed).
QString printKey(const FormElementItem *field);
// key → label for every field (topmost first; a later one with the same
// key gives the label), in key order.
QMap<QString, QString> fieldRecord(const QList<FormElementItem *> &topmostFirst);

QString printReport(double widthMm, double heightMm, double offsetXMm, double offsetYMm,
                    const QString &formMode, int parts);

} // namespace Forms
