#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "platform/progress_reporter.h"

// The small always-on-top note that says a longer operation is running:
// the message (cut to 60 bytes) followed by running dots. The main window
// owns the one note of the program and lends it to the context.
class ProgressNote : public QWidget, public ProgressReporter {
    Q_OBJECT
public:
    static constexpr int kMaxBytes = 60;

    explicit ProgressNote(QWidget* parent = nullptr);

    void showText(const QString& text);
    void hideNote();
    QString labelText() const { return m_label->text(); }
    QString message() const { return m_message; }
    // Advances the dots as the timer does every 500 ms.
    void tick();

    void ShowRunTimeInfo(const QString& text) override { showText(text); }
    void HideRunTimeInfo() override { hideNote(); }

private:
    void refresh();
    QLabel* m_label;
    QTimer m_timer;
    QString m_message;
    QString m_dots;
};
