#pragma once

#include "platform/PinnedFile.h"

#include <QString>

#include <memory>

// The run-time binding of the PDFium library: where the library file is,
// which of its public functions each operation needs, and one pass over one
// document. PDFium's initialisation is process-wide, so passes never overlap.

namespace Pdfium {

using Document = void *;
using Page = void *;
using PageObject = void *;
using Bitmap = void *;

struct Matrix
{
    float a, b, c, d, e, f;
};

struct ImageMetadata
{
    unsigned int width;
    unsigned int height;
    float horizontalDpi;
    float verticalDpi;
    unsigned int bitsPerPixel;
    int colorspace;
    int markedContentId;
};

// FPDF_COLORSPACE_*: device grey, RGB, CMYK and ICC-based.
inline bool isPlainColorSpace(int colorspace)
{
    return colorspace == 1 || colorspace == 2 || colorspace == 3 || colorspace == 7;
}

inline constexpr int kBitmapBgr = 2;           // FPDFBitmap_BGR
inline constexpr int kRenderAnnotations = 0x01; // FPDF_ANNOT
inline constexpr int kRenderPrinting = 0x800;   // FPDF_PRINTING
inline constexpr int kRenderNoSmoothText = 0x1000; // FPDF_RENDER_NO_SMOOTHTEXT
inline constexpr int kRenderNoSmoothPath = 0x4000; // FPDF_RENDER_NO_SMOOTHPATH
inline constexpr unsigned long kPermissionPrint = 0x4;

inline constexpr int kTextObject = 1;
inline constexpr int kImageObject = 3;
inline constexpr int kInvisibleTextMode = 3;

// FPDF_FILEWRITE: PDFium calls WriteBlock with the saved document's bytes.
struct FileWrite
{
    int version = 1;
    int (*WriteBlock)(FileWrite *self, const void *data, unsigned long size) = nullptr;
};
inline constexpr unsigned long kSaveNoIncremental = 2; // FPDF_NO_INCREMENTAL

// The public functions used, cast to their signatures.
struct Functions
{
    // Core
    void (*InitLibrary)() = nullptr;
    void (*DestroyLibrary)() = nullptr;
    Document (*LoadDocument)(const char *path, const char *password) = nullptr;
    void (*CloseDocument)(Document) = nullptr;
    int (*GetPageCount)(Document) = nullptr;
    Page (*LoadPage)(Document, int index) = nullptr;
    void (*ClosePage)(Page) = nullptr;
    double (*GetPageWidth)(Page) = nullptr;
    double (*GetPageHeight)(Page) = nullptr;
    unsigned long (*GetLastError)() = nullptr;
    // Page objects
    int (*CountObjects)(Page) = nullptr;
    PageObject (*GetObject)(Page, int index) = nullptr;
    int (*GetObjectType)(PageObject) = nullptr;
    int (*GetBounds)(PageObject, float *left, float *bottom, float *right, float *top) = nullptr;
    int (*GetImageMetadata)(PageObject, Page, ImageMetadata *) = nullptr;
    // Image pass-through
    unsigned long (*GetImageDataRaw)(PageObject, void *buffer, unsigned long length) = nullptr;
    int (*GetImageFilterCount)(PageObject) = nullptr;
    unsigned long (*GetImageFilter)(PageObject, int index, void *buffer, unsigned long length) = nullptr;
    int (*GetMatrix)(PageObject, Matrix *) = nullptr;
    int (*GetTextRenderMode)(PageObject) = nullptr;
    int (*GetRotation)(Page) = nullptr;
    int (*GetAnnotCount)(Page) = nullptr;
    // Rendering and permissions
    unsigned long (*GetDocPermissions)(Document) = nullptr;
    int (*GetPageSizeByIndex)(Document, int index, double *width, double *height) = nullptr;
    Bitmap (*BitmapCreateEx)(int width, int height, int format, void *firstScan, int stride) = nullptr;
    void (*BitmapFillRect)(Bitmap, int left, int top, int width, int height, unsigned long color) = nullptr;
    void *(*BitmapGetBuffer)(Bitmap) = nullptr;
    int (*BitmapGetStride)(Bitmap) = nullptr;
    void (*BitmapDestroy)(Bitmap) = nullptr;
    void (*RenderPageBitmap)(Bitmap, Page, int startX, int startY, int sizeX, int sizeY, int rotate,
                             int flags) = nullptr;
    // Optional (null when the library lacks it): the document as PDFium
    // reads it, written out whole.
    int (*SaveAsCopy)(Document, FileWrite *, unsigned long flags) = nullptr;
};

enum Group {
    CoreGroup = 0x1,
    PageObjectGroup = 0x2,
    PassThroughGroup = 0x4,
    RenderGroup = 0x8,
};

// One pass: library loaded and resolved, PDFium initialised, one document
// open. Everything is undone, in order, when the pass goes away.
class Pass
{
public:
    explicit Pass(const QString &configuredLibraryPath);
    ~Pass();
    Pass(const Pass &) = delete;
    Pass &operator=(const Pass &) = delete;

    // Loads the library, resolves the groups, initialises PDFium and opens
    // the document. On failure the message says why.
    bool open(const QString &pdfPath, int groups, QString *message);

    // Closes the document and opens the same file again: PDFium keeps the
    // data it has read for as long as a document is open, which over a long
    // scan is the whole file. No page may be open. False when it cannot.
    bool reopen();

    const Functions &fn() const { return m_functions; }
    Document document() const { return m_document; }
    // The name the document was opened by: the checked file itself, for
    // other readers of the same file.
    QString sourcePath() const { return m_source.path(); }

private:
    struct Lock;
    QString m_libraryPath;
    Platform::PinnedFile m_source;
    Functions m_functions;
    Document m_document = nullptr;
    std::unique_ptr<Lock> m_lock;
};

// Closes a page when it goes out of scope.
class PageGuard
{
public:
    PageGuard(const Functions &fn, Page page) : m_fn(fn), m_page(page) {}
    ~PageGuard()
    {
        if (m_page)
            m_fn.ClosePage(m_page);
    }
    PageGuard(const PageGuard &) = delete;
    PageGuard &operator=(const PageGuard &) = delete;
    Page get() const { return m_page; }

private:
    const Functions &m_fn;
    Page m_page;
};

} // namespace Pdfium

// What the scan analysis found.
struct PdfScanProfile
{
    bool ok = false;
    bool scanned = false;
    int recommendedDpi = 0;
    int sampledPages = 0;
    int imagePages = 0;
    double averageDpi = 0;
    double averageCoverage = 0;
    QString error;
};

// The library to load: the configured path (else the installed program's
// own, installedPdfiumLibrary), PDFIUM_DLL_PATH, the program's folder, its
// x64 folder, or the bare name for the system's loader.
QString locatePdfiumLibrary(const QString &configuredPath);
QString installedPdfiumLibrary();
QString pdfiumErrorText(quint32 code);

// Whether a PDF is a scan, from the images of up to 24 evenly spread pages,
// and the resolution to print it with (300, or 0 for the driver's own).
PdfScanProfile analyzeScannedPdf(const QString &pdfPath, const QString &configuredLibraryPath);

// The page indexes the scan analysis looks at for a document of n pages.
QList<int> scanSampleIndexes(int pageCount);
