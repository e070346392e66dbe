#include "ui/dialog_buttons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

void addOkCancelRow(QDialog* dialog, QBoxLayout* layout, std::function<void()> onOk, const QString& okText,
                    const QString& cancelText) {
    auto* ok = new QPushButton(okText, dialog);
    auto* cancel = new QPushButton(cancelText, dialog);
    ok->setDefault(true);
    if (onOk) {
        QObject::connect(ok, &QPushButton::clicked, dialog, [onOk] { onOk(); });
    } else {
        QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    }
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
}
