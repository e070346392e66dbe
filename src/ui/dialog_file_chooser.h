#pragma once

#include "platform/file_chooser.h"

// Asks with Qt's file dialogs and the folder chooser, over the active
// window.
class DialogFileChooser : public FileChooser {
public:
    QString choose(const FileQuestion& question, QString* chosenFilter = nullptr) override;
};
