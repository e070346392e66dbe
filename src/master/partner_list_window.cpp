#include "master/partner_list_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "master/customer_price_window.h"
#include "master/group_tree_panel.h"
#include "master/import_preview_dialog.h"
#include "master/master_export_command.h"
#include "master/master_import_command.h"
#include "master/partner_edit_window.h"
#include "platform/prompter.h"
#include "reports/customer_price_report_window.h"
#include "reports/report_window.h"
#include "reports/statement_window.h"
#include "ui/data_grid.h"
#include "ui/list_grid_setup.h"
#include "ui/shortcuts.h"

PartnerListWindow::PartnerListWindow(AppContext& context, const PartnerSide& side, QWidget* parent)
    : BaseWindow(context, side.listWindow, parent),
      m_directory(context.data().main(), context.clock(), context.prompter(), side),
      m_customers(side.isClients()),
      m_grid(new DataGrid(this)),
      m_search(new QLineEdit(this)),
      m_status(new QLabel(PartnerDirectory::restingStatus(), this)),
      m_select(new QPushButton(QStringLiteral("选择"), this)),
      m_groups(new GroupTreePanel(m_directory.groupedDirectory(), actions(), m_status, this)) {
    setWindowTitle(side.listCaption);

    auto add = [this](const char* name, const QByteArray& caption, std::function<void()> handler) {
        return actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
    };
    QAction* select = add("Action_Select", "选择", [this] {
        const int row = m_directory.records().currentRow();
        if (row >= 0) {
            m_directory.pick(row);
            accept();
        }
    });
    add("Action_CheckReturnValue", "退出时判断返回值", [this] {
        if (m_mode == 1) {
            setResult(m_directory.chosenCode().isEmpty() ? QDialog::Rejected : QDialog::Accepted);
        }
    });
    const QByteArray word = side.recordWord().toUtf8();
    QAction* create = add("Action_AddCustomer", "新建" + word, [this] { addRecord(); });
    QAction* edit = add("Action_EditCustomer", "修改" + word, [this] { editRecord(); });
    QAction* remove =
        add("Action_DeleteCustomer", "删除" + word, [this] { m_directory.deleteRecords(m_grid->selectedRows()); });
    add("Action_SaveCustomer", "保存客户", {})->setEnabled(false);
    // The order customers have no price tables; their orders are the
    // order forms' list.
    QAction* prices = kind() == MasterKind::OrderCustomers
                          ? nullptr
                          : add("Action_CustomerPrice", "单价表", [this] { customerPrices(); });
    if (prices) {
        add("Action_OrderFormList", "订货记录", {});
    }
    QAction* labels = m_customers ? add("Action1", "打印地址", [this] { printLabels(); }) : nullptr;
    // Free here: it runs with the right of the main window's 客户对账单.
    QAction* statements = m_customers ? add("Action_Statement", "对账单", [this] { showStatements(); }) : nullptr;
    QAction* exporting = add("Action_Export", "导出", [this] {
        const QString file = MasterExportCommand::chooseFile(this->context().files(), kind());
        if (!file.isEmpty()) {
            MasterExportCommand::run(this->context(), permissions(), *m_grid, kind(), file);
        }
    });
    QAction* importing = add("Action_Import", "导入", [this] {
        // Said before a file is chosen: records go only into a group
        // without sub-groups.
        if (!m_directory.groupedDirectory().canAddRecord()) {
            return;
        }
        const QString file = MasterImportCommand::chooseFile(this->context().files(), kind());
        if (!file.isEmpty()) {
            MasterImportCommand::run(this->context(), permissions(), m_directory.groupedDirectory(), kind(), file,
                                     this);
        }
    });

    // Tree with its buttons; moving records or groups by drag edits them.
    // Records moved by drag are edited; a group moved is a group edited.
    m_groups->setDropRights(QStringLiteral("Action_EditCustomer"), QStringLiteral("Action_EditGroup"));
    QAction* addGroup = add("Action_AddGroup", "增加类别", [this] { m_directory.addGroup(); });
    QAction* editGroup = add("Action_EditGroup", "编辑类别", [this] { m_directory.renameGroup(); });
    QAction* deleteGroup = add("Action_DeleteGroup", "删除类别", [this] { m_directory.deleteGroup(); });
    m_groups->addButton(QStringLiteral("增加"), addGroup)->setToolTip(QStringLiteral("在选中的类别下增加子类"));
    m_groups->addButton(QStringLiteral("编辑"), editGroup)->setToolTip(QStringLiteral("编辑选中的类别"));
    m_groups->addButton(QStringLiteral("删除"), deleteGroup)->setToolTip(QStringLiteral("删除类别"));

    // Records.
    m_grid->setMultiSelect(true);
    m_grid->setReadOnly(true);
    m_grid->setDragKeyField("ID");
    connect(m_grid, &DataGrid::rowDoubleClicked, this, [this](int) {
        actions().execute(m_mode == 1 ? QStringLiteral("Action_Select") : QStringLiteral("Action_EditCustomer"));
    });
    auto* searchButton = new QPushButton(QStringLiteral("查找"), this);
    auto* allButton = new QPushButton(QStringLiteral("显示全部"), this);
    connect(searchButton, &QPushButton::clicked, this, &PartnerListWindow::search);
    connect(allButton, &QPushButton::clicked, this, &PartnerListWindow::showAll);
    m_search->setPlaceholderText(QStringLiteral("编号、名称、拼音首字母或电话"));
    // F5 reads the book again, keeping what is looked for.
    Shortcuts::addListKeys(
        *this, m_search, searchButton, allButton,
        [this] { m_search->text().trimmed().isEmpty() ? showAll() : search(); },
        [this] { m_grid->setTextFilter(m_search->text().trimmed(), m_directory.side().searchFields); });
    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(searchButton);
    top->addWidget(allButton);
    auto* buttons = new QHBoxLayout;
    for (QAction* a : {create, edit, remove}) {
        auto* b = new QPushButton(a == create ? QStringLiteral("新建")
                                  : a == edit ? QStringLiteral("修改")
                                              : QStringLiteral("删除"),
                                  this);
        b->setProperty("action", a->objectName());
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        buttons->addWidget(b);
    }
    if (m_customers) {
        auto* b = new QPushButton(QStringLiteral("单价表"), this);
        b->setObjectName(QStringLiteral("Action_CustomerPrice"));
        b->setToolTip(QStringLiteral("选中一个客户：编辑其单价表；选中多个客户：打印各自的单价表"));
        connect(b, &QPushButton::clicked, prices, &QAction::trigger);
        buttons->addWidget(b);
    }
    if (statements) {
        auto* b = new QPushButton(QStringLiteral("对账单"), this);
        b->setObjectName(QStringLiteral("Action_Statement"));
        b->setToolTip(QStringLiteral("选中客户的对账单，每个客户单独成页"));
        connect(b, &QPushButton::clicked, statements, &QAction::trigger);
        buttons->addWidget(b);
    }
    if (labels) {
        auto* b = new QPushButton(QStringLiteral("打印地址"), this);
        connect(b, &QPushButton::clicked, labels, &QAction::trigger);
        buttons->addWidget(b);
    }
    {
        auto* b = new QPushButton(QStringLiteral("导出…"), this);
        connect(b, &QPushButton::clicked, exporting, &QAction::trigger);
        buttons->addWidget(b);
    }
    {
        auto* b = new QPushButton(QStringLiteral("导入…"), this);
        connect(b, &QPushButton::clicked, importing, &QAction::trigger);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    m_select->setVisible(false);
    connect(m_select, &QPushButton::clicked, select, &QAction::trigger);
    buttons->addWidget(m_select);
    auto* close = new QPushButton(QStringLiteral("关闭窗口"), this);
    connect(close, &QPushButton::clicked, this, &PartnerListWindow::reject);
    buttons->addWidget(close);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(top);
    rightLayout->addWidget(m_grid, 1);
    rightLayout->addLayout(buttons);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_groups);
    splitter->addWidget(right);
    splitter->setSizes({200, 700});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);
    resize(980, 600);
}

