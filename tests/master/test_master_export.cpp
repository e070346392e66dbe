#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QScrollBar>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "data/data_module.h"
#include "data/database.h"
#include "master/goods_catalog.h"
#include "master/goods_list_window.h"
#include "master/import_preview_dialog.h"
#include "master/master_export.h"
#include "master/master_import.h"
#include "master/partner_list_window.h"
#include "master/partner_side.h"
#include "platform/spreadsheet_reader.h"
#include "platform/spreadsheet_writer.h"
#include "support/test_books.h"
#include "ui/data_grid.h"

// Customers, suppliers and goods written to spreadsheets with the columns
// their lists show: names for codes, numbers as numbers, the purchase price
// only with the right to see it, hostile text as text; and 导出… of the
// list windows writing the rows the list shows.
class TestMasterExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init();
    void cleanup() { m_program.reset(); }
    void goodsWithNamesAndNumbers();
    void customersAsTheListShowsThem();
    void hostileTextStaysText();
    void listWindowsExportWhatTheyShow();
    void commandLineExportActsAsAUser();
    void listWindowImportsThroughThePreview();
    void commandLineImport();
    void rowsRefusedAfterThePreviewAreNamed();
    void previewNamesTheColumnsItLeavesOut();
    void customerImportAsksForAGroupWithoutSubGroupsFirst();
    void orderCustomersComeBackWholeThroughTheCommandLine();

private:
    Database& db() { return m_program->context().data().main(); }
    // Each engine's run writes files of its own.
    QString file(const QString& name) const { return m_out.filePath(TestBooks::currentEngine() + '-' + name); }
    // olvendctl on the test program's folder: exit code, output and errors.
    std::tuple<int, QString, QString> ctl(const QStringList& args) const {
        QProcess p;
        p.start(OLVENDCTL_PATH, QStringList{"--home", m_program->folder()} + args);
        p.waitForFinished(120000);
        return std::make_tuple(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                               QString::fromUtf8(p.readAllStandardError()));
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QTemporaryDir m_out;
};

void TestMasterExport::init() {
    if (!TestBooks::engineAvailable()) {
        return;
    }
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    m_program->connect(TestBooks::currentEngine());
    m_program->context().CurrentUser = {"超级用户", "", "管理员组"};
    db().execute(
        "insert into Provider (Corp_code, provider_name, provider_Corp_Name, GroupClass) values "
        "('00001', '王五', '五金厂', 1), ('00002', '赵六', '玻璃厂', 1)");
    db().execute(
        "insert into goods (code, Goods_name, Goods_size, Goods_unit, purchase_price, Default_price, Default_Qty, "
        "Default_TotalPrice, Provide_corp, Goods_class, Keyin_person, Keyin_time, remark) values "
        "('SP2', '合页', '4寸', 'UN001', 2.5, 5, 2, 10, '00002', 1, '张三', '2006-06-01 10:20:30', NULL), "
        "('SP1', '门锁', NULL, 'UN999', 12.3456, 20.5, 1, 20.5, '00001', 1, '李四', '2006-05-01 00:00:00', '备注')");
}

void TestMasterExport::goodsWithNamesAndNumbers() {
    const QString out = file("goods.xlsx");
    const QString rootClass = db().scalar("select Class_name from goods_group where id=1").toString();
    QVERIFY(!rootClass.isEmpty());
    QCOMPARE(MasterExport(db()).write(MasterKind::Goods, out, true), 2);
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(out);
    QCOMPARE(sheet.rows[0],
             (QStringList{"商品编码", "商品名称", "厂家商品编码", "商品规格", "商品单位", "入货价", "默认售价",
                          "默认数量", "默认总值", "供货商", "录入员", "录入日期", "备注", "商品分类"}));
    // By code; the unit and supplier by name (an unknown unit code as it is).
    QCOMPARE(sheet.rows[1], (QStringList{"SP1", "门锁", "", "", "UN999", "12.3456", "20.5", "1", "20.5", "五金厂(王五)",
                                         "李四", "2006-05-01", "备注", rootClass}));
    QCOMPARE(sheet.rows[2].mid(0, 10),
             (QStringList{"SP2", "合页", "", "4寸", "个", "2.5", "5", "2", "10", "玻璃厂(赵六)"}));
    // Without the right to see costs, no purchase price at all.
    const QString plain = file("plain.csv");
    MasterExport(db()).write(MasterKind::Goods, plain, false);
    const SpreadsheetReader::Sheet noCost = SpreadsheetReader::read(plain);
    QVERIFY(!noCost.rows[0].contains("入货价"));
    QCOMPARE(noCost.rows[0].size(), 13);
    QVERIFY(!noCost.rows[1].contains("12.3456"));
    // Chosen records in the order given.
    const QList<qint64> ids{db().scalar("select id from goods where code='SP2'").toLongLong(),
                            db().scalar("select id from goods where code='SP1'").toLongLong()};
    const QList<QVariantList> rows = MasterExport(db()).rows(MasterKind::Goods, true, ids);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0][0].toString(), QString("SP2"));
}

