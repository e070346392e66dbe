#include "platform/durable_file.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace DurableFile {

bool sync(const QString& file) {
#ifdef Q_OS_UNIX
    const auto syncPath = [](const QString& path, int flags) {
        const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool ok = ::fsync(fd) == 0;
        ::close(fd);
        return ok;
    };
    return syncPath(file, O_RDONLY) && syncPath(QFileInfo(file).absolutePath(), O_RDONLY | O_DIRECTORY);
#else
    // QSaveFile and the system's own flushing are what other systems have.
    Q_UNUSED(file);
    return true;
#endif
}

}  // namespace DurableFile
