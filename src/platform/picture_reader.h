#pragma once

#include <QImage>
#include <QString>

// Reads pictures the way every picture box and the goods catalogue need
// them: turned as the camera recorded, and a picture larger than
// `kMaxPixels` (a phone photo of 8000 x 6000) read scaled down to that many
// pixels instead of being refused for the memory a full read would take.
class PictureReader {
public:
    static constexpr qint64 kMaxPixels = 16'000'000;

    // The picture in `file`, or a null image with `why` saying in the
    // user's words why it could not be read.
    static QImage read(const QString& file, QString* why = nullptr, qint64 maxPixels = kMaxPixels);
    // The size a picture of `size` is read at under `maxPixels`.
    static QSize readSize(const QSize& size, qint64 maxPixels = kMaxPixels);
    // `image` at `target`, in time that grows with the image only as
    // reading it does.
    static QImage scaledDown(const QImage& image, const QSize& target);
    // False for a PNG file one of whose chunks claims more bytes than the
    // file holds: the PNG library would set the claimed length aside (up to
    // 2 GB) before finding the file short. Other files are left to their
    // reader.
    static bool pngChunksFit(const QString& file);
    // The same for a PNG held in memory.
    static bool pngChunksFit(const QByteArray& png);
};
