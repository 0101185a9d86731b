#include "app/AppIdentity.h"
#include "app/MainWindow.h"
#include "cache/PortHelper.h"

#include <QApplication>
#include <QStringList>

namespace {

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    // Helper mode runs elevated, without a display: it gets a core
    // application, no window, no database and no settings.
    const QStringList arguments = argumentList(argc, argv);
    if (PortHelper::hasHelperSwitch(arguments)) {
        QCoreApplication app(argc, argv);
        applyApplicationIdentity(app);
        return portHelperMain(app.arguments());
    }

    QApplication app(argc, argv);
    applyApplicationIdentity(app);
    applyApplicationLook(app);

    MainWindow window;
    window.show();
    return app.exec();
}
