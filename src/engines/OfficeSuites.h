#pragma once

#include <QString>
#include <QStringList>

// Which office suite can print a document, and the names used in messages.

enum class DocumentClass { None, Writer, Presentation, Spreadsheet };

DocumentClass documentClassOf(const QString &path);
bool isOfficeDocument(const QString &path);
// Types printed through their registered application when no suite takes them.
bool isShellVerbType(const QString &path);

// The COM applications to try for a class, in order.
QStringList officeProgIds(DocumentClass documentClass, const QString &officeEngine);
bool hasComApplication(const QString &path, const QString &officeEngine);

bool isMicrosoftOfficePresent();
bool isWpsOfficePresent();

// LibreOffice's soffice program: PATH, then the usual install folders.
QString findSoffice();
bool isLibreOfficeAvailable();

bool isOfficeSuiteAvailable(const QString &path, const QString &officeEngine);
QString officeSuiteName(const QString &path, const QString &officeEngine);
