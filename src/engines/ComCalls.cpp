#include "engines/ComCalls.h"

#include <cmath>

using namespace Platform;

namespace {

struct Wording
{
    const char *unknownMember;
    const char *callFailed;
};

const Wording kAcrobat = {"The Acrobat COM member does not exist: %1, %2",
                          "The Acrobat COM call failed: %1, %2"};
const Wording kOffice = {"The COM member does not exist: %1, %2", "The COM call failed: %1, %2"};

bool invokeWith(const Wording &wording, const AutomationObjectPtr &object, const QString &member,
                DispatchKind kind, QVariant *result, const QVariantList &arguments, QString *message)
{
    quint32 hresult = 0;
    QString description;
    if (object && invokeAutomation(*object, member, kind, arguments, result, &hresult, &description))
        return true;
    if (!object)
        hresult = E_FAIL_HRESULT;
    if (message) {
        if (hresult == DISP_E_UNKNOWNNAME)
            *message = QString::fromLatin1(wording.unknownMember).arg(member, hresultText(hresult));
        else
            *message = QString::fromLatin1(wording.callFailed)
                           .arg(member, description.isEmpty() ? hresultText(hresult) : description);
    }
    return false;
}

} // namespace

QString hresultText(quint32 hresult)
{
    const QString text = systemMessageForHresult(hresult).trimmed();
    return text.isEmpty() ? QStringLiteral("HRESULT 0x%1").arg(hresult, 8, 16, QLatin1Char('0')) : text;
}

bool createAcrobatObject(const QString &progId, AutomationObjectPtr *object, QString *message)
{
    object->reset();
    if (!isAutomationClassRegistered(progId)) {
        *message = QStringLiteral("The Adobe Acrobat COM component is not registered");
        return false;
    }
    *object = createAutomationObject(progId);
    if (!*object) {
        *message = QStringLiteral("Unable to start Adobe Acrobat COM: ")
            + hresultText(0x80080005); // CO_E_SERVER_EXEC_FAILURE
        return false;
    }
    return true;
}

bool invokeAcrobatMethod(const AutomationObjectPtr &object, const QString &member, QVariant *result,
                         const QVariantList &arguments, QString *message)
{
    return invokeWith(kAcrobat, object, member, DispatchKind::Method, result, arguments, message);
}

bool createFirstApplication(const QStringList &progIds, AutomationObjectPtr *object,
                            QString *usedProgId)
{
    for (const QString &progId : progIds) {
        if (!isAutomationClassRegistered(progId))
            continue;
        if (AutomationObjectPtr created = createAutomationObject(progId)) {
            *object = created;
            if (usedProgId)
                *usedProgId = progId;
            return true;
        }
    }
    object->reset();
    return false;
}

bool invokeComMember(const AutomationObjectPtr &object, const QString &member, DispatchKind kind,
                     QVariant *result, const QVariantList &arguments, QString *message)
{
    return invokeWith(kOffice, object, member, kind, result, arguments, message);
}

bool getObjectProperty(const AutomationObjectPtr &object, const QString &member,
                       AutomationObjectPtr *value, QString *message)
{
    QVariant result;
    value->reset();
    if (!invokeComMember(object, member, DispatchKind::PropertyGet, &result, {}, message))
        return false;
    *value = objectFromVariant(result);
    if (!*value) {
        if (message)
            *message = QStringLiteral("The COM member is not an object: %1").arg(member);
        return false;
    }
    return true;
}

void putProperty(const AutomationObjectPtr &object, const QString &member, const QVariant &value)
{
    invokeComMember(object, member, DispatchKind::PropertyPut, nullptr, {value}, nullptr);
}

int variantPageCount(const QVariant &value)
{
    int pages = 0;
    switch (value.typeId()) {
    case QMetaType::Int: pages = value.toInt(); break;
    case QMetaType::Short: pages = value.value<short>(); break;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble() + 0.5;
        pages = std::isfinite(number) && number < 2147483647.0 ? int(number) : 0;
        break;
    }
    default: break;
    }
    return std::max(pages, 0);
}
