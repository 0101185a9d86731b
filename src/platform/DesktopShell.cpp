#include "platform/DesktopShell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace Platform {

namespace {

// A file manager started on demand by the bus may take a while.
constexpr int kFileManagerTimeoutMs = 10000;
constexpr int kQueryTimeoutMs = 5000;

QString mimeTypeOf(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("inode/directory");
    return QMimeDatabase().mimeTypeForFile(info).name();
}

// The desktop entry of the default application for a type, as xdg-open
// would find it; empty when there is none. *known is false where xdg-mime is
// missing and nothing can be said.
QString defaultDesktopEntry(const QString &mimeType, bool *known = nullptr)
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (known)
        *known = !query.isEmpty();
    if (query.isEmpty())
        return QString();
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    return process.exitCode() == 0 ? QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed()
                                   : QString();
}

// Where xdg-mime is missing the opener itself is the only judge, so any type
// counts as handled.
bool hasDefaultApplication(const QString &mimeType)
{
    bool known = false;
    const QString entry = defaultDesktopEntry(mimeType, &known);
    return !known || !entry.isEmpty();
}

// The program of a desktop entry's Exec line (its first word).
QString execProgram(const QString &desktopFile)
{
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return QString();
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty)
                .remove(QLatin1Char('"'));
    }
    return QString();
}

} // namespace

QString defaultApplicationProgram(const QString &path)
{
    const QString entry = defaultDesktopEntry(mimeTypeOf(path));
    if (entry.isEmpty() || entry.contains(QLatin1Char('/')))
        return QString();
    const QString desktopFile = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
    const QString program = desktopFile.isEmpty() ? QString() : execProgram(desktopFile);
    if (program.isEmpty())
        return QString();
    return QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
}

bool openWithDefaultApplication(const QString &path)
{
    if (!hasDefaultApplication(mimeTypeOf(path)))
        return false;
    const QUrl url = QUrl::fromLocalFile(path);
    if (QDesktopServices::openUrl(url))
        return true;
    // Display plugins without desktop services (offscreen, eglfs) still
    // have the desktop's opener.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty()
        && QProcess::startDetached(opener, {url.toString(QUrl::FullyEncoded)});
}

void showInFileManager(const QString &path, QObject *context, std::function<void(bool)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kFileManagerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(!watcher->isError());
                     });
}

} // namespace Platform