QList<GridColumn> PartnerListWindow::columns() const {
    QList<GridColumn> out;
    for (const MasterColumn& c : MasterColumns::listed(kind())) {
        out << GridColumn::make(c.field, c.caption, c.width);
    }
    out << GridColumn::make("ID", "ID").hidden();
    if (!m_directory.side().isSuppliers()) {
        out << GridColumn::make(m_directory.side().groupField, m_directory.side().groupField).hidden();
    }
    return out;
}

TreeList* PartnerListWindow::tree() const {
    return m_groups->tree();
}

void PartnerListWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (!m_grid->dataset()) {
        actions().guard([this] { open(); });
    }
}

void PartnerListWindow::open() {
    m_directory.open();
    m_select->setVisible(m_mode == 1);
    m_grid->setDataset(&m_directory.records());
    m_grid->setColumns(columns());
    if (!m_directory.side().isSuppliers()) {
        m_grid->setFooter({FooterSummary::count("Corp_code", QStringLiteral("0 条记录"))});
    }
    m_grid->setInitialSort("Corp_code", Qt::DescendingOrder);
    m_groups->showRoot();
    prepareListGrid(*m_grid, context());
}

void PartnerListWindow::search() {
    // The search runs over every record: the root group first.
    if (focusRoot()) {
        m_grid->setTextFilter(m_search->text().trimmed(), m_directory.side().searchFields);
    }
}

