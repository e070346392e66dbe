#include "ui/dialog_file_chooser.h"

#include <QApplication>
#include <QFileDialog>

#include "ui/folder_chooser_dialog.h"

QString DialogFileChooser::choose(const FileQuestion& question, QString* chosenFilter) {
    QWidget* parent = QApplication::activeWindow();
    if (question.kind == FileQuestion::Folder) {
        FolderChooserDialog chooser(question.start, parent);
        return chooser.exec() == QDialog::Accepted ? chooser.path() : QString();
    }
    QFileDialog dialog(parent, question.caption, question.start, question.filter);
    if (question.kind == FileQuestion::SaveFile) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(question.defaultSuffix);
        if (!question.confirmOverwrite) {
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        }
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    if (chosenFilter) {
        *chosenFilter = dialog.selectedNameFilter();
    }
    return dialog.selectedFiles().value(0);
}
