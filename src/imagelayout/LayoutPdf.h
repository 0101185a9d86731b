#pragma once

#include <QString>
#include <QStringList>

// One image per A4 page, each fitted into the page inside 10 mm margins at
// 300 dpi and centred there, the page turned to landscape for a wide image.
// Images are read one at a time, as each page is drawn.
struct LayoutPdfResult
{
    enum class Status { Written, NoReadableImage, CannotWrite, PageRefused };
    Status status = Status::NoReadableImage;
    int pages = 0;
    QStringList skipped; // file names of images that could not be read
};

// The PDF is written whole or not at all: it appears under pdfPath only
// when every page is in it.
LayoutPdfResult writeLayoutPdf(const QStringList &imagePaths, const QString &pdfPath);

// The name chosen in the save dialog, with ".pdf" added unless it ends so
// (in any letter case).
QString layoutPdfPath(const QString &chosen);
