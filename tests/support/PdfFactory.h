#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Builds test PDFs with exactly the objects a test needs: vector text pages,
// scanned pages (JPEG images with an invisible text layer), rotations,
// annotations, odd filters. Coordinates are PDF points.
namespace PdfFactory {

struct Image
{
    int pixelWidth = 1000;
    int pixelHeight = 1400;
    QRectF rect;                                 // where it is drawn; empty: the whole page
    QStringList filters = {"DCTDecode"};         // as listed in the stream
    int components = 3;                          // 1 grey, 3 RGB
    QString colorSpace;                          // PDF object text; empty: the device space
};

struct Page
{
    QSizeF size{595, 842};
    int rotate = 0;
    QString visibleText;                         // drawn with Helvetica when not empty
    QString invisibleText;                       // render mode 3, as a scanner's OCR layer
    QList<Image> images;
    bool annotation = false;                     // a square annotation with an appearance
    bool damagedContent = false;                 // a content stream whose compression is broken
    bool deflatedContent = false;                // contents stored deflated, as most producers do
    bool splitContent = false;                   // contents split over two streams
    bool noMediaBox = false;                     // damaged: the page has no paper box at all
    bool highlightWithoutAppearance = false;     // a printable highlight readers must draw themselves
};

// A JPEG of the given size, deterministic content.
QByteArray jpegBytes(int width, int height, int components = 3, int quality = 75);

// Encrypted when there is a user password or printing is not allowed.
bool write(const QString &path, const QList<Page> &pages, const QString &userPassword = QString(),
           bool allowPrinting = true);

// Convenience: n text pages of one size.
QList<Page> textPages(int count, QSizeF size = QSizeF(595, 842));
// Convenience: a PDF of n text pages written at folder/name (folders made);
// its path.
QString textPdf(const QString &folder, const QString &name, int pages);
// Convenience: n scanned pages, a full-page JPEG and OCR text each.
QList<Page> scannedPages(int count, int pixelWidth = 1240, int pixelHeight = 1754);

} // namespace PdfFactory

Q_DECLARE_METATYPE(PdfFactory::Page)
