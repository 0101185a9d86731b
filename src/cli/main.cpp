// dunmarrow-print: the headless print command.

#include "app/AppIdentity.h"
#include "cli/PrintCommand.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // No window and no display: the engines paint into documents only.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    applyApplicationIdentity(app);

    PrintCommand::Options options;
    QString message;
    int exitCode = 0;
    if (!PrintCommand::parseArguments(app.arguments(), &options, &message, &exitCode)) {
        const QByteArray text = message.toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), exitCode == 0 ? stdout : stderr);
        return exitCode;
    }
    return PrintCommand::run(options);
}
