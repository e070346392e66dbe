// Pictures as PictureReader reads a file, under the program's bound and a
// small one; the sizes it reads at; stored picture names turned into paths.

#include <QDir>
#include <QImage>
#include <cstring>

#include "harness.h"
#include "platform/picture_file.h"
#include "platform/picture_reader.h"

namespace {
constexpr qint64 kSmallBound = 4096;

QString sizeText(const QSize& s) {
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

// The first bytes taken as a size and a bound, for readSize().
void checkReadSize(const QByteArray& bytes) {
    if (bytes.size() < 12) {
        return;
    }
    quint32 words[3];
    std::memcpy(words, bytes.constData(), sizeof words);
    const QSize size(static_cast<int>(words[0] & 0x7fffffff), static_cast<int>(words[1] & 0x7fffffff));
    const qint64 bound = 1 + words[2] % (PictureReader::kMaxPixels * 4);
    const QSize read = PictureReader::readSize(size, bound);
    if (!size.isValid() || qint64(size.width()) * size.height() <= bound) {
        FUZZ_CHECK(read == size, QString());
        return;
    }
    FUZZ_CHECK(
        read.width() >= 1 && read.height() >= 1 && read.width() <= size.width() && read.height() <= size.height() &&
            qint64(read.width()) * read.height() <= bound,
        QStringLiteral("%1 under a bound of %2 pixels read at %3").arg(sizeText(size)).arg(bound).arg(sizeText(read)));
}

// The bytes taken as a stored picture name: the file lies directly in the
// folder, whatever the name holds.
void checkStoredName(const QByteArray& bytes) {
    static const QString folder = [] {
        const QString f = Fuzz::scratchFolder() + QStringLiteral("/pictures");
        QDir().mkpath(f);
        return f;
    }();
    const QString name = QString::fromUtf8(bytes.left(64));
    const QString path = PictureFile::inFolder(folder, name);
    if (path.isEmpty()) {
        return;
    }
    FUZZ_CHECK(PictureFile::isSafeName(name), name);
    const QString clean = QDir::cleanPath(path);
    FUZZ_CHECK(clean.startsWith(folder + '/') && !clean.mid(folder.size() + 1).contains('/') &&
                   clean.size() > folder.size() + 1,
               QStringLiteral("[%1] leads to %2").arg(name, clean));
}
}  // namespace

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
        FUZZ_CHECK(qint64(image.width()) * image.height() <= PictureReader::kMaxPixels, sizeText(image.size()));
        // The same picture under a small bound comes smaller or not at all.
        const QImage small = PictureReader::read(file, &why, kSmallBound);
        FUZZ_CHECK(small.isNull() || qint64(small.width()) * small.height() <= kSmallBound,
                   sizeText(image.size()) + QStringLiteral(" read at ") + sizeText(small.size()));
    }
    return 0;
}
