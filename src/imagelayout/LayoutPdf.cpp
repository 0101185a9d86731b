#include "imagelayout/LayoutPdf.h"

#include "imagelayout/ImageLoading.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

constexpr int kResolution = 300;

QPageLayout::Orientation orientationFor(const QImage &image)
{
    return image.width() > image.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// The painter's origin is the corner of the area inside the margins: the
// image is centred in that area, in the painter's coordinates.
void drawFitted(QPainter &painter, const QPdfWriter &writer, const QImage &image)
{
    const QRect area = writer.pageLayout().paintRectPixels(kResolution);
    const QSize size = image.size().scaled(area.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2),
                            size),
                      image);
}

} // namespace

QString layoutPdfPath(const QString &chosen)
{
    return chosen.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? chosen
                                                                       : chosen + QStringLiteral(".pdf");
}

LayoutPdfResult writeLayoutPdf(const QStringList &imagePaths, const QString &pdfPath)
{
    LayoutPdfResult result;
    qsizetype first = 0;
    QImage image;
    for (; first < imagePaths.size(); ++first) {
        image = loadImage(imagePaths.at(first), nullptr);
        if (!image.isNull())
            break;
        result.skipped << QFileInfo(imagePaths.at(first)).fileName();
    }
    if (image.isNull())
        return result;

    // Written beside the target and renamed into place at the end: a
    // failure leaves no half PDF, and an input under the same name is read
    // whole before it is replaced.
    QSaveFile file(pdfPath);
    QPdfWriter writer(&file);
    writer.setTitle(QStringLiteral("Image layout"));
    writer.setCreator(QStringLiteral("Quorvalent Dunmarrow"));
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientationFor(image),
                                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    QPainter painter;
    if (!file.open(QIODevice::WriteOnly) || !painter.begin(&writer)) {
        result.status = LayoutPdfResult::Status::CannotWrite;
        return result;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (qsizetype i = first; i < imagePaths.size(); ++i) {
        if (i > first) {
            image = loadImage(imagePaths.at(i), nullptr);
            if (image.isNull()) {
                result.skipped << QFileInfo(imagePaths.at(i)).fileName();
                continue;
            }
            writer.setPageOrientation(orientationFor(image));
            if (!writer.newPage()) {
                painter.end();
                result.status = LayoutPdfResult::Status::PageRefused;
                return result;
            }
        }
        drawFitted(painter, writer, image);
        image = QImage(); // one full image at a time
        ++result.pages;
    }
    painter.end();
    result.status = file.commit() ? LayoutPdfResult::Status::Written : LayoutPdfResult::Status::CannotWrite;
    return result;
}
