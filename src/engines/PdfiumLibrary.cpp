#include "engines/PdfiumLibrary.h"

#include "platform/LastError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QList>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace Pdfium {

namespace {

// PDFium keeps process-wide state between init and destroy.
QMutex &passMutex()
{
    static QMutex mutex;
    return mutex;
}

template <typename T>
bool resolve(QLibrary &library, const char *name, T *slot, QString *message)
{
    *slot = reinterpret_cast<T>(library.resolve(name));
    if (*slot)
        return true;
    *message = QStringLiteral("pdfium.dll is missing function: %1").arg(QLatin1String(name));
    return false;
}

bool resolveGroups(QLibrary &library, int groups, Functions *f, QString *m)
{
    bool ok = resolve(library, "FPDF_InitLibrary", &f->InitLibrary, m)
        && resolve(library, "FPDF_DestroyLibrary", &f->DestroyLibrary, m)
        && resolve(library, "FPDF_LoadDocument", &f->LoadDocument, m)
        && resolve(library, "FPDF_CloseDocument", &f->CloseDocument, m)
        && resolve(library, "FPDF_GetPageCount", &f->GetPageCount, m)
        && resolve(library, "FPDF_LoadPage", &f->LoadPage, m)
        && resolve(library, "FPDF_ClosePage", &f->ClosePage, m)
        && resolve(library, "FPDF_GetPageWidth", &f->GetPageWidth, m)
        && resolve(library, "FPDF_GetPageHeight", &f->GetPageHeight, m)
        && resolve(library, "FPDF_GetLastError", &f->GetLastError, m);
    if (ok && (groups & PageObjectGroup)) {
        ok = resolve(library, "FPDFPage_CountObjects", &f->CountObjects, m)
            && resolve(library, "FPDFPage_GetObject", &f->GetObject, m)
            && resolve(library, "FPDFPageObj_GetType", &f->GetObjectType, m)
            && resolve(library, "FPDFPageObj_GetBounds", &f->GetBounds, m)
            && resolve(library, "FPDFImageObj_GetImageMetadata", &f->GetImageMetadata, m);
    }
    if (ok && (groups & PassThroughGroup)) {
        ok = resolve(library, "FPDFImageObj_GetImageDataRaw", &f->GetImageDataRaw, m)
            && resolve(library, "FPDFImageObj_GetImageFilterCount", &f->GetImageFilterCount, m)
            && resolve(library, "FPDFImageObj_GetImageFilter", &f->GetImageFilter, m)
            && resolve(library, "FPDFPageObj_GetMatrix", &f->GetMatrix, m)
            && resolve(library, "FPDFTextObj_GetTextRenderMode", &f->GetTextRenderMode, m)
            && resolve(library, "FPDFPage_GetRotation", &f->GetRotation, m)
            && resolve(library, "FPDFPage_GetAnnotCount", &f->GetAnnotCount, m);
    }
    if (ok && (groups & RenderGroup)) {
        ok = resolve(library, "FPDF_GetDocPermissions", &f->GetDocPermissions, m)
            && resolve(library, "FPDF_GetPageSizeByIndex", &f->GetPageSizeByIndex, m)
            && resolve(library, "FPDFBitmap_CreateEx", &f->BitmapCreateEx, m)
            && resolve(library, "FPDFBitmap_FillRect", &f->BitmapFillRect, m)
            && resolve(library, "FPDFBitmap_GetBuffer", &f->BitmapGetBuffer, m)
            && resolve(library, "FPDFBitmap_GetStride", &f->BitmapGetStride, m)
            && resolve(library, "FPDFBitmap_Destroy", &f->BitmapDestroy, m)
            && resolve(library, "FPDF_RenderPageBitmap", &f->RenderPageBitmap, m);
        f->SaveAsCopy = reinterpret_cast<decltype(f->SaveAsCopy)>(library.resolve("FPDF_SaveAsCopy"));
    }
    return ok;
}

} // namespace

struct Pass::Lock
{
    QMutexLocker<QMutex> locker{&passMutex()};
};

Pass::Pass(const QString &configuredLibraryPath)
    : m_libraryPath(locatePdfiumLibrary(configuredLibraryPath))
{
}

Pass::~Pass()
{
    if (m_document)
        m_functions.CloseDocument(m_document);
    // The library stays mapped and initialised: PDFium keeps the faces of
    // its standard fonts between documents, and a batch reads thousands.
}

bool Pass::open(const QString &pdfPath, int groups, QString *message)
{
    // Deep binding keeps PDFium's own FreeType from binding to the system's
    // copy that the toolkit has loaded. AddressSanitizer cannot load a
    // library so; the sanitized build shows no text through the toolkit.
    QLibrary library(m_libraryPath);
#ifndef DUNMARROW_SANITIZED
    library.setLoadHints(QLibrary::DeepBindHint);
#endif
    if (!library.load()) {
        *message = QStringLiteral("Failed to load pdfium.dll: ") + library.errorString();
        return false;
    }
    if (!resolveGroups(library, groups | CoreGroup, &m_functions, message))
        return false;

    // Checked and held before the lock is taken: a name that turned into a
    // FIFO would otherwise hang every PDFium user of the process.
    if (!m_source.open(pdfPath)) {
        *message = Platform::lastError() == Platform::ErrorInvalidData
            ? QStringLiteral("Not a regular file: ") + pdfPath
            : pdfiumErrorText(2);
        return false;
    }
    m_lock = std::make_unique<Lock>();
    // Once per library file (a configured path may name another one).
    static QSet<QString> initialised;
    if (!initialised.contains(m_libraryPath)) {
        m_functions.InitLibrary();
        initialised.insert(m_libraryPath);
    }
    const QByteArray path = QDir::toNativeSeparators(m_source.path()).toUtf8();
    m_document = m_functions.LoadDocument(path.constData(), nullptr);
    if (!m_document) {
        *message = pdfiumErrorText(quint32(m_functions.GetLastError()));
        return false;
    }
    return true;
}

