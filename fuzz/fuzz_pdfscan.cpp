// Any file given as a PDF, through the scan analysis that decides how a
// document is printed.

#include "FuzzSupport.h"

#include "engines/PdfiumLibrary.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::setUpProcess(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::writeScratch("input.pdf", data, size);
    if (!path.isEmpty())
        analyzeScannedPdf(path, QString());
    return 0;
}