void PartnerListWindow::showAll() {
    if (focusRoot()) {
        m_grid->clearFilters();
    }
}

bool PartnerListWindow::focusRoot() {
    // 查找 and 显示全部 read the book again: records saved on another
    // workstation show too.
    bool shown = false;
    actions().guard([this, &shown] {
        GroupedDirectory& directory = m_directory.groupedDirectory();
        const bool there = directory.focused() == directory.rootId();
        shown = m_groups->showGroup(directory.rootId());
        if (shown && there) {
            directory.focus(directory.rootId());
        }
    });
    return shown;
}

void PartnerListWindow::addRecord() {
    if (!m_directory.addRecord()) {
        return;
    }
    const bool saved = runEditWindow(m_directory);
    if (saved) {
        // The new record takes its place in the list's order.
        m_grid->resort();
    }
    if (m_directory.side().pickOnSave && m_mode == 1 && saved) {
        m_directory.pick(m_directory.records().currentRow());
        accept();
    }
}

void PartnerListWindow::editRecord() {
    const QList<int> rows = m_grid->selectedRows();
    if (!context().prompter().requireOneSelected(rows.size(), QStringLiteral("请选择一条记录"),
                                                 QStringLiteral("一次只能编辑一条记录"))) {
        return;
    }
    m_directory.records().setCurrentRow(rows.first());
    if (runEditWindow(m_directory)) {
        m_grid->resort();  // the code may have changed
    }
}

void PartnerListWindow::customerPrices() {
    const QList<int> rows = m_grid->selectedRows();
    if (rows.isEmpty()) {
        context().prompter().inform(QStringLiteral("请选择客户"));
        return;
    }
    if (!m_customers) {
        return;
    }
    Dataset& records = m_directory.records();
    if (rows.size() == 1) {
        const int row =
            records.currentRow() >= 0 && rows.contains(records.currentRow()) ? records.currentRow() : rows.first();
        showPriceTable(records.value(row, "Corp_code").toString(), records.value(row, "Corp_name").toString());
        return;
    }
    // Several customers: their sheets are printed, one each, with the
    // price window's right to print.
    permissions().CheckActionPermission(QStringLiteral("Action_Print"), QStringLiteral("Base_CustomerPrice_Frm"));
    QStringList codes;
    for (int row : rows) {
        codes << records.value(row, "Corp_code").toString();
    }
    printPriceTables(codes);
}

QStringList PartnerListWindow::selectedCodes() {
    QStringList codes;
    for (int row : m_grid->selectedRows()) {
        codes << m_directory.records().value(row, "Corp_code").toString();
    }
    return codes;
}

void PartnerListWindow::showStatements() {
    const QStringList codes = selectedCodes();
    if (codes.isEmpty()) {
        context().prompter().inform(QStringLiteral("请选择客户"));
        return;
    }
    permissions().CheckActionPermission(CustomerStatement::actionName(), QStringLiteral("main_frm"));
    StatementWindow window(context(), this);
    window.setCustomers(codes);
    if (window.run()) {
        runWindow(context(), window);
    }
}

void PartnerListWindow::printLabels() {
    const QStringList codes = selectedCodes();
    if (codes.isEmpty()) {
        context().prompter().inform(QStringLiteral("请选择一条记录"));
        return;
    }
    showLabels(codes);
}

bool PartnerListWindow::confirmClose() {
    actions().execute(QStringLiteral("Action_CheckReturnValue"));
    return true;
}

bool PartnerListWindow::runEditWindow(PartnerDirectory& directory) {
    PartnerEditWindow edit(context(), directory, this);
    edit.showModal();
    return edit.saved();
}

void PartnerListWindow::showLabels(const QStringList& codes) {
    ReportWindow labels(context(), QStringLiteral("LabelReport_ClientAddr"), QStringLiteral("Korvan_ClientAddr.rmf"),
                        this);
    labels.setWindowTitle(QStringLiteral("客户地址打印"));
    QVariantMap params;
    const QString list = Database::bindList(QStringLiteral("c"), QVariantList(codes.begin(), codes.end()), &params);
    labels.setQuery(QStringLiteral(" select * from client where corp_code in (%1)").arg(list), params);
    if (labels.showReport()) {
        runWindow(context(), labels);
    }
}

void PartnerListWindow::showPriceTable(const QString& code, const QString& name) {
    CustomerPriceWindow window(context(), false, code, name, this);
    if (window.load()) {
        runWindow(context(), window);
    }
}

void PartnerListWindow::printPriceTables(const QStringList& codes) {
    CustomerPriceReportWindow report(context(), codes, this);
    runWindow(context(), report);
}
