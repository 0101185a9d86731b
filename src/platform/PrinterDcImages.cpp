#include "platform/PrinterDc.h"

#include "platform/LastError.h"
#include "platform/PdfImageDrawing.h"
#include "platform/PrinterDcState.h"

#include <qpdf/Pipeline.hh>

#include <QDir>

#include <stdexcept>


// Images on the device context's pages: JPEG data placed unchanged, and
// rows of pixels; both kept in a temporary file until the spool is written.
namespace Platform {

bool SpoolImageData::append(const char *data, qint64 size, qint64 *offset)
{
    if (!m_file) {
        m_file = std::make_unique<QTemporaryFile>(
            QDir::temp().filePath(QStringLiteral("dunmarrow-images-XXXXXX")));
        if (!m_file->open()) {
            m_file.reset();
            return false;
        }
    }
    *offset = m_file->size();
    return m_file->seek(*offset) && m_file->write(data, size) == size;
}

void SpoolImageData::copyTo(qint64 offset, qint64 size, Pipeline *pipeline)
{
    constexpr qint64 kChunk = 256 * 1024;
    if (!m_file || !m_file->seek(offset))
        throw std::runtime_error("spool image data is missing");
    QByteArray chunk;
    for (qint64 left = size; left > 0; left -= chunk.size()) {
        chunk = m_file->read(std::min(left, kChunk));
        if (chunk.isEmpty())
            throw std::runtime_error("spool image data is missing");
        pipeline->write(reinterpret_cast<const unsigned char *>(chunk.constData()),
                        size_t(chunk.size()));
    }
    pipeline->finish();
}

JpegInfo inspectJpeg(const QByteArray &jpeg)
{
    JpegInfo info;
    const auto byte = [&](qsizetype i) { return quint8(jpeg.at(i)); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return info;
    qsizetype i = 2;
    while (i + 4 <= jpeg.size()) {
        if (byte(i) != 0xFF)
            return info;
        const quint8 marker = byte(i + 1);
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        const int length = (byte(i + 2) << 8) | byte(i + 3);
        if (length < 2 || i + 2 + length > jpeg.size())
            return info;
        if (marker == 0xEE && length >= 12 && jpeg.mid(i + 4, 5) == "Adobe")
            info.adobeInverted = true;
        // Start of frame (baseline, extended, progressive): size and components.
        if ((marker >= 0xC0 && marker <= 0xC2) && length >= 8) {
            if (byte(i + 4) != 8)
                return info;
            info.height = (byte(i + 5) << 8) | byte(i + 6);
            info.width = (byte(i + 7) << 8) | byte(i + 8);
            info.components = byte(i + 9);
            info.valid = info.width > 0 && info.height > 0
                && (info.components == 1 || info.components == 3 || info.components == 4);
            info.adobeInverted = info.adobeInverted && info.components == 4;
            return info;
        }
        if (marker == 0xDA || marker == 0xD9)
            return info;
        i += 2 + length;
    }
    return info;
}

int extEscape(PrinterDc *dc, int escape, const QByteArray &input, QByteArray *output)
{
    if (!dc)
        return 0;
    if (escape == QUERYESCSUPPORT) {
        if (input.size() < 4)
            return 0;
        const qint32 asked = *reinterpret_cast<const qint32 *>(input.constData());
        return asked == CHECKJPEGFORMAT || asked == QUERYESCSUPPORT ? 1 : 0;
    }
    if (escape == CHECKJPEGFORMAT) {
        const qint32 ok = inspectJpeg(input).valid ? 1 : 0;
        if (output)
            *output = QByteArray(reinterpret_cast<const char *>(&ok), sizeof ok);
        return 1;
    }
    return 0;
}

bool PrinterDc::Impl::storeStreamData(QPDFObjectHandle stream, const char *data, qint64 size,
                                      const char *filter)
{
    if (!imageData)
        imageData = std::make_shared<SpoolImageData>();
    qint64 offset = 0;
    if (!imageData->append(data, size, &offset))
        return false;
    const std::shared_ptr<SpoolImageData> store = imageData;
    stream.replaceStreamData(
        std::function<void(Pipeline *)>([store, offset, size](Pipeline *pipeline) {
            store->copyTo(offset, size, pipeline);
        }),
        QPDFObjectHandle::newName(filter),
        // The data's own decoding parameters (a predictor) stay with it.
        stream.getDict().getKey("/DecodeParms"));
    return true;
}

namespace {

// One image of the page, its data waiting in the spool's image file: its
// name among the page's resources and where it is drawn.
int placeImage(PrinterDc::Impl &d, QPDFObjectHandle image, const QByteArray &data, const char *filter, int x,
               int y, int width, int height, ImageOrientation orientation = {})
{
    if (!d.storeStreamData(image, data.constData(), data.size(), filter))
        return 0;
    const std::string name = d.addResource("Im", image);
    d.content += imageDrawing(name, d.toPoints(x, y, width, height), orientation);
    return 1;
}

} // namespace

int stretchImage(PrinterDc *dc, int x, int y, int width, int height, const QImage &pixels)
{
    if (!dc || !dc->impl()->pageOpen || pixels.isNull())
        return 0;
    // Deflated here: a page of pixels is large, and the spool is kept in
    // memory until the document ends.
    PrinterDc::Impl &d = *dc->impl();
    try {
        QPDFObjectHandle image;
        QByteArray deflated;
        return flateImage(*d.spool, pixels, &image, &deflated)
            ? placeImage(d, image, deflated, "/FlateDecode", x, y, width, height)
            : 0;
    } catch (const std::exception &) {
        return 0;
    }
}

int stretchJpeg(PrinterDc *dc, int x, int y, int width, int height, int, int,
                const QByteArray &jpeg, ImageOrientation orientation)
{
    if (!dc || !dc->impl()->pageOpen)
        return 0;
    const JpegInfo info = inspectJpeg(jpeg);
    if (!info.valid)
        return 0;
    PrinterDc::Impl &d = *dc->impl();
    try {
        return placeImage(d, newImageStream(*d.spool, info.width, info.height, info.components, info.adobeInverted),
                          jpeg, "/DCTDecode", x, y, width, height, orientation);
    } catch (const std::exception &) {
        return 0;
    }
}

} // namespace Platform
