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

namespace {
struct Field {
    const char* name;
    const char* caption;
    bool memo;
};
struct Group {
    const char* title;
    QList<Field> left;
    QList<Field> right;
};

QList<Group> customerLayout() {
    return {{"基本资料",
             {{"Corp_code", "客户编号", false},
              {"Corp_name", "酒店名称", false},
              {"Linkman_name", "客户姓名", false},
              {"China_Linkman_name", "国内联系人", false},
              {"QQ", "QQ", false},
              {"Linkman_country", "国家", false},
              {"Linkman_Email", "E-MAIL", false}},
             {{"LinkMan_Telephone", "国内电话", false},
              {"Linkman_foreign_telephone", "国外电话", false},
              {"Linkman_Fax", "传真", false},
              {"Linkman_postalcode", "邮编", false}}},
            {"酒店资料",
             {{"recipients", "收件人名称", false},
              {"Corp_name", "酒店名称", false},
              {"Linkman_foreign_telephone", "酒店电话", false},
              {"Corp_address", "酒店地址", true}},
             {}},
            {"备注", {{"remark", "", true}}, {}}};
}

QList<Group> supplierLayout() {
    return {{"基本资料",
             {{"Corp_code", "供应商编号", false},
              {"provider_name", "姓名", false},
              {"provider_Linkman1", "联系人(1)", false},
              {"provider_Linkman2", "联系人(2)", false},
              {"provider_Telephone", "座机", false},
              {"provider_QQ", "QQ", false}},
             {{"provider_mobile", "手机", false},
              {"provider_Linkman1_Tel", "电话(1)", false},
              {"provider_Linkman2_Tel", "电话(2)", false},
              {"provider_Fax", "传真", false}}},
            {"帐户资料",
             {{"provider_BankUserName", "开户姓名", false},
              {"provider_BankNo1", "帐号(1)", false},
              {"provider_BankNo2", "帐号(2)", false},
              {"provider_Send_Tel", "始发电话", false},
              {"provider_Receipt_Tel", "到站电话", false},
              {"provider_Corp_Name", "公司名称", false},
              {"provider_Corp_Address", "公司地址", true}},
             {}},
            {"备注", {{"remark", "", true}}, {}}};
}
}  // namespace

PartnerEditWindow::PartnerEditWindow(AppContext& context, PartnerDirectory& directory, QWidget* parent)
    : BaseWindow(context, directory.side().editWindow, parent), m_directory(directory) {
    const bool customers = directory.side().recordTable == QLatin1String("Client");
    setWindowTitle(directory.side().editCaption);
    setStyleSheet(StyleHolder::editorStyleSheet() + StyleHolder::layoutGroupStyleSheet(StyleHolder::LayoutWeb));
    auto* binder = new FieldBinder(&directory.records(), this);
    connect(binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    connect(&directory.records(), &Dataset::fieldChanged, this, [this] { m_directory.markModified(); });
    auto* layout = new QVBoxLayout(this);
    for (const Group& g : customers ? customerLayout() : supplierLayout()) {
        auto* box = new QGroupBox(QString::fromUtf8(g.title), this);
        auto* grid = new QGridLayout(box);
        int column = 0;
        for (const QList<Field>& side : {g.left, g.right}) {
            int row = 0;
            for (const Field& f : side) {
                QWidget* editor = f.memo ? static_cast<QWidget*>(new MemoEdit(box)) : new QLineEdit(box);
                if (f.memo) {
                    editor->setMaximumHeight(64);
                }
                binder->bind(editor, QString::fromLatin1(f.name));
                if (QString::fromLatin1(f.name) == QLatin1String("Corp_code")) {
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
    if (!customers) {
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
        sheet.exec();
    }
}
