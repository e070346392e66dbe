#pragma once

#include <QDialog>

class QFileSystemModel;
class QLineEdit;
class QTreeView;

// "选择图片存放目录": a tree of folders and the chosen path.
class FolderChooserDialog : public QDialog {
    Q_OBJECT
public:
    explicit FolderChooserDialog(const QString& start, QWidget* parent = nullptr);
    QString path() const;
    QLineEdit* pathEdit() const { return m_path; }
    QTreeView* tree() const { return m_tree; }
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens the tree down to the starting folder and brings it into view;
    // the folders are read in the background, so this is done again each
    // time a folder on the way has been read.
    void showStart();

    QString m_start;  // emptied once the user picks a folder
    bool m_placing = false;
    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QLineEdit* m_path;
};
