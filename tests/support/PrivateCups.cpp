#include "PrivateCups.h"

#include <QDir>
#include <QFile>

namespace PrivateCups {

namespace {

QString schedulerFolder()
{
    return qEnvironmentVariable("DUNMARROW_TEST_CUPS_DIR");
}

bool s_connected = false;

} // namespace

bool connectFromEnvironment()
{
    const QString folder = schedulerFolder();
    if (folder.isEmpty())
        return false;
    QFile portFile(QDir(folder).filePath(QStringLiteral("port")));
    if (!portFile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray port = portFile.readAll().trimmed();
    if (port.isEmpty())
        return false;
    // Over the socket libcups would dial the system scheduler's port for
    // some requests; the loopback address keeps every request here.
    qputenv("CUPS_SERVER", "localhost:" + port);
    s_connected = true;
    return true;
}

bool isAvailable()
{
    return s_connected;
}

QString outputFolder(const QString &queue)
{
    return QDir(schedulerFolder()).filePath(QStringLiteral("out/") + queue);
}

} // namespace PrivateCups
