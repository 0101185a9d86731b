#include "cli/FolderWatch.h"

#include "cli/JobWait.h"
#include "cli/StopSignals.h"
#include "cli/WatchJournal.h"
#include "engines/FileTypes.h"
#include "platform/FileNames.h"
#include "platform/JobTracking.h"
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

#include <cstdio>

#include <sys/stat.h>

namespace PrintCommand {

namespace {

constexpr int kQuietMs = 1500; // a file unchanged this long, and open to no writer, is complete
constexpr int kLookMs = 500;   // how often the folder is looked at besides its notifications

void say(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

struct FileState
{
    bool exists = false;
    bool isFile = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 changedMs = 0;

    bool sameAs(const FileState &other) const
    {
        return inode == other.inode && size == other.size && changedMs == other.changedMs;
    }
};

FileState stateOf(const QByteArray &path)
{
    struct stat info{};
    FileState state;
    if (::stat(path.constData(), &info) != 0)
        return state;
    state.exists = true;
    state.isFile = S_ISREG(info.st_mode);
    state.device = info.st_dev;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.changedMs = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return state;
}

// One watched folder. A file is printed once it is complete: unchanged for
// a while and open to no writer. Each is printed once whatever happens (a
// stop, a kill, a restart, the folder replaced), then moved to printed/ or
// failed/.
class Watch : public QObject
{
public:
    Watch(const Options &options, const Target &target, LocalStore &store)
        : m_options(options), m_target(target), m_store(store), m_folder(QDir(options.watchFolder).absolutePath())
    {
        m_look.setInterval(kLookMs);
        connect(&m_look, &QTimer::timeout, this, &Watch::look);
        connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &Watch::look);
    }

    bool start(QString *error)
    {
        // Each file is moved out of the folder after its print: without that
        // right it would stay and be printed again.
        if (!QFileInfo(m_folder).isWritable()) {
            *error = QStringLiteral("Cannot write to %1").arg(m_folder);
            return false;
        }
        const QByteArray canonical = Platform::canonicalBytes(m_folder);
        if (!m_journal.open(canonical.isEmpty() ? Platform::realPath(m_folder) : canonical, error))
            return false;
        say(QStringLiteral("Watching %1\n").arg(m_folder));
        settleJournal();
        m_look.start();
        look();
        return true;
    }

private:
    struct Pending
    {
        FileState state;
        qint64 quietSince = 0; // ms since epoch
    };

    QByteArray folderBytes() const { return Platform::realPath(m_folder); }
    QByteArray pathOf(const QByteArray &name) const { return folderBytes() + '/' + name; }

    // What a run that was stopped or killed left: a file whose job reached
    // the scheduler is done (moved, not printed again; with --wait once the
    // job ended, as any other); one whose job never did prints now like any
    // other; one printed but not moved is moved. While the scheduler does
    // not answer, a journaled job is asked about again at the next look and
    // its file waits.
    void settleJournal()
    {
        m_journalUnsettled = false;
        for (const WatchJournal::Entry &entry : m_journal.entries()) {
            const FileState file = stateOf(pathOf(entry.name));
            if (!file.isFile || file.inode != entry.inode) {
                m_journal.remove(entry.name);
                continue;
            }
            if (entry.state == WatchJournal::State::Printing) {
                const Platform::JobOutcome outcome = Platform::jobWentOut(entry.printer, entry.jobId);
                if (outcome == Platform::JobOutcome::NoAnswer) {
                    m_journalUnsettled = true;
                    continue;
                }
                if (outcome == Platform::JobOutcome::NotOut) {
                    m_journal.remove(entry.name);
                    continue;
                }
            }
            say(QStringLiteral("%1: printed before the watch stopped\n").arg(Platform::readableName(entry.name)));
            FileResult sent;
            sent.success = true;
            if (m_options.wait && entry.state == WatchJournal::State::Printing) {
                sent.path = Platform::usablePath(pathOf(entry.name));
                sent.jobPrinter = entry.printer;
                sent.jobId = entry.jobId;
                QList<FileResult> waited{sent};
                waitForJobEnds(&waited, m_options.waitTimeoutSeconds, m_store);
                sent = waited.first();
                report(sent, m_options, 0, 0);
            }
            moveAway(entry.name, file, sent.success, sent.success ? QString() : sent.message);
        }
    }

    void look()
    {
        if (m_journalUnsettled && !m_printing)
            settleJournal();
        const QByteArray folder = folderBytes();
        const FileState now = stateOf(folder);
        if (!now.exists) {
            m_watched = FileState(); // gone for a moment: looked for again
            return;
        }
        // A folder put in the place of the one watched is watched instead.
        if (now.device != m_watched.device || now.inode != m_watched.inode) {
            m_watcher.removePaths(m_watcher.directories());
            m_watcher.addPath(m_folder);
            if (m_watched.exists)
                say(QStringLiteral("Watching %1 again\n").arg(m_folder));
            m_watched = now;
        }
        const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
        QSet<QByteArray> present;
        for (const QByteArray &name : Platform::folderEntries(folder)) {
            const FileState file = stateOf(folder + '/' + name);
            if (!file.isFile || !isSupportedFile(Platform::readableName(name)))
                continue;
            present.insert(name);
            if (m_handled.contains(handledKey(name, file)))
                continue;
            auto it = m_pending.find(name);
            if (it == m_pending.end()) {
                // Unchanged since before it was seen counts as quiet already.
                m_pending.insert(name, Pending{file, std::min(nowMs, file.changedMs)});
            } else if (!it->state.sameAs(file)) {
                *it = Pending{file, nowMs};
            }
        }
        for (auto it = m_pending.begin(); it != m_pending.end();)
            it = present.contains(it.key()) ? std::next(it) : m_pending.erase(it);
        printComplete();
    }

    static QByteArray handledKey(const QByteArray &name, const FileState &file)
    {
        return name + '\0' + QByteArray::number(file.inode) + '\0' + QByteArray::number(file.size) + '\0'
            + QByteArray::number(file.changedMs);
    }

    // In name order, one at a time; a look while a print runs waits.
    void printComplete()
    {
        if (m_printing)
            return;
        m_printing = true;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const QByteArray &name : m_pending.keys()) {
            if (stopRequested())
                break;
            const Pending pending = m_pending.value(name);
            const QByteArray path = pathOf(name);
            if (now - pending.quietSince < kQuietMs || m_journal.find(name)
                || Platform::isOpenForWriting(Platform::canonicalBytes(QFile::decodeName(path))))
                continue;
            m_pending.remove(name);
            print(name, pending.state);
        }
        m_printing = false;
    }

