#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// The small always-on-top note that says a longer operation is running:
// the message (cut to 60 bytes) followed by running dots.
class ProgressNote : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxBytes = 60;

    explicit ProgressNote(QWidget* parent = nullptr);

    // The one note of the program.
    static ProgressNote& instance();

    void showText(const QString& text);
    void hideNote();
    QString labelText() const { return m_label->text(); }
    QString message() const { return m_message; }
    // Advances the dots as the timer does every 500 ms.
    void tick();

private:
    void refresh();
    QLabel* m_label;
    QTimer m_timer;
    QString m_message;
    QString m_dots;
};

// The shared routines under their system names.
void ShowRunTimeInfo(const QString& text);
void HideRunTimeInfo();
