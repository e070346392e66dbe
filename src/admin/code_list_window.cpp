#include "admin/code_list_window.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>

#include "admin/code_value_dialog.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/list_grid_setup.h"
#include "ui/lookup_delegate.h"
#include "ui/tree_list.h"

CodeListWindow::CodeListWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Sys_TableFieldStatus_frm"), parent),
      m_editor(context.data().main(), context.clock(), context.prompter(), this),
      m_tree(new TreeList(this)),
      m_grid(new DataGrid(this)),
      m_select(new QPushButton(QStringLiteral("选择"), this)) {
    setWindowTitle(QStringLiteral("参数表设置"));

    auto* add = new QPushButton(QStringLiteral("添加"), this);
    auto* remove = new QPushButton(QStringLiteral("删除"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    m_select->setObjectName(QStringLiteral("cxButton_Select"));
    close->setObjectName(QStringLiteral("cxButton1"));
    QAction* addAction = actions().add(QStringLiteral("Action_Add"), QStringLiteral("添加"), [this] { this->add(); });
    QAction* deleteAction =
        actions().add(QStringLiteral("Action_Delete"), QStringLiteral("删除"), [this] { this->remove(); });
    connect(add, &QPushButton::clicked, addAction, &QAction::trigger);
    connect(remove, &QPushButton::clicked, deleteAction, &QAction::trigger);
    connect(m_select, &QPushButton::clicked, this, [this] { actions().guard([this] { choose(); }); });
    connect(close, &QPushButton::clicked, this, &CodeListWindow::reject);
    m_select->hide();

    m_tree->setMinimumWidth(170);
    m_grid->setMultiSelect(true);
    m_grid->setReadOnly(false);
    m_grid->view()->setItemDelegate(new LookupDelegate(m_grid));
    connect(m_grid, &DataGrid::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    connect(m_grid, &DataGrid::rowDoubleClicked, this, [this](int row) {
        if (m_pick && row >= 0) {
            actions().guard([this, row] {
                if (m_editor.pick({row})) {
                    accept();
                }
            });
        }
    });
    connect(&m_editor, &CodeListEditor::currentListChanged, this, &CodeListWindow::updateColumns);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_tree);
    splitter->addWidget(m_grid);
    splitter->setStretchFactor(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(m_select);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    layout->addLayout(buttons);
    resize(900, 480);
}

void CodeListWindow::setPickMode(const QString& tableName, const QString& fieldName) {
    m_pick = true;
    m_table = tableName;
    m_field = fieldName;
    m_select->show();
    // In pick mode a double click chooses the row rather than editing it.
    m_grid->setReadOnly(true);
}

void CodeListWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        actions().guard([this] { open(); });
    }
}

void CodeListWindow::open() {
    if (m_pick) {
        m_editor.openPickMode(m_table, m_field);
    } else {
        m_editor.openEditMode();
    }
    m_tree->bind(&m_editor.lists(), "paramentname", "parent_id", "paramentname");
    m_grid->setDataset(&m_editor.values());
    m_grid->setColumns({
        GridColumn::make("StatusValue", QStringLiteral("编号"), 50),
        GridColumn::make("StatusName", QStringLiteral("名称"), 120).asEditable(),
        GridColumn::make("blank1_Str", QStringLiteral("规格"), 95).asEditable(),
        GridColumn::make("blank3_Int", QStringLiteral("单价"), 70).withFormat("0.00").asEditable(),
        GridColumn::make("blank5_Int", QStringLiteral("数量"), 60).asEditable(),
        GridColumn::make("blank6_Int", QStringLiteral("金额"), 80).withFormat("0.00").asEditable(),
        GridColumn::make("blank2_Str", QStringLiteral("单位"), 70).withLookup(m_editor.unitLookup()).asEditable(),
    });
    prepareListGrid(*m_grid, context());
    m_tree->setCurrentId(m_editor.currentListName());
    updateColumns();
}

void CodeListWindow::updateColumns() {
    const bool extra = m_editor.extraColumnsVisible();
    for (const char* f : {"blank1_Str", "blank3_Int", "blank2_Str"}) {
        m_grid->setColumnVisible(f, extra);
    }
}

void CodeListWindow::add() {
    if (!m_editor.beginAdd()) {
        return;
    }
    showValueDialog(m_editor);
    if (m_editor.values().state() == Dataset::State::Insert) {
        m_editor.cancelAdd();
    }
    m_tree->setCurrentId(m_editor.currentListName());
    m_tree->setFocus();
}

void CodeListWindow::remove() {
    m_editor.deleteValues(m_grid->selectedRows());
}

void CodeListWindow::choose() {
    if (m_editor.pick(m_grid->selectedRows())) {
        accept();
    }
}

bool CodeListWindow::confirmClose() {
    return actions().guard([this] { m_editor.saveOnClose(); });
}

void CodeListWindow::showValueDialog(CodeListEditor& editor) {
    CodeValueDialog dialog(editor, this);
    runWindow(context(), dialog);
}
