#include "engines/ImagePrinting.h"

#include "engines/PaperKey.h"
#include "engines/PrinterDefaults.h"
#include "platform/LastError.h"
#include "platform/PinnedFile.h"
#include "platform/PrinterDc.h"
#include "platform/Spooler.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <algorithm>

using namespace Platform;

namespace {

const char kReadFailed[] =
    "Unable to read the image file，The format may be unsupported or the file is damaged";
const char kJobFailed[] = "Unable to open an image print job for the selected printer";

// The image's page painted with the toolkit: the printable area at the
// printer's resolution, the image fitted into it and centred.
bool paintPage(const QImage &image, int areaWidth, int areaHeight, int dpiX, int dpiY,
               const QString &pdfPath)
{
    QPdfWriter writer(pdfPath);
    writer.setResolution(dpiX);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    // Exactly the printable area: a size near a standard one must not snap to it.
    writer.setPageSize(QPageSize(QSizeF(areaWidth * 72.0 / dpiX, areaHeight * 72.0 / dpiY),
                                 QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const QRect area = painter.viewport();
    const QSize scaled = image.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + area.width() / 2 - scaled.width() / 2,
                       area.y() + area.height() / 2 - scaled.height() / 2, scaled.width(),
                       scaled.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    return painter.end();
}

// The paper an image prints on: one of the named sizes, anything else A4
// ("driver-default" included), as the toolkit's page sizes have it.
PaperKey imagePaperKey(const PaperKey &key)
{
    const int code = paperCodeForKey(key);
    const QPageSize page = pageSizeForKey(key);
    return page.id() == QPageSize::A4 && code != 9 ? QStringLiteral("A4") : key;
}

} // namespace

bool printImageWithQt(const PrintJob &job, int *pages, QString *message)
{
    *pages = 0;
    const auto fail = [message](const QString &text) {
        *message = text;
        return false;
    };
    const QImage image = readImageFile(job.path);
    if (image.isNull())
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
    QTemporaryFile page(QDir::temp().filePath(QStringLiteral("dunmarrow-image-XXXXXX.pdf")));
    if (!dc || !page.open())
        return fail(withLastErrorReason(QString::fromUtf8(kJobFailed)));
    page.close();
    const int width = getDeviceCaps(dc.get(), HORZRES);
    const int height = getDeviceCaps(dc.get(), VERTRES);
    QString drawError;
    if (startDoc(dc.get(), QFileInfo(job.path).fileName()) <= 0
        || !paintPage(image, width, height, getDeviceCaps(dc.get(), LOGPIXELSX),
                      getDeviceCaps(dc.get(), LOGPIXELSY), page.fileName())
        || startPage(dc.get()) <= 0
        || !drawPdfPage(dc.get(), page.fileName(), 0, 0, 0, width, height, &drawError)
        || endPage(dc.get()) <= 0) {
        abortDoc(dc.get());
        return fail(QString::fromUtf8(kJobFailed));
    }
    // The job exists only once the printer has taken it.
    if (endDoc(dc.get()) <= 0)
        return fail(withLastErrorReason(QString::fromUtf8(kJobFailed)));
    *pages = 1;
    return true;
}

QImage readImageFile(const QString &path)
{
    PinnedFile file;
    if (!file.open(path))
        return QImage();
    QImageReader reader(file.path());
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true); // a photo prints the way up it was taken
    return reader.read();
}
