#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class BaseWindow;
class QAbstractButton;
class QLineEdit;

// The keys of a window: those of the commands every window shares (save,
// print, add, delete), bound by the command's name so that they run
// through its permission check, and keys a window adds for its own work
// (re-read a list, the search box). Each shows on its button's tooltip and
// in the window's help (F1).
class Shortcuts {
public:
    // The key of a shared command, by its name; none for the others.
    static QKeySequence forAction(const QString& actionName);
    // Binds the keys of the window's commands and adds them to the
    // tooltips of their buttons (a button names its command in the
    // property "action"); once per window.
    static void install(BaseWindow& window);
    // A key of the window's own: `work` runs inside the window's boundary.
    static void add(BaseWindow& window, const QKeySequence& key, const QString& what, std::function<void()> work);
    // The keys of a list window's search: Ctrl+F the search box, Enter in
    // it presses `searchButton` (and nothing else), F5 reads the list again
    // (`reread`); each noted on its button.
    // While a text is typed, once the typing pauses, `filter` filters the
    // rows the list holds (reading the book again is left to Enter).
    static void addListKeys(BaseWindow& window, QLineEdit* searchBox, QAbstractButton* searchButton,
                            QAbstractButton* rereadButton, std::function<void()> reread, std::function<void()> filter);
    // The window's keys, one per line: "Ctrl+S  保存".
    static QString helpText(BaseWindow& window);
    // What the keys do in every window, for the main window's 帮助.
    static QString overview();
    // The text shown after a caption for a key: "（Ctrl+S）".
    static QString keyNote(const QKeySequence& key);
};
