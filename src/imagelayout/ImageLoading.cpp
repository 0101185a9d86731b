#include "imagelayout/ImageLoading.h"

#include <QImageReader>
#include <QPainter>

namespace {

constexpr int kThumbnail = 104;
constexpr int kFitted = 94;

} // namespace

QImage loadImage(const QString &path, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull() && error)
        *error = reader.errorString();
    return image;
}

QImage makeThumbnail(const QString &path, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Twice the drawn size keeps it sharp on high-density screens. The size
    // asked for is the stored one, before the orientation turns it.
    const QSize stored = reader.size();
    if (stored.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)
        && (stored.width() > 2 * kFitted || stored.height() > 2 * kFitted))
        reader.setScaledSize(stored.scaled(2 * kFitted, 2 * kFitted, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = reader.errorString();
        return QImage();
    }
    return thumbnailOf(image);
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
