#pragma once

#include "platform/ImageFrames.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>

class QIODevice;

// A PDF of pages that hold images: a JPEG placed as its own bytes (turned by
// the page, not re-encoded), other pixels deflated, losslessly. Image data
// waits in a temporary file until the document is written, so a document of
// many photos passes through memory one image at a time.
namespace Platform {

class ImagePdfWriter
{
public:
    ImagePdfWriter();
    ~ImagePdfWriter();
    ImagePdfWriter(const ImagePdfWriter &) = delete;
    ImagePdfWriter &operator=(const ImagePdfWriter &) = delete;

    void setTitle(const QString &title);
    void setCreator(const QString &creator);

    // A new page of this size in points; the next images go on it.
    bool newPage(double width, double height);
    // Rectangles are in points from the page's bottom-left corner. False
    // when the data is no JPEG that can be placed, or cannot be stored.
    bool placeJpeg(const QByteArray &jpeg, const QRectF &rect, ImageOrientation orientation);
    bool placePixels(const QImage &pixels, const QRectF &rect); // Mono, Grayscale8 or RGB888
    // Places a frame as it came from an ImageFrameReader.
    bool placeFrame(const ImageFrame &frame, const QRectF &rect);

    int pageCount() const;
    // Writes the whole document; false when the device fails.
    bool write(QIODevice *device);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace Platform
