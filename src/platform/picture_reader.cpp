#include "platform/picture_reader.h"

#include <QFileInfo>
#include <QImageReader>
#include <cmath>

QSize PictureReader::readSize(const QSize& size, qint64 maxPixels) {
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || pixels <= maxPixels) {
        return size;
    }
    const double factor = std::sqrt(double(maxPixels) / double(pixels));
    return QSize(std::max(1, int(size.width() * factor)), std::max(1, int(size.height() * factor)));
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
    QImageReader reader(file);
    reader.setAutoTransform(true);
    // The size is known from the file's header before any pixel is read.
    // Formats that cannot decode scaled are read whole and then scaled, so
    // the reader may take up to the memory of a picture about twice the
    // bound in four bytes a pixel.
    const QSize size = reader.size();
    const QSize target = readSize(size, maxPixels);
    if (target != size) {
        reader.setScaledSize(target);
    }
    QImageReader::setAllocationLimit(int(std::max<qint64>(256, maxPixels * 8 / (1024 * 1024))));
    QImage image = reader.read();
    if (image.isNull()) {
        if (size.isValid() && qint64(size.width()) * size.height() > maxPixels) {
            return fail(QStringLiteral("图片太大（%1 × %2 像素），无法读取").arg(size.width()).arg(size.height()));
        }
        return fail(QStringLiteral("无法读取图片: %1").arg(file));
    }
    return image;
}
