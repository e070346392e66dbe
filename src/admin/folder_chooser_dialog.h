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

private:
    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QLineEdit* m_path;
};
