#pragma once

#include <QString>

class AppContext;
class QWidget;

// Creates, shows modally and frees the window of a given window name with
// its start parameter. Returns false for windows the program does not have
// yet.
class WindowOpener {
public:
    static bool open(AppContext& context, const QString& windowName, int startParameter, QWidget* parent);
};
