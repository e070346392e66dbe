#pragma once

#include <QDialog>

class AppContext;

// "关于": the product name and the version, nothing else.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(const AppContext& context, QWidget* parent = nullptr);
};
