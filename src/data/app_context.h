#pragma once

#include <QString>
#include <memory>

#include "data/records.h"
#include "platform/app_paths.h"
#include "platform/clock.h"
#include "platform/error_log.h"
#include "platform/file_chooser.h"
#include "platform/ini_file.h"
#include "platform/progress_reporter.h"
#include "platform/window_runner.h"

class DataModule;
class Prompter;

// The process-wide records, built in their fixed order, and what every
// logic class needs besides: the program's folder, the clock, the message
// boxes and the data module. main() makes one and hands it down; a test
// makes its own on a temporary folder.
class AppContext {
public:
    AppContext(const AppPaths& paths, Prompter& prompter);
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    const AppPaths& paths() const { return m_paths; }
    Clock& clock() { return m_clock; }
    Prompter& prompter() { return *m_prompter; }
    // The prompter also writes the failures it shows to the error log.
    void setPrompter(Prompter& prompter);
    // How commands ask for a file or a folder: none until the program or a
    // test installs one (nullptr puts the one that always cancels back).
    FileChooser& files() { return m_files ? *m_files : m_noFiles; }
    void setFileChooser(FileChooser* chooser) { m_files = chooser; }
    // How follow-on windows are shown: null in the program, where they run
    // modally with exec(); a test installs one (see runWindow in the ui
    // layer).
    WindowRunner* windowRunner() const { return m_windows; }
    void setWindowRunner(WindowRunner* runner) { m_windows = runner; }
    // "olvend.log" in the program's folder.
    ErrorLog& errorLog() { return m_errorLog; }
    // The running-operation note; quiet until a window installs one
    // (nullptr puts the quiet one back).
    ProgressReporter& progress() { return m_progress ? *m_progress : m_quietProgress; }
    void setProgressReporter(ProgressReporter* reporter) { m_progress = reporter; }

    // The data module, created on first use; it connects nothing by itself.
    DataModule& data();
    bool hasDataModule() const { return m_data != nullptr; }

    // Whether list windows offer the custom filter ([SYS_Setting]
    // ShowCustomFilter, "true" in any case; missing means no).
    bool showCustomFilter() const;

    // Reads the picture folder from the settings again (after a change).
    void resolvePictureFolder();
    // Reads the database kind from the settings again.
    void resolveDatabaseKind();

    UserRecord CurrentUser;
    AccountBookRecord CurrentAccountBook;
    IniFile SettingsFile;
    SoftwareInfoRecord SoftwareInfo;
    QString PictureFolder;

private:
    AppPaths m_paths;
    Clock m_clock;
    Prompter* m_prompter;
    ErrorLog m_errorLog;
    ProgressReporter* m_progress = nullptr;
    FileChooser* m_files = nullptr;
    WindowRunner* m_windows = nullptr;
    NoFileChooser m_noFiles;
    QuietProgress m_quietProgress;
    std::unique_ptr<DataModule> m_data;
};
