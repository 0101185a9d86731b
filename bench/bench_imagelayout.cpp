// Image layout with many large photos: adding 200 photos of 12 megapixels
// to the dialog (thumbnails), and generating their PDF (time, peak memory,
// size), against img2pdf on the same photos.
//
//   bench_imagelayout                 the whole benchmark
//   bench_imagelayout generate OUT P… one generation, in a process of its own
//                                     so that its peak memory is its own

#include "BenchSupport.h"
#include "imagelayout/ImageLayoutDialog.h"
#include "imagelayout/LayoutPdf.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>

namespace {

constexpr int kPhotos = 200;
const QString kPhotoFolder = QStringLiteral("/tmp/dunmarrow-bench-photos");

// 4000 × 3000 JPEGs with enough detail to weigh what photos weigh; made once
// and kept between runs.
QStringList photos()
{
    QDir().mkpath(kPhotoFolder);
    QStringList paths;
    QRandomGenerator random(7);
    for (int i = 0; i < kPhotos; ++i) {
        const QString path = QDir(kPhotoFolder).filePath(QStringLiteral("photo %1.jpg").arg(i, 3, 10, QChar('0')));
        paths << path;
        if (QFileInfo(path).size() > 0)
            continue;
        QImage image(4000, 3000, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient sky(0, 0, 4000, 3000);
        sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 120, 230));
        sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
        painter.fillRect(image.rect(), sky);
        for (int shape = 0; shape < 600; ++shape) {
            painter.setBrush(QColor::fromHsv(int(random.bounded(360)), 160, int(random.bounded(256)), 160));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QPointF(random.bounded(4000), random.bounded(3000)), random.bounded(200) + 5,
                                random.bounded(200) + 5);
        }
        painter.end();
        image.save(path, "JPEG", 90);
    }
    return paths;
}

int generateChild(const QStringList &arguments)
{
    QElapsedTimer timer;
    timer.start();
    const LayoutPdfResult result = writeLayoutPdf(arguments.mid(1), arguments.first());
    std::printf("%d %lld %ld\n", result.pages, timer.elapsed(), peakMemoryMb());
    return result.status == LayoutPdfResult::Status::Written ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    const QStringList arguments = process.app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("generate"))
        return generateChild(arguments.mid(1));

    const QStringList paths = photos();
    qint64 photoBytes = 0;
    for (const QString &path : paths)
        photoBytes += QFileInfo(path).size();

    // Added one at a time, as the longest the window is busy at once.
    ImageLayoutDialog dialog;
    QList<qint64> each;
    QElapsedTimer total;
    total.start();
    for (const QString &path : paths) {
        QElapsedTimer one;
        one.start();
        dialog.addImages({path});
        each << one.elapsed();
    }
    const qint64 adding = total.elapsed();
    const qint64 longest = *std::max_element(each.cbegin(), each.cend());
    std::printf("adding %d photos of 12 MP (%.0f MB): %lld ms (median %lld ms, longest %lld ms per photo); "
                "peak memory with the thumbnails %ld MB\n",
                kPhotos, photoBytes / 1e6, adding, median(each), longest, peakMemoryMb());

    const QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("layout.pdf"));
    QProcess child;
    QElapsedTimer generating;
    generating.start();
    child.start(QCoreApplication::applicationFilePath(), QStringList{"generate", pdf} + paths);
    child.waitForFinished(-1);
    const qint64 ours = generating.elapsed();
    const QStringList report = QString::fromLatin1(child.readAllStandardOutput()).split(' ');
    std::printf("generating: %s pages, %lld ms, peak memory %s MB, %.1f MB\n", qPrintable(report.value(0)), ours,
                qPrintable(report.value(2).trimmed()), QFileInfo(pdf).size() / 1e6);

    const QString theirs = out.filePath(QStringLiteral("img2pdf.pdf"));
    QElapsedTimer img2pdf;
    img2pdf.start();
    const int code = QProcess::execute(QStringLiteral("img2pdf"),
                                       QStringList{"--pagesize", "A4", "--border", "10mm", "--output", theirs}
                                           + paths);
    const qint64 reference = img2pdf.elapsed();
    if (code != 0) {
        std::printf("img2pdf: not run (exit %d; Debian package img2pdf)\n", code);
        return 0;
    }
    std::printf("img2pdf: %lld ms, %.1f MB; ours takes %.1fx its time and %.1fx its size\n", reference,
                QFileInfo(theirs).size() / 1e6, double(ours) / double(reference),
                double(QFileInfo(pdf).size()) / double(QFileInfo(theirs).size()));
    return 0;
}
