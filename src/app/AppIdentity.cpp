#include "app/AppIdentity.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

void applyApplicationIdentity(QCoreApplication &app)
{
    app.setApplicationName(QStringLiteral("Dunmarrow"));
    app.setOrganizationName(QStringLiteral("Quorvalent"));
    app.setApplicationVersion(QStringLiteral("1.7.0"));
    if (auto *gui = qobject_cast<QGuiApplication *>(&app)) {
        gui->setApplicationDisplayName(QStringLiteral("Quorvalent Dunmarrow"));
        // The desktop entry that windows belong to (Wayland's app id).
        gui->setDesktopFileName(QStringLiteral("com.quorvalent.Dunmarrow"));
    }
}

void applyApplicationLook(QApplication &app)
{
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/app_icon.png")));
    app.setFont(QFont(QStringLiteral("Segoe UI"), 10));
}

const char *applicationVersionLabel()
{
    return "v1.7.0";
}
