#include "FuzzSupport.h"

#include "TestProfile.h"

#include <QCoreApplication>
#include <QFile>

namespace Fuzz {

void setUpProcess(int *argc, char ***argv)
{
    static TestProfile profile;
    static QCoreApplication app(*argc, *argv);
}

QString writeScratch(const char *name, const uint8_t *data, size_t size)
{
    static TestProfile scratch;
    const QString path = scratch.path(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        return QString();
    return path;
}

} // namespace Fuzz
