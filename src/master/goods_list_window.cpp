#include "master/goods_list_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>

#include "admin/picture_viewer_dialog.h"
#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "master/goods_class_dialog.h"
#include "master/goods_edit_window.h"
#include "master/group_tree_panel.h"
#include "master/import_preview_dialog.h"
#include "master/master_columns.h"
#include "master/master_export_command.h"
#include "master/master_import_command.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/list_grid_setup.h"
#include "ui/shortcuts.h"

GoodsListWindow::GoodsListWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("base_goods_frm"), parent),
      m_catalog(context),
      m_grid(new DataGrid(this)),
      m_search(new QLineEdit(this)),
      m_pickList(new QTreeWidget(this)),
      m_pickPanel(new QWidget(this)),
      m_picture(new PictureBox(this)),
      m_status(new QLabel(QStringLiteral("基础资料 >>> 库存商品管理"), this)),
      m_groups(new GroupTreePanel(m_catalog.groupedDirectory(), actions(), m_status, this)) {
    setWindowTitle(QStringLiteral("基础商品管理"));
    m_catalog.editClass = [this](Dataset& classes) {
        GoodsClassDialog dialog(classes, m_catalog.units(), this);
        return runWindow(this->context(), dialog) == QDialog::Accepted;
    };
    auto add = [this](const char* name, const char* caption, std::function<void()> handler) {
        return actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), [this, handler] {
            handler();
            refreshPicture();
        });
    };
    QAction* create = add("Action_AddGoods", "新建商品", [this] {
        if (m_catalog.addGoods()) {
            runEditor(2);
        }
    });
    QAction* edit = add("Action_EditGoods", "修改商品", [this] {
        const QList<int> rows = m_grid->selectedRows();
        if (!this->context().prompter().requireOneSelected(rows.size(), QStringLiteral("请选择一条记录"),
                                                           QStringLiteral("一次只能编辑一条记录"))) {
            return;
        }
        m_catalog.goods().setCurrentRow(rows.first());
        runEditor(3);
    });
    QAction* remove = add("Action_DeleteGoods", "删除商品", [this] { m_catalog.deleteGoods(m_grid->selectedRows()); });
    QAction* exporting = add("Action_Export", "导出", [this] {
        const QString file = MasterExportCommand::chooseFile(this->context().files(), MasterKind::Goods);
        if (!file.isEmpty()) {
            MasterExportCommand::run(this->context(), permissions(), *m_grid, MasterKind::Goods, file);
        }
    });
    QAction* importing = add("Action_Import", "导入", [this] {
        const QString file = MasterImportCommand::chooseFile(this->context().files(), MasterKind::Goods);
        if (!file.isEmpty()) {
            MasterImportCommand::run(this->context(), permissions(), m_catalog.groupedDirectory(), MasterKind::Goods,
                                     file, this);
        }
    });
    QAction* addClass = add("Action_AddGroup", "增加分类", [this] { m_catalog.addClass(); });
    QAction* editClass = add("Action_EditGroup", "编辑分类", [this] { m_catalog.editFocusedClass(); });
    QAction* deleteClass = add("Action_DeleteGroup", "删除分类", [this] { m_catalog.deleteClass(); });
    QAction* pickIn = add("Action_SelectGoodsInToList", "添加商品到选择列表", [this] {
        m_catalog.addToPickList(m_grid->selectedRows());
        refreshPickList();
    });
    QAction* pickOut = add("Action_SelectGoodsOutToList", "从选择列表中移除商品", [this] {
        QStringList codes;
        for (const QTreeWidgetItem* item : m_pickList->selectedItems()) {
            codes << item->text(0);
        }
        m_catalog.removeFromPickList(codes);
        refreshPickList();
    });
    QAction* finish = add("Action_SelectGoodsFinish", "商品选择完毕", [this] {
        m_finished = true;
        accept();
    });

    // Tree and its buttons.
    m_groups->setDropRights(QStringLiteral("Action_EditGoods"), QStringLiteral("Action_EditGroup"));
    m_groups->addButton(QStringLiteral("增加"), addClass);
    m_groups->addButton(QStringLiteral("编辑"), editClass);
    m_groups->addButton(QStringLiteral("删除"), deleteClass);
    connect(m_groups, &GroupTreePanel::groupFocused, this, &GoodsListWindow::refreshPicture);
    m_picture->setCaption(QStringLiteral("商品图片"));
    m_picture->setToolTip(QStringLiteral("点击查看大图"));
    m_picture->setFixedHeight(140);
    connect(m_picture, &PictureBox::clicked, this, [this] { actions().guard([this] { showPicture(); }); });
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_groups, 1);
    leftLayout->addWidget(m_picture);

    // Goods grid with its tool bar and search.
    m_grid->setMultiSelect(true);
    m_grid->setDragKeyField("id");
    connect(m_grid, &DataGrid::rowDoubleClicked, this, [this] {
        actions().execute(m_mode == 1 ? QStringLiteral("Action_SelectGoodsInToList")
                                      : QStringLiteral("Action_EditGoods"));
    });
    connect(&m_catalog.goods(), &Dataset::currentRowChanged, this, &GoodsListWindow::refreshPicture);
    auto* toolbar = new QHBoxLayout;
    for (QAction* a : {create, edit, remove}) {
        auto* b = new QPushButton(a->text(), this);
        b->setProperty("action", a->objectName());
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        toolbar->addWidget(b);
    }
    m_exportButton = new QPushButton(QStringLiteral("导出…"), this);
    connect(m_exportButton, &QPushButton::clicked, exporting, &QAction::trigger);
    toolbar->addWidget(m_exportButton);
    m_importButton = new QPushButton(QStringLiteral("导入…"), this);
    connect(m_importButton, &QPushButton::clicked, importing, &QAction::trigger);
    toolbar->addWidget(m_importButton);
    auto* remarks = new QCheckBox(QStringLiteral("显示商品备注"), this);
    connect(remarks, &QCheckBox::toggled, this,
            [this](bool on) { m_grid->setPreviewField(on ? QStringLiteral("remark") : QString()); });
    toolbar->addWidget(remarks);
    toolbar->addStretch();
    toolbar->addWidget(m_search);
    auto* searchButton = new QPushButton(QStringLiteral("查找"), this);
    auto* allButton = new QPushButton(QStringLiteral("显示全部"), this);
    connect(searchButton, &QPushButton::clicked, this, &GoodsListWindow::search);
    connect(allButton, &QPushButton::clicked, this, &GoodsListWindow::showAll);
    m_search->setPlaceholderText(QStringLiteral("编码、名称或拼音首字母"));
    m_search->setMinimumWidth(m_search->fontMetrics().horizontalAdvance(m_search->placeholderText()) + 16);
    // F5 reads the book again, keeping what is looked for.
    Shortcuts::addListKeys(
        *this, m_search, searchButton, allButton,
        [this] { m_search->text().trimmed().isEmpty() ? showAll() : search(); },
        [this] {
            m_grid->setTextFilter(m_search->text().trimmed(), GoodsCatalog::searchFields());
            showFoundGoods();
        });
    Shortcuts::add(*this, QKeySequence(Qt::Key_Insert), create->text(),
                   [this] { actions().execute(QStringLiteral("Action_AddGoods")); });
    toolbar->addWidget(searchButton);
    toolbar->addWidget(allButton);
    auto* close = new QPushButton(QStringLiteral("关闭窗口"), this);
    connect(close, &QPushButton::clicked, this, &GoodsListWindow::reject);
    toolbar->addWidget(close);
    auto* middle = new QWidget(this);
    auto* middleLayout = new QVBoxLayout(middle);
    middleLayout->setContentsMargins(0, 0, 0, 0);
    middleLayout->addLayout(toolbar);
    middleLayout->addWidget(m_grid, 1);

    // The pick panel: code and name of each chosen goods.
    m_pickList->setColumnCount(2);
    m_pickList->setHeaderLabels({QStringLiteral("商品编码"), QStringLiteral("商品名称")});
    m_pickList->setRootIsDecorated(false);
    m_pickList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pickList->setSortingEnabled(true);
    m_pickList->sortByColumn(0, Qt::AscendingOrder);
    m_pickList->setColumnWidth(0, 90);
    // One above the other: the panel stays narrow, so that the picker fits
    // a screen 1280 pixels wide.
    auto* pickButtons = new QVBoxLayout;
    m_pickIn = new QPushButton(QStringLiteral("添加"), this);
    m_pickOut = new QPushButton(QStringLiteral("移除"), this);
    auto* finishButton = new QPushButton(QStringLiteral("选择完毕"), this);
    connect(m_pickIn, &QPushButton::clicked, pickIn, &QAction::trigger);
    connect(m_pickOut, &QPushButton::clicked, pickOut, &QAction::trigger);
    connect(finishButton, &QPushButton::clicked, finish, &QAction::trigger);
    connect(m_pickList, &QTreeWidget::itemSelectionChanged, this, &GoodsListWindow::updatePickButtons);
    connect(m_grid, &DataGrid::selectionChanged, this, &GoodsListWindow::updatePickButtons);
    updatePickButtons();
    pickButtons->addWidget(m_pickIn);
    pickButtons->addWidget(m_pickOut);
    pickButtons->addWidget(finishButton);
    auto* pickLayout = new QVBoxLayout(m_pickPanel);
    pickLayout->setContentsMargins(0, 0, 0, 0);
    pickLayout->addWidget(new QLabel(QStringLiteral("已选择商品列表："), m_pickPanel));
    pickLayout->addWidget(m_pickList, 1);
    pickLayout->addLayout(pickButtons);
    m_pickPanel->hide();

    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(middle);
    splitter->addWidget(m_pickPanel);
    splitter->setSizes({200, 800, 220});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);
    resize(1100, 640);
}

