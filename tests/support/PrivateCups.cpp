#include "PrivateCups.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace PrivateCups {

namespace {

QString schedulerFolder()
{
    return qEnvironmentVariable("DUNMARROW_TEST_CUPS_DIR");
}

bool s_connected = false;

} // namespace

bool connectFromEnvironment()
{
    const QString folder = schedulerFolder();
    if (folder.isEmpty())
        return false;
    QFile portFile(QDir(folder).filePath(QStringLiteral("port")));
    if (!portFile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray port = portFile.readAll().trimmed();
    if (port.isEmpty())
        return false;
    // Over the socket libcups would dial the system scheduler's port for
    // some requests; the loopback address keeps every request here.
    qputenv("CUPS_SERVER", "localhost:" + port);
    // Its configuration folder, where the capture-port list lives.
    qputenv("CUPS_SERVERROOT", QFile::encodeName(folder));
    s_connected = true;
    return true;
}

bool isAvailable()
{
    return s_connected;
}

QString outputFolder(const QString &queue)
{
    return QDir(schedulerFolder()).filePath(QStringLiteral("out/") + queue);
}

int submitWithLp(const QString &queue, const QString &file, const QStringList &lpArguments)
{
    QProcess lp;
    lp.start(QStringLiteral("lp"),
             QStringList{QStringLiteral("-d"), queue} + lpArguments + QStringList{file});
    if (!lp.waitForFinished(30000) || lp.exitCode() != 0)
        return 0;
    // "request id is Dunmarrow_PS-12 (1 file(s))"
    static const QRegularExpression id(QStringLiteral("request id is \\S+-(\\d+)"));
    return id.match(QString::fromLocal8Bit(lp.readAllStandardOutput())).captured(1).toInt();
}

QByteArray waitForJobOutput(const QString &queue, int jobId, int timeoutMs)
{
    const QString path = QDir(outputFolder(queue)).filePath(QStringLiteral("%1.prn").arg(jobId));
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QFile output(path);
        if (output.open(QIODevice::ReadOnly))
            return output.readAll();
        QThread::msleep(50);
    }
    return QByteArray();
}

int lastJobId(const QString &queue)
{
    int last = 0;
    const QStringList done = QDir(outputFolder(queue)).entryList({QStringLiteral("*.prn")});
    for (const QString &name : done)
        last = std::max(last, name.section(QLatin1Char('.'), 0, 0).toInt());
    return last;
}

int waitForJobAfter(const QString &queue, int afterJobId, const QString &title, int timeoutMs)
{
    const QDir folder(outputFolder(queue));
    const auto matches = [&](int id) {
        return title.isEmpty() || jobInfo(queue, id).startsWith("title=" + title + "\n");
    };
    // The next few job ids are looked at often (benchmarks time whole jobs
    // with this), the whole folder now and then (other suites print too).
    QDeadlineTimer deadline(timeoutMs);
    for (int round = 0; !deadline.hasExpired(); ++round) {
        for (int id = afterJobId + 1; id <= afterJobId + 8; ++id) {
            if (folder.exists(QStringLiteral("%1.prn").arg(id)) && matches(id))
                return id;
        }
        if (round % 20 == 19) {
            for (const QString &name : folder.entryList({QStringLiteral("*.prn")})) {
                const int id = name.section(QLatin1Char('.'), 0, 0).toInt();
                if (id > afterJobId && matches(id))
                    return id;
            }
        }
        QThread::msleep(2);
    }
    return 0;
}

QString jobInfo(const QString &queue, int jobId)
{
    QFile info(QDir(outputFolder(queue)).filePath(QStringLiteral("%1.info").arg(jobId)));
    return info.open(QIODevice::ReadOnly) ? QString::fromUtf8(info.readAll()) : QString();
}

} // namespace PrivateCups
