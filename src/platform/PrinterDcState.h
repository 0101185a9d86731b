#pragma once

// Internal to the device context: the state behind a PrinterDc handle,
// shared by its files.

#include "platform/PrinterDc.h"
#include "platform/ReleaseAside.h"
#include "platform/SpoolerState.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QString>
#include <QTemporaryFile>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Platform {

// A source PDF, opened once per document and kept until the spool is
// written (the spool refers to its objects until then). A document qpdf
// cannot read has no pdf.
struct SourcePdf
{
    std::shared_ptr<QPDF> pdf;
    bool printable = true;
    std::vector<QPDFPageObjectHelper> pages;
    // Per page: a printable annotation without an appearance, which the
    // flattening would drop.
    std::vector<bool> unflattenable;
    // Per page: -1 not checked yet, 0 must be rendered, 1 placeable.
    std::vector<int> placeable;
    // Per page, once checked: it holds or may hold an image (an image among
    // its resources, or an inline image in its contents).
    std::vector<bool> mayHoldImages;
};

// Image data of the spool waits in a temporary file until the document is
// written: a long scan passes through, not into, memory.
class SpoolImageData
{
public:
    // Appends the bytes; false when the file cannot take them.
    bool append(const char *data, qint64 size, qint64 *offset);
    // Writes the bytes stored at offset into the pipeline; throws when they
    // cannot be read back (the document then fails as a whole).
    void copyTo(qint64 offset, qint64 size, Pipeline *pipeline);
    // Removes the file; reading from it throws from then on.
    void discard() { m_file.reset(); }

private:
    std::unique_ptr<QTemporaryFile> m_file;
};

inline QString fmt(double value)
{
    return QString::number(value, 'f', 4);
}

struct PrinterDc::Impl
{
    PrinterHandle printer;
    DeviceMode devMode;
    int dpiX = 300;
    int dpiY = 300;
    double paperWidth = 0;  // points
    double paperHeight = 0; // points
    double marginLeft = 0;  // points
    double marginTop = 0;   // points
    int horzRes = 0;
    int vertRes = 0;

    bool docStarted = false;
    bool pageOpen = false;
    QString documentName;
    QString outputFile;
    std::unique_ptr<QPDF> spool;
    QPDFObjectHandle page;
    std::string content;
    int resourceCounter = 0;
    int pageCount = 0;
    std::string minimumVersion = "1.4";
    std::map<QString, SourcePdf> sources;
    std::shared_ptr<SpoolImageData> imageData;

    // A device rectangle in the spool page's coordinates (points, origin at
    // the bottom left of the paper).
    QPDFObjectHandle::Rectangle toPoints(int x, int y, int width, int height) const
    {
        const double left = marginLeft + x * 72.0 / dpiX;
        const double top = paperHeight - marginTop - y * 72.0 / dpiY;
        return {left, top - height * 72.0 / dpiY, left + width * 72.0 / dpiX, top};
    }

    std::string addResource(const char *prefix, QPDFObjectHandle object)
    {
        const std::string name = std::string("/") + prefix + std::to_string(++resourceCounter);
        page.getKey("/Resources").getKey("/XObject").replaceKey(name, object);
        return name;
    }

    SourcePdf &source(const QString &pdfPath);

    // Gives the stream these encoded bytes, kept in the spool's image file
    // until the document is written. False when the file cannot take them.
    bool storeStreamData(QPDFObjectHandle stream, const char *data, qint64 size,
                         const char *filter);

    void resetDocument()
    {
        docStarted = false;
        pageOpen = false;
        // The image file goes now; the spool's streams that read it are
        // never written after this.
        if (imageData)
            imageData->discard();
        imageData.reset();
        page = QPDFObjectHandle();
        if (spool || !sources.empty())
            releaseAside(std::move(spool), std::move(sources));
        spool.reset();
        sources.clear();
        content.clear();
        pageCount = 0;
        minimumVersion = "1.4";
    }
};

} // namespace Platform
