#include "cli/FolderWatch.h"

#include "engines/FileTypes.h"
#include "platform/FileNames.h"
#include "store/LocalStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMap>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace PrintCommand {

namespace {

constexpr int kQuietMs = 1500;   // a file unchanged this long is complete
constexpr int kRetryMs = 2000;   // looking for a folder that went away

int s_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t s_stopRequested = 0;

// Only what is safe in a handler: a flag and a write. The handler is reset
// by its first signal, so a second one ends a print that hangs.
void onSignal(int)
{
    const int saved = errno;
    s_stopRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_signalPipe[1], &byte, 1);
    errno = saved;
}

void installStopHandlers()
{
    struct sigaction action{};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void say(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// One watched folder: candidates wait for quiet, then print one at a time.
class Watch : public QObject
{
public:
    Watch(const Options &options, const Target &target, LocalStore &store)
        : m_options(options), m_target(target), m_store(store), m_folder(QDir(options.watchFolder).absolutePath())
    {
        m_quiet.setSingleShot(true);
        m_quiet.setInterval(250);
        m_recheck.setSingleShot(true);
        m_recheck.setInterval(kQuietMs / 3);
        connect(&m_recheck, &QTimer::timeout, this, &Watch::printQuietFiles);
        connect(&m_quiet, &QTimer::timeout, this, &Watch::printQuietFiles);
        connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &Watch::scan);
        connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &Watch::touched);
        m_retry.setInterval(kRetryMs);
        connect(&m_retry, &QTimer::timeout, this, &Watch::reattach);
    }

    bool start(QString *error)
    {
        // Each file is moved out of the folder after its print: without that
        // right it would stay and be printed again.
        if (!QFileInfo(m_folder).isWritable()) {
            *error = QStringLiteral("Cannot write to %1").arg(m_folder);
            return false;
        }
        for (const char *sub : {"printed", "failed"}) {
            const QString path = QDir(m_folder).filePath(QLatin1String(sub));
            if (!QDir().mkpath(path) || !QFileInfo(path).isWritable()) {
                *error = QStringLiteral("Cannot write to %1").arg(path);
                return false;
            }
        }
        if (!m_watcher.addPath(m_folder)) {
            *error = QStringLiteral("Cannot watch %1").arg(m_folder);
            return false;
        }
        say(QStringLiteral("Watching %1\n").arg(m_folder));
        scan();
        // Files already there are complete: they go first, at once.
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
            it.value().quietSince = 0;
        printQuietFiles();
        return true;
    }

private:
    struct Pending
    {
        qint64 size = -1;
        qint64 quietSince = 0; // ms since epoch of the last change
    };

    // A file once printed is not printed again, even when it could not be
    // moved away: its name, size and time of change.
    static QString handledKey(const QFileInfo &file)
    {
        return file.absoluteFilePath() + QLatin1Char('|') + QString::number(file.size()) + QLatin1Char('|')
            + QString::number(file.lastModified().toMSecsSinceEpoch());
    }

    void scan()
    {
        if (!QFileInfo(m_folder).isDir()) {
            // Gone for a moment (unmounted, renamed back): look again later.
            m_watcher.removePath(m_folder);
            m_retry.start();
            return;
        }
        // As the file system names them: a name that is not UTF-8 is reached
        // through a path the program can hold.
        const QByteArray folder = Platform::realPath(m_folder);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const QByteArray &name : Platform::folderEntries(folder)) {
            const QString path = Platform::usablePath(folder + '/' + name);
            const QFileInfo file(path);
            if (path.isEmpty() || !file.isFile() || !isSupportedFile(path) || m_pending.contains(path)
                || m_handled.contains(handledKey(file)))
                continue;
            m_pending.insert(path, Pending{file.size(), now});
            m_watcher.addPath(path);
        }
        m_quiet.start();
    }

    void touched(const QString &path)
    {
        auto it = m_pending.find(path);
        if (it == m_pending.end())
            return;
        it->size = QFileInfo(path).size();
        it->quietSince = QDateTime::currentMSecsSinceEpoch();
        m_quiet.start();
    }

    void reattach()
    {
        if (QFileInfo(m_folder).isDir() && m_watcher.addPath(m_folder)) {
            m_retry.stop();
            say(QStringLiteral("Watching %1 again\n").arg(m_folder));
            scan();
        }
    }

    // In name order, one at a time; a call while a print runs (its own
    // timer) waits for the next round.
    void printQuietFiles()
    {
        if (m_printing)
            return;
        m_printing = true;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        bool waiting = false;
        for (const QString &path : m_pending.keys()) {
            if (s_stopRequested)
                break;
            const auto it = m_pending.find(path);
            if (it == m_pending.end())
                continue;
            const QFileInfo file(path);
            if (!file.exists()) { // moved away before it was printed
                m_watcher.removePath(path);
                m_pending.erase(it);
                continue;
            }
            if (file.size() != it->size) { // grew without a notification yet
                it->size = file.size();
                it->quietSince = now;
            }
            if (now - it->quietSince < kQuietMs) {
                waiting = true;
                continue;
            }
            m_watcher.removePath(path);
            m_pending.erase(it);
            m_handled.insert(handledKey(file));
            finish(printFile(path, m_target, m_store));
        }
        m_printing = false;
        if (waiting && !s_stopRequested)
            m_recheck.start();
    }

    void finish(const FileResult &result)
    {
        report(result, m_options, 0, 0);
        const QString name = QFileInfo(result.path).fileName();
        const QString folder = QDir(m_folder).filePath(result.success ? QStringLiteral("printed")
                                                                       : QStringLiteral("failed"));
        const QString target = QDir(folder).filePath(freeNameIn(folder, name));
        // The file itself moves (not the link that named it), to a readable name.
        const QByteArray real = Platform::realPath(result.path);
        if (::rename(real.constData(), QFile::encodeName(target).constData()) != 0)
            say(QStringLiteral("%1: could not be moved to %2\n").arg(name, folder));
        else if (real != QFile::encodeName(result.path))
            QFile::remove(result.path);
        if (!result.success) {
            QFile log(target + QStringLiteral(".log"));
            if (log.open(QIODevice::WriteOnly))
                log.write(result.message.toUtf8() + '\n');
        }
    }