    void print(const QByteArray &name, const FileState &file)
    {
        // Journaled before anything goes out, with the job as soon as the
        // scheduler has it: a kill from here on is settled at the next start.
        WatchJournal::Entry entry{WatchJournal::State::Printing, name, file.inode, QString(), 0};
        m_journal.put(entry);
        FileResult result;
        {
            const Platform::JobCreatedScope jobs([&](const QString &printer, int jobId) {
                entry.printer = printer;
                entry.jobId = jobId;
                m_journal.put(entry);
            });
            const QString path = Platform::usablePath(pathOf(name));
            result = printFile(path, m_target, m_store);
        }
        // With --wait a file is printed only once its job completed.
        if (m_options.wait && result.success && result.jobId > 0) {
            QList<FileResult> waited{result};
            waitForJobEnds(&waited, m_options.waitTimeoutSeconds, m_store);
            result = waited.first();
        }
        report(result, m_options, 0, 0);
        moveAway(name, file, result.success, result.success ? QString() : result.message);
    }

    // Into printed/ or failed/ (made again if removed meanwhile), under a
    // readable name free there. A file that cannot be moved stays handled,
    // in this run and the next.
    void moveAway(const QByteArray &name, const FileState &file, bool printed, const QString &message)
    {
        const QString folder = QDir(m_folder).filePath(printed ? QStringLiteral("printed") : QStringLiteral("failed"));
        const QString readable = Platform::readableName(name);
        const QString target = QDir(folder).filePath(freeNameIn(folder, readable));
        const QByteArray source = pathOf(name);
        if (QDir().mkpath(folder) && ::rename(source.constData(), QFile::encodeName(target).constData()) == 0) {
            m_journal.remove(name);
            if (!message.isEmpty()) {
                QFile log(target + QStringLiteral(".log"));
                if (log.open(QIODevice::WriteOnly))
                    log.write(message.toUtf8() + '\n');
            }
            return;
        }
        say(QStringLiteral("%1: could not be moved to %2\n").arg(readable, folder));
        m_handled.insert(handledKey(name, file));
        m_journal.put({WatchJournal::State::Unmoved, name, file.inode, QString(), 0});
    }

    const Options &m_options;
    const Target &m_target;
    LocalStore &m_store;
    QString m_folder;
    FileState m_watched;
    WatchJournal m_journal;
    QFileSystemWatcher m_watcher;
    QMap<QByteArray, Pending> m_pending; // by name: printed in name order
    QSet<QByteArray> m_handled;
    bool m_printing = false;
    bool m_journalUnsettled = false; // a journaled job the scheduler was not asked about yet
    QTimer m_look;
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
    installStopSignals();
    Watch watch(options, target, store);
    QSocketNotifier stop(stopNotifier(), QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [&stop] {
        stop.setEnabled(false);
        say(QStringLiteral("Stopping\n"));
        QCoreApplication::quit();
    });
    QString error;
    if (!watch.start(&error)) {
        say(QStringLiteral("dunmarrow-print: %1\n").arg(error));
        return UsageError;
    }
    if (stopRequested())
        return AllPrinted;
    QCoreApplication::exec();
    return AllPrinted;
}

} // namespace PrintCommand
