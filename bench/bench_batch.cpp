// A batch as the user starts it: 200 one-page PDFs in the list, "Print all"
// to a queue until the last job's data reached the backend, against one `lp`
// per file in the same run (medians of interleaved runs).

#include "BenchSupport.h"
#include "PdfFactory.h"
#include "PrivateCups.h"
#include "TestProfile.h"
#include "app/AppIdentity.h"
#include "queue/BatchPrinter.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"
#include "store/LocalStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>

namespace {

const QString kRaw = QString::fromLatin1(PrivateCups::kRawQueue);
constexpr int kFiles = 200;

qint64 batchRun(const QStringList &files)
{
    ShownList list;
    QueueController &queue = list.queue;
    queue.addFiles(files);
    BatchPrinter batch(&list.store, &queue);
    QObject::connect(&batch, &BatchPrinter::stateChanged, &queue,
                     [&] { queue.setBatchRunning(batch.isRunning()); });

    const int before = PrivateCups::lastJobId(kRaw);
    QElapsedTimer timer;
    timer.start();
    // A real event loop, as the window has: no polling between files.
    QEventLoop loop;
    QObject::connect(&batch, &BatchPrinter::stateChanged, &loop, [&] {
        if (!batch.isRunning())
            loop.quit();
    });
    batch.startBatch();
    if (batch.isRunning())
        loop.exec();
    PrivateCups::waitForJobAfter(kRaw, before + kFiles - 1, QFileInfo(files.last()).fileName(),
                                 600000);
    return timer.elapsed();
}

qint64 lpRun(const QStringList &files)
{
    const int before = PrivateCups::lastJobId(kRaw);
    QElapsedTimer timer;
    timer.start();
    for (const QString &file : files)
        PrivateCups::submitWithLp(kRaw, file);
    PrivateCups::waitForJobAfter(kRaw, before + kFiles - 1, QFileInfo(files.last()).fileName(),
                                 600000);
    return timer.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    QSettings().setValue("defaultPrinter", kRaw);
    QSettings().setValue("pdfEngine", "pdfium");

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = dir.filePath(QStringLiteral("letter %1.pdf").arg(i, 3, 10, QChar('0')));
        PdfFactory::write(path, PdfFactory::textPages(1));
        files << path;
    }
    QList<qint64> ours;
    QList<qint64> lp;
    for (int round = 0; round < 3; ++round) {
        ours << batchRun(files);
        lp << lpRun(files);
    }
    const qint64 oursMs = median(ours);
    const qint64 lpMs = median(lp);
    std::printf("batch    %d one-page PDFs: %lld ms (%.1f ms/file); one lp per file %lld ms "
                "(%.1f ms/file); ratio %.2fx\n",
                kFiles, oursMs, double(oursMs) / kFiles, lpMs, double(lpMs) / kFiles,
                lpMs > 0 ? double(oursMs) / lpMs : 0.0);
    return 0;
}
