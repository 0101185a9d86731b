#include "engines/ImagePrinting.h"

#include "engines/PaperKey.h"
#include "engines/PrinterDefaults.h"
#include "platform/ImageFrames.h"
#include "platform/ImagePdfWriter.h"
#include "platform/LastError.h"
#include "platform/PrinterDc.h"
#include "platform/Spooler.h"

#include <QFileInfo>
#include <QSaveFile>

using namespace Platform;

namespace {

const char kReadFailed[] =
    "Unable to read the image file，The format may be unsupported or the file is damaged";
const char kJobFailed[] = "Unable to open an image print job for the selected printer";

// The paper an image prints on: one of the named sizes, anything else A4
// ("driver-default" included), as the toolkit's page sizes have it.
PaperKey imagePaperKey(const PaperKey &key)
{
    const int code = paperCodeForKey(key);
    const QPageSize page = pageSizeForKey(key);
    return page.id() == QPageSize::A4 && code != 9 ? QStringLiteral("A4") : key;
}

// A frame fitted into an area, centred (in the area's units).
QRect fittedInto(QSize frame, const QRect &area)
{
    const QSize size = frame.scaled(area.size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return QRect(area.x() + area.width() / 2 - size.width() / 2, area.y() + area.height() / 2 - size.height() / 2,
                 size.width(), size.height());
}

// One frame on the device context's page: its JPEG as it is, or its pixels
// at no more than the device's resolution.
bool drawFrame(ImageFrameReader &reader, PrinterDc *dc, const QRect &area)
{
    const QRect target = fittedInto(reader.shownSize(), area);
    ImageFrame frame;
    if (!reader.read(target.size(), &frame))
        return false;
    if (!frame.jpeg.isEmpty())
        return stretchJpeg(dc, target.x(), target.y(), target.width(), target.height(), 0, 0, frame.jpeg,
                           frame.orientation)
            > 0;
    return stretchImage(dc, target.x(), target.y(), target.width(), target.height(), frame.pixels) > 0;
}

} // namespace

bool printImageWithQt(const PrintJob &job, int *pages, QString *message, QString *note)
{
    *pages = 0;
    const auto fail = [message](const QString &text) {
        *message = text;
        return false;
    };
    ImageFrameReader reader;
    if (!reader.open(job.path))
        return fail(QString::fromUtf8(kReadFailed));

    PrinterHandle printer;
    DeviceMode devMode;
    if (!openPrinter(job.printerName, &printer) || documentPropertiesRead(printer, &devMode) != IDOK)
        return fail(withLastErrorReason(QString::fromUtf8(kJobFailed)));
    const DeviceMode driverDefaults = devMode;
    writeSettingsToDeviceMode(&devMode, deviceModeSettings(job.copies, job.duplex, job.shortEdge,
                                                           job.color, imagePaperKey(job.paperKey),
                                                           job.useDriverSettings));
    if (documentPropertiesMerge(printer, &devMode) != IDOK)
        return fail(QString::fromUtf8(kJobFailed));

    std::unique_ptr<PrinterDc> dc = createPrinterDc(std::move(printer), driverDefaults, devMode);
    if (!dc)
        return fail(withLastErrorReason(QString::fromUtf8(kJobFailed)));
    const QRect area(0, 0, getDeviceCaps(dc.get(), HORZRES), getDeviceCaps(dc.get(), VERTRES));
    if (startDoc(dc.get(), QFileInfo(job.path).fileName()) <= 0)
        return fail(withLastErrorReason(QString::fromUtf8(kJobFailed)));
    // Every page of a multi-page TIFF, one printer page each.
    int frames = 0;
    do {
        if (startPage(dc.get()) <= 0)
            break;
        if (!drawFrame(reader, dc.get(), area) || endPage(dc.get()) <= 0) {
            abortDoc(dc.get());
            return fail(frames == 0 ? QString::fromUtf8(kReadFailed)
                                    : QStringLiteral("%1 (page %2)").arg(QString::fromUtf8(kReadFailed)).arg(frames + 1));
        }
        ++frames;
    } while (reader.next());
    if (frames == 0) {
        const QString reason = withLastErrorReason(QString::fromUtf8(kJobFailed));
        abortDoc(dc.get());
        return fail(reason);
    }
    // The job exists only once the printer has taken it.
    if (endDoc(dc.get()) <= 0)
        return fail(withLastErrorReason(QString::fromUtf8(kJobFailed)));
    *pages = frames;
    if (note)
        *note = paperSubstitutionNote(devMode);
    return true;
}

ImagePdfStatus writeImagePdf(const QString &imagePath, const QPageSize &pageSize, int dpi, const QString &pdfPath,
                             int *pages)
{
    *pages = 0;
    ImageFrameReader reader;
    if (!reader.open(imagePath))
        return ImagePdfStatus::Unreadable;
    const QSizeF points = pageSize.size(QPageSize::Point);
    const QRect area(0, 0, qRound(points.width() * dpi / 72.0), qRound(points.height() * dpi / 72.0));
    ImagePdfWriter writer;
    do {
        const QRect target = fittedInto(reader.shownSize(), area);
        ImageFrame frame;
        const double scale = 72.0 / dpi;
        // PDF's rectangle counts from the bottom of the page.
        const QRectF placed(target.x() * scale, points.height() - (target.y() + target.height()) * scale,
                            target.width() * scale, target.height() * scale);
        if (!reader.read(target.size(), &frame))
            return ImagePdfStatus::Unreadable;
        if (!writer.newPage(points.width(), points.height()) || !writer.placeFrame(frame, placed))
            return ImagePdfStatus::NotWritten;
    } while (reader.next());
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly) || !writer.write(&file) || !file.commit())
        return ImagePdfStatus::NotWritten;
    *pages = writer.pageCount();
    return ImagePdfStatus::Written;
}
