#include "cache/PortHelper.h"

#include "cache/CacheLocation.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

namespace PortHelper {

namespace {

constexpr auto kBase64Options =
    QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

// Windows file names ignore case; here they do not, and a check that ignored
// case would let "RIP-CACHE" pass for "rip-cache".
constexpr Qt::CaseSensitivity kPathCase =
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

QString cleanNativePath(const QString &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
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

} // namespace PortHelper

int portHelperMain(const QStringList &arguments)
{
    using namespace PortHelper;

    const qsizetype at = arguments.indexOf(QLatin1String(kSwitch));
    if (at < 0 || arguments.size() < at + 3)
        return MissingArguments;

    const QString action = arguments.at(at + 1).trimmed().toLower();
    const QString portName = decodePortName(arguments.at(at + 2));
    if (portName.isEmpty())
        return EmptyPortName;
    if (!isCapturePortPath(portName, cacheDirectory()))
        return PortOutsideCache;

    // The capture port itself arrives with the cache builder; until then
    // both operations report failure.
    if (action == QLatin1String("add"))
        return AddFailed;
    if (action == QLatin1String("delete"))
        return DeleteFailed;
    return UnknownAction;
}
