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

using AutomationObjectPtr = std::shared_ptr<AutomationObject>;
using AutomationFactory = std::function<AutomationObjectPtr()>;

// HRESULTs the engines tell apart.
inline constexpr quint32 E_FAIL_HRESULT = 0x80004005;
inline constexpr quint32 DISP_E_UNKNOWNNAME = 0x80020006;
inline constexpr quint32 DISP_E_EXCEPTION = 0x80020009;
inline constexpr quint32 DISP_E_PARAMNOTFOUND = 0x80020004;

// Variants, as the engines pass and read them: text (BSTR) is a QString,
// VT_I4 an int, VT_I2 a short, VT_R8 a double, VT_R4 a float, VT_BOOL a
// bool, VT_DISPATCH an AutomationObjectPtr, and an omitted optional
// argument (VT_ERROR with DISP_E_PARAMNOTFOUND) is missingArgument().
struct MissingArgument
{
    bool operator==(const MissingArgument &) const { return true; }
};
QVariant missingArgument();
bool isMissingArgument(const QVariant &value);
QVariant objectVariant(const AutomationObjectPtr &object);
// The object a VT_DISPATCH variant holds; null for anything else.
AutomationObjectPtr objectFromVariant(const QVariant &value);

// IDispatch::Invoke through GetIDsOfNames: an unknown member fails with
// DISP_E_UNKNOWNNAME, an object that raises an exception with
// DISP_E_EXCEPTION and its description. Never throws.
bool invokeAutomation(AutomationObject &object, const QString &member, DispatchKind kind,
                      const QVariantList &arguments, QVariant *result, quint32 *hresult,
                      QString *description);

// The system's text for an HRESULT (FormatMessage); empty when it has none.
QString systemMessageForHresult(quint32 hresult);

void registerAutomationClass(const QString &progId, AutomationFactory factory);
void unregisterAutomationClass(const QString &progId);

// CLSIDFromProgID: whether the ProgID names a registered class.
bool isAutomationClassRegistered(const QString &progId);
// CoCreateInstance: null when the class is unknown or will not start.
std::shared_ptr<AutomationObject> createAutomationObject(const QString &progId);

} // namespace Platform

Q_DECLARE_METATYPE(Platform::MissingArgument)
Q_DECLARE_METATYPE(Platform::AutomationObjectPtr)
