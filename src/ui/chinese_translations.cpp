#include "ui/chinese_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
// Qt texts that its Chinese translation leaves in English: the details
// button of a message box.
class ProgramTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        // The file dialogs' type column.
        if (qstrcmp(context, "QAbstractFileIconProvider") == 0 || qstrcmp(context, "QFileSystemModel") == 0) {
            if (qstrcmp(sourceText, "Folder") == 0) {
                return QStringLiteral("文件夹");
            }
            if (qstrcmp(sourceText, "File") == 0) {
                return QStringLiteral("文件");
            }
            if (qstrcmp(sourceText, "%1 File") == 0) {
                return QStringLiteral("%1 文件");
            }
        }
        if (qstrcmp(context, "QMessageBox") == 0) {
            if (qstrcmp(sourceText, "Show Details...") == 0) {
                return QStringLiteral("显示详细信息…");
            }
            if (qstrcmp(sourceText, "Hide Details...") == 0) {
                return QStringLiteral("隐藏详细信息…");
            }
        }
        return {};
    }
};
}  // namespace

bool installChineseTranslations(QCoreApplication& app) {
    // Owned by the application, so that it lives as long as the texts are
    // looked up.
    auto* translator = new QTranslator(&app);
    const bool loaded = translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
    // Installed last, so it is asked first.
    QCoreApplication::installTranslator(new ProgramTranslator(&app));
    // Month and day names of calendars and dates in Qt's own dialogs.
    // Numbers are unaffected: the program reads and writes them without a
    // locale, and Chinese writes them as the C locale does.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    return loaded;
}

void useChineseDates() {
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty()) {
            if (value.startsWith("zh")) {
                return;  // the user's own Chinese setting stands
            }
            break;
        }
    }
    // LC_ALL would override LC_TIME: the dates are set under it only when
    // it is not set.
    if (qEnvironmentVariableIsEmpty("LC_ALL")) {
        qputenv("LC_TIME", "zh_CN.UTF-8");
    }
}
