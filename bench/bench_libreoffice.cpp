// Office documents through LibreOffice as the program prints them: twenty
// one-page .docx files printed one by one to the PostScript queue (until
// the last job's data reached the backend), against one soffice process
// converting the same twenty files to PDF; and what the fresh profile each
// run gets costs.

#include "BenchSupport.h"
#include "PrivateCups.h"
#include "engines/Dispatch.h"
#include "engines/LibreOffice.h"
#include "engines/OfficeSuites.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace {

const QString kPs = QString::fromLatin1(PrivateCups::kPostScriptQueue);
constexpr int kFiles = 20;

qint64 timed(const std::function<bool()> &work)
{
    QElapsedTimer timer;
    timer.start();
    if (!work())
        return -1;
    return timer.elapsed();
}

QString profileArgument(const QTemporaryDir &profile)
{
    return QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString();
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    if (!isLibreOfficeAvailable()) {
        std::fprintf(stderr, "LibreOffice is not installed\n");
        return 0;
    }
    QTemporaryDir dir;
    QStringList rtfs;
    for (int i = 0; i < kFiles; ++i) {
        const QString rtf = dir.filePath(QStringLiteral("memo %1.rtf").arg(i, 2, 10, QChar('0')));
        QFile file(rtf);
        file.open(QIODevice::WriteOnly);
        file.write("{\\rtf1\\ansi Memo " + QByteArray::number(i) + "\\par}");
        rtfs << rtf;
    }
    QString message;
    if (!runSoffice(QStringList{"--headless", "--convert-to", "docx", "--outdir", dir.path()} + rtfs,
                    &message)) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }
    QStringList docs;
    for (QString rtf : rtfs)
        docs << rtf.replace(QStringLiteral(".rtf"), QStringLiteral(".docx"));

    const qint64 route = timed([&] {
        int last = PrivateCups::lastJobId(kPs);
        for (const QString &doc : docs) {
            PrintJob job;
            job.path = doc;
            job.printerName = kPs;
            if (!dispatchPrintJob(job).success)
                return false;
            last = PrivateCups::waitForJobAfter(kPs, last, QFileInfo(doc).fileName(), 120000);
            if (last == 0)
                return false;
        }
        return !PrivateCups::waitForJobOutput(kPs, last, 120000).isEmpty();
    });
    const QTemporaryDir out;
    const qint64 batch = timed([&] {
        return runSoffice(QStringList{"--headless", "--convert-to", "pdf", "--outdir", out.path()} + docs,
                          &message);
    });

    // One document converted with a profile made for the run, and with the
    // profile of an earlier run.
    const QStringList one = {"--headless", "--convert-to", "pdf", "--outdir", out.path(), docs.first()};
    // Medians of three, interleaved: one run of each is within the noise.
    const QTemporaryDir kept;
    runSoffice(QStringList{profileArgument(kept)} + one, &message);
    QList<qint64> warmRuns;
    QList<qint64> freshRuns;
    for (int round = 0; round < 3; ++round) {
        warmRuns << timed([&] { return runSoffice(QStringList{profileArgument(kept)} + one, &message); });
        freshRuns << timed([&] {
            const QTemporaryDir other;
            return runSoffice(QStringList{profileArgument(other)} + one, &message);
        });
    }
    std::sort(warmRuns.begin(), warmRuns.end());
    std::sort(freshRuns.begin(), freshRuns.end());
    const qint64 warm = warmRuns.at(1);
    const qint64 fresh = freshRuns.at(1);
    std::printf("%d one-page .docx files: printed through LibreOffice %lld ms (%lld ms each); one soffice "
                "converting them all %lld ms (%.1fx); a fresh profile costs %lld ms per run (one "
                "conversion %lld ms fresh, %lld ms with a profile), %.0f%% of the printing time\n",
                kFiles, route, route / kFiles, batch, batch > 0 ? double(route) / double(batch) : 0.0,
                fresh - warm, fresh, warm,
                route > 0 ? 100.0 * double((fresh - warm) * kFiles) / double(route) : 0.0);
    return 0;
}
