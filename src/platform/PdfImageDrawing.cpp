#include "platform/PdfImageDrawing.h"

#include <QString>

#include <cstring>

#include <zlib.h>

namespace Platform {

namespace {

struct Point
{
    double x;
    double y;
};

// Where a point of the stored image (unit square, y up as PDF's image space
// has it) is shown, in the unit square of the shown image.
Point shownAt(Point stored, ImageOrientation o)
{
    // From PDF's image space to rows from the top, as the orientation
    // tags count them.
    double s = stored.x;
    double t = 1.0 - stored.y;
    if (o.mirrored)
        s = 1.0 - s;
    if (o.flipped)
        t = 1.0 - t;
    if (o.turned) { // a quarter clockwise: the top row becomes the right column
        const double row = t;
        t = s;
        s = 1.0 - row;
    }
    return {s, 1.0 - t};
}

QString number(double value)
{
    return QString::number(value, 'f', 4);
}

} // namespace

QPDFObjectHandle newImageStream(QPDF &pdf, int pixelWidth, int pixelHeight, int components,
                                bool adobeInverted)
{
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(pixelWidth));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(pixelHeight));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(components == 1   ? "/DeviceGray"
                                                             : components == 3 ? "/DeviceRGB"
                                                                               : "/DeviceCMYK"));
    if (adobeInverted)
        dict.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
    return image;
}

std::string imageDrawing(const std::string &name, const QPDFObjectHandle::Rectangle &rect,
                         ImageOrientation orientation)
{
    // The affine map from image space to the shown unit square, from where
    // three corners go; then scaled into the rectangle.
    const Point origin = shownAt({0, 0}, orientation);
    const Point right = shownAt({1, 0}, orientation);
    const Point up = shownAt({0, 1}, orientation);
    const double width = rect.urx - rect.llx;
    const double height = rect.ury - rect.lly;
    const double a = (right.x - origin.x) * width;
    const double b = (right.y - origin.y) * height;
    const double c = (up.x - origin.x) * width;
    const double d = (up.y - origin.y) * height;
    const double e = rect.llx + origin.x * width;
    const double f = rect.lly + origin.y * height;
    return QStringLiteral("q %1 %2 %3 %4 %5 %6 cm %7 Do Q\n")
        .arg(number(a), number(b), number(c), number(d), number(e), number(f), QString::fromStdString(name))
        .toStdString();
}

bool flateImage(QPDF &pdf, const QImage &source, QPDFObjectHandle *stream, QByteArray *data)
{
    // Black and white as one bit a pixel, 0 black as PDF's grey has it: a
    // text page's pixels shrink ten times over eight-bit grey.
    const bool bilevel = source.format() == QImage::Format_Mono;
    const QImage image = bilevel && source.color(0) != qRgb(0, 0, 0)
        ? source.convertToFormat(QImage::Format_Mono, {qRgb(0, 0, 0), qRgb(255, 255, 255)})
        : source;
    const int components = image.format() == QImage::Format_RGB888 ? 3
        : bilevel || image.format() == QImage::Format_Grayscale8 ? 1
                                                                   : 0;
    if (components == 0 || image.isNull())
        return false;
    const qsizetype rowBytes = bilevel ? (qsizetype(image.width()) + 7) / 8 : qsizetype(image.width()) * components;
    const bool predicted = !bilevel;
    z_stream zs{};
    if (deflateInit(&zs, bilevel ? Z_DEFAULT_COMPRESSION : Z_BEST_SPEED) != Z_OK)
        return false;
    QByteArray out(qsizetype(deflateBound(&zs, uLong((rowBytes + 1) * image.height()))), Qt::Uninitialized);
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    // With prediction each row goes as its difference from the row above,
    // tagged "up" (2): photos and scans shrink by a third or more.
    QByteArray row(rowBytes + 1, Qt::Uninitialized);
    QByteArray above(rowBytes, '\0');
    bool ok = true;
    for (int y = 0; ok && y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        if (predicted) {
            row[0] = 2;
            for (qsizetype i = 0; i < rowBytes; ++i)
                row[i + 1] = char(line[i] - uchar(above[i]));
            memcpy(above.data(), line, size_t(rowBytes));
            zs.next_in = reinterpret_cast<Bytef *>(row.data());
            zs.avail_in = uInt(row.size());
        } else {
            zs.next_in = const_cast<Bytef *>(line);
            zs.avail_in = uInt(rowBytes);
        }
        ok = deflate(&zs, y + 1 == image.height() ? Z_FINISH : Z_NO_FLUSH) != Z_STREAM_ERROR && zs.avail_in == 0;
    }
    out.resize(qsizetype(zs.total_out));
    deflateEnd(&zs);
    if (!ok)
        return false;
    *data = out;
    *stream = newImageStream(pdf, image.width(), image.height(), components);
    if (bilevel)
        stream->getDict().replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(1));
    else
        stream->getDict().replaceKey("/DecodeParms",
                                     QPDFObjectHandle::parse(QStringLiteral("<< /Predictor 15 /Colors %1 "
                                                                            "/BitsPerComponent 8 /Columns %2 >>")
                                                                 .arg(components)
                                                                 .arg(image.width())
                                                                 .toStdString()));
    return true;
}

} // namespace Platform
