#include "platform/FileNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cctype>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

namespace {

bool isUtf8(const QByteArray &bytes)
{
    return !bytes.contains('\0') && QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

QString linksFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/names");
}

QByteArray linkTarget(const QByteArray &link)
{
    QByteArray target(4096, '\0');
    const ssize_t length = ::readlink(link.constData(), target.data(), size_t(target.size()));
    return length > 0 ? target.left(length) : QByteArray();
}

} // namespace

QString readableName(const QByteArray &name)
{
    QString text;
    qsizetype i = 0;
    while (i < name.size()) {
        // The longest piece that is UTF-8 from here, else one byte as Latin-1.
        qsizetype length = 4;
        for (; length > 0; --length) {
            if (i + length <= name.size() && isUtf8(name.mid(i, length)))
                break;
        }
        if (length == 0) {
            text += QChar(uchar(name.at(i)));
            ++i;
        } else {
            text += QString::fromUtf8(name.mid(i, length));
            i += length;
        }
    }
    return text;
}

QString usablePath(const QByteArray &path)
{
    if (isUtf8(path))
        return QFile::decodeName(path);
    const QByteArray absolute = path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + '/' + path;
    // One folder per file, named by its path: two such files of one name
    // stay apart, and the same file finds its link again.
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(absolute, QCryptographicHash::Sha256).toHex().left(16));
    const QString folder = linksFolder() + QLatin1Char('/') + hash;
    const QString name = readableName(absolute.mid(absolute.lastIndexOf('/') + 1));
    const QString link = folder + QLatin1Char('/') + (name.isEmpty() ? QStringLiteral("file") : name);
    const QByteArray linkBytes = QFile::encodeName(link);
    if (linkTarget(linkBytes) == absolute)
        return link;
    if (!QDir().mkpath(folder))
        return QString();
    ::unlink(linkBytes.constData());
    return ::symlink(absolute.constData(), linkBytes.constData()) == 0 ? link : QString();
}

QString localFilePath(const QUrl &url)
{
    if (!url.isLocalFile())
        return QString();
    const QString usable = usablePath(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    return usable.isEmpty() ? url.toLocalFile() : usable;
}

QByteArray realPath(const QString &usablePath)
{
    const QByteArray bytes = QFile::encodeName(usablePath);
    if (usablePath.startsWith(linksFolder() + QLatin1Char('/'))) {
        const QByteArray target = linkTarget(bytes);
        if (!target.isEmpty())
            return target;
    }
    return bytes;
}

QString canonicalPath(const QString &path)
{
    const QByteArray canonical = canonicalBytes(path);
    if (canonical.isEmpty())
        return QString();
    return isUtf8(canonical) ? QFile::decodeName(canonical) : QFileInfo(path).absoluteFilePath();
}

QByteArray canonicalBytes(const QString &path)
{
    char *resolved = ::realpath(realPath(path).constData(), nullptr);
    const QByteArray canonical(resolved);
    ::free(resolved);
    return canonical;
}

QList<QByteArray> folderEntries(const QByteArray &folder)
{
    QList<QByteArray> names;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    return names;
}

bool isOpenForWriting(const QByteArray &canonicalPath)
{
    const QList<QByteArray> processes = folderEntries("/proc");
    for (const QByteArray &pid : processes) {
        if (pid.isEmpty() || !std::isdigit(uchar(pid.at(0))))
            continue;
        const QByteArray fds = "/proc/" + pid + "/fd";
        for (const QByteArray &fd : folderEntries(fds)) {
            if (linkTarget(fds + '/' + fd) != canonicalPath)
                continue;
            // "flags:\t0100001": the access mode is the lowest two bits.
            QFile info(QFile::decodeName("/proc/" + pid + "/fdinfo/" + fd));
            if (!info.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray &line : info.readAll().split('\n')) {
                if (line.startsWith("flags:") && (line.mid(6).trimmed().toUInt(nullptr, 8) & O_ACCMODE) != O_RDONLY)
                    return true;
            }
        }
    }
    return false;
}

} // namespace Platform
