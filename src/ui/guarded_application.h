#pragma once

#include <QApplication>
#include <exception>

class Prompter;

// The program's application object. Commands and the kit's handlers guard
// themselves; should anything thrown still reach the event loop, it is
// stopped here and shown, instead of ending the program.
class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int& argc, char** argv);
    // Where errors are shown; without one they are written to stderr.
    void setPrompter(Prompter* prompter) { m_prompter = prompter; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    // Shows what was thrown; `text`, when given, stands for its own text.
    void show(const std::exception& e, const QString& text = {});

    Prompter* m_prompter = nullptr;
    bool m_showing = false;
};
