#pragma once

#include "engines/PrintJob.h"

#include <QString>

// The image route: the image, read with the toolkit, fitted to the
// printable area of one page and centred. The page is painted with the
// toolkit and handed to the printer's device context, which submits it as
// one job: a printer that refuses the job fails the print.
bool printImageWithQt(const PrintJob &job, int *pages, QString *message);
