// Any file given as a PDF, printed into a device context of the private
// scheduler's raw queue: each page is qualified for JPEG pass-through,
// placed as a vector form or rendered, and the spool is written out.

#include "FuzzSupport.h"
#include "platform/ReleaseAside.h"
#include "PrivateCups.h"

#include "engines/PdfiumPrinting.h"
#include "platform/PrinterDc.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Platform;

namespace {

std::unique_ptr<PrinterDc> s_dc;
QString s_output;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (!PrivateCups::connectFromEnvironment()) {
        std::fprintf(stderr, "no private scheduler: set DUNMARROW_TEST_CUPS_DIR\n");
        std::exit(1);
    }
    Fuzz::setUpProcess(argc, argv);
    // One device context for the whole run, at a low resolution: rendered
    // pages then cost little, and every path is still taken.
    PrinterHandle printer;
    DeviceMode settings;
    if (!openPrinter(QString::fromLatin1(PrivateCups::kRawQueue), &printer)
        || documentPropertiesRead(printer, &settings) != IDOK) {
        std::fprintf(stderr, "the raw queue cannot be opened\n");
        std::exit(1);
    }
    const DeviceMode defaults = settings;
    settings.dmPrintQuality = 36;
    settings.dmYResolution = 36;
    settings.dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
    s_dc = createPrinterDc(std::move(printer), defaults, settings);
    s_output = Fuzz::writeScratch("spool.out", nullptr, 0);
    if (!s_dc || s_output.isEmpty())
        std::exit(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::writeScratch("input.pdf", data, size);
    if (path.isEmpty() || startDoc(s_dc.get(), QStringLiteral("fuzz"), s_output) <= 0)
        return 0;
    int pages = 0;
    QString message;
    if (printPdfToDc(path, s_dc.get(), getDeviceCaps(s_dc.get(), HORZRES),
                     getDeviceCaps(s_dc.get(), VERTRES), &pages, &message, QString()))
        endDoc(s_dc.get());
    else
        abortDoc(s_dc.get());
    // libFuzzer ends the process with exit(): nothing may still be in release then.
    Platform::waitForReleases();
    return 0;
}