TreeList* GoodsListWindow::tree() const {
    return m_groups->tree();
}

void GoodsListWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (!m_grid->dataset()) {
        actions().guard([this] { open(); });
    }
}

void GoodsListWindow::open() {
    m_catalog.open();
    m_grid->setDataset(&m_catalog.goods());
    // What the goods cost only for those with the right to see it.
    const bool seesCost = CostProfitRight::heldBy(permissions());
    QList<GridColumn> columns;
    for (const MasterColumn& c : MasterColumns::listed(MasterKind::Goods)) {
        if (c.cost && !seesCost) {
            continue;
        }
        GridColumn column = GridColumn::make(c.field, c.caption, c.width);
        if (c.money) {
            column.withFormat("0.00");
        } else if (c.shows == MasterColumn::Shows::Date) {
            column.withFormat("YYYY-MM-DD");
        } else if (c.shows == MasterColumn::Shows::UnitName) {
            column.withLookup(m_catalog.units());
        } else if (c.shows == MasterColumn::Shows::SupplierName) {
            column.withLookup(m_catalog.suppliers());
        }
        columns << column;
    }
    columns << GridColumn::make("id", "id").hidden();
    m_grid->setColumns(columns);
    m_grid->setFooter({FooterSummary::count("code", QStringLiteral("共0个商品"))});
    m_grid->setInitialSort("code", Qt::AscendingOrder);
    m_pickPanel->setVisible(m_mode == 1);
    // Picking goods for a document is no place to move files, and the pick
    // panel needs their room on a 1280-pixel screen.
    m_exportButton->setVisible(m_mode != 1);
    m_importButton->setVisible(m_mode != 1);
    m_groups->showRoot();
    prepareListGrid(*m_grid, context());
    refreshPicture();
}

