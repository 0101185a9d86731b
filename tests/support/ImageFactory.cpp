#include "ImageFactory.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QBuffer>
#include <QtEndian>

#include <zlib.h>

namespace ImageFactory {

namespace {

void put16(QByteArray &out, int value)
{
    const quint16 le = qToLittleEndian(quint16(value));
    out.append(reinterpret_cast<const char *>(&le), 2);
}

void put32(QByteArray &out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 4);
}

// Rows of samples as TIFF stores them (little-endian for 16 bits).
QByteArray samples(const QImage &image, int *bits, int *channels)
{
    QByteArray rows;
    const bool deep = image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_RGBX64;
    const bool gray = image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16;
    *bits = deep ? 16 : 8;
    *channels = gray ? 1 : 3;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        if (image.format() == QImage::Format_RGBX64) {
            for (int x = 0; x < image.width(); ++x) // drop the fourth channel
                rows.append(reinterpret_cast<const char *>(line) + x * 8, 6);
        } else {
            rows.append(reinterpret_cast<const char *>(line), image.width() * *channels * (*bits / 8));
        }
    }
    return rows;
}

} // namespace

QByteArray tiff(const QList<QImage> &pages)
{
    QByteArray out("II*\0", 4);
    put32(out, 8);
    for (int p = 0; p < pages.size(); ++p) {
        const QImage &image = pages.at(p);
        int bits = 8;
        int channels = 1;
        const QByteArray raw = samples(image, &bits, &channels);
        uLongf length = compressBound(uLong(raw.size()));
        QByteArray strip(qsizetype(length), '\0');
        compress2(reinterpret_cast<Bytef *>(strip.data()), &length, reinterpret_cast<const Bytef *>(raw.constData()),
                  uLong(raw.size()), 6);
        strip.resize(qsizetype(length));

        // The IFD, then its BitsPerSample array, then the strip.
        const int entries = 10;
        const quint32 ifd = quint32(out.size());
        const quint32 bitsArray = ifd + 2 + entries * 12 + 4;
        const quint32 stripOffset = bitsArray + 6;
        const quint32 next = p + 1 < pages.size() ? stripOffset + quint32(strip.size()) : 0;
        const auto entry = [&](int tag, int type, quint32 count, quint32 value) {
            put16(out, tag);
            put16(out, type);
            put32(out, count);
            if (type == 3 && count == 1) {
                put16(out, int(value));
                put16(out, 0);
            } else {
                put32(out, value);
            }
        };
        put16(out, entries);
        entry(256, 4, 1, quint32(image.width()));
        entry(257, 4, 1, quint32(image.height()));
        if (channels == 1)
            entry(258, 3, 1, quint32(bits));
        else
            entry(258, 3, 3, bitsArray);
        entry(259, 3, 1, 8); // deflate
        entry(262, 3, 1, channels == 1 ? 1 : 2);
        entry(273, 4, 1, stripOffset);
        entry(277, 3, 1, quint32(channels));
        entry(278, 4, 1, quint32(image.height()));
        entry(279, 4, 1, quint32(strip.size()));
        entry(284, 3, 1, 1);
        put32(out, next);
        for (int i = 0; i < 3; ++i)
            put16(out, bits);
        out += strip;
    }
    return out;
}

QByteArray jpegWithOrientation(const QImage &image, int orientation, int quality)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    const QByteArray tiff = QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19)
        + char(orientation) + QByteArray(6, 0);
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    const int length = exif.size() + 2;
    const QByteArray app1 = QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + exif;
    return buffer.data().left(2) + app1 + buffer.data().mid(2);
}

namespace {

template <typename Visit>
void forEachImage(const QByteArray &pdf, Visit visit)
{
    QPDF document;
    document.setSuppressWarnings(true);
    document.processMemoryFile("pdf", pdf.constData(), size_t(pdf.size()));
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(document).getAllPages()) {
        for (auto &[name, image] : page.getImages())
            visit(image);
        // Images inside forms (a placed page) too.
        for (auto &[name, form] : page.getFormXObjects()) {
            for (auto &[inner, image] : QPDFPageObjectHelper(form).getImages())
                visit(image);
        }
    }
}

} // namespace

QByteArray storedImage(const QByteArray &pdf, const char *filter)
{
    QByteArray found;
    forEachImage(pdf, [&](QPDFObjectHandle image) {
        QPDFObjectHandle kind = image.getDict().getKey("/Filter");
        if (found.isEmpty() && kind.isName() && kind.getName() == filter) {
            const auto data = image.getRawStreamData();
            found = QByteArray(reinterpret_cast<const char *>(data->getBuffer()), qsizetype(data->getSize()));
        }
    });
    return found;
}

QList<QByteArray> decodedImages(const QByteArray &pdf)
{
    QList<QByteArray> images;
    forEachImage(pdf, [&](QPDFObjectHandle image) {
        const auto data = image.getStreamData(qpdf_dl_all);
        images << QByteArray(reinterpret_cast<const char *>(data->getBuffer()), qsizetype(data->getSize()));
    });
    return images;
}

} // namespace ImageFactory
