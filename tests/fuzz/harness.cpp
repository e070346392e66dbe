#include "harness.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace Fuzz {

void startGuiApplication(int* argc, char*** argv) {
    if (QCoreApplication::instance()) {
        return;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about damaged pictures and fonts would drown the
    // fuzzer's own output.
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false;*.info=false");
    // The application lives as long as the process: libFuzzer never returns
    // to main.
    static int count = *argc;
    new QGuiApplication(count, *argv);
}

QString scratchFolder() {
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto d = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/olvend-fuzz-XXXXXX"));
        if (!d->isValid()) {
            std::fprintf(stderr, "cannot make a scratch folder in %s\n", qPrintable(QDir::tempPath()));
            std::abort();
        }
        return d;
    }();
    return dir->path();
}

QString writeScratchFile(const QString& name, const QByteArray& content) {
    const QString path = scratchFolder() + '/' + name;
    // Plain system calls: QFile's buffering costs more than the parsers.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        std::perror(native.constData());
        std::abort();
    }
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, static_cast<size_t>(content.size() - done));
        if (n <= 0) {
            std::perror(native.constData());
            std::abort();
        }
        done += n;
    }
    ::close(fd);
    return path;
}

void broken(const char* what, const QString& detail) {
    std::fprintf(stderr, "\n==== broken property: %s\n", what);
    if (!detail.isEmpty()) {
        std::fprintf(stderr, "==== %s\n", detail.toUtf8().constData());
    }
    std::fflush(stderr);
    std::abort();
}

}  // namespace Fuzz