void GoodsListWindow::search() {
    // The search runs over every goods: the root class first.
    if (focusRoot()) {
        m_grid->setTextFilter(m_search->text().trimmed(), GoodsCatalog::searchFields());
        showFoundGoods();
    }
}

void GoodsListWindow::showAll() {
    if (focusRoot()) {
        m_grid->clearFilters();
        showFoundGoods();
    }
}

void GoodsListWindow::showFoundGoods() {
    const GridModel* found = m_grid->model();
    if (found->rowCount() > 0 && found->gridRow(m_catalog.goods().currentRow()) < 0) {
        m_grid->selectRow(found->datasetRow(0));
    }
    refreshPicture();
}

bool GoodsListWindow::focusRoot() {
    // 查找 and 显示全部 read the book again: goods saved on another
    // workstation show too.
    bool shown = false;
    actions().guard([this, &shown] {
        GroupedDirectory& directory = m_catalog.groupedDirectory();
        const bool there = directory.focused() == directory.rootId();
        shown = m_groups->showGroup(directory.rootId());
        if (shown && there) {
            directory.focus(directory.rootId());
        }
    });
    return shown;
}

void GoodsListWindow::showPicture() {
    const int row = m_catalog.goods().currentRow();
    const QString file = row >= 0 ? m_catalog.pictureFile(row) : QString();
    if (file.isEmpty() || !m_picture->hasPicture()) {
        context().prompter().inform(QStringLiteral("该商品没有图片"));
        return;
    }
    PictureViewerDialog viewer(context().prompter(), context().files(), this);
    viewer.setPicture(file, m_catalog.pictureTitle(), m_catalog.pictureSaveName());
    runWindow(context(), viewer);
}

void GoodsListWindow::refreshPickList() {
    m_pickList->clear();
    for (const QString& line : m_catalog.pickLines()) {
        m_pickList->addTopLevelItem(new QTreeWidgetItem({line.section('=', 0, 0), line.section('=', 1)}));
    }
    updatePickButtons();
}

void GoodsListWindow::updatePickButtons() {
    m_pickIn->setEnabled(!m_grid->selectedRows().isEmpty());
    m_pickOut->setEnabled(!m_pickList->selectedItems().isEmpty());
}

void GoodsListWindow::refreshPicture() {
    // A goods the search has hidden is not on show.
    int row = m_catalog.goods().currentRow();
    if (m_grid->dataset() && m_grid->model()->gridRow(row) < 0) {
        row = -1;
    }
    const QString path = row >= 0 ? m_catalog.goods().value(row, "PicturePath").toString() : QString();
    if (path.isEmpty()) {
        m_picture->clearPicture();
        m_picture->setCaption(QStringLiteral("还没指定商品图片"));
        return;
    }
    if (!m_picture->setFile(m_catalog.pictureFile(row))) {
        m_picture->setCaption(QStringLiteral("找不到商品图片"));
    }
}

void GoodsListWindow::done(int result) {
    // In pick mode only "选择完毕" gives OK.
    BaseWindow::done(m_mode == 1 && !m_finished ? QDialog::Rejected : result);
}

void GoodsListWindow::runEditor(int mode) {
    GoodsEditWindow editor(context(), m_catalog, mode, this);
    editor.showModal();
}
