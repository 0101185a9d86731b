#include "platform/ChildProcess.h"

#include "platform/LastError.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace Platform {

namespace {

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
        QFile stat(proc.filePath(entry + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid …": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (close > 0 && fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), pid);
    }
    return children;
}

} // namespace

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
    QProcess process;
    process.setStandardOutputFile(outputFile);
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so the filters it starts go with it.
    process.setChildProcessModifier([] { ::setsid(); });
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        setLastError(ErrorFileNotFound);
        return false;
    }
    if (!process.waitForFinished(timeLimitMs)) {
        killProcessTree(process.processId());
        process.waitForFinished();
        setLastError(ErrorTimeout);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        setLastError(ErrorInvalidData);
        return false;
    }
    *exitCode = process.exitCode();
    return true;
}

} // namespace Platform
