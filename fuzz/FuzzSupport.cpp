#include "FuzzSupport.h"

#include "TestProfile.h"

#include <QApplication>
#include <QFile>

namespace Fuzz {

void setUpProcess(int *argc, char ***argv, Application kind)
{
    static TestProfile profile;
    // Kept to the end of the process: a widget application torn down among
    // the other static objects at exit would crash.
    static QCoreApplication *app = kind == Application::Widgets ? new QApplication(*argc, *argv)
                                                                 : new QCoreApplication(*argc, *argv);
    Q_UNUSED(app);
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
