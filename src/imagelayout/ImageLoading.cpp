#include "imagelayout/ImageLoading.h"

#include "platform/ImageFrames.h"

#include <QPainter>

namespace {

constexpr int kThumbnail = 104;
constexpr int kFitted = 94;

} // namespace

QImage loadImage(const QString &path, QString *error, QSize maxPixels)
{
    Platform::ImageFrameReader reader;
    Platform::ImageFrame frame;
    if (!reader.open(path, error) || !reader.decode(maxPixels, &frame, error))
        return QImage();
    return frame.pixels;
}

QImage makeThumbnail(const QString &path, QString *error)
{
    // Twice the drawn size keeps it sharp on high-density screens.
    const QImage image = loadImage(path, error, QSize(2 * kFitted, 2 * kFitted));
    return image.isNull() ? QImage() : thumbnailOf(image);
}

QImage thumbnailOf(const QImage &image)
{
    QImage thumbnail(kThumbnail, kThumbnail, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::white);
    const QImage fitted = image.scaled(kFitted, kFitted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&thumbnail);
    painter.drawImage((kThumbnail - fitted.width()) / 2, (kThumbnail - fitted.height()) / 2, fitted);
    painter.setPen(QColor(QStringLiteral("#d8e0eb")));
    painter.drawRect(0, 0, kThumbnail - 1, kThumbnail - 1);
    return thumbnail;
}
