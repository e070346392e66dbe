#pragma once

#include <QDialog>

class AppContext;
class QCheckBox;
class QLineEdit;

// "系统设置": the custom filter switch of the lists and the picture folder.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(AppContext& context, QWidget* parent = nullptr);
    QCheckBox* customFilterBox() const { return m_filter; }
    QLineEdit* folderEdit() const { return m_folder; }
    void chooseFolder();
    void confirm();

private:
    AppContext& m_context;
    QCheckBox* m_filter;
    QLineEdit* m_folder;
};
