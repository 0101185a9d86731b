#pragma once

#include <QImage>
#include <QString>

// Reads an image file's first page with its orientation tag applied, at no
// more than maxPixels (an invalid size: its own size). A null image and the
// reader's error text when it cannot be read.
QImage loadImage(const QString &path, QString *error, QSize maxPixels = QSize());

// The image list's thumbnail of a file: 104 × 104 white, the image fitted
// into 94 × 94 and centred, outlined in #d8e0eb. Decoded at about that size
// where the format allows it, so adding many large photos stays quick.
// Null with the reader's error text when the file is no readable image.
QImage makeThumbnail(const QString &path, QString *error);

// The thumbnail drawn from an image already read.
QImage thumbnailOf(const QImage &image);