void TestMasterExport::customersAsTheListShowsThem() {
    db().execute(
        "insert into Client (Corp_code, Linkman_name, Corp_name, Linkman_foreign_telephone, GroupClass) "
        "values ('00003', '陈七', '海景酒店', '+61 2 1234', 1)");
    const QString out = file("customers.csv");
    QCOMPARE(MasterExport(db()).write(MasterKind::Customers, out, false), 1);
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(out);
    QCOMPARE(sheet.rows[0].size(), 12);
    QCOMPARE(sheet.rows[0][5], QString("国外电话"));
    QCOMPARE(sheet.rows[0][10], QString("酒店电话"));
    // The telephone under both of its captions, its "+" kept as text.
    QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[1][5]), QString("+61 2 1234"));
    QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[1][10]), QString("+61 2 1234"));
    QCOMPARE(MasterExport(db()).write(MasterKind::Suppliers, file("s.xlsx"), false), 2);
}

void TestMasterExport::hostileTextStaysText() {
    const QString hostile = QStringLiteral("=cmd|' /C calc'!A0");
    db().execute("update goods set Goods_name = :n where code = 'SP1'", {{"n", hostile}});
    MasterExport(db()).write(MasterKind::Goods, file("h.xlsx"), false);
    QCOMPARE(SpreadsheetReader::read(file("h.xlsx")).rows[1][1], hostile);
    MasterExport(db()).write(MasterKind::Goods, file("h.csv"), false);
    QFile csv(file("h.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QVERIFY(csv.readAll().contains("'=cmd"));
    // An existing file is replaced only whole; a folder that does not
    // exist is said.
    try {
        MasterExport(db()).write(MasterKind::Goods, file("no/such/folder/x.xlsx"), false);
        QFAIL("written into a missing folder");
    } catch (const UserError& e) {
        QVERIFY2(e.message().contains("无法写入文件"), qPrintable(e.message()));
    }
}

void TestMasterExport::listWindowsExportWhatTheyShow() {
    if (TestBooks::currentEngine() != QLatin1String("sqlite")) {
        QSKIP("the windows are the same on both engines");
    }
    GoodsListWindow goods(m_program->context());
    goods.chooseExportFile = [this] { return file("shown.xlsx"); };
    goods.show();
    goods.grid()->setTextFilter("门锁", {"Goods_name"});
    goods.actions().execute("Action_Export");
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file("shown.xlsx"));
    QCOMPARE(sheet.rows.size(), 2);
    QCOMPARE(sheet.rows[1][0], QString("SP1"));
    QVERIFY(m_program->prompter().lastText().contains("已导出 1 个商品"));

    PartnerListWindow suppliers(m_program->context(), PartnerSide::suppliers());
    suppliers.chooseExportFile = [this] { return file("suppliers.csv"); };
    suppliers.show();
    suppliers.actions().execute("Action_Export");
    QCOMPARE(SpreadsheetReader::read(file("suppliers.csv")).rows.size(), 3);
    // Cancelled: nothing written, nothing said.
    m_program->prompter().clear();
    suppliers.chooseExportFile = [] { return QString(); };
    suppliers.actions().execute("Action_Export");
    QVERIFY(m_program->prompter().messages().isEmpty());
}

void TestMasterExport::commandLineExportActsAsAUser() {
    db().execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    auto [code, out, err] = ctl({"--user", "李四", "export", "goods", file("cli.xlsx")});
    QCOMPARE(code, 3);
    QVERIFY2(err.contains("没有该功能的操作权限"), qPrintable(err));
    QVERIFY(!QFile::exists(file("cli.xlsx")));
    db().execute(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
        "LOWER(Form_Name)='base_goods_frm' and LOWER(Action_Name)='action_export'");
    std::tie(code, out, err) = ctl({"--user", "李四", "export", "goods", file("cli.xlsx")});
    QCOMPARE(err, QString());
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("2\n"));
    // Without the right to see costs: no purchase price.
    QVERIFY(!SpreadsheetReader::read(file("cli.xlsx")).rows[0].contains("入货价"));
    std::tie(code, out, err) = ctl({"--user", "李四", "export", "customers", file("c.xlsx")});
    QCOMPARE(code, 3);
    std::tie(code, out, err) = ctl({"export", "goods", file("all.xlsx")});
    QCOMPARE(code, 0);
    QVERIFY(SpreadsheetReader::read(file("all.xlsx")).rows[0].contains("入货价"));
    std::tie(code, out, err) = ctl({"export", "goods", file("bad.ods")});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains(".xlsx"), qPrintable(err));
    std::tie(code, out, err) = ctl({"export", "things", file("x.xlsx")});
    QCOMPARE(code, 2);
    // A folder that is not there: said in the user's words only.
    std::tie(code, out, err) = ctl({"export", "goods", file("none/x.xlsx")});
    QCOMPARE(code, 1);
    QVERIFY2(err.startsWith("无法写入文件") && !err.contains("ERROR"), qPrintable(err));
}

