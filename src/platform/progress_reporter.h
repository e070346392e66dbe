#pragma once

#include <QString>

// The small note that says a longer operation is running. Logic and windows
// reach it through the context; the main window puts the real note there,
// and without one nothing is shown.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    virtual void ShowRunTimeInfo(const QString& text) = 0;
    virtual void HideRunTimeInfo() = 0;
};

// Shows nothing: the reporter of programs and tests without a main window.
class QuietProgress : public ProgressReporter {
public:
    void ShowRunTimeInfo(const QString&) override {}
    void HideRunTimeInfo() override {}
};

// Shows a note for as long as it lives, also when the work throws.
class RunTimeInfoScope {
public:
    RunTimeInfoScope(ProgressReporter& reporter, const QString& text) : m_reporter(reporter) {
        m_reporter.ShowRunTimeInfo(text);
    }
    ~RunTimeInfoScope() { m_reporter.HideRunTimeInfo(); }
    RunTimeInfoScope(const RunTimeInfoScope&) = delete;
    RunTimeInfoScope& operator=(const RunTimeInfoScope&) = delete;

private:
    ProgressReporter& m_reporter;
};
