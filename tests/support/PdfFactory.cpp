#include "PdfFactory.h"

#include <QDir>
#include <QFileInfo>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <zlib.h>

namespace PdfFactory {

namespace {

std::string num(double value)
{
    return QString::number(value, 'f', 3).toStdString();
}

QByteArray deflate(const QByteArray &data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef *>(out.data()), &size,
              reinterpret_cast<const Bytef *>(data.constData()), uLong(data.size()), 6);
    out.truncate(qsizetype(size));
    return out;
}

QPDFObjectHandle imageStream(QPDF &pdf, const Image &image)
{
    QByteArray data = jpegBytes(image.pixelWidth, image.pixelHeight, image.components);
    // Filters are listed in decoding order: encode in the reverse order.
    for (qsizetype i = image.filters.size() - 1; i >= 0; --i) {
        if (image.filters.at(i) == QLatin1String("FlateDecode"))
            data = deflate(data);
    }
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle filters = QPDFObjectHandle::newArray();
    for (const QString &filter : image.filters)
        filters.appendItem(QPDFObjectHandle::newName("/" + filter.toStdString()));
    stream.replaceStreamData(std::string(data.constData(), size_t(data.size())),
                             image.filters.size() == 1 ? filters.getArrayItem(0) : filters,
                             QPDFObjectHandle::newNull());
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.pixelWidth));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.pixelHeight));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    dict.replaceKey("/ColorSpace",
                    image.colorSpace.isEmpty()
                        ? QPDFObjectHandle::newName(image.components == 1 ? "/DeviceGray" : "/DeviceRGB")
                        : QPDFObjectHandle::parse(image.colorSpace.toStdString()));
    return stream;
}

std::string textOperators(const QString &text, double x, double y, int renderMode)
{
    QString escaped = text;
    escaped.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)");
    return "BT /F1 14 Tf " + std::to_string(renderMode) + " Tr " + num(x) + " " + num(y) + " Td ("
        + escaped.toLatin1().toStdString() + ") Tj ET\n";
}

