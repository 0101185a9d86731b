#pragma once

#include "engines/PrintJob.h"

#include <QPageSize>
#include <QString>

// The image route: every page of the image file (each frame of a
// multi-page TIFF) fitted to the printable area of one printer page and
// centred. A JPEG goes to the printer as its own bytes, any other image
// losslessly at no more than the printer's resolution; all pages go as one
// job, and a printer that refuses the job fails the print. note, when given,
// tells of a success what the user should know (a paper the printer took in
// place of one it lacks).
bool printImageWithQt(const PrintJob &job, int *pages, QString *message, QString *note = nullptr);

// The image file's pages as a PDF of pages of the given size, each fitted
// into the whole page and centred, pixels at no more than dpi.
enum class ImagePdfStatus { Written, Unreadable, NotWritten };
ImagePdfStatus writeImagePdf(const QString &imagePath, const QPageSize &pageSize, int dpi, const QString &pdfPath,
                             int *pages);
