#include "platform/PdfImageDrawing.h"

#include <QString>

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

QByteArray deflatedSamples(const QImage &image)
{
    const int components = image.format() == QImage::Format_Grayscale8 ? 1
        : image.format() == QImage::Format_RGB888                      ? 3
                                                                       : 0;
    if (components == 0 || image.isNull())
        return QByteArray();
    const qsizetype rowBytes = qsizetype(image.width()) * components;
    z_stream stream{};
    if (deflateInit(&stream, Z_BEST_SPEED) != Z_OK)
        return QByteArray();
    QByteArray out;
    out.resize(qsizetype(deflateBound(&stream, uLong(rowBytes * image.height()))));
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    bool ok = true;
    // Row by row: the image's own rows may be padded.
    for (int y = 0; ok && y < image.height(); ++y) {
        stream.next_in = const_cast<Bytef *>(image.constScanLine(y));
        stream.avail_in = uInt(rowBytes);
        ok = deflate(&stream, y + 1 == image.height() ? Z_FINISH : Z_NO_FLUSH) != Z_STREAM_ERROR;
    }
    ok = ok && stream.avail_in == 0;
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return ok ? out : QByteArray();
}

} // namespace Platform
