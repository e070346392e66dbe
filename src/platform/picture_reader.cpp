#include "platform/picture_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QtEndian>
#include <cmath>
#include <cstring>

QSize PictureReader::readSize(const QSize& size, qint64 maxPixels) {
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || pixels <= maxPixels) {
        return size;
    }
    const double factor = std::sqrt(double(maxPixels) / double(pixels));
    int width = std::max(1, int(size.width() * factor));
    int height = std::max(1, int(size.height() * factor));
    // A side too short to scale keeps one pixel; the long side then holds
    // the whole bound (a strip of 1 x 20 000 000 pixels is read at
    // 1 x maxPixels, not at 1 x 17 888 543).
    if (qint64(width) * height > maxPixels) {
        if (height == 1) {
            width = int(std::min<qint64>(maxPixels, size.width()));
        } else {
            height = int(std::min<qint64>(maxPixels, size.height()));
        }
    }
    return QSize(width, height);
}

QImage PictureReader::scaledDown(const QImage& image, const QSize& target) {
    // Picked pixels, not smoothed: smoothing a picture of tens of millions
    // of pixels takes seconds, and the result is still a picture of up to
    // the bound, whose every pixel came from the original.
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

namespace {
const QByteArray& pngSignature() {
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    return signature;
}

// Walks a PNG's chunks, each a 4-byte length, a 4-byte type, the data and a
// 4-byte check sum, up to IEND; `header(at, out)` puts the 8 bytes of
// length and type found at `at` into `out`. False when a chunk runs past
// `size`.
template <typename Header>
bool chunksFit(qint64 size, Header header) {
    qint64 at = pngSignature().size();
    char bytes[8];
    while (at + 8 <= size) {
        if (!header(at, bytes)) {
            return false;
        }
        const qint64 length = qFromBigEndian<quint32>(bytes);
        if (at + 12 + length > size) {
            return false;
        }
        if (std::memcmp(bytes + 4, "IEND", 4) == 0) {
            break;
        }
        at += 12 + length;
    }
    return true;
}
}  // namespace

bool PictureReader::pngChunksFit(const QByteArray& png) {
    if (!png.startsWith(pngSignature())) {
        return true;
    }
    return chunksFit(png.size(), [&png](qint64 at, char* out) {
        std::memcpy(out, png.constData() + at, 8);
        return true;
    });
}

bool PictureReader::pngChunksFit(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || f.read(pngSignature().size()) != pngSignature()) {
        return true;
    }
    // Read a block at a time: a file of empty chunks holds millions of
    // headers, which then cost no call to the system each; a large chunk
    // is passed with one seek. (Not mapped: a file cut short on a share
    // while mapped would kill the program instead of failing a read.)
    constexpr qint64 kBlock = 64 * 1024;
    QByteArray block;
    qint64 blockAt = 0;
    return chunksFit(f.size(), [&](qint64 at, char* out) {
        if (at < blockAt || at + 8 > blockAt + block.size()) {
            if (!f.seek(at)) {
                return false;
            }
            block = f.read(kBlock);
            blockAt = at;
            if (block.size() < 8) {
                return false;
            }
        }
        std::memcpy(out, block.constData() + (at - blockAt), 8);
        return true;
    });
}

QImage PictureReader::read(const QString& file, QString* why, qint64 maxPixels) {
    auto fail = [why](const QString& text) {
        if (why) {
            *why = text;
        }
        return QImage();
    };
    if (!QFileInfo(file).isFile()) {
        return fail(QStringLiteral("找不到图片文件: %1").arg(file));
    }
    if (!pngChunksFit(file)) {
        return fail(QStringLiteral("图片文件已损坏，无法读取: %1").arg(file));
    }
    // Formats that cannot decode scaled are read whole and then scaled: the
    // reader may take a picture of about four times the bound, at four
    // bytes a pixel (Qt's own limit is 128 MB, a picture of 33 million
    // pixels). The limit is the process's; it is set once.
    static const bool limitSet = [] {
        QImageReader::setAllocationLimit(int(kMaxPixels * 4 * 4 / (1024 * 1024)));
        return true;
    }();
    Q_UNUSED(limitSet);
    QImageReader reader(file);
    reader.setAutoTransform(true);
    // The size is known from the file's header before any pixel is read.
    const QSize size = reader.size();
    const QSize target = readSize(size, maxPixels);
    // Only a decoder that reads scaled (JPEG) is asked to: for the others
    // Qt would read the whole picture and smooth-scale it, seconds for a
    // picture of tens of millions of pixels; it is scaled below instead.
    if (target != size && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        if (size.isValid() && qint64(size.width()) * size.height() > maxPixels) {
            return fail(QStringLiteral("图片太大（%1 × %2 像素），无法读取").arg(size.width()).arg(size.height()));
        }
        return fail(QStringLiteral("无法读取图片: %1").arg(file));
    }
    // A header may not tell the size (a BMP stored top-down gives its height
    // as a negative number): such a picture is read whole and scaled after.
    if (qint64(image.width()) * image.height() > maxPixels) {
        image = scaledDown(image, readSize(image.size(), maxPixels));
    }
    return image;
}