// On both engines: the import's write goes through the window's book.
void TestMasterExport::listWindowImportsThroughThePreview() {
    db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    QFile csv(file("in.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write(
        "商品编码,商品名称,商品单位,供货商,默认售价\n,螺丝,个,五金厂,0.5\nSP1,重复,个,五金厂,1\n,垫片,个,玻璃厂,0.2\n");
    csv.close();
    GoodsListWindow goods(m_program->context());
    goods.chooseImportFile = [this] { return file("in.csv"); };
    int previews = 0;
    bool atRoot = true;
    QString rootSummary;
    QString rootReason;
    goods.showImportPreview = [&](ImportPreviewDialog& dialog) {
        ++previews;
        if (atRoot) {
            rootSummary = dialog.summary()->text();
            rootReason = dialog.refusals()->count() > 0 ? dialog.refusals()->item(0)->text() : QString();
            return false;  // 取消
        }
        // The preview guessed every column and names the refused row.
        if (dialog.mapping() != QStringList{"code", "Goods_name", "Goods_unit", "Provide_corp", "Default_price"} ||
            dialog.refusals()->count() != 1 || !dialog.refusals()->item(0)->text().contains("第 3 行") ||
            dialog.summary()->text() != QString("可以导入 2 行，不能导入 1 行")) {
            return false;
        }
        // The field choices sit in the table's header, each under its
        // caption and as wide as its column, also when the table scrolls
        // sideways; the refused row (the file's third) is marked with why.
        QTableWidget* table = dialog.table();
        const auto inLine = [&] {
            QHeaderView* header = table->horizontalHeader();
            for (int c = 0; c < 5; ++c) {
                QWidget* box = dialog.fieldChoice(c);
                if (box->parentWidget() != header || box->x() != header->sectionViewportPosition(c) ||
                    box->width() != header->sectionSize(c) || box->y() < header->height() / 3) {
                    return false;
                }
            }
            return true;
        };
        dialog.resize(300, 400);
        dialog.show();
        if (!inLine()) {
            return false;
        }
        table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
        table->setColumnWidth(3, 150);
        if (table->horizontalScrollBar()->maximum() == 0 || !inLine()) {
            return false;
        }
        if (!table->item(1, 1)->toolTip().contains("已经存在") || !table->item(0, 1)->toolTip().isEmpty() ||
            table->item(1, 1)->background() == table->item(0, 1)->background()) {
            return false;
        }
        // Without the unit column every row is refused and marked; back as
        // it was, the marks follow.
        dialog.fieldChoice(2)->setCurrentIndex(0);
        if (dialog.summary()->text() != QString("可以导入 0 行，不能导入 3 行") ||
            !table->item(0, 0)->toolTip().contains("计量单位")) {
            return false;
        }
        // The name chosen for the price column too: the name column lets go.
        dialog.fieldChoice(4)->setCurrentIndex(dialog.fieldChoice(4)->findData("Goods_name"));
        if (dialog.mapping().value(1) != QString() || dialog.mapping().value(4) != QString("Goods_name")) {
            return false;
        }
        dialog.fieldChoice(1)->setCurrentIndex(dialog.fieldChoice(1)->findData("Goods_name"));
        dialog.fieldChoice(4)->setCurrentIndex(dialog.fieldChoice(4)->findData("Default_price"));
        dialog.fieldChoice(2)->setCurrentIndex(dialog.fieldChoice(2)->findData("Goods_unit"));
        return dialog.summary()->text() == QString("可以导入 2 行，不能导入 1 行") &&
               table->item(0, 0)->toolTip().isEmpty();
    };
    goods.show();
    const int before = db().scalar("select count(*) from goods").toInt();
    goods.actions().execute("Action_Import");
    QCOMPARE(previews, 1);
    // The root holds classes and the file names none: every row is refused
    // with why; cancelled, nothing was written.
    QCOMPARE(rootSummary, QString("可以导入 0 行，不能导入 3 行"));
    QVERIFY2(rootReason.contains("商品分类"), qPrintable(rootReason));
    QCOMPARE(db().scalar("select count(*) from goods").toInt(), before);
    atRoot = false;
    const int leaf = db().scalar("select max(id) from goods_group").toInt();
    goods.catalog().focusClass(leaf);
    goods.actions().execute("Action_Import");
    QCOMPARE(previews, 2);
    QCOMPARE(m_program->prompter().lastText(), QString("已导入 2 个商品，1 行不能导入"));
    QCOMPARE(db().scalar("select count(*) from goods where Goods_class=:c", {{"c", leaf}}).toInt(), 2);
    // The list shows the class with its new goods.
    QCOMPARE(goods.grid()->model()->rowCount(), 2);
    // A class the book lacks, by its path: made when the preview's box is
    // ticked, and said before anything is written.
    QFile withClass(file("class.csv"));
    QVERIFY(withClass.open(QIODevice::WriteOnly));
    withClass.write("商品名称,商品单位,供货商,商品分类\n合页,个,五金厂,门窗/合页\n");
    withClass.close();
    goods.chooseImportFile = [this] { return file("class.csv"); };
    QStringList summaries;
    goods.showImportPreview = [&](ImportPreviewDialog& dialog) {
        summaries << dialog.summary()->text();
        dialog.createClasses()->setChecked(true);
        summaries << dialog.summary()->text();
        return true;
    };
    goods.actions().execute("Action_Import");
    QCOMPARE(summaries,
             (QStringList{"可以导入 0 行，不能导入 1 行", "可以导入 1 行，不能导入 0 行；将新建商品分类：门窗/合页"}));
    QCOMPARE(m_program->prompter().lastText(), QString("已导入 1 个商品\n新建了商品分类：门窗/合页"));
    QCOMPARE(db().scalar("select count(*) from goods g join goods_group c on c.id = g.Goods_class where "
                         "c.Class_name = '合页'")
                 .toInt(),
             1);
}

void TestMasterExport::commandLineImport() {
    db().execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    db().execute("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('国外', 1, 0, 1)");
    QFile csv(file("customers.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("客户编号,客户姓名,酒店名称\n,陈七,海景酒店\n00001,撞号,\n");
    csv.close();
    auto [code, out, err] = ctl({"--user", "李四", "import", "customers", file("customers.csv"), "--group", "国外"});
    QCOMPARE(code, 3);
    db().execute(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
        "LOWER(Form_Name)='form_client_list' and LOWER(Action_Name)='action_import'");
    // The root holds a group: records cannot go there.
    std::tie(code, out, err) = ctl({"--user", "李四", "import", "customers", file("customers.csv"), "--check"});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("只能在没有子类的客户类别里增加客户"), qPrintable(err));
    std::tie(code, out, err) =
        ctl({"--user", "李四", "import", "customers", file("customers.csv"), "--check", "--group", "国外"});
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("2\n"));
    QCOMPARE(db().scalar("select count(*) from Client").toInt(), 0);
    std::tie(code, out, err) = ctl({"--user", "李四", "import", "customers", file("customers.csv"), "--group", "国外"});
    QCOMPARE(err, QString());
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("2\n"));
    QCOMPARE(db().scalar("select count(*) from Client c join Client_group g on g.id = c.GroupClass where "
                         "g.Class_name = '国外'")
                 .toInt(),
             2);
    // Again: the given code is taken now, the other row gets a new code.
    std::tie(code, out, err) = ctl({"--user", "李四", "import", "customers", file("customers.csv"), "--group", "国外"});
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("1\n"));
    QVERIFY2(err.contains("第 3 行: 编号[00001]已经存在"), qPrintable(err));
    std::tie(code, out, err) = ctl({"import", "customers", file("customers.csv"), "--group", "没有的组"});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("找不到类别"), qPrintable(err));
    // Two groups of one name: said, not guessed.
    db().execute("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('国外', 1, 0, 1)");
    std::tie(code, out, err) = ctl({"import", "customers", file("customers.csv"), "--group", "国外"});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("有多个类别叫[国外]"), qPrintable(err));
    // Customers exported and read back: the telephone the list shows twice
    // comes in once, without a word about the second column.
    db().execute("update Client set Linkman_foreign_telephone='+49 30 1234'");
    std::tie(code, out, err) = ctl({"export", "customers", file("c.csv")});
    QCOMPARE(code, 0);
    const QStringList captions = SpreadsheetReader::read(file("c.csv")).rows[0];
    QVERIFY(captions.contains("国外电话") && captions.contains("酒店电话"));
    db().execute("delete from Client");
    const QString abroad = db().scalar("select min(id) from Client_group where Class_name='国外'").toString();
    std::tie(code, out, err) = ctl({"import", "customers", file("c.csv"), "--group", abroad});
    QCOMPARE(err, QString());
    QCOMPARE(out, QString("3\n"));
    QCOMPARE(db().scalar("select count(*) from Client where Linkman_foreign_telephone='+49 30 1234'").toInt(), 3);
    // Goods exported and read back without a group: each into its class by
    // name, though the root holds classes.
    db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    const int leaf = db().scalar("select max(id) from goods_group").toInt();
    db().execute("update goods set Goods_class=:c, Goods_unit='UN001'", {{"c", leaf}});
    std::tie(code, out, err) = ctl({"export", "goods", file("g.csv")});
    QCOMPARE(code, 0);
    db().execute("delete from goods");
    std::tie(code, out, err) = ctl({"import", "goods", file("g.csv")});
    // The entry person and date are the import's: said, not taken.
    QCOMPARE(err, QString("[录入员]一列由程序填写（导入的日期和用户），没有导入\n"
                          "[录入日期]一列由程序填写（导入的日期和用户），没有导入\n"));
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("2\n"));
    QCOMPARE(db().scalar("select count(*) from goods where Goods_class=:c", {{"c", leaf}}).toInt(), 2);
    // Again: every row refused, which a script sees in the exit code.
    std::tie(code, out, err) = ctl({"import", "goods", file("g.csv")});
    QCOMPARE(code, 1);
    QCOMPARE(out, QString("0\n"));
    QVERIFY2(err.contains("已经存在") && err.contains("没有可以导入的行"), qPrintable(err));
    // Classes go by path; a book without them makes them only when asked.
    db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('门窗', 1, 0)");
    db().execute("update goods_group set Parent_id=(select max(id) from goods_group) where id=:c", {{"c", leaf}});
    std::tie(code, out, err) = ctl({"export", "goods", file("paths.xlsx")});
    QCOMPARE(code, 0);
    db().execute("delete from goods");
    db().execute("delete from goods_group where id <> 1");
    std::tie(code, out, err) = ctl({"import", "goods", file("paths.xlsx")});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("找不到商品分类[门窗/五金]"), qPrintable(err));
    std::tie(code, out, err) = ctl({"import", "goods", file("paths.xlsx"), "--create-classes"});
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("2\n"));
    QVERIFY2(err.endsWith("没有导入\n新建商品分类: 门窗/五金\n"), qPrintable(err));
    QCOMPARE(db().scalar("select count(*) from goods g join goods_group c on c.id = g.Goods_class join goods_group p "
                         "on p.id = c.Parent_id where c.Class_name = '五金' and p.Class_name = '门窗'")
                 .toInt(),
             2);
    // A first row with no caption known (another encoding, no header): one
    // message for the file.
    QFile noCaptions(file("nocap.csv"));
    QVERIFY(noCaptions.open(QIODevice::WriteOnly));
    noCaptions.write("a,b\n1,2\n");
    noCaptions.close();
    std::tie(code, out, err) = ctl({"import", "goods", file("nocap.csv")});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("没有认得出的列标题（例如 商品编码）"), qPrintable(err));
    // Columns left out are said: one not known, one the user may not fill.
    db().execute(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
        "LOWER(Form_Name)='base_goods_frm' and LOWER(Action_Name)='action_import'");
    QFile extra(file("extra.csv"));
    QVERIFY(extra.open(QIODevice::WriteOnly));
    extra.write(
        "商品名称,商品单位,供货商,入货价,颜色,商品名称,录入日期,\n垫片,个,五金厂,3,红,又一个,2023-12-31,多余\n");
    extra.close();
    std::tie(code, out, err) = ctl({"--user", "李四", "import", "goods", file("extra.csv"), "--group", "五金"});
    QCOMPARE(code, 0);
    QCOMPARE(out, QString("1\n"));
    QVERIFY2(err.contains("[入货价]一列没有导入：没有查看成本利润的权限") && err.contains("[颜色]一列没有对应的项目") &&
                 err.contains("[商品名称]一列与前面的列重复") && err.contains("第 8 列没有列标题") &&
                 err.contains("[录入日期]一列由程序填写"),
             qPrintable(err));
    QVERIFY(db().scalar("select purchase_price from goods where Goods_name='垫片'").isNull());
    // Captions and nothing below them: said, and a failure for a script.
    QFile captionsOnly(file("captions.csv"));
    QVERIFY(captionsOnly.open(QIODevice::WriteOnly));
    captionsOnly.write("商品名称,商品单位\n");
    captionsOnly.close();
    std::tie(code, out, err) = ctl({"import", "goods", file("captions.csv"), "--group", "五金"});
    QCOMPARE(code, 1);
    QCOMPARE(out, QString("0\n"));
    QVERIFY2(err.contains("文件中没有可导入的行"), qPrintable(err));
}

