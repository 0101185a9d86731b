// The print cache as the user meets it.
//
//   bench_cache            a 100-page PDF printed from its cache against the
//                          built-in engine printing it, to the PostScript
//                          queue until the data reached the backend; then a
//                          500 MB replay against `cat` of the same file and
//                          `lp` of it, with the replay process's peak memory
//   bench_cache --replay FILE QUEUE
//                          one replay in a process of its own (prints
//                          "<ms> <peak MB>")

#include "BenchSupport.h"
#include "PdfFactory.h"
#include "PrivateCups.h"
#include "cache/CacheStore.h"
#include "cache/RawReplay.h"
#include "engines/CacheBuilder.h"
#include "engines/Dispatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

const QString kPs = QString::fromLatin1(PrivateCups::kPostScriptQueue);
const QString kNullQueue = QStringLiteral("Dunmarrow_Null");
constexpr qint64 kBigCacheBytes = 500LL * 1024 * 1024;

qint64 printRun(const PrintJob &job, const QString &title)
{
    const int before = PrivateCups::lastJobId(kPs);
    QElapsedTimer timer;
    timer.start();
    const PrintResult result = dispatchPrintJob(job);
    if (!result.success) {
        std::fprintf(stderr, "print failed: %s\n", qPrintable(result.message));
        return -1;
    }
    const int id = PrivateCups::waitForJobAfter(kPs, before, title, 600000);
    PrivateCups::waitForJobOutput(kPs, id, 600000);
    return timer.elapsed();
}

void cachedAgainstBuiltIn()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("hundred.pdf"));
    PdfFactory::write(pdf, PdfFactory::textPages(100));
    PrintJob job;
    job.path = pdf;
    job.printerName = kPs;
    job.duplex = true;
    job.pdfEngine = QStringLiteral("pdfium");
    job.hotFolderId = 1;
    const CacheResult built = buildCacheForJob(job);
    if (!built.success) {
        std::fprintf(stderr, "cache build failed: %s\n", qPrintable(built.message));
        return;
    }
    // The cache is moved aside for the built-in runs, so the runs interleave.
    const QString aside = built.cachePath + QStringLiteral(".aside");
    QList<qint64> cached;
    QList<qint64> builtIn;
    for (int round = 0; round < 3; ++round) {
        cached << printRun(job, QStringLiteral("hundred.pdf"));
        QFile::rename(built.cachePath, aside);
        builtIn << printRun(job, QStringLiteral("hundred.pdf"));
        QFile::rename(aside, built.cachePath);
    }
    const qint64 c = median(cached);
    const qint64 b = median(builtIn);
    std::printf("100-page PDF to %s: cached %lld ms, built-in %lld ms, %.1fx faster\n",
                qPrintable(kPs), c, b, c > 0 ? double(b) / double(c) : 0.0);
}

qint64 timedRun(const QString &program, const QStringList &arguments)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(program, arguments);
    return timer.elapsed();
}

bool replayRun(const QString &file, qint64 *ms, long *peakMb)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--replay"), file, kNullQueue});
    if (!child.waitForFinished(600000))
        return false;
    const QStringList parts = QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char(' '));
    if (child.exitCode() != 0 || parts.size() != 2)
        return false;
    *ms = parts.at(0).toLongLong();
    *peakMb = parts.at(1).trimmed().toLong();
    return true;
}

void bigReplayAgainstCat()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.prn"));
    {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        QByteArray block(1024 * 1024, 'p');
        for (qint64 written = 0; written < kBigCacheBytes; written += block.size())
            out.write(block);
    }
    QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-p"), kNullQueue, QStringLiteral("-E"),
                                                  QStringLiteral("-v"), QStringLiteral("file:/dev/null")});
    QList<qint64> replays;
    QList<qint64> cats;
    QList<qint64> lps;
    long peak = 0;
    for (int round = 0; round < 3; ++round) {
        cats << timedRun(QStringLiteral("sh"),
                         {QStringLiteral("-c"), QStringLiteral("cat \"$0\" > /dev/null"), file});
        // The scheduler's own client sending the same bytes: what the
        // spooler can take.
        lps << timedRun(QStringLiteral("lp"), {QStringLiteral("-s"), QStringLiteral("-d"), kNullQueue,
                                               QStringLiteral("-o"), QStringLiteral("raw"), file});
        qint64 ms = 0;
        long mb = 0;
        if (!replayRun(file, &ms, &mb)) {
            std::fprintf(stderr, "replay failed\n");
            break;
        }
        replays << ms;
        peak = std::max(peak, mb);
    }
    QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), kNullQueue});
    if (replays.isEmpty())
        return;
    const qint64 r = median(replays);
    const qint64 c = median(cats);
    const qint64 l = median(lps);
    const auto rate = [](qint64 ms) { return 500.0 * 1000 / double(std::max<qint64>(ms, 1)); };
    std::printf("500 MB replay: %lld ms (%.0f MB/s); cat to /dev/null %lld ms (%.0f MB/s): %.0f%% "
                "of cat; lp -o raw %lld ms (%.0f MB/s): %.0f%% of lp; replay peak memory %ld MB\n",
                r, rate(r), c, rate(c), 100.0 * rate(r) / rate(c), l, rate(l),
                100.0 * rate(r) / rate(l), peak);
}

int replayChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PrivateCups::connectFromEnvironment();
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!replayCache(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     QStringLiteral("big"), 1, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%lld %ld\n", timer.elapsed(), peakMemoryMb());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--replay") == 0)
        return replayChild(argc, argv);
    BenchProcess process(argc, argv);
    cachedAgainstBuiltIn();
    bigReplayAgainstCat();
    return 0;
}
