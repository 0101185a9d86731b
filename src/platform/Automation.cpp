#include "platform/Automation.h"

#include <QHash>
#include <QMutex>

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
    return factory ? factory() : nullptr;
}

} // namespace Platform
