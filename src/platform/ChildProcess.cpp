#include "platform/ChildProcess.h"

#include "platform/LastError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QProcess>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <unistd.h>

namespace Platform {

namespace {

std::atomic<bool> s_aborted{false};

// The fields of /proc/PID/stat after "pid (name) ": the name may hold
// blanks and brackets.
QList<QByteArray> statFields(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 ? line.mid(close + 2).split(' ') : QList<QByteArray>();
}

// Parent → children of every process, from /proc.
QMultiHash<qint64, qint64> childrenOfAll()
{
    QMultiHash<qint64, qint64> children;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QList<QByteArray> fields = statFields(entry); // state ppid …
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), pid);
    }
    return children;
}

} // namespace

void abortHelperPrograms()
{
    s_aborted.store(true);
}

bool helperProgramsAborted()
{
    return s_aborted.load();
}

void killProcessTree(qint64 pid)
{
    if (pid <= 0)
        return;
    const QMultiHash<qint64, qint64> children = childrenOfAll();
    QList<qint64> tree = {pid};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.values(tree.at(i));
    ::kill(-pid_t(pid), SIGKILL);
    for (const qint64 member : std::as_const(tree))
        ::kill(pid_t(member), SIGKILL);
}

bool runToFile(const QString &program, const QStringList &arguments, const QString &outputFile,
               int timeLimitMs, int *exitCode)
{
    *exitCode = -1;
    QFile output(outputFile);
    // Unbuffered: a write the disk cannot take fails here, at once.
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    QProcess process;
    process.setReadChannel(QProcess::StandardOutput);
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so the filters it starts go with it.
    process.setChildProcessModifier([] { ::setsid(); });
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        setLastError(ErrorFileNotFound);
        return false;
    }
    // A program may say it succeeded after a write it could not make:
    // what it sends through the pipe is written here, and checked.
    const auto stop = [&](quint32 error) {
        killProcessTree(process.processId());
        process.waitForFinished();
        setLastError(error);
        return false;
    };
    const auto copyOut = [&] {
        const QByteArray chunk = process.readAllStandardOutput();
        return output.write(chunk) == chunk.size();
    };
    QDeadlineTimer deadline(timeLimitMs);
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired())
            return stop(ErrorTimeout);
        if (helperProgramsAborted())
            return stop(ErrorCancelled);
        process.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)));
        if (!copyOut())
            return stop(ErrorDiskFull);
    }
    if (!copyOut() || !output.flush()) {
        setLastError(ErrorDiskFull);
        return false;
    }
    output.close();
    if (output.error() != QFileDevice::NoError) {
        setLastError(ErrorDiskFull);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        setLastError(ErrorInvalidData);
        return false;
    }
    *exitCode = process.exitCode();
    return true;
}

quint64 millisecondsSinceBoot()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return quint64(now.tv_sec) * 1000 + quint64(now.tv_nsec) / 1000000;
}

QString processStamp()
{
    return QStringLiteral("%1_%2").arg(::getpid()).arg(millisecondsSinceBoot());
}

bool isStampOfLivingProcess(const QString &stamp, bool *isStamp)
{
    bool pidOk = false;
    bool tickOk = false;
    const qint64 pid = stamp.section(QLatin1Char('_'), 0, 0).toLongLong(&pidOk);
    const quint64 tick = stamp.section(QLatin1Char('_'), 1, 1).toULongLong(&tickOk);
    if (isStamp)
        *isStamp = pidOk && tickOk;
    return pidOk && tickOk && tick <= millisecondsSinceBoot() && isProcessRunningSince(pid, tick);
}

bool isProcessRunningSince(qint64 pid, quint64 sinceBootMs)
{
    // Field 22, the start time in clock ticks since boot; 20 after "state".
    if (pid <= 0)
        return false;
    const QList<QByteArray> fields = statFields(QString::number(pid));
    if (fields.isEmpty()) {
        // Hidden from us (/proc mounted hidepid) is not gone: a signal test
        // still tells.
        return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
    }
    if (fields.size() < 20 || fields.at(0) == "Z")
        return false;
    const quint64 ticks = fields.at(19).toULongLong();
    const quint64 startedMs = ticks * 1000 / quint64(::sysconf(_SC_CLK_TCK));
    return startedMs <= sinceBootMs;
}

} // namespace Platform
