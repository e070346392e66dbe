#pragma once

#include <QDialog>

class AppContext;
class QCheckBox;
class QLineEdit;

// "修改密码": the logged-in user's new password, typed twice.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(AppContext& context, QWidget* parent = nullptr);
    QLineEdit* newPassword() const { return m_new; }
    QLineEdit* repeated() const { return m_repeat; }
    QCheckBox* showPassword() const { return m_show; }
    void confirm();

private:
    AppContext& m_context;
    QLineEdit* m_new;
    QLineEdit* m_repeat;
    QCheckBox* m_show;
};
