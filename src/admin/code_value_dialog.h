#pragma once

#include <QDialog>

class CodeListEditor;
class QLineEdit;

// "请输入参数名称": the number of a new value (shown, not editable) and its
// name. OK keeps the value, Cancel drops it.
class CodeValueDialog : public QDialog {
    Q_OBJECT
public:
    CodeValueDialog(CodeListEditor& editor, QWidget* parent = nullptr);
    QLineEdit* nameEdit() const { return m_name; }

    void accept() override;
    void reject() override;

private:
    CodeListEditor& m_editor;
    QLineEdit* m_value;
    QLineEdit* m_name;
};
