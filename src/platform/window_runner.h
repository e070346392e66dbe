#pragma once

class QDialog;

// Shows a window modally and returns its result, as QDialog::exec() does.
// Commands open their follow-on windows (pickers, editors, printouts)
// through the one their context carries: the program shows them, a test
// installs a script that looks at the window, acts on it and returns
// without a modal loop.
class WindowRunner {
public:
    virtual ~WindowRunner() = default;
    virtual int run(QDialog& window) = 0;
};
