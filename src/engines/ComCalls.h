#pragma once

#include "platform/Automation.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// The automation calls the Acrobat and office engines make, each engine with
// its own wording of the same failures.

// The system's text for an HRESULT, or "HRESULT 0x%1" (eight lower-case hex
// digits) when the system has none.
QString hresultText(quint32 hresult);

// Acrobat's objects ("AcroExch.App", "AcroExch.AVDoc").
bool createAcrobatObject(const QString &progId, Platform::AutomationObjectPtr *object,
                         QString *message);
bool invokeAcrobatMethod(const Platform::AutomationObjectPtr &object, const QString &member,
                         QVariant *result, const QVariantList &arguments, QString *message);

// The office suites' objects.
bool createFirstApplication(const QStringList &progIds, Platform::AutomationObjectPtr *object,
                            QString *usedProgId = nullptr);
bool invokeComMember(const Platform::AutomationObjectPtr &object, const QString &member,
                     Platform::DispatchKind kind, QVariant *result, const QVariantList &arguments,
                     QString *message);
// A property that must be an object: "The COM member is not an object: %1".
bool getObjectProperty(const Platform::AutomationObjectPtr &object, const QString &member,
                       Platform::AutomationObjectPtr *value, QString *message);
// Errors ignored, as for settings an application may not have.
void putProperty(const Platform::AutomationObjectPtr &object, const QString &member,
                 const QVariant &value);

// A page count in any of the numeric variants the applications answer
// with; 0 for anything else or a negative value.
int variantPageCount(const QVariant &value);
