// dunmarrow-print: the headless print command.

#include "app/AppIdentity.h"
#include "cli/PrintCommand.h"
#include "platform/FileNames.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

namespace {

// The arguments as given: a file or folder whose name is not UTF-8 is named
// by a path the program can hold (the toolkit's own list has lost it).
QStringList commandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        const QString text = QString::fromLocal8Bit(raw);
        const bool lost = text.toLocal8Bit() != raw;
        const QString usable = lost && ::access(raw.constData(), F_OK) == 0 ? Platform::usablePath(raw) : QString();
        arguments << (usable.isEmpty() ? text : usable);
    }
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    // No window and no display: the engines paint into documents only,
    // whatever platform the session names (a desktop's setting over ssh).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    applyApplicationIdentity(app);

    PrintCommand::Options options;
    QString message;
    int exitCode = 0;
    if (!PrintCommand::parseArguments(commandLine(argc, argv), &options, &message, &exitCode)) {
        const QByteArray text = message.toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), exitCode == 0 ? stdout : stderr);
        return exitCode;
    }
    return PrintCommand::run(options);
}
