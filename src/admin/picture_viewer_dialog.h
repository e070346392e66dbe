#pragma once

#include <QDialog>
#include <QImage>

class FileChooser;
class Prompter;
class QLabel;

// "图片查看窗口": one picture at its natural size with a title, and a copy
// of it saved in the format of the chosen file's extension.
class PictureViewerDialog : public QDialog {
    Q_OBJECT
public:
    PictureViewerDialog(Prompter& prompter, FileChooser& files, QWidget* parent = nullptr);

    // Set before showing: the file, the title and the proposed file name.
    void setPicture(const QString& file, const QString& title, const QString& proposedName);
    QString titleText() const;
    bool hasPicture() const { return !m_image.isNull(); }
    void saveAs();

private:
    Prompter& m_prompter;
    FileChooser& m_files;
    QLabel* m_title;
    QLabel* m_picture;
    QImage m_image;
    QString m_proposed;
};
