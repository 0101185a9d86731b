#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Image files made by the tests, of kinds the toolkit cannot write.
namespace ImageFactory {

// A TIFF of one page per image (deflate-compressed, one strip a page):
// Grayscale8, Grayscale16, RGB888 or RGBX64 (16 bits a channel).
QByteArray tiff(const QList<QImage> &pages);

// A JPEG with an EXIF orientation tag (1–8) after its start marker.
QByteArray jpegWithOrientation(const QImage &image, int orientation, int quality = 95);

// The image data of the first image XObject with this filter
// ("/DCTDecode", "/FlateDecode") in a PDF, as stored (encoded); and all of
// them decoded, as rows of samples.
QByteArray storedImage(const QByteArray &pdf, const char *filter);
QList<QByteArray> decodedImages(const QByteArray &pdf);

} // namespace ImageFactory
