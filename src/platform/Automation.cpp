#include "platform/Automation.h"

#include <QHash>
#include <QMutex>

#include <exception>

namespace Platform {

namespace {

struct Registry
{
    QMutex mutex;
    QHash<QString, AutomationFactory> classes;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerAutomationClass(const QString &progId, AutomationFactory factory)
{
    QMutexLocker locker(&registry().mutex);
    registry().classes.insert(progId, std::move(factory));
}

void unregisterAutomationClass(const QString &progId)
{
    QMutexLocker locker(&registry().mutex);
    registry().classes.remove(progId);
}

bool isAutomationClassRegistered(const QString &progId)
{
    QMutexLocker locker(&registry().mutex);
    return registry().classes.contains(progId);
}

std::shared_ptr<AutomationObject> createAutomationObject(const QString &progId)
{
    AutomationFactory factory;
    {
        QMutexLocker locker(&registry().mutex);
        factory = registry().classes.value(progId);
    }
    if (!factory)
        return nullptr;
    // A server that fails to start gives no object, never an exception.
    try {
        return factory();
    } catch (...) {
        return nullptr;
    }
}

QVariant missingArgument()
{
    return QVariant::fromValue(MissingArgument());
}

bool isMissingArgument(const QVariant &value)
{
    return value.canConvert<MissingArgument>() && value.metaType() == QMetaType::fromType<MissingArgument>();
}

QVariant objectVariant(const AutomationObjectPtr &object)
{
    return QVariant::fromValue(object);
}

AutomationObjectPtr objectFromVariant(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<AutomationObjectPtr>())
        return nullptr;
    return value.value<AutomationObjectPtr>();
}

bool invokeAutomation(AutomationObject &object, const QString &member, DispatchKind kind,
                      const QVariantList &arguments, QVariant *result, quint32 *hresult,
                      QString *description)
{
    QVariant ignored;
    QVariant &answer = result ? *result : ignored;
    answer = QVariant();
    *hresult = 0;
    description->clear();
    // An exception of the object's is reported as COM reports one: it
    // never unwinds through the caller.
    try {
        return object.invoke(member, kind, arguments, &answer, hresult, description);
    } catch (const std::exception &error) {
        *description = QString::fromLocal8Bit(error.what());
    } catch (...) {
        description->clear();
    }
    *hresult = DISP_E_EXCEPTION;
    answer = QVariant();
    return false;
}

QString systemMessageForHresult(quint32 hresult)
{
    // The system's own texts for the codes automation servers give.
    static const QHash<quint32, QString> texts = {
        {0x80004001, QStringLiteral("Not implemented")},
        {0x80004005, QStringLiteral("Unspecified error")},
        {0x8007000E, QStringLiteral("Not enough memory resources are available to complete this operation.")},
        {0x80070005, QStringLiteral("Access is denied.")},
        {0x80070057, QStringLiteral("The parameter is incorrect.")},
        {0x80020003, QStringLiteral("Member not found.")},
        {0x80020004, QStringLiteral("Parameter not found.")},
        {0x80020005, QStringLiteral("Type mismatch.")},
        {0x80020006, QStringLiteral("Unknown name.")},
        {0x80020009, QStringLiteral("Exception occurred.")},
        {0x8002000E, QStringLiteral("Invalid number of parameters.")},
        {0x80040154, QStringLiteral("Class not registered")},
        {0x80080005, QStringLiteral("Server execution failed")},
        {0x8001010A, QStringLiteral("The message filter indicated that the application is busy.")},
    };
    return texts.value(hresult);
}

} // namespace Platform
