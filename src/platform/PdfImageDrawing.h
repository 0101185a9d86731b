#pragma once

// Internal to the platform layer: image XObjects of a PDF made with qpdf,
// and the operators that draw one into a rectangle, turned as it is shown.

#include "platform/ImageFrames.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <QByteArray>
#include <QImage>

#include <string>

namespace Platform {

// An image stream's dictionary (its data is set by the caller): 8 bits per
// component, the colour space of 1, 3 or 4 components; an Adobe-marked CMYK
// JPEG is stored inverted.
QPDFObjectHandle newImageStream(QPDF &pdf, int pixelWidth, int pixelHeight, int components,
                                bool adobeInverted = false);

// "q … cm /Name Do Q": the image fills the rectangle (points) as shown after
// the orientation is applied to its stored pixels.
std::string imageDrawing(const std::string &name, const QPDFObjectHandle::Rectangle &rect,
                         ImageOrientation orientation);

// A Grayscale8, RGB888 or black-and-white image (Mono) as a
// lossless image stream, deflated (eight-bit rows with PNG's "up"
// prediction). The stream's dictionary is made here; the data is for the
// caller to store. False when the image is of another format or zlib fails.
bool flateImage(QPDF &pdf, const QImage &image, QPDFObjectHandle *stream, QByteArray *data);

} // namespace Platform
