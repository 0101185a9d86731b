#pragma once

#include "platform/Automation.h"

#include <QStringList>

// Registers stand-ins under the ProgIDs of programs that exist only on
// Windows, so that code which only asks whether they are installed sees
// them. For the time of one scope.
class StandInPrograms
{
public:
    explicit StandInPrograms(const QStringList &progIds = {"AcroExch.AVDoc", "AcroExch.App",
                                                           "Word.Application"})
        : m_progIds(progIds)
    {
        for (const QString &progId : m_progIds)
            Platform::registerAutomationClass(progId, [] { return nullptr; });
    }
    ~StandInPrograms()
    {
        for (const QString &progId : m_progIds)
            Platform::unregisterAutomationClass(progId);
    }
    StandInPrograms(const StandInPrograms &) = delete;
    StandInPrograms &operator=(const StandInPrograms &) = delete;

private:
    QStringList m_progIds;
};