void addPage(QPDF &pdf, const Page &spec)
{
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    std::string content;
    int index = 0;
    for (const Image &image : spec.images) {
        const QRectF rect = image.rect.isEmpty() ? QRectF(QPointF(0, 0), spec.size) : image.rect;
        const std::string name = "/Im" + std::to_string(++index);
        xobjects.replaceKey(name, pdf.makeIndirectObject(imageStream(pdf, image)));
        content += "q " + num(rect.width()) + " 0 0 " + num(rect.height()) + " " + num(rect.x())
            + " " + num(rect.y()) + " cm " + name + " Do Q\n";
    }
    if (!spec.invisibleText.isEmpty())
        content += textOperators(spec.invisibleText, 72, spec.size.height() - 100, 3);
    if (!spec.visibleText.isEmpty())
        content += textOperators(spec.visibleText, 72, spec.size.height() - 72, 0);

    QPDFObjectHandle font = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    resources.replaceKey("/Font", QPDFObjectHandle::parse("<< >>"));
    resources.getKey("/Font").replaceKey("/F1", font);

    QPDFObjectHandle page = QPDFObjectHandle::parse(
        spec.noMediaBox ? std::string("<< /Type /Page >>")
                        : "<< /Type /Page /MediaBox [0 0 " + num(spec.size.width()) + " "
                + num(spec.size.height()) + "] >>");
    page.replaceKey("/Resources", resources);
    QPDFObjectHandle contents = QPDFObjectHandle::newStream(&pdf, content);
    if (spec.deflatedContent) {
        const QByteArray packed = deflate(QByteArray::fromStdString(content));
        contents.replaceStreamData(packed.toStdString(), QPDFObjectHandle::newName("/FlateDecode"),
                                   QPDFObjectHandle::newNull());
    }
    if (spec.splitContent) {
        // Streams may only be divided between tokens.
        const size_t half = content.rfind(" (") + 1;
        QPDFObjectHandle parts = QPDFObjectHandle::newArray();
        parts.appendItem(QPDFObjectHandle::newStream(&pdf, content.substr(0, half)));
        parts.appendItem(QPDFObjectHandle::newStream(&pdf, content.substr(half)));
        contents = parts;
    }
    if (spec.damagedContent) {
        // Claims to be deflated but is not: readers that decode it fail.
        contents.replaceStreamData("BT /F1 14 Tf (not deflate data at all) Tj ET",
                                   QPDFObjectHandle::newName("/FlateDecode"),
                                   QPDFObjectHandle::newNull());
    }
    page.replaceKey("/Contents", contents);
    if (spec.rotate)
        page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
    if (spec.annotation) {
        QPDFObjectHandle appearance = QPDFObjectHandle::newStream(&pdf, "0 0 1 rg 0 0 50 50 re f\n");
        appearance.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        appearance.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        appearance.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 50 50]"));
        QPDFObjectHandle annot = QPDFObjectHandle::parse(
            "<< /Type /Annot /Subtype /Square /Rect [100 100 150 150] /F 4 >>");
        QPDFObjectHandle ap = QPDFObjectHandle::newDictionary();
        ap.replaceKey("/N", appearance);
        annot.replaceKey("/AP", ap);
        QPDFObjectHandle annots = QPDFObjectHandle::newArray();
        annots.appendItem(pdf.makeIndirectObject(annot));
        page.replaceKey("/Annots", annots);
    }
    if (spec.highlightWithoutAppearance) {
        QPDFObjectHandle annots = QPDFObjectHandle::newArray();
        annots.appendItem(pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Annot /Subtype /Highlight /Rect [60 400 400 460] /F 4 /C [1 1 0]"
            " /QuadPoints [60 460 400 460 60 400 400 400] >>")));
        page.replaceKey("/Annots", annots);
    }
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

} // namespace

QByteArray jpegBytes(int width, int height, int components, int quality)
{
    QImage image(width, height, components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 3));
    for (int y = 40; y < height; y += 60)
        painter.drawLine(40, y, width - 40, y);
    painter.fillRect(QRect(width / 4, height / 4, width / 5, height / 6), QColor(200, 60, 40));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

bool write(const QString &path, const QList<Page> &pages, const QString &userPassword,
           bool allowPrinting)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        for (const Page &page : pages)
            addPage(pdf, page);
        const QByteArray fileName = QFile::encodeName(path); // kept until write()
        QPDFWriter writer(pdf, fileName.constData());
        writer.setStreamDataMode(qpdf_s_preserve);
        if (!userPassword.isEmpty() || !allowPrinting) {
            const std::string password = userPassword.toStdString();
            writer.setR6EncryptionParameters(password.c_str(), "owner", true, true, true, true,
                                             true, true,
                                             allowPrinting ? qpdf_r3p_full : qpdf_r3p_none, true);
        }
        writer.write();
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

QList<Page> textPages(int count, QSizeF size)
{
    QList<Page> pages;
    for (int i = 0; i < count; ++i) {
        Page page;
        page.size = size;
        page.visibleText = QStringLiteral("Page %1 of %2").arg(i + 1).arg(count);
        pages << page;
    }
    return pages;
}

QList<Page> scannedPages(int count, int pixelWidth, int pixelHeight)
{
    QList<Page> pages;
    for (int i = 0; i < count; ++i) {
        Page page;
        Image image;
        image.pixelWidth = pixelWidth;
        image.pixelHeight = pixelHeight;
        page.images << image;
        page.invisibleText = QStringLiteral("Scanned page %1").arg(i + 1);
        pages << page;
    }
    return pages;
}

QString textPdf(const QString &folder, const QString &name, int pages)
{
    const QString path = QDir(folder).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    write(path, textPages(pages));
    return path;
}

} // namespace PdfFactory
