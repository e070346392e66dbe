#include "master/partner_edit_window.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "data/app_context.h"
#include "master/partner_directory.h"
#include "platform/prompter.h"
#include "reports/report_window.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"

PartnerEditWindow::PartnerEditWindow(AppContext& context, PartnerDirectory& directory, QWidget* parent)
    : BaseWindow(context, directory.side().editWindow, parent), m_directory(directory) {
    setWindowTitle(directory.side().editCaption);
    setStyleSheet(StyleHolder::editorStyleSheet() + StyleHolder::layoutGroupStyleSheet(StyleHolder::LayoutWeb));
    auto* binder = new FieldBinder(&directory.records(), this);
    connect(binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    connect(&directory.records(), &Dataset::fieldChanged, this, [this] { m_directory.markModified(); });
    auto* layout = new QVBoxLayout(this);
    for (const PartnerEditGroup& g : directory.side().editLayout) {
        auto* box = new QGroupBox(QString::fromUtf8(g.title), this);
        auto* grid = new QGridLayout(box);
        int column = 0;
        for (const QList<PartnerEditField>& side : {g.left, g.right}) {
            int row = 0;
            for (const PartnerEditField& f : side) {
                QWidget* editor = f.memo ? static_cast<QWidget*>(new MemoEdit(box)) : new QLineEdit(box);
                if (f.memo) {
                    editor->setMaximumHeight(64);
                }
                binder->bind(editor, QString::fromLatin1(f.name));
                if (QString::fromLatin1(f.name).compare(QLatin1String("Corp_code"), Qt::CaseInsensitive) == 0) {
                    editor->setStyleSheet(QStringLiteral("background: #FFFFE1;"));
                }
                m_editors.append({QString::fromLatin1(f.name), editor});
                if (*f.caption) {
                    grid->addWidget(new QLabel(QString::fromUtf8(f.caption), box), row, column);
                }
                grid->addWidget(editor, row, column + 1);
                ++row;
            }
            column += 2;
        }
        layout->addWidget(box);
    }
    auto* buttons = new QHBoxLayout;
    QAction* save = actions().add(QStringLiteral("Action_Save"), QStringLiteral("保存"), [this] {
        m_directory.saveRecord();
        m_saved = true;
    });
    QAction* cancel = actions().add(QStringLiteral("Action_Cancel"), QStringLiteral("取消修改"), [this] {
        m_directory.cancelRecord();
        m_saved = false;
        done(QDialog::Rejected);
    });
    actions().add(QStringLiteral("Action_Edit"), QStringLiteral("修改"));
    auto* saveButton = new QPushButton(QStringLiteral("保存"), this);
    auto* cancelButton = new QPushButton(QStringLiteral("取消"), this);
    connect(saveButton, &QPushButton::clicked, save, &QAction::trigger);
    connect(cancelButton, &QPushButton::clicked, cancel, &QAction::trigger);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);
    if (directory.side().isSuppliers()) {
        auto* print = new QPushButton(QStringLiteral("打印"), this);
        connect(print, &QPushButton::clicked, this, [this] { actions().guard([this] { printSheet(); }); });
        buttons->addWidget(print);
    }
    buttons->addStretch();
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &PartnerEditWindow::reject);
    buttons->addWidget(close);
    layout->addLayout(buttons);
}

QWidget* PartnerEditWindow::editorFor(const QString& field) const {
    return editorsFor(field).value(0);
}

QList<QWidget*> PartnerEditWindow::editorsFor(const QString& field) const {
    QList<QWidget*> out;
    for (const auto& [name, editor] : m_editors) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) {
            out.append(editor);
        }
    }
    return out;
}

bool PartnerEditWindow::confirmClose() {
    return actions().guard([this] { m_saved = m_directory.closeRecord() && m_saved; });
}

void PartnerEditWindow::printSheet() {
    if (!actions().execute(QStringLiteral("Action_Save"))) {
        return;
    }
    ReportWindow sheet(context(), QStringLiteral("Report_Provider_Address"), QStringLiteral("Korvan_ProviderAddr.zrm"),
                       this);
    sheet.setWindowTitle(QStringLiteral("供应商资料打印"));
    sheet.setQuery(QStringLiteral("select * from provider where corp_code = :code"),
                   {{"code", m_directory.records().value("Corp_code")}});
    if (sheet.showReport()) {
        sheet.showMaximized();
        runWindow(context(), sheet);
    }
}
