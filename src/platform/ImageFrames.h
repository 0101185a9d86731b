#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "platform/PinnedFile.h"

#include <memory>

class QImageReader;

// The pages of an image file, as a document of pages takes them: a JPEG as
// its own bytes with the orientation it is shown in, anything else decoded
// losslessly at no more pixels than the page needs. Every frame of a TIFF is
// a page; other formats give their first frame.
namespace Platform {

// How a stored image is turned to be shown (its EXIF or TIFF orientation):
// mirrored left to right, flipped top to bottom, then turned a quarter
// clockwise, in that order.
struct ImageOrientation
{
    bool mirrored = false;
    bool flipped = false;
    bool turned = false;

    bool isNone() const { return !mirrored && !flipped && !turned; }
    bool operator==(const ImageOrientation &) const = default;
};

struct ImageFrame
{
    // The file's JPEG data, placed as it is, and how it is shown.
    QByteArray jpeg;
    ImageOrientation orientation;
    // Otherwise the frame's pixels as shown: Mono (black and white),
    // Grayscale8 or RGB888, alpha laid on white.
    QImage pixels;
};

class ImageFrameReader
{
public:
    ImageFrameReader();
    ~ImageFrameReader();
    ImageFrameReader(const ImageFrameReader &) = delete;
    ImageFrameReader &operator=(const ImageFrameReader &) = delete;

    // False with the reader's error when the file is no image it can read
    // (or not a regular file: a FIFO would make the reader wait).
    bool open(const QString &path, QString *error = nullptr);
    // Frames in the file (1 for all but a multi-page TIFF).
    int frameCount() const { return m_frameCount; }
    // The current frame's size as shown, in its own pixels.
    QSize shownSize() const;
    // Reads the current frame. Decoded pixels are no larger than fit into
    // maxPixels (an invalid size: no limit). False with the reader's error.
    bool read(QSize maxPixels, ImageFrame *frame, QString *error = nullptr);
    // The current frame's pixels whatever its format (a thumbnail), decoded
    // at about maxPixels where the format can.
    bool decode(QSize maxPixels, ImageFrame *frame, QString *error = nullptr);
    // Moves to the next frame; false after the last.
    bool next();

private:
    bool readJpeg(ImageFrame *frame);

    PinnedFile m_file;
    std::unique_ptr<QImageReader> m_reader;
    QByteArray m_format;
    int m_frameCount = 0;
    int m_frame = 0;
};

// The orientation the toolkit reads from a file's own tags.
ImageOrientation orientationOf(const QImageReader &reader);

} // namespace Platform
