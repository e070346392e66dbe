#pragma once

#include <QString>
#include <functional>

class QBoxLayout;
class QDialog;

// The "确定" / "取消" row of a dialog, right-aligned. "确定" runs `onOk`
// (by default the dialog's accept), "取消" rejects.
void addOkCancelRow(QDialog* dialog, QBoxLayout* layout, std::function<void()> onOk = {},
                    const QString& okText = QStringLiteral("确定"), const QString& cancelText = QStringLiteral("取消"));
