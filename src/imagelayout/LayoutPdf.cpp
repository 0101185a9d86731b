#include "imagelayout/LayoutPdf.h"

#include "platform/ImageFrames.h"
#include "platform/ImagePdfWriter.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QSaveFile>

using Platform::ImageFrame;
using Platform::ImageFrameReader;

namespace {

constexpr int kResolution = 300;

QPageLayout pageFor(QSize shown)
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       shown.width() > shown.height() ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

enum class PageOutcome { Added, Unreadable, Refused };

// One page: the frame fitted into the area inside the margins and centred
// there, its pixels at no more than 300 dpi (a JPEG goes as it is).
PageOutcome addPage(ImageFrameReader &reader, Platform::ImagePdfWriter &writer)
{
    const QPageLayout layout = pageFor(reader.shownSize());
    const QRectF paper = layout.fullRectPoints();
    const QRectF area = layout.paintRectPoints();
    const QSizeF fitted = QSizeF(reader.shownSize()).scaled(area.size(), Qt::KeepAspectRatio);
    const QSize pixels = (fitted * (kResolution / 72.0)).toSize().expandedTo(QSize(1, 1));
    ImageFrame frame;
    if (!reader.read(pixels, &frame))
        return PageOutcome::Unreadable;
    // PDF's rectangle counts from the bottom of the page.
    const QRectF placed(area.x() + (area.width() - fitted.width()) / 2,
                        paper.height() - area.bottom() + (area.height() - fitted.height()) / 2, fitted.width(),
                        fitted.height());
    return writer.newPage(paper.width(), paper.height()) && writer.placeFrame(frame, placed) ? PageOutcome::Added
                                                                                           : PageOutcome::Refused;
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
    Platform::ImagePdfWriter writer;
    writer.setTitle(QStringLiteral("Image layout"));
    writer.setCreator(QStringLiteral("Quorvalent Dunmarrow"));
    for (const QString &path : imagePaths) {
        // Every page of a multi-page TIFF; an image that cannot be read is
        // skipped and named.
        ImageFrameReader reader;
        const int before = writer.pageCount();
        PageOutcome outcome = reader.open(path) ? PageOutcome::Added : PageOutcome::Unreadable;
        while (outcome == PageOutcome::Added) {
            outcome = addPage(reader, writer);
            if (outcome == PageOutcome::Added && !reader.next())
                break;
        }
        if (outcome == PageOutcome::Refused) {
            result.status = LayoutPdfResult::Status::PageRefused;
            return result;
        }
        if (outcome == PageOutcome::Unreadable) {
            const int read = writer.pageCount() - before;
            result.skipped << (read == 0 ? QFileInfo(path).fileName()
                                         : QStringLiteral("%1 (page %2)").arg(QFileInfo(path).fileName()).arg(read + 1));
        }
    }
    result.pages = writer.pageCount();
    if (result.pages == 0)
        return result;
    // Written beside the target and renamed into place at the end: a
    // failure leaves no half PDF, and an input under the same name is read
    // whole before it is replaced.
    QSaveFile file(pdfPath);
    result.status = file.open(QIODevice::WriteOnly) && writer.write(&file) && file.commit()
        ? LayoutPdfResult::Status::Written
        : LayoutPdfResult::Status::CannotWrite;
    return result;
}
