#include "platform/ImageFrames.h"

#include "platform/PrinterDc.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <unistd.h>

namespace Platform {

namespace {

// Photos of 50 megapixels and 16-bit scans pass; a file that claims a size
// no desktop could hold is still refused.
constexpr int kAllocationLimitMb = 1024;
// JPEG data above this is decoded rather than carried whole in memory.
constexpr qint64 kLargestJpeg = 128 * 1024 * 1024;

QSize shown(QSize stored, const ImageOrientation &orientation)
{
    return orientation.turned ? stored.transposed() : stored;
}

// Black and white stays one bit, grey one channel; alpha is laid on white
// paper.
QImage flattened(const QImage &image)
{
    if ((image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        && image.colorCount() == 2 && image.isGrayscale())
        return image.convertToFormat(QImage::Format_Mono);
    if (image.isGrayscale() && !image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB888);
    QImage paper(image.size(), QImage::Format_RGB888);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, image);
    painter.end();
    return paper;
}

QByteArray readWhole(int descriptor, qint64 limit)
{
    QFile file;
    if (!file.open(::dup(descriptor), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)
        || file.size() > limit || !file.seek(0))
        return QByteArray();
    return file.readAll();
}

} // namespace

ImageOrientation orientationOf(const QImageReader &reader)
{
    const QImageIOHandler::Transformations t = reader.transformation();
    return {t.testFlag(QImageIOHandler::TransformationMirror), t.testFlag(QImageIOHandler::TransformationFlip),
            t.testFlag(QImageIOHandler::TransformationRotate90)};
}

ImageFrameReader::ImageFrameReader() = default;
ImageFrameReader::~ImageFrameReader() = default;

bool ImageFrameReader::open(const QString &path, QString *error)
{
    m_frame = 0;
    m_frameCount = 0;
    m_reader.reset();
    if (!m_file.open(path)) {
        if (error)
            *error = QStringLiteral("The file cannot be opened as a regular file");
        return false;
    }
    m_reader = std::make_unique<QImageReader>(m_file.path());
    m_reader->setDecideFormatFromContent(true);
    m_reader->setAllocationLimit(kAllocationLimitMb);
    m_format = m_reader->format();
    if (!m_reader->canRead()) {
        if (error)
            *error = m_reader->errorString();
        return false;
    }
    // A multi-page TIFF is a document; an animation prints as its first frame.
    m_frameCount = m_format == "tiff" ? std::max(1, m_reader->imageCount()) : 1;
    return true;
}

QSize ImageFrameReader::shownSize() const
{
    return m_reader ? shown(m_reader->size(), orientationOf(*m_reader)) : QSize();
}

bool ImageFrameReader::next()
{
    if (!m_reader || m_frame + 1 >= m_frameCount || !m_reader->jumpToNextImage())
        return false;
    ++m_frame;
    return true;
}

bool ImageFrameReader::read(QSize maxPixels, ImageFrame *frame, QString *error)
{
    *frame = ImageFrame();
    if (!m_reader)
        return false;
    return (m_format == "jpeg" && readJpeg(frame)) || decode(maxPixels, frame, error);
}

bool ImageFrameReader::readJpeg(ImageFrame *frame)
{
    QByteArray bytes = readWhole(m_file.descriptor(), kLargestJpeg);
    const JpegInfo info = inspectJpeg(bytes);
    // A JPEG of another kind (12-bit, lossless) is decoded instead.
    if (!info.valid || QSize(info.width, info.height) != m_reader->size())
        return false;
    frame->jpeg = std::move(bytes);
    frame->orientation = orientationOf(*m_reader);
    return true;
}

bool ImageFrameReader::decode(QSize maxPixels, ImageFrame *frame, QString *error)
{
    *frame = ImageFrame();
    if (!m_reader)
        return false;
    m_reader->setAutoTransform(true);
    const ImageOrientation orientation = orientationOf(*m_reader);
    const QSize stored = m_reader->size();
    QSize wanted = shownSize();
    if (maxPixels.isValid() && wanted.isValid() && (wanted.width() > maxPixels.width()
                                                    || wanted.height() > maxPixels.height()))
        wanted = wanted.scaled(maxPixels, Qt::KeepAspectRatio);
    // Decoded at the size needed where the format can (a large photo then
    // never needs its full size in memory). The size asked for is the
    // stored one, before the orientation turns it.
    if (stored.isValid() && wanted != shownSize() && m_reader->supportsOption(QImageIOHandler::ScaledSize))
        m_reader->setScaledSize(shown(wanted, orientation).expandedTo(QSize(1, 1)));
    QImage image = m_reader->read();
    if (image.isNull()) {
        if (error)
            *error = m_reader->errorString();
        return false;
    }
    if (maxPixels.isValid() && (image.width() > maxPixels.width() || image.height() > maxPixels.height()))
        image = image.scaled(maxPixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    frame->pixels = flattened(image);
    return true;
}

} // namespace Platform
