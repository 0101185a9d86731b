#pragma once

#include "engines/PrintJob.h"

#include <QImage>
#include <QString>

// The image route: the image, read with the toolkit, fitted to the
// printable area of one page and centred. The page is painted with the
// toolkit and handed to the printer's device context, which submits it as
// one job: a printer that refuses the job fails the print.
bool printImageWithQt(const PrintJob &job, int *pages, QString *message);

// An image file read by content, turned the way up it was taken; null when
// it cannot be read (or is not a regular file).
QImage readImageFile(const QString &path);
