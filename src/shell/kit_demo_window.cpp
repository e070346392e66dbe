#include "shell/kit_demo_window.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>

#include "admin/code_list_window.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/name_initials.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"
#include "ui/tree_list.h"

void KitDemoWindow::fillDemoData(Database& db, int goods) {
    WriteTransaction tx(db);
    const QStringList classes{"五金配件", "门窗型材", "玻璃", "锁具"};
    for (const QString& c : classes) {
        db.query("insert into goods_group (Class_name, Parent_id, ico_no) values (:n, 1, 0)", {{"n", c}});
    }
    const QStringList names{"不锈钢合页", "铝合金型材", "中空玻璃", "多点锁", "执手", "滑轮", "密封条", "纱网"};
    for (int i = 1; i <= goods; ++i) {
        db.query(
            "insert into goods (code, Goods_name, Goods_size, Goods_unit, Default_price, purchase_price, Default_Qty, "
            "Default_TotalPrice, Goods_class, remark, Keyin_time) values (:c, :n, :s, :u, :p, :pp, 1, :p, :g, :r, :t)",
            {{"c", QString("SP%1").arg(i, 8, 10, QChar('0'))},
             {"n", names[i % names.size()] + QString::number(i)},
             {"s", QString("%1*%2").arg(100 + i % 50).arg(20 + i % 7)},
             {"u", QString("UN00%1").arg(1 + i % 6)},
             {"p", 10.0 + (i % 97) * 1.25},
             {"pp", 8.0 + (i % 97)},
             {"g", 2 + i % classes.size()},
             {"r", QString("第%1批").arg(1 + i % 5)},
             {"t", QDateTime(QDate(2006, 12, 1 + i % 28), QTime(9, 30))}});
    }
    NameInitials::fillMissing(db, "goods");
    tx.commit();
}

KitDemoWindow::KitDemoWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Kit_Demo_Frm"), parent),
      m_classes(context.data().main()),
      m_goods(context.data().main()) {
    setWindowTitle(QStringLiteral("界面组件预览"));
    Database& db = context.data().main();
    m_classes.openTable("goods_group", "id");
    m_goods.setUpdateTable("goods");
    m_goods.open("select * from goods order by code");

    auto units = std::make_shared<LookupList>();
    units->load(db, "select unit_code, Unit_name from unit order by unit_code");

    auto* tree = new TreeList(this);
    tree->bind(&m_classes, "id", "Parent_id", "Class_name", "ico_no");
    tree->expandAll();

    auto* grid = new DataGrid(this);
    grid->setDataset(&m_goods);
    grid->setMultiSelect(true);
    grid->setColumns(
        {GridColumn::make("code", QStringLiteral("商品编码"), 95),
         GridColumn::make("Goods_name", QStringLiteral("商品名称"), 110),
         GridColumn::make("Goods_size", QStringLiteral("商品规格"), 80),
         GridColumn::make("Goods_unit", QStringLiteral("商品单位"), 70).withLookup(units),
         GridColumn::make("purchase_price", QStringLiteral("入货价"), 70).withFormat("0.00"),
         GridColumn::make("Default_price", QStringLiteral("默认售价"), 75).withFormat("0.00"),
         GridColumn::make("Default_TotalPrice", QStringLiteral("默认总值"), 80).withFormat("0.00").highlighted(),
         GridColumn::make("Keyin_time", QStringLiteral("录入日期"), 85).withFormat("YYYY-MM-DD"),
         GridColumn::make("Goods_class", QStringLiteral("分类")).hidden()});
    grid->setFooter({FooterSummary::count("code", QStringLiteral("共 0 个货品")),
                     FooterSummary::sum("Default_TotalPrice", QStringLiteral("合计:0.00"))});
    grid->setInitialSort("code");
    // The root class shows every goods; another class shows its own.
    connect(tree, &TreeList::currentNodeChanged, grid, [grid](const QVariant& id) {
        grid->model()->setColumnFilter("Goods_class", id.toInt() == 1 ? QSet<QString>{} : QSet<QString>{id.toString()});
    });

    auto* search = new QLineEdit(this);
    search->setPlaceholderText(QStringLiteral("商品编码或名称"));
    connect(search, &QLineEdit::textChanged, grid, [grid](const QString& t) {
        grid->setTextFilter(t, {"code", "Goods_name"});
    });

    auto* editors = new QGroupBox(QStringLiteral("商品资料"), this);
    editors->setStyleSheet(StyleHolder::layoutGroupStyleSheet(StyleHolder::LayoutWeb) +
                           StyleHolder::editorStyleSheet());
    auto* name = new QLineEdit(editors);
    auto* unit = new LookupCombo(editors);
    unit->setLookup(units);
    auto* price = new NumberEdit(editors);
    price->setFormat("0.00");
    auto* date = new NullableDateEdit(editors);
    auto* remark = new MemoEdit(editors);
    remark->setMaximumHeight(60);
    auto* picture = new PictureBox(editors);
    picture->setCaption(QStringLiteral("商品图片"));
    picture->setFixedSize(120, 90);
    auto* binder = new FieldBinder(&m_goods, this);
    connect(binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    binder->bind(name, "Goods_name");
    binder->bind(unit, "Goods_unit");
    binder->bind(price, "Default_price");
    binder->bind(date, "Keyin_time");
    binder->bind(remark, "remark");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("商品名称："), name);
    form->addRow(QStringLiteral("计量单位："), unit);
    form->addRow(QStringLiteral("默认单价："), price);
    form->addRow(QStringLiteral("创建时间："), date);
    form->addRow(QStringLiteral("备注："), remark);
    auto* editorsLayout = new QHBoxLayout(editors);
    editorsLayout->addLayout(form, 1);
    editorsLayout->addWidget(picture, 0, Qt::AlignTop);

    auto* codes = new QPushButton(QStringLiteral("参数表设置..."), this);
    connect(codes, &QPushButton::clicked, this, [this] {
        actions().guard([this] {
            CodeListWindow w(this->context(), this);
            w.showModal();
        });
    });
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("查找："), this));
    top->addWidget(search, 1);
    top->addWidget(codes);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(top);
    rightLayout->addWidget(grid, 1);
    rightLayout->addWidget(editors);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(tree);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({160, 700});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(900, 600);
}
