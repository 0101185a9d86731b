#include "platform/CapturePorts.h"

#include "platform/FileLock.h"
#include "platform/LastError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

namespace Platform {

namespace {

constexpr qint64 kListLimit = 1024 * 1024;

bool readList(QList<CapturePort> *ports)
{
    ports->clear();
    QFile file(capturePortListPath());
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kListLimit) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        bool ok = false;
        const uint uid = line.left(tab).toUInt(&ok);
        if (tab > 0 && ok)
            ports->append({QString::fromUtf8(line.mid(tab + 1)), uid});
    }
    return true;
}

bool writeList(const QList<CapturePort> &ports)
{
    QByteArray text;
    for (const CapturePort &port : ports)
        text += QByteArray::number(port.ownerUid) + '\t' + port.path.toUtf8() + '\n';
    // Written whole and renamed into place: the backend may read it any time.
    QSaveFile file(capturePortListPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    QFile::setPermissions(capturePortListPath(), QFile::ReadOwner | QFile::WriteOwner
                                                     | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool canBeListed(const QString &port)
{
    return QDir::isAbsolutePath(port) && !port.contains(QLatin1Char('\n'))
        && !port.contains(QLatin1Char('\r')) && !port.contains(QChar(0));
}

} // namespace

QString capturePortListPath()
{
    QString root = qEnvironmentVariable("CUPS_SERVERROOT");
    if (root.isEmpty())
        root = QStringLiteral("/etc/cups");
    return QDir(root).filePath(QStringLiteral("dunmarrow-capture-ports"));
}

bool xcvData(const QString &command, const QString &port, uint ownerUid, quint32 *status)
{
    *status = ErrorSuccess;
    const bool add = command == QLatin1String("AddPort");
    if (!add && command != QLatin1String("DeletePort")) {
        setLastError(ErrorInvalidParameter);
        return false;
    }
    if (!canBeListed(port)) {
        *status = ErrorInvalidName;
        return true;
    }
    const auto isListed = [&](const QList<CapturePort> &ports) {
        return std::find_if(ports.begin(), ports.end(), [&](const CapturePort &entry) {
            return entry.path == port && (!add || entry.ownerUid == ownerUid);
        });
    };
    QList<CapturePort> ports;
    // A port already listed for this user needs no right to change the list.
    if (add && readList(&ports) && isListed(ports) != ports.cend()) {
        *status = ErrorAlreadyExists;
        return true;
    }
    FileLock lock(capturePortListPath() + QStringLiteral(".lock"));
    if (!lock.lock(10000) || !readList(&ports))
        return false;
    const auto listed = isListed(ports);
    if (add) {
        if (listed != ports.cend()) {
            *status = ErrorAlreadyExists;
            return true;
        }
        // Listed for someone else, it is this user's now: the helper only
        // adds ports inside the invoking user's own cache folder.
        ports.removeIf([&](const CapturePort &entry) { return entry.path == port; });
        ports.append({port, ownerUid});
    } else {
        if (listed == ports.end()) {
            *status = ErrorUnknownPort;
            return true;
        }
        ports.erase(listed);
    }
    return writeList(ports);
}

bool enumCapturePorts(QList<CapturePort> *ports)
{
    return readList(ports);
}

QByteArray captureDeviceUri(const QString &port)
{
    return QByteArray(kCaptureScheme) + ':' + port.toUtf8().toPercentEncoding("/");
}

QString portOfDeviceUri(const QByteArray &uri)
{
    const QByteArray prefix = QByteArray(kCaptureScheme) + ':';
    if (!uri.startsWith(prefix))
        return QString::fromUtf8(uri);
    return QString::fromUtf8(QByteArray::fromPercentEncoding(uri.mid(prefix.size())));
}

} // namespace Platform
