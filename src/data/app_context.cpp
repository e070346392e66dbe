#include "data/app_context.h"

#include "data/data_module.h"
#include "platform/build_info.h"
#include "platform/prompter.h"

AppContext::AppContext(const AppPaths& paths, Prompter& prompter)
    : m_paths(paths), m_prompter(&prompter), m_errorLog(paths.programFolder() + QStringLiteral("olvend.log")) {
    m_errorLog.setSource([this] { return CurrentUser.UserName; }, [this] { return CurrentAccountBook.BookName; });
    m_prompter->setErrorLog(&m_errorLog);
    // The records come up in the system's order: user, book, settings file,
    // program identity with the database kind, picture folder, title.
    CurrentUser = UserRecord{};
    CurrentAccountBook = AccountBookRecord{};
    SettingsFile = IniFile(m_paths.configFile());
    SoftwareInfo.ProductName = QStringLiteral("Olvend");
    SoftwareInfo.Version = BuildInfo::version();
    resolveDatabaseKind();
    resolvePictureFolder();
    SoftwareInfo.Title = SoftwareInfo.ProductName + SoftwareInfo.Version;
}

AppContext::~AppContext() {
    if (m_prompter->errorLog() == &m_errorLog) {
        m_prompter->setErrorLog(nullptr);
    }
}

void AppContext::setPrompter(Prompter& prompter) {
    if (m_prompter->errorLog() == &m_errorLog) {
        m_prompter->setErrorLog(nullptr);
    }
    m_prompter = &prompter;
    m_prompter->setErrorLog(&m_errorLog);
}

DataModule& AppContext::data() {
    if (!m_data) {
        m_data = std::make_unique<DataModule>(*this);
    }
    return *m_data;
}

void AppContext::resolveDatabaseKind() {
    const QString kind = SettingsFile.readString("SYS_Setting", "DBType").toUpper();
    SoftwareInfo.IsAccess = !(kind == QLatin1String("SQLSERVER") || kind == QLatin1String("POSTGRESQL"));
}

void AppContext::resolvePictureFolder() {
    const QString value = SettingsFile.readString("SYS_Setting", "picPath");
    // "default" (exactly) and an unset value both mean the program's own
    // picture folder; anything else is the folder as written.
    if (value == QLatin1String("default") || value.isEmpty()) {
        PictureFolder = m_paths.defaultPictureFolder();
    } else {
        PictureFolder = AppPaths::normalizeSeparators(value);
    }
}

bool AppContext::showCustomFilter() const {
    return SettingsFile.readString("SYS_Setting", "ShowCustomFilter").toLower() == QLatin1String("true");
}
