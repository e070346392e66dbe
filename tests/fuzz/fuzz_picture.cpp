// Pictures handed to a picture box or the goods catalogue: any bytes read as
// PictureReader reads a file, under the program's bound and under a small
// one; the sizes it reads at; and stored picture names turned into paths.

#include <QDir>
#include <QImage>

#include "harness.h"
#include "platform/picture_file.h"
#include "platform/picture_reader.h"

namespace {
constexpr qint64 kSmallBound = 4096;

// The first bytes taken as a size and a bound, for readSize().
void checkReadSize(const QByteArray& bytes) {
    if (bytes.size() < 12) {
        return;
    }
    const auto word = [&bytes](int at) {
        quint32 v = 0;
        memcpy(&v, bytes.constData() + at, sizeof v);
        return v;
    };
    const QSize size(static_cast<int>(word(0) & 0x7fffffff), static_cast<int>(word(4) & 0x7fffffff));
    const qint64 bound = 1 + word(8) % (PictureReader::kMaxPixels * 4);
    const QSize read = PictureReader::readSize(size, bound);
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || pixels <= bound) {
        FUZZ_CHECK(read == size, QString());
        return;
    }
    const qint64 readPixels = qint64(read.width()) * read.height();
    FUZZ_CHECK(
        read.width() >= 1 && read.height() >= 1 && read.width() <= size.width() && read.height() <= size.height(),
        QStringLiteral("%1x%2 read at %3x%4")
            .arg(size.width())
            .arg(size.height())
            .arg(read.width())
            .arg(read.height()));
    FUZZ_CHECK(readPixels <= bound, QStringLiteral("%1x%2 under a bound of %3 pixels read at %4x%5")
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(bound)
                                        .arg(read.width())
                                        .arg(read.height()));
}

// The bytes taken as a stored picture name.
void checkStoredName(const QByteArray& bytes) {
    const QString name = QString::fromUtf8(bytes.left(64));
    const QString folder = Fuzz::scratchFolder() + QStringLiteral("/pictures");
    const QString path = PictureFile::inFolder(folder, name);
    if (path.isEmpty()) {
        return;
    }
    FUZZ_CHECK(PictureFile::isSafeName(name), name);
    // The file lies directly in the folder, whatever the name holds.
    const QString clean = QDir::cleanPath(path);
    FUZZ_CHECK(clean.startsWith(folder + '/') && !clean.mid(folder.size() + 1).contains('/') &&
                   clean.size() > folder.size() + 1,
               QStringLiteral("[%1] leads to %2").arg(name, clean));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::startGuiApplication(argc, argv);
    QDir().mkpath(Fuzz::scratchFolder() + QStringLiteral("/pictures"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = Fuzz::bytes(data, size);
    checkReadSize(bytes);
    checkStoredName(bytes);

    // No suffix: the reader goes by the content, as for a file a user
    // picks under any name.
    const QString file = Fuzz::writeScratchFile(QStringLiteral("picture"), bytes);
    QString why;
    const QImage image = PictureReader::read(file, &why);
    FUZZ_CHECK(image.isNull() != why.isEmpty(), QStringLiteral("a picture and a reason, or neither"));
    if (!image.isNull()) {
        FUZZ_CHECK(qint64(image.width()) * image.height() <= PictureReader::kMaxPixels,
                   QStringLiteral("read at %1x%2").arg(image.width()).arg(image.height()));
        // The same picture under a small bound comes smaller or not at all.
        const QImage small = PictureReader::read(file, &why, kSmallBound);
        if (!small.isNull()) {
            FUZZ_CHECK(qint64(small.width()) * small.height() <= kSmallBound,
                       QStringLiteral("%1x%2 read at %3x%4 under %5 pixels")
                           .arg(image.width())
                           .arg(image.height())
                           .arg(small.width())
                           .arg(small.height())
                           .arg(kSmallBound));
        }
    }
    return 0;
}
