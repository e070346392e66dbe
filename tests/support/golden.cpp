#include "support/golden.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "support/test_paths.h"

bool Golden::matches(const QString& name, const QString& actual, QString* why) {
    const QString path = QDir(TestPaths::goldenFolder()).filePath(name);
    // Kept with a final newline so that the files read well in a diff.
    const QString text = actual.endsWith(QLatin1Char('\n')) ? actual : actual + QLatin1Char('\n');
    if (const QByteArray flag = qgetenv("OLVEND_UPDATE_GOLDEN"); !flag.isEmpty() && flag != "0") {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text.toUtf8()) < 0) {
            *why = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        return true;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("no golden file %1; write it with OLVEND_UPDATE_GOLDEN=1").arg(path);
        return false;
    }
    const QString expected = QString::fromUtf8(in.readAll());
    if (expected == text)
        return true;
    const QStringList want = expected.split(QLatin1Char('\n'));
    const QStringList got = text.split(QLatin1Char('\n'));
    qsizetype line = 0;
    while (line < want.size() && line < got.size() && want.at(line) == got.at(line))
        ++line;
    *why = QStringLiteral("%1 differs at line %2:\n  kept: %3\n  now:  %4\n(OLVEND_UPDATE_GOLDEN=1 rewrites it)")
               .arg(name)
               .arg(line + 1)
               .arg(line < want.size() ? want.at(line) : QStringLiteral("<end>"),
                    line < got.size() ? got.at(line) : QStringLiteral("<end>"));
    return false;
}
