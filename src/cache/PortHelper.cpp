#include "cache/PortHelper.h"

#include "cache/CapturePort.h"
#include "platform/PathCase.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PortHelper {

namespace {

constexpr auto kBase64Options =
    QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

using Platform::kPathCase;

QString cleanNativePath(const QString &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

bool lstatPath(const QString &path, struct stat *info)
{
    return ::lstat(QFile::encodeName(path).constData(), info) == 0;
}

} // namespace

bool hasHelperSwitch(const QStringList &arguments)
{
    return arguments.contains(QLatin1String(kSwitch), Qt::CaseSensitive);
}

QString encodePortName(const QString &portName)
{
    return QString::fromLatin1(portName.toUtf8().toBase64(kBase64Options));
}

QString decodePortName(const QString &encoded)
{
    const auto decoded = QByteArray::fromBase64Encoding(
        encoded.toLatin1(), kBase64Options | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    return QString::fromUtf8(*decoded);
}

bool isCapturePortPath(const QString &portPath, const QString &cacheRoot)
{
    const QString root = cleanNativePath(cacheRoot);
    const QString port = cleanNativePath(portPath);
    return port.startsWith(root + QDir::separator(), kPathCase)
        && port.endsWith(QLatin1String(".prn.tmp"), kPathCase);
}

bool isSafeCapturePort(const QString &portPath, const QString &cacheRoot, uint ownerUid)
{
    // ".." is refused outright: tidied away as text it would hide where a
    // link before it really leads.
    if (portPath.contains(QChar(0)) || cacheRoot.contains(QChar(0))
        || QDir::fromNativeSeparators(portPath).split(QLatin1Char('/')).contains(QLatin1String(".."))
        || !isCapturePortPath(portPath, cacheRoot))
        return false;

    // The cache folder itself: a real folder of the user's, not a link to
    // somewhere else.
    const QString root = cleanNativePath(cacheRoot);
    struct stat rootInfo{};
    if (!lstatPath(root, &rootInfo) || !S_ISDIR(rootInfo.st_mode) || rootInfo.st_uid != ownerUid)
        return false;
    const QString realRoot = QFileInfo(root).canonicalFilePath();

    // The port's folder as it really is, every link resolved.
    const QString port = cleanNativePath(portPath);
    const QString realFolder = QFileInfo(QFileInfo(port).absolutePath()).canonicalFilePath();
    if (realRoot.isEmpty() || realFolder.isEmpty()
        || (realFolder != realRoot && !realFolder.startsWith(realRoot + QLatin1Char('/'))))
        return false;

    // The port itself: absent, or a plain file.
    struct stat portInfo{};
    if (lstatPath(port, &portInfo))
        return S_ISREG(portInfo.st_mode);
    return errno == ENOENT;
}

uint invokingUserId()
{
    // PKEXEC_UID is pkexec's word only in a process pkexec made root; in
    // any other process it is just a variable the caller chose.
    if (::getuid() == 0) {
        bool ok = false;
        const uint uid = qEnvironmentVariable("PKEXEC_UID").toUInt(&ok);
        if (ok)
            return uid;
    }
    return ::getuid();
}

QString invokingUserCacheDirectory()
{
    const struct passwd *account = ::getpwuid(invokingUserId());
    if (!account || !account->pw_dir || !*account->pw_dir)
        return QString();
    return QDir(QFile::decodeName(account->pw_dir))
        .filePath(QStringLiteral(".local/share/Quorvalent/Dunmarrow/rip-cache"));
}

int runPortHelper(const QStringList &arguments, const QString &cacheRoot, uint ownerUid)
{
    const qsizetype at = arguments.indexOf(QLatin1String(kSwitch));
    if (at < 0 || arguments.size() < at + 3)
        return MissingArguments;

    const QString action = arguments.at(at + 1).trimmed().toLower();
    const QString portName = decodePortName(arguments.at(at + 2));
    if (portName.isEmpty())
        return EmptyPortName;
    if (cacheRoot.isEmpty() || !isSafeCapturePort(portName, cacheRoot, ownerUid))
        return PortOutsideCache;

    if (action == QLatin1String("add")) {
        removeStaleCapturePorts(cacheRoot);
        return xcvPortCommand(QStringLiteral("AddPort"), portName) ? Success : AddFailed;
    }
    if (action == QLatin1String("delete"))
        return xcvPortCommand(QStringLiteral("DeletePort"), portName) ? Success : DeleteFailed;
    return UnknownAction;
}

} // namespace PortHelper

int portHelperMain(const QStringList &arguments)
{
    // pkexec passes the caller's umask on: the port list it writes as root
    // must not be writable by anyone else, not even for a moment.
    ::umask(022);
    return PortHelper::runPortHelper(arguments, PortHelper::invokingUserCacheDirectory(),
                                     PortHelper::invokingUserId());
}
