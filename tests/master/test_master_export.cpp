#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "data/database.h"
#include "documents/document_fixture.h"
#include "master/goods_catalog.h"
#include "master/goods_list_window.h"
#include "master/import_preview_dialog.h"
#include "master/master_export.h"
#include "platform/spreadsheet_reader.h"
#include "platform/spreadsheet_writer.h"
#include "support/ctl_call.h"
#include "support/golden.h"
#include "support/test_books.h"
#include "ui/data_grid.h"

// Customers, suppliers and goods written to spreadsheets with their lists' columns; 导出… and 导入… of the goods list,
// and the export and import commands (the rows' rules: TestMasterImport).
class TestMasterExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        m_program = TestBooks::TestProgram::asAdministratorOnCurrentEngine();
        if (!m_program) {
            return;
        }
        db().execute(
            "insert into Provider (Corp_code, provider_name, provider_Corp_Name, GroupClass) values "
            "('00001', '王五', '五金厂', 1), ('00002', '赵六', '玻璃厂', 1)");
        db().execute(
            "insert into goods (code, Goods_name, Goods_size, Goods_unit, purchase_price, Default_price, Default_Qty, "
            "Default_TotalPrice, Provide_corp, Goods_class, Keyin_person, Keyin_time, remark) values ('SP2', '合页', "
            "'4寸', 'UN001', 2.5, 5, 2, 10, '00002', 1, '张三', '2006-06-01 10:20:30', NULL), ('SP1', '门锁', NULL, "
            "'UN999', 12.3456, 20.5, 1, 20.5, '00001', 1, '李四', '2006-05-01 00:00:00', '备注')");
    }
    void cleanup() { m_program.reset(); }
    void goodsCustomersAndSuppliers() {
        // Goods by code; the unit and supplier by name (an unknown unit code as it is).
        QCOMPARE(MasterExport(db()).write(MasterKind::Goods, file("goods.xlsx"), true), 2);
        QString rows;  // cells joined by '|', rows by newlines
        for (const QStringList& row : SpreadsheetReader::read(file("goods.xlsx")).rows) {
            rows += row.join('|') + '\n';
        }
        OLVEND_COMPARE_GOLDEN("master/goods_export.txt", rows);
        // Without the right to see costs, no purchase price at all.
        MasterExport(db()).write(MasterKind::Goods, file("plain.csv"), false);
        const SpreadsheetReader::Sheet noCost = SpreadsheetReader::read(file("plain.csv"));
        QVERIFY(noCost.rows[0].size() == 13 && !noCost.rows[0].contains("入货价") &&
                !noCost.rows[1].contains("12.3456"));
        // Chosen records in the order given.
        const QList<qint64> ids{db().scalar("select id from goods where code='SP2'").toLongLong(),
                                db().scalar("select id from goods where code='SP1'").toLongLong()};
        QCOMPARE(MasterExport(db()).rows(MasterKind::Goods, true, ids).value(0).value(0).toString(), QString("SP2"));
        db().execute(
            "insert into Client (Corp_code, Linkman_name, Corp_name, Linkman_foreign_telephone, GroupClass) "
            "values ('00003', '陈七', '海景酒店', '+61 2 1234', 1)");
        QCOMPARE(MasterExport(db()).write(MasterKind::Customers, file("customers.csv"), false), 1);
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file("customers.csv"));
        // The telephone under both of its captions, its "+" kept as text.
        QCOMPARE(sheet.rows[0].size(), 12);
        QCOMPARE(sheet.rows[0][5] + sheet.rows[0][10], QString("国外电话酒店电话"));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[1][10]), QString("+61 2 1234"));
        QCOMPARE(MasterExport(db()).write(MasterKind::Suppliers, file("s.xlsx"), false), 2);
    }
    // A server's goods list exported before it was read to its end: the file holds every goods.
    void exportWaitsForTheWholeList() {
        if (TestBooks::currentEngine() != QLatin1String("postgres")) {
            QSKIP("an embedded book's list is read whole");
        }
        QList<Database::BatchStatement> goods;
        for (int i = 1; i <= 700; ++i) {
            goods << Database::BatchStatement(
                "insert into goods (code, Goods_name, Goods_class) values (:c, '螺丝', 1)",
                {{"c", QString("G%1").arg(i, 4, 10, QChar('0'))}});
        }
        db().executeBatch(goods);
        GoodsListWindow window(m_program->context());
        window.show();
        QVERIFY(window.grid()->model()->rowCount() < 700);
        m_program->files().answers = {file("all.xlsx")};
        window.actions().execute("Action_Export");
        QCOMPARE(SpreadsheetReader::read(file("all.xlsx")).rows.size(), 1 + 700 + 2);  // SP1 and SP2 besides
        QCOMPARE(window.grid()->model()->rowCount(), 702);
    }
    // One walk through 导出… and 导入… of the goods list: the export writes what the list shows, the import goes
    // through the preview, a row taken meanwhile is named, a missing class is made when the preview's box is ticked.
    void listWindowsExportAndImportThroughThePreview() {
        db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
        GoodsListWindow goods(m_program->context());
        goods.show();
        if (TestBooks::currentEngine() == QLatin1String("sqlite")) {  // the export is the same on both engines
            m_program->files().answers = {file("shown.xlsx")};
            goods.grid()->setTextFilter("门锁", {"Goods_name"});
            goods.actions().execute("Action_Export");
            const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file("shown.xlsx"));
            QVERIFY(sheet.rows.size() == 2 && sheet.rows[1][0] == "SP1");
            QVERIFY(m_program->prompter().lastText().contains("已导出 1 个商品"));
            QCOMPARE(m_program->files().asked.last().caption, QString("导出商品"));
            goods.grid()->setTextFilter(QString(), {"Goods_name"});
        }
        // On both engines: the import's write goes through the window's book.
        m_program->files().answers = {write("in.csv",
                                            "商品编码,商品名称,商品单位,供货商,默认售价\n"
                                            "X1,螺丝,个,五金厂,0.5\nSP1,重复,个,五金厂,1\nX2,垫片,个,玻璃厂,0.2\n"
                                            "X3,垫圈,个,玻璃厂,0.1\n")};
        QStringList seen;
        m_program->windows().then<ImportPreviewDialog>([&](ImportPreviewDialog& dialog) {
            seen << dialog.summary()->text() << dialog.refusals()->item(0)->text();
            db().execute(
                "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class) values "
                "('X2', '别人的', 'UN001', '00001', 1)");
            return int(QDialog::Accepted);
        });
        goods.catalog().focusClass(leaf());
        goods.actions().execute("Action_Import");
        QCOMPARE(seen.value(0), QString("可以导入 3 行，不能导入 1 行"));
        QVERIFY2(seen.value(1).contains("第 3 行"), qPrintable(seen.value(1)));
        QCOMPARE(m_program->prompter().lastText(), QString("已导入 2 个商品，2 行不能导入\n第 4 行：编号[X2]已经存在"));
        QCOMPARE(count(QString("select count(*) from goods where Goods_class=%1").arg(leaf())), 2);
        QCOMPARE(goods.grid()->model()->rowCount(), 2);  // the list shows the class with its new goods
        m_program->files().answers = {
            write("class.csv", "商品名称,商品单位,供货商,商品分类,颜色\n合页,个,五金厂,门窗/合页,红\n")};
        seen.clear();
        m_program->windows().then<ImportPreviewDialog>([&](ImportPreviewDialog& dialog) {
            seen << dialog.summary()->text() << dialog.leftOut()->text();
            dialog.createClasses()->setChecked(true);
            seen << dialog.summary()->text();
            return int(QDialog::Accepted);
        });
        goods.actions().execute("Action_Import");
        QCOMPARE(seen, (QStringList{"可以导入 0 行，不能导入 1 行", "[颜色]一列没有对应的项目，没有导入",
                                    "可以导入 1 行，不能导入 0 行；将新建商品分类：门窗/合页"}));
        QCOMPARE(m_program->prompter().lastText(), QString("已导入 1 个商品\n新建了商品分类：门窗/合页"));
        // Without a code or name column the rows could not be told apart: nothing to import until one is chosen.
        m_program->files().answers = {write("nameless.csv", "商品单位,供货商,商品分类\n个,五金厂,门窗/合页\n")};
        seen.clear();
        m_program->windows().then<ImportPreviewDialog>([&](ImportPreviewDialog& dialog) {
            seen << dialog.summary()->text() << QString::number(dialog.importButton()->isEnabled());
            return int(QDialog::Rejected);
        });
        goods.actions().execute("Action_Import");
        QCOMPARE(seen, (QStringList{"请为编码或名称一列选择导入项（否则导入的记录将无法区分）", "0"}));
        // A file with captions only is told, as a notice, before any preview.
        m_program->files().answers = {write("captions.csv", "商品名称,商品单位\n")};
        const int opened = m_program->windows().shown.size();
        goods.actions().execute("Action_Import");
        QCOMPARE(m_program->prompter().messages().last().kind, Prompter::Kind::Information);
        QCOMPARE(m_program->prompter().lastText() + QString::number(m_program->windows().shown.size() - opened),
                 QString("文件中没有可导入的行0"));
    }
    // The export and import commands' options, output, exit codes and file-wide refusals, as one transcript; the order
    // forms' customers through them and back.
    void commandLine() {
        db().execute(
            "insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
        // A user without the right to see costs exports no purchase price.
        db().execute(
            "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
            "where LOWER(Form_Name)='base_goods_frm' and LOWER(Action_Name)='action_export'");
        db().execute("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('国外', 1, 0, 1)");
        const QString customers = write("customers.csv", "客户编号,客户姓名,酒店名称\n,陈七,海景酒店\n00001,撞号,\n");
        const QString goods = write("g.csv", "商品名称,商品单位,供货商,商品分类,颜色\n合页,个,五金厂,门窗/五金,红\n");
        const QList<QStringList> commands{
            {"--user", "李四", "export", "goods", file("cli.xlsx")},
            {"export", "goods", file("bad.ods")},
            {"export", "goods", file("none/x.xlsx")},
            {"import", "customers", customers, "--check"},  // the root holds a group
            {"import", "customers", customers, "--check", "--group", "国外"},
            {"import", "customers", customers, "--group", "国外"},
            {"import", "customers", customers, "--group", "国外"},  // again: the row now taken is named
            {"import", "customers", customers, "--group", "没有的组"},
            {"import", "goods", goods},  // a class the book lacks
            {"import", "goods", goods, "--create-classes"},
            {"import", "goods", write("nocap.csv", "a,b\n1,2\n")},
            // Captions read in the wrong encoding: only QQ and E-MAIL match, and the rows would have no code or name.
            {"import", "customers", write("garbled.csv", "å®¢æˆ·ç¼–å·,QQ,E-MAIL\n00001,439906179,a@b.cn\n"), "--group",
             "国外"},
            {"import", "goods", write("captions.csv", "商品名称,商品单位\n"), "--group", "五金"},
            {"import", "customers", customers, "--group", "国外"}};  // with two groups of that name
        QString said;
        for (const QStringList& args : commands) {
            if (&args == &commands.last()) {
                db().execute(
                    "insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('国外', 1, 0, 1)");
            }
            const CtlCall::Result r = ctl(args);
            said += QString("$ %1\n[%2]\n%3%4").arg(args.join(' ')).arg(r.code).arg(r.out, r.err);
        }
        OLVEND_COMPARE_GOLDEN("master/commands.txt", said.replace(file(""), "<dir>/"));
        QCOMPARE(ctl({"export", "things", file("x.xlsx")}).code, 2);
        QVERIFY(!SpreadsheetReader::read(file("cli.xlsx")).rows[0].contains("入货价"));
        // 陈七 twice (a row without a code is a new customer each time), 撞号 once.
        QCOMPARE(count("select count(*) from Client c join Client_group g on g.id = c.GroupClass where "
                       "g.Class_name = '国外'"),
                 3);
        // The order forms' customers: exported with their list's columns and imported back into their group whole.
        db().execute("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
        const QString group = db().scalar("select max(id) from customer_group").toString();
        db().execute(
            "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone, "
            "Corp_address, Customer_Group, remark) values ('00011', '明珠酒楼', '陈老板', '013800000000', '+86 20 "
            "1234', '广州', :g, '老客户'), ('00012', '海景酒楼', NULL, NULL, NULL, NULL, :g, NULL)",
            {{"g", group}});
        const QString all =
            "select corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone, Corp_address, Customer_Group, remark "
            "from customer_provider order by corp_code";
        const QString before = DocumentFixture::read(db(), all);
        QCOMPARE(ctl({"export", "order-customers", file("oc.xlsx")}).out, QString("2\n"));
        QCOMPARE(SpreadsheetReader::read(file("oc.xlsx")).rows.value(0),
                 (QStringList{"客户编号", "客户名称", "老板", "老板手机", "电话", "地址", "备注"}));
        db().execute("delete from customer_provider");
        QCOMPARE(ctl({"import", "order-customers", file("oc.xlsx"), "--group", group}).out, QString("2\n"));
        QCOMPARE(DocumentFixture::read(db(), all), before);
    }

private:
    Database& db() { return m_program->context().data().main(); }
    int count(const QString& sql) { return db().scalar(sql).toInt(); }
    // Each engine's run writes files of its own.
    QString file(const QString& name) const { return m_out.filePath(TestBooks::currentEngine() + '-' + name); }
    CtlCall::Result ctl(const QStringList& args) const { return CtlCall::run(m_program->folder(), QString(), args); }
    // Writes a file of this engine's run; its path.
    QString write(const QString& name, const QByteArray& text) const {
        QFile f(file(name));
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? f.fileName() : QString();
    }
    int leaf() { return count("select max(id) from goods_group"); }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QTemporaryDir m_out;
};

QTEST_MAIN(TestMasterExport)
#include "test_master_export.moc"
