#include "platform/ImagePdfWriter.h"

#include "platform/PdfImageDrawing.h"
#include "platform/PrinterDc.h"
#include "platform/PrinterDcState.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QIODevice>

namespace Platform {

namespace {

// The writer's output into a Qt device.
class DevicePipeline : public Pipeline
{
public:
    explicit DevicePipeline(QIODevice *device)
        : Pipeline("device", nullptr)
        , m_device(device)
    {
    }
    void write(unsigned char const *data, size_t length) override
    {
        if (m_device->write(reinterpret_cast<const char *>(data), qint64(length)) != qint64(length))
            throw std::runtime_error("the document could not be written");
    }
    void finish() override {}

private:
    QIODevice *m_device;
};

} // namespace

struct ImagePdfWriter::Impl
{
    QPDF pdf;
    QPDFObjectHandle page;
    std::string content;
    int images = 0;
    int pages = 0;
    QString title;
    QString creator;
    std::shared_ptr<SpoolImageData> data = std::make_shared<SpoolImageData>();

    bool finishPage()
    {
        if (!page.isInitialized() || page.isNull())
            return true;
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
        page = QPDFObjectHandle();
        content.clear();
        ++pages;
        return true;
    }

    bool place(QPDFObjectHandle image, const QByteArray &bytes, const char *filter, const QRectF &rect,
               ImageOrientation orientation)
    {
        qint64 offset = 0;
        if (!page.isInitialized() || page.isNull() || !data->append(bytes.constData(), bytes.size(), &offset))
            return false;
        const std::shared_ptr<SpoolImageData> store = data;
        const qint64 size = bytes.size();
        image.replaceStreamData(std::function<void(Pipeline *)>([store, offset, size](Pipeline *pipeline) {
                                    store->copyTo(offset, size, pipeline);
                                }),
                                QPDFObjectHandle::newName(filter),
                                // The data's own decoding parameters (a predictor) stay with it.
                                image.getDict().getKey("/DecodeParms"));
        const std::string name = "/Im" + std::to_string(++images);
        page.getKey("/Resources").getKey("/XObject").replaceKey(name, image);
        content += imageDrawing(name, {rect.left(), rect.top(), rect.right(), rect.bottom()}, orientation);
        return true;
    }
};

ImagePdfWriter::ImagePdfWriter()
    : d(std::make_unique<Impl>())
{
    d->pdf.emptyPDF();
}

ImagePdfWriter::~ImagePdfWriter() = default;

void ImagePdfWriter::setTitle(const QString &title)
{
    d->title = title;
}

void ImagePdfWriter::setCreator(const QString &creator)
{
    d->creator = creator;
}

bool ImagePdfWriter::newPage(double width, double height)
{
    try {
        d->finishPage();
        d->page = d->pdf.makeIndirectObject(QPDFObjectHandle::parse(
            QStringLiteral("<< /Type /Page /MediaBox [0 0 %1 %2] /Resources << /XObject << >> >> >>")
                .arg(fmt(width), fmt(height))
                .toStdString()));
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

bool ImagePdfWriter::placeJpeg(const QByteArray &jpeg, const QRectF &rect, ImageOrientation orientation)
{
    const JpegInfo info = inspectJpeg(jpeg);
    try {
        return info.valid
            && d->place(newImageStream(d->pdf, info.width, info.height, info.components, info.adobeInverted), jpeg,
                        "/DCTDecode", rect, orientation);
    } catch (const std::exception &) {
        return false;
    }
}

bool ImagePdfWriter::placePixels(const QImage &pixels, const QRectF &rect)
{
    try {
        QPDFObjectHandle image;
        QByteArray deflated;
        return flateImage(d->pdf, pixels, &image, &deflated)
            && d->place(image, deflated, "/FlateDecode", rect, {});
    } catch (const std::exception &) {
        return false;
    }
}

bool ImagePdfWriter::placeFrame(const ImageFrame &frame, const QRectF &rect)
{
    return frame.jpeg.isEmpty() ? placePixels(frame.pixels, rect) : placeJpeg(frame.jpeg, rect, frame.orientation);
}

int ImagePdfWriter::pageCount() const
{
    return d->pages + (d->page.isInitialized() && !d->page.isNull() ? 1 : 0);
}

bool ImagePdfWriter::write(QIODevice *device)
{
    try {
        d->finishPage();
        QPDFObjectHandle info = d->pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        if (!d->title.isEmpty())
            info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(d->title.toStdString()));
        if (!d->creator.isEmpty())
            info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(d->creator.toStdString()));
        d->pdf.getTrailer().replaceKey("/Info", info);
        DevicePipeline output(device);
        QPDFWriter writer(d->pdf);
        writer.setOutputPipeline(&output);
        // Image data goes as it is: JPEGs unchanged, pixels deflated already.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.write();
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

} // namespace Platform
