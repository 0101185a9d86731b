#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

// Late-bound automation objects by ProgID, in the shape the engines use COM.
// Programs that exist only on Windows (Acrobat, the office suites' COM
// servers) are simply not registered here; tests register stand-ins that
// behave like them.
namespace Platform {

enum class DispatchKind { Method, PropertyGet, PropertyPut };

class AutomationObject
{
public:
    virtual ~AutomationObject() = default;
    // False with an HRESULT and, when the object gives one, a description.
    virtual bool invoke(const QString &member, DispatchKind kind, const QVariantList &arguments,
                        QVariant *result, quint32 *hresult, QString *description) = 0;
};

using AutomationFactory = std::function<std::shared_ptr<AutomationObject>()>;

void registerAutomationClass(const QString &progId, AutomationFactory factory);
void unregisterAutomationClass(const QString &progId);

// CLSIDFromProgID: whether the ProgID names a registered class.
bool isAutomationClassRegistered(const QString &progId);
// CoCreateInstance: null when the class is unknown or will not start.
std::shared_ptr<AutomationObject> createAutomationObject(const QString &progId);

} // namespace Platform
