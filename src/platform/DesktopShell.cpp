#include "platform/DesktopShell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
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

// The desktop's default application for a type, as xdg-open would find it.
// Where xdg-mime is missing the opener itself is the only judge, so any type
// counts as handled.
bool hasDefaultApplication(const QString &mimeType)
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return true;
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitCode() == 0 && !process.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

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