// The preview shows every column that holds something, captions or not, and
// says which columns it leaves out and why, as olvendctl does; a column the
// user leaves out by choice is not named.
void TestMasterExport::previewNamesTheColumnsItLeavesOut() {
    if (TestBooks::currentEngine() != QLatin1String("sqlite")) {
        QSKIP("the preview is the same on both engines");
    }
    db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    QFile csv(file("extra.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("商品名称,商品单位,入货价,颜色,商品名称\n垫片,个,3,红,又一个,多余\n");
    csv.close();
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file("extra.csv"));
    MasterImport importer(db(), m_program->context().clock(), "admin", MasterKind::Goods);
    importer.setSeesCost(false);
    importer.setTargetGroup(db().scalar("select max(id) from goods_group"));
    ImportPreviewDialog dialog(importer, sheet, "导入商品");
    QCOMPARE(dialog.table()->columnCount(), 6);
    QCOMPARE(dialog.table()->item(0, 5)->text(), QString("多余"));
    QVERIFY(!dialog.leftOut()->isHidden());
    const QString said = dialog.leftOut()->text();
    QVERIFY2(said.contains("[入货价]一列没有导入：没有查看成本利润的权限") &&
                 said.contains("[颜色]一列没有对应的项目") && said.contains("[商品名称]一列与前面的列重复") &&
                 said.contains("第 6 列没有列标题"),
             qPrintable(said));
    // The captionless column taken as the remark, the repeated name as the
    // name: neither is named any more, and the first name column, left by
    // choice, is not named either.
    dialog.fieldChoice(5)->setCurrentIndex(dialog.fieldChoice(5)->findData("remark"));
    dialog.fieldChoice(4)->setCurrentIndex(dialog.fieldChoice(4)->findData("Goods_name"));
    QCOMPARE(dialog.mapping().value(0), QString());
    const QString after = dialog.leftOut()->text();
    QVERIFY2(!after.contains("没有列标题") && !after.contains("商品名称") && after.contains("[颜色]"),
             qPrintable(after));
    // Every column taken or known: nothing to say, and the line is gone.
    dialog.fieldChoice(3)->setCurrentIndex(dialog.fieldChoice(3)->findData("Goods_size"));
    dialog.fieldChoice(2)->setCurrentIndex(dialog.fieldChoice(2)->findData("Default_price"));
    QVERIFY2(dialog.leftOut()->isHidden(), qPrintable(dialog.leftOut()->text()));

    // Repeated columns that are empty or agree with the first: nothing to say.
    QFile repeated(file("repeated.csv"));
    QVERIFY(repeated.open(QIODevice::WriteOnly));
    repeated.write("商品名称,商品单位,商品名称,商品单位\n垫片,个,,个\n螺丝,个,,\n");
    repeated.close();
    const SpreadsheetReader::Sheet repeatedSheet = SpreadsheetReader::read(file("repeated.csv"));
    ImportPreviewDialog quiet(importer, repeatedSheet, "导入商品");
    QVERIFY2(quiet.leftOut()->isHidden(), qPrintable(quiet.leftOut()->text()));
}

// With the root focused, which holds groups, 导入… says where customers may
// go before it asks for a file.
void TestMasterExport::customerImportAsksForAGroupWithoutSubGroupsFirst() {
    if (TestBooks::currentEngine() != QLatin1String("sqlite")) {
        QSKIP("the windows are the same on both engines");
    }
    db().execute("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('国外', 1, 0, 1)");
    PartnerListWindow customers(m_program->context(), PartnerSide::customers());
    int asked = 0;
    customers.chooseImportFile = [&asked] {
        ++asked;
        return QString();
    };
    customers.show();
    customers.actions().execute("Action_Import");
    QCOMPARE(asked, 0);
    QVERIFY2(m_program->prompter().lastText().contains("只能在没有子类的客户类别里增加客户"),
             qPrintable(m_program->prompter().lastText()));
}

// Another workstation takes a code while the preview is open: the import
// still writes all the other rows together, and names the row it left out.
void TestMasterExport::rowsRefusedAfterThePreviewAreNamed() {
    db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    QFile csv(file("late.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("商品编码,商品名称,商品单位,供货商\nX1,甲,个,五金厂\nX2,乙,个,五金厂\nX3,丙,个,五金厂\n");
    csv.close();
    GoodsListWindow goods(m_program->context());
    goods.chooseImportFile = [this] { return file("late.csv"); };
    QString previewed;
    goods.showImportPreview = [&](ImportPreviewDialog& dialog) {
        previewed = dialog.summary()->text();
        db().execute(
            "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class) values "
            "('X2', '别人的', 'UN001', '00001', 1)");
        return true;
    };
    goods.show();
    goods.catalog().focusClass(db().scalar("select max(id) from goods_group").toInt());
    goods.actions().execute("Action_Import");
    QCOMPARE(previewed, QString("可以导入 3 行，不能导入 0 行"));
    QCOMPARE(m_program->prompter().lastText(), QString("已导入 2 个商品，1 行不能导入\n第 3 行：编号[X2]已经存在"));
    QCOMPARE(db().scalar("select count(*) from goods where code in ('X1', 'X3')").toInt(), 2);
}

// The order forms' customers: exported with their list's columns and
// imported back into their group, as they were.
void TestMasterExport::orderCustomersComeBackWholeThroughTheCommandLine() {
    db().execute("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
    const int group = db().scalar("select max(id) from customer_group").toInt();
    db().execute(
        "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone, Corp_address, "
        "Customer_Group, remark) values ('00011', '明珠酒楼', '陈老板', '013800000000', '+86 20 1234', '广州', :g, "
        "'老客户'), ('00012', '海景酒楼', NULL, NULL, NULL, NULL, :g, NULL)",
        {{"g", group}});
    const QString all =
        "select corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone, Corp_address, "
        "Customer_Group, remark from customer_provider order by corp_code";
    auto rows = [this](const QString& sql) {
        QList<QStringList> out;
        QSqlQuery q = db().query(sql);
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i) {
                row << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
            }
            out << row;
        }
        return out;
    };
    const QList<QStringList> before = rows(all);
    auto [code, out, err] = ctl({"export", "order-customers", file("order-customers.xlsx")});
    QCOMPARE(err, QString());
    QCOMPARE(out, QString("2\n"));
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file("order-customers.xlsx"));
    QCOMPARE(sheet.rows.value(0), (QStringList{"客户编号", "客户名称", "老板", "老板手机", "电话", "地址", "备注"}));
    QCOMPARE(sheet.rows.value(1).value(3), QString("013800000000"));
    db().execute("delete from customer_provider");
    std::tie(code, out, err) =
        ctl({"import", "order-customers", file("order-customers.xlsx"), "--group", QString::number(group)});
    QCOMPARE(err, QString());
    QCOMPARE(out, QString("2\n"));
    QCOMPARE(rows(all), before);
    // Once more: both codes are taken now.
    std::tie(code, out, err) =
        ctl({"import", "order-customers", file("order-customers.xlsx"), "--group", QString::number(group)});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("编号[00011]已经存在"), qPrintable(err));
}

QTEST_MAIN(TestMasterExport)
#include "test_master_export.moc"
