// PDFium printing against lp of the same file, and the scan analysis on a
// long document. Run one scenario per process so peak memory is its own:
//   bench_pdfium vector|ghostscript|scanned|analyze|longtext|longscan

#include "BenchSupport.h"
#include "PdfFactory.h"
#include "PrivateCups.h"
#include "TestProfile.h"
#include "app/AppIdentity.h"
#include "engines/PdfiumLibrary.h"
#include "engines/PdfiumPrinting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

const QString kRaw = QString::fromLatin1(PrivateCups::kRawQueue);

// Milliseconds until the queue has the job's data, and its size.
qint64 timed(const std::function<bool()> &submit, const QString &title, qint64 *bytes)
{
    const int before = PrivateCups::lastJobId(kRaw);
    QElapsedTimer timer;
    timer.start();
    if (!submit())
        return -1;
    const int job = PrivateCups::waitForJobAfter(kRaw, before, title, 600000);
    // The size only: reading a long job's data here would count in the
    // peak memory measured.
    *bytes = QFileInfo(QDir(PrivateCups::outputFolder(kRaw))
                           .filePath(QStringLiteral("%1.prn").arg(job)))
                 .size();
    return timer.elapsed();
}

// The test file is made in a child process: building it holds the whole
// document in memory, which is not what printing it costs.
bool writeElsewhere(const QString &path, const QList<PdfFactory::Page> &pages)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(PdfFactory::write(path, pages) ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

int printFile(const QString &name, const QString &pdf, int count);

// A PDF as Ghostscript makes one (ps2pdf, fonts embedded): text pages of
// a real producer, not the test factory's.
bool writeWithGhostscript(const QString &path, int pages)
{
    QByteArray program = "%!PS\n/Helvetica findfont 11 scalefont setfont\n";
    for (int page = 1; page <= pages; ++page) {
        for (int line = 0; line < 50; ++line) {
            program += "72 " + QByteArray::number(760 - line * 13) + " moveto (Page "
                + QByteArray::number(page) + ", line " + QByteArray::number(line + 1)
                + ": the quick brown fox jumps over the lazy dog 0123456789) show\n";
        }
        program += "showpage\n";
    }
    const QString ps = path + QStringLiteral(".ps");
    QFile file(ps);
    if (!file.open(QIODevice::WriteOnly) || file.write(program) != program.size())
        return false;
    file.close();
    QProcess ps2pdf;
    ps2pdf.start(QStringLiteral("ps2pdf"), {QStringLiteral("-dPDFSETTINGS=/prepress"), ps, path});
    return ps2pdf.waitForFinished(120000) && ps2pdf.exitCode() == 0 && QFileInfo::exists(path);
}

int printScenario(const QString &name, const QList<PdfFactory::Page> &pages)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(name + ".pdf");
    if (!writeElsewhere(pdf, pages))
        return 1;
    return printFile(name, pdf, int(pages.size()));
}

int printFile(const QString &name, const QString &pdf, int count)
{
    const qint64 source = QFileInfo(pdf).size();

    // As dispatch prints a PDF: the scan analysis, then the print. The first
    // run of a process also loads PDFium; the others are what a batch meets.
    const auto ours = [&] {
        PdfiumPrintRequest request;
        request.pdfPath = pdf;
        request.printerName = kRaw;
        request.useDriverSettings = true;
        request.paperKey = QStringLiteral("driver-default");
        request.forcedDpi = analyzeScannedPdf(pdf, QString()).recommendedDpi;
        return printPdfWithPdfium(request, nullptr, nullptr);
    };
    const auto lp = [&] { return PrivateCups::submitWithLp(kRaw, pdf) > 0; };
    qint64 ourBytes = 0;
    qint64 lpBytes = 0;
    const qint64 first = timed(ours, name + ".pdf", &ourBytes);
    QList<qint64> ourTimes;
    QList<qint64> lpTimes;
    for (int round = 0; round < 5; ++round) {
        ourTimes << timed(ours, name + ".pdf", &ourBytes);
        lpTimes << timed(lp, name + ".pdf", &lpBytes);
    }
    const qint64 ourMs = median(ourTimes);
    const qint64 lpMs = median(lpTimes);

    std::printf("%-8s %d pages, source %lld KB\n", qPrintable(name), count, source / 1024);
    std::printf("  PDFium printing: %6lld ms (%.2f ms/page; first in the process %lld ms), spool "
                "%lld KB (%.2f KB/page, %.2fx source)\n",
                ourMs, double(ourMs) / count, first, ourBytes / 1024, ourBytes / 1024.0 / count,
                double(ourBytes) / source);
    std::printf("  lp baseline:     %6lld ms (%.2f ms/page), spool %lld KB; ratio %.2fx (medians "
                "of 5 interleaved runs)\n",
                lpMs, double(lpMs) / count, lpBytes / 1024, lpMs > 0 ? double(ourMs) / lpMs : 0.0);
    std::printf("  peak memory: %ld MB\n", peakMemoryMb());
    return 0;
}

int analyzeScenario()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath("long.pdf");
    if (!writeElsewhere(pdf, PdfFactory::scannedPages(1000, 1000, 1400)))
        return 1;
    QElapsedTimer timer;
    timer.start();
    const PdfScanProfile profile = analyzeScannedPdf(pdf, QString());
    std::printf("analyze  1000 scanned pages: %lld ms, %d sampled, scanned=%d, dpi %d; peak memory %ld MB\n",
                timer.elapsed(), profile.sampledPages, int(profile.scanned), profile.recommendedDpi,
                peakMemoryMb());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    const QString scenario = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (scenario == QLatin1String("vector"))
        return printScenario("vector", PdfFactory::textPages(100));
    if (scenario == QLatin1String("scanned"))
        return printScenario("scanned", PdfFactory::scannedPages(100));
    if (scenario == QLatin1String("analyze"))
        return analyzeScenario();
    if (scenario == QLatin1String("ghostscript")) {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("ghostscript.pdf"));
        return writeWithGhostscript(pdf, 100) ? printFile("ghostscript", pdf, 100) : 1;
    }
    if (scenario == QLatin1String("longtext"))
        return printScenario("longtext", PdfFactory::textPages(1000));
    if (scenario == QLatin1String("longscan"))
        return printScenario("longscan", PdfFactory::scannedPages(1000, 1000, 1400));
    std::fprintf(stderr, "usage: bench_pdfium vector|ghostscript|scanned|analyze|longtext|longscan\n");
    return 2;
}
