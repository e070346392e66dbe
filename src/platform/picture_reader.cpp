#include "platform/picture_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QtEndian>
#include <cmath>

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

bool PictureReader::pngChunksFit(const QString& file) {
    QFile f(file);
    // Unbuffered: only the chunk headers are read, a few bytes here and
    // there in a file of megabytes.
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return true;
    }
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (f.read(signature.size()) != signature) {
        return true;
    }
    // Each chunk: a 4-byte length, a 4-byte type, the data and a 4-byte
    // check sum.
    const qint64 size = f.size();
    qint64 at = signature.size();
    while (at + 8 <= size) {
        if (!f.seek(at)) {
            return false;
        }
        const QByteArray header = f.read(8);
        if (header.size() != 8) {
            return false;
        }
        const qint64 length = qFromBigEndian<quint32>(header.constData());
        if (at + 12 + length > size) {
            return false;
        }
        if (header.mid(4) == "IEND") {
            break;
        }
        at += 12 + length;
    }
    return true;
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