bool Pass::reopen()
{
    if (!m_document)
        return false;
    m_functions.CloseDocument(m_document);
    const QByteArray path = QDir::toNativeSeparators(m_source.path()).toUtf8();
    m_document = m_functions.LoadDocument(path.constData(), nullptr);
    return m_document != nullptr;
}

} // namespace Pdfium

QString installedPdfiumLibrary()
{
    return QStringLiteral(DUNMARROW_PDFIUM_LIBRARY);
}

QString locatePdfiumLibrary(const QString &configuredPath)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    // Without a path of its own, the one the installed program keeps.
    const QString configured =
        configuredPath.trimmed().isEmpty() ? installedPdfiumLibrary() : configuredPath.trimmed();
    const QStringList candidates = {
        configured,
        qEnvironmentVariable("PDFIUM_DLL_PATH").trimmed(),
        QDir(appDir).filePath(QStringLiteral("libpdfium.so")),
        QDir(appDir).filePath(QStringLiteral("x64/libpdfium.so")),
        QStringLiteral("pdfium"),
    };
    for (const QString &candidate : candidates) {
        if (candidate.isEmpty())
            continue;
        if (candidate == QLatin1String("pdfium") || QFileInfo(candidate).isFile())
            return candidate;
    }
    return QStringLiteral("pdfium");
}

QString pdfiumErrorText(quint32 code)
{
    switch (code) {
    case 1: return QStringLiteral("Unknown error");
    case 2: return QStringLiteral("Unable to open file");
    case 3: return QStringLiteral("Invalid file format");
    case 4: return QStringLiteral("Incorrect password");
    case 5: return QStringLiteral("Security restriction");
    case 6: return QStringLiteral("Page error");
    default: return QStringLiteral("PDFium error code %1").arg(code);
    }
}

QList<int> scanSampleIndexes(int pageCount)
{
    QList<int> indexes;
    const int samples = std::min(pageCount, 24);
    for (int i = 0; i < samples; ++i) {
        indexes << (pageCount == 1 ? 0
                                   : int(std::lround(double(pageCount - 1) * i / (samples - 1))));
    }
    return indexes;
}

namespace {

struct BestImage
{
    double coverage = 0;
    double dpi = 0;
};

BestImage bestImageOf(const Pdfium::Functions &fn, Pdfium::Page page)
{
    BestImage best;
    const double w = fn.GetPageWidth(page);
    const double h = fn.GetPageHeight(page);
    const int count = fn.CountObjects(page);
    for (int k = 0; k < count; ++k) {
        Pdfium::PageObject object = fn.GetObject(page, k);
        if (!object || fn.GetObjectType(object) != Pdfium::kImageObject)
            continue;
        float left = 0, bottom = 0, right = 0, top = 0;
        Pdfium::ImageMetadata meta{};
        if (!fn.GetBounds(object, &left, &bottom, &right, &top)
            || !fn.GetImageMetadata(object, page, &meta))
            continue;
        const double bw = std::abs(double(right) - left);
        const double bh = std::abs(double(top) - bottom);
        if (w <= 0 || h <= 0 || bw <= 0 || bh <= 0)
            continue;
        const double coverage = std::min(1.0, bw * bh / (w * h));
        const double dpi = std::min(meta.width * 72.0 / bw, meta.height * 72.0 / bh);
        if (coverage > best.coverage && meta.width >= 800 && meta.height >= 800 && dpi >= 72
            && dpi <= 1200)
            best = {coverage, dpi};
    }
    return best;
}

} // namespace

PdfScanProfile analyzeScannedPdf(const QString &pdfPath, const QString &configuredLibraryPath)
{
    PdfScanProfile profile;
    if (!QFileInfo::exists(pdfPath)) {
        profile.error = QStringLiteral("PDF file not found: ") + pdfPath;
        return profile;
    }
    double dpiSum = 0;
    double coverageSum = 0;
    {
        Pdfium::Pass pass(configuredLibraryPath);
        if (!pass.open(pdfPath, Pdfium::PageObjectGroup, &profile.error))
            return profile;
        const Pdfium::Functions &fn = pass.fn();
        for (const int index : scanSampleIndexes(fn.GetPageCount(pass.document()))) {
            Pdfium::PageGuard page(fn, fn.LoadPage(pass.document(), index));
            if (!page.get())
                continue;
            const BestImage best = bestImageOf(fn, page.get());
            ++profile.sampledPages;
            if (best.coverage >= 0.75 && best.dpi > 0) {
                ++profile.imagePages;
                dpiSum += best.dpi;
                coverageSum += best.coverage;
            }
        }
    }
    profile.ok = true;
    if (profile.imagePages > 0) {
        profile.averageDpi = dpiSum / profile.imagePages;
        profile.averageCoverage = coverageSum / profile.imagePages;
        profile.scanned = profile.sampledPages > 0 && 4 * profile.sampledPages <= 5 * profile.imagePages;
        if (profile.scanned && profile.averageDpi <= 360)
            profile.recommendedDpi = 300;
    }
    return profile;
}
