// dunmarrow-print against lp: 200 one-page PDFs printed, until the last
// job's data reached the printer.

#include "BenchSupport.h"
#include "PdfFactory.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kFiles = 200;
const QString kQueue = QString::fromLatin1(PrivateCups::kRawQueue);

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    if (!PrivateCups::isAvailable()) {
        std::fprintf(stderr, "no private scheduler\n");
        return 1;
    }
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < kFiles; ++i) {
        files << dir.filePath(QStringLiteral("page %1.pdf").arg(i, 3, 10, QChar('0')));
        PdfFactory::write(files.last(), PdfFactory::textPages(1));
    }
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).dir().filePath("dunmarrow-print");
    const QString lastTitle = QFileInfo(files.last()).fileName();

    QList<qint64> ours;
    QList<qint64> theirs;
    for (int round = 0; round < 3; ++round) {
        int before = PrivateCups::lastJobId(kQueue);
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(program, {"--printer", kQueue, "--pdf-engine", "pdfium", dir.path()});
        if (PrivateCups::waitForJobAfter(kQueue, before, lastTitle, 600000) == 0)
            return 1;
        ours << timer.elapsed();

        before = PrivateCups::lastJobId(kQueue);
        timer.restart();
        for (const QString &file : files)
            QProcess::execute(QStringLiteral("lp"), {"-d", kQueue, "-s", file});
        if (PrivateCups::waitForJobAfter(kQueue, before, lastTitle, 600000) == 0)
            return 1;
        theirs << timer.elapsed();
    }
    const qint64 a = median(ours);
    const qint64 b = median(theirs);
    std::printf("%d one-page PDFs until the last job reached the printer: dunmarrow-print %lld ms, lp %lld ms "
                "(%.2fx; medians of 3 interleaved runs)\n",
                kFiles, a, b, double(a) / double(b));
    return 0;
}