private:
    const Options &m_options;
    const Target &m_target;
    LocalStore &m_store;
    QString m_folder;
    QFileSystemWatcher m_watcher;
    QMap<QString, Pending> m_pending; // by name: printed in name order
    QSet<QString> m_handled;
    bool m_printing = false;
    QTimer m_quiet;
    QTimer m_recheck;
    QTimer m_retry;
};

} // namespace

QString freeNameIn(const QString &folder, const QString &fileName)
{
    const QDir dir(folder);
    if (!dir.exists(fileName))
        return fileName;
    const QFileInfo info(fileName);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix);
        if (!dir.exists(candidate))
            return candidate;
    }
}

int watchFolder(const Options &options, const Target &target, LocalStore &store)
{
    if (!QFileInfo(options.watchFolder).isDir()) {
        say(QStringLiteral("dunmarrow-print: no folder %1\n").arg(options.watchFolder));
        return UsageError;
    }
    if (::pipe2(s_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return UsageError;
    Watch watch(options, target, store);
    QSocketNotifier stop(s_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(s_signalPipe[0], &byte, 1);
        say(QStringLiteral("Stopping\n"));
        QCoreApplication::quit();
    });
    installStopHandlers();
    QString error;
    if (!watch.start(&error)) {
        say(QStringLiteral("dunmarrow-print: %1\n").arg(error));
        return UsageError;
    }
    if (s_stopRequested)
        return AllPrinted;
    QCoreApplication::exec();
    return AllPrinted;
}

} // namespace PrintCommand
