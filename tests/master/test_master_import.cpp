#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "data/database.h"
#include "documents/document_fixture.h"
#include "master/goods_editor.h"
#include "master/master_export.h"
#include "master/master_import.h"
#include "master/refusal.h"
#include "support/test_books.h"

using DocumentFixture::read;

const QString kNoLeafClass =
    QStringLiteral("没有填写[商品分类]，而所选的类别有子类：请填写商品分类，或选择最末一级的类别再导入");

// Customers, suppliers and goods read from spreadsheets on both engines, all written or none.
class TestMasterImport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (!TestBooks::engineAvailable()) {
            return;
        }
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->connect(TestBooks::currentEngine());
        m_program->context().clock().setToday(QDate(2006, 6, 25));
        db().execute(
            "insert into Provider (Corp_code, provider_name, provider_Corp_Name, GroupClass) values "
            "('00001', '王五', '五金厂', 1), ('00002', '赵六', '玻璃厂', 1), ('00003', '王五', '锁厂', 1)");
        db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0), ('门锁', 1, 0)");
        db().execute(
            "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class) values "
            "('SP9', '旧货', 'UN001', '00001', 2)");
    }
    void cleanup() { m_program.reset(); }
    // Captions in any case, spacing or width; the purchase price only with the cost right; a repeat is not mapped.
    void columnsAreFoundByCaption() {
        MasterImport goods = importer(MasterKind::Goods);
        QCOMPARE(goods.guessMapping({"商品编码", " 商品 名称 ", "计量单位", "入货价", "供货商", "商品分类", "颜色",
                                     "Default_Price", "商品名称"}),
                 (QStringList{"code", "Goods_name", "Goods_unit", "", "Provide_corp", "Goods_class", "",
                              "Default_price", ""}));
        // The preview offers the purchase price as a target only with the cost right.
        QVERIFY(goods.importableFields().contains("code") && !goods.importableFields().contains("purchase_price"));
        goods.setSeesCost(true);
        QCOMPARE(goods.guessMapping({"入货价"}), QStringList{"purchase_price"});
        QVERIFY(goods.importableFields().contains("purchase_price"));
        QCOMPARE(importer(MasterKind::Customers).guessMapping({"客户编号", "国外电话", "酒店电话", "E-mail", "邮编"}),
                 (QStringList{"Corp_code", "Linkman_foreign_telephone", "", "Linkman_Email", "Linkman_postalcode"}));
        QCOMPARE(importer(MasterKind::Customers).guessMapping({"Ｅ－ｍａｉｌ", "客户 编号"}),
                 (QStringList{"Linkman_Email", "Corp_code"}));
    }
    void goodsRowsAreCheckedAsTheEditorChecksThem() {
        MasterImport goods = importer(MasterKind::Goods, 2);
        const QList<QStringList> rows{
            {"商品编码", "商品名称", "商品单位", "供货商", "默认售价", "默认数量", "商品分类"},
            {"", "合页", "个", "玻璃厂(赵六)", "1,234.50", "2"},  // 2: drawn code, class of the target
            {"SP9", "重复", "个", "00001"},                       // 3: in the book
            {"A1", "门吸", "UN001", "锁厂", "", "", "门锁"},      // 4
            {"A1", "门吸二", "个", "锁厂"},                       // 5: twice in the file
            {"A2", "拉手", "箱子", "五金厂"},                     // 6: unknown unit
            {"A3", "拉手", "个", "王五"},                         // 7: two suppliers called 王五
            {"A4", "", "个", ""},                                 // 8: name and supplier missing
            {"A5", "螺丝", "个", "五金厂", "十元"},               // 9: not a number
            {"../x", "螺丝", "个", "五金厂"},                     // 10: a path as a code
            {"A6", QString(101, QChar('x')), "个", "五金厂"},     // 11: too long
            {"A7", "螺丝", "个", "五金厂", "", "", "无此类"},     // 12: unknown class
            {"'=A8", "螺丝", "个", "五金厂"},                     // 13: a guarded formula-like code
        };
        const MasterImport::Plan plan = planOf(goods, rows);
        QCOMPARE(plan.acceptedRowNumbers, (QList<int>{2, 4, 13}));
        QCOMPARE(reasons(plan),
                 (QStringList{"3:编号[SP9]已经存在", "5:编号[A1]在文件中出现了不止一次", "6:找不到计量单位[箱子]",
                              "7:有多个供应商叫[王五]，请用供应商编号", "8:请填写[商品名称,供应商]",
                              "9:[默认售价]不是有效的数字: 十元", "10:" + GoodsEditor::unsafeCodeText(),
                              "11:[商品名称]超过 100 个字", "12:找不到商品分类[无此类]"}));
        QCOMPARE(number("select count(*) from goods"), 1);  // nothing written by the check
        QCOMPARE(goods.write(plan), 3);
        QCOMPARE(
            inBook("code, Goods_name, Goods_class, Default_TotalPrice, Provide_corp, Keyin_person", "code <> 'SP9'"),
            QString("SP00000001|合页|2|2469|00002|张三; A1|门吸|3|null|00003|张三; =A8|螺丝|2|null|00001|张三"));
        // A code of the counter's form in the file moves the counter past it before any code is drawn.
        const QList<QStringList> ahead{{"商品编码", "商品名称", "商品单位", "供货商"},
                                       {"SP00000050", "螺母", "个", "五金厂"},
                                       {"", "垫圈", "个", "五金厂"}};
        QCOMPARE(goods.write(planOf(goods, ahead)), 2);
        QCOMPARE(inBook("code", "Goods_name='垫圈'"), QString("SP00000051"));
        QCOMPARE(db().scalar("select CurrID from Sys_ID_Autoincrement where tablename='goods'").toString(),
                 QString("SP00000051"));
        // Under the root, goods go in only where the row names a class without sub-classes.
        goods.setTargetGroup(1);
        const MasterImport::Plan rootPlan = planOf(goods, {{"商品编码", "商品名称", "商品单位", "供货商", "商品分类"},
                                                           {"R1", "螺母", "个", "五金厂", ""},
                                                           {"R2", "螺母", "个", "五金厂", "门锁"}});
        QCOMPARE(rootPlan.acceptedRowNumbers, QList<int>{3});
        QCOMPARE(reasons(rootPlan), QStringList{"2:" + kNoLeafClass});
        // A partner group with groups is refused, in the words of its kind.
        db().execute("insert into Provider_group (Class_name, Parent_id, ico_no) values ('华南', 1, 0)");
        QCOMPARE(refusal([&] { importer(MasterKind::Suppliers, 1); }),
                 QString("只能在没有子类的供应商类别里增加供应商"));
    }
    void exportedGoodsComeBackWhole() {
        db().execute(
            "update goods set Default_price = 12.5, Default_Qty = 3, Default_TotalPrice = 37.5, "
            "Goods_size = '大', remark = '说明, \"引号\"', purchase_price = 7.25 where code = 'SP9'");
        const QString file = m_out.filePath(TestBooks::currentEngine() + "-goods.csv");
        MasterExport(db()).write(MasterKind::Goods, file, true);
        const QString whole =
            "code, Goods_name, Goods_size, Goods_unit, Provide_corp, remark, purchase_price, Default_TotalPrice";
        const QString before = inBook(whole);
        db().execute("delete from goods");
        MasterImport goods = importer(MasterKind::Goods, 2);
        goods.setSeesCost(true);
        const SpreadsheetReader::Sheet read = SpreadsheetReader::read(file);
        const MasterImport::Plan plan = goods.check(read, goods.guessMapping(read.rows.first()));
        QCOMPARE(plan.refused.size(), 0);
        QCOMPARE(goods.write(plan), 1);
        QCOMPARE(inBook(whole), before);
        // Its class comes back by name, whatever class the import aims at.
        db().execute("delete from goods");
        goods.setTargetGroup(3);
        QCOMPARE(goods.write(goods.check(read, goods.guessMapping(read.rows.first()))), 1);
        QCOMPARE(number("select Goods_class from goods"), 2);
    }
    void customersGetCodesAndTheirGroup() {
        db().execute("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('国外', 1, 0, 1)");
        const int group = number("select max(id) from Client_group");
        MasterImport customers = importer(MasterKind::Customers, group);
        const QList<QStringList> rows{{"客户编号", "客户姓名", "酒店名称", "国外电话"},
                                      {"", "陈七", "海景酒店", "+61 2 1234"},
                                      {"00001", "撞号", "", ""},  // a supplier's code is another book's
                                      {"", "林八", "O'Hara \"Inn\"; drop table Client", ""}};
        const MasterImport::Plan plan = planOf(customers, rows);
        QCOMPARE(plan.refused.size(), 0);
        QCOMPARE(customers.write(plan), 3);
        // Drawn codes come from the counter customers and suppliers share; a second import finds 00001 taken.
        QCOMPARE(read(db(), "select Corp_code, Linkman_name, Corp_name, GroupClass from Client order by id"),
                 QString("00004|陈七|海景酒店|%1; 00001|撞号|null|%1; 00005|林八|O'Hara \"Inn\"; drop table Client|%1")
                     .arg(group));
        QCOMPARE(reasons(planOf(customers, rows)), QStringList{"3:编号[00001]已经存在"});
    }
    void allOrNothing() {
        MasterImport goods = importer(MasterKind::Goods, 2);
        QList<QStringList> rows{{"商品编码", "商品名称", "商品单位", "供货商"}};
        for (int i = 0; i < 50; ++i) {
            rows << QStringList{QString("B%1").arg(i), "螺丝", "个", "五金厂"};
        }
        const MasterImport::Plan plan = planOf(goods, rows);
        QCOMPARE(plan.accepted.size(), 50);
        // Another workstation saves one of the codes before the write: none of the 50 goes in.
        addGoods("B30");
        QVERIFY_THROWS_EXCEPTION(DbError, goods.write(plan));
        QCOMPARE(inBook("code"), QString("SP9; B30"));
    }
    // Rows that would be read wrong are refused; a drawn code skips one an editor already gave.
    void rowsThatCannotBeTrusted() {
        db().execute("insert into unit (unit_code, Unit_name, remark) values ('UN900', '个', '')");
        addGoods("SP00000001");
        MasterImport goods = importer(MasterKind::Goods, 2);
        const QList<QStringList> rows{
            {"商品编码", "商品名称", "商品单位", "供货商", "默认售价", "颜色"},
            {"", "螺丝", "UN001", "五金厂", "12,5"},                            // 2: a decimal comma
            {"", "螺丝", "UN001", "五金厂", "1,234.5"},                         // 3: grouped thousands
            {"", "", "", "", "", "红"},                                         // 4: nothing mapped holds anything
            {"", QString("螺") + QChar(0) + QString("丝"), "UN001", "五金厂"},  // 5: NUL
            {"", "螺丝", "个", "五金厂"},                                       // 6: two units are called 个
        };
        const MasterImport::Plan plan = planOf(goods, rows);
        QCOMPARE(plan.acceptedRowNumbers, QList<int>{3});
        QCOMPARE(reasons(plan),
                 (QStringList{"2:[默认售价]不是有效的数字: 12,5", "4:该行没有可导入的内容",
                              "5:[商品名称]中有不能保存的控制字符", "6:有多个计量单位叫[个]，请用单位编号"}));
        QCOMPARE(goods.write(plan), 1);
        QCOMPARE(inBook("code", "Default_price = 1234.5"), QString("SP00000002"));
    }
    // Full-width names match half-width; codes match exactly; no purchase price without the cost right;
    // the final check sees the book as it is now.
    void widthCaseAndRightsOfWhatIsTyped() {
        MasterImport goods = importer(MasterKind::Goods, 2);
        const SpreadsheetReader::Sheet rows = sheet({{"商品编码", "商品名称", "商品单位", "供货商", "入货价"},
                                                     {"sp9", "小写", "ＵＮ００１", "五金厂", "3.5"},
                                                     {"C1", "甲", "个", "五金厂", "4"},
                                                     {"c1", "乙", "个", "五金厂", "4"}});
        const QStringList mapping{"code", "Goods_name", "Goods_unit", "Provide_corp", "purchase_price"};
        QCOMPARE(goods.check(rows, mapping).refused.size(), 0);
        addGoods("C1");
        QCOMPARE(goods.checkAgain(rows, mapping).refused.size(), 0);
        const MasterImport::Plan plan = goods.check(rows, mapping);
        QCOMPARE(reasons(plan), QStringList{"3:编号[C1]已经存在"});
        QCOMPARE(goods.write(plan), 2);
        QCOMPARE(inBook("code, Goods_unit, purchase_price", "code <> 'SP9'"),
                 QString("C1|UN001|null; sp9|UN001|null; c1|UN001|null"));
        // The target class got a sub-class meanwhile: rows naming no class are refused.
        db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('细分', 2, 0)");
        QCOMPARE(reasons(planOf(goods, {{"商品名称", "商品单位", "供货商"}, {"晚来", "个", "五金厂"}})),
                 QStringList{"2:" + kNoLeafClass});
    }
    // A CSV export saved as a workbook: codes read as numbers ("00001" -> 1) are refused as near
    // repeats, the apostrophe before formula-like text is the workbook's.
    void whatASpreadsheetProgramMadeOfTheFile() {
        db().execute("insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '张芳', 1)");
        MasterImport customers = importer(MasterKind::Customers);
        SpreadsheetReader::Sheet saved = sheet({{"客户编号", "客户姓名", "国外电话"},
                                                {"1", "张芳", "'+971-4-123"},
                                                {"0020", "李四", "'=A1"},
                                                {"20", "王五", "''+1"},
                                                {"30", "赵六", "'abc"}});
        saved.format = "XLSX";
        MasterImport::Plan plan = customers.check(saved, customers.guessMapping(saved.rows.first()));
        QCOMPARE(reasons(plan), (QStringList{"2:编码[1]与已有的编码[00001]只差前面的0",
                                             "4:编码[20]与文件中前面的编码[0020]只差前面的0"}));
        QCOMPARE(customers.write(plan), 2);
        QCOMPARE(read(db(),
                      "select Corp_code, Linkman_foreign_telephone from Client where Corp_code <> '00001' order by "
                      "Corp_code"),
                 QString("0020|=A1; 30|'abc"));
        addGoods("007");
        MasterImport goods = importer(MasterKind::Goods, 2);
        QCOMPARE(
            reasons(planOf(goods, {{"商品编码", "商品名称", "商品单位", "供货商"}, {"7", "新锁", "个", "五金厂"}})),
            QStringList{"2:编码[7]与已有的编码[007]只差前面的0"});
    }
    // Missing classes are refused, or on request made by their path in the write's transaction.
    void missingClassesAreMadeByTheirPath() {
        MasterImport goods = importer(MasterKind::Goods);
        const QList<QStringList> rows{{"商品编码", "商品名称", "商品单位", "供货商", "商品分类"},
                                      {"N1", "铰链", "个", "五金厂", "门窗/五金"},
                                      {"N2", "门把", "个", "五金厂", "门窗 / 五金"},
                                      {"N3", "玻璃", "个", "五金厂", "门窗/玻璃/钢化"},
                                      {"N4", "窗框", "个", "五金厂", "门窗"},
                                      {"N5", "锁芯", "个", "五金厂", "门锁/锁芯"},
                                      {"N6", "旧货", "个", "五金厂", "五金/旧"}};
        MasterImport::Plan plan = planOf(goods, rows);
        QCOMPARE(plan.accepted.size(), 0);
        QCOMPARE(plan.refused.first().reason, QString("找不到商品分类[门窗/五金]"));
        goods.setCreatesClasses(true);
        plan = planOf(goods, rows);
        QCOMPARE(plan.acceptedRowNumbers, (QList<int>{2, 3, 4, 6}));
        QCOMPARE(reasons(plan), (QStringList{"5:只能选择最末一级的商品类别: 门窗",
                                             "7:商品分类[五金/旧]里已有商品，不能在它下面增加分类"}));
        QCOMPARE(plan.newClasses, (QStringList{"门窗/五金", "门窗/玻璃/钢化", "门锁/锁芯"}));
        addGoods("N6");
        const int classes = number("select count(*) from goods_group");
        MasterImport::Plan clash = plan;
        clash.accepted.last().insert("code", "N6");
        QVERIFY_THROWS_EXCEPTION(DbError, goods.write(clash));
        QCOMPARE(number("select count(*) from goods_group"), classes);
        QCOMPARE(goods.write(plan), 4);
        QCOMPARE(number("select count(*) from goods_group"), classes + 5);
        QCOMPARE(read(db(),
                      "with recursive p (code, id, path) as (select code, Goods_class, cast('' as varchar(200)) "
                      "from goods where code in ('N1', 'N2', 'N3', 'N5') union all select p.code, g.Parent_id, "
                      "cast(g.Class_name || '/' || p.path as varchar(200)) from p join goods_group g on g.id = "
                      "p.id where p.id <> 1) select path from p where id = 1 order by code"),
                 QString("门窗/五金/; 门窗/五金/; 门窗/玻璃/钢化/; 门锁/锁芯/"));
    }
    // Columns left out that hold something are named with why, unless left by choice, empty or agreeing repeats.
    void columnsLeftOutAreNamed() {
        MasterImport goods = importer(MasterKind::Goods);
        const SpreadsheetReader::Sheet file =
            sheet({{"商品名称", "商品单位", "入货价", "颜色", "商品名称", "录入日期", "", "", "商品单位"},
                   {"垫片", "个", "3", "红", "又一个", "2023-12-31", "多余", "", "个"}});
        QStringList mapping = goods.guessMapping(file.rows.first());
        QStringList expected{"[入货价]一列没有导入：没有查看成本利润的权限", "[颜色]一列没有对应的项目，没有导入",
                             "[商品名称]一列与前面的列重复，没有导入",
                             "[录入日期]一列由程序填写（导入的日期和用户），没有导入", "第 7 列没有列标题，没有导入"};
        QCOMPARE(goods.leftOutColumns(file, mapping), expected);
        mapping[0] = QString();  // the first name column left by choice, the second taken
        mapping[4] = "Goods_name";
        expected.removeAt(2);
        QCOMPARE(goods.leftOutColumns(file, mapping), expected);
        goods.setSeesCost(true);
        QVERIFY(!goods.leftOutColumns(file, goods.guessMapping(file.rows.first())).join('|').contains("入货价"));
        QCOMPARE(goods.unusedColumnNote("录入员"), QString("[录入员]一列由程序填写（导入的日期和用户），没有导入"));
    }

private:
    Database& db() { return m_program->context().data().main(); }
    MasterImport importer(MasterKind kind, const QVariant& group = {}) {
        MasterImport out(db(), m_program->context().clock(), "张三", kind);
        if (group.isValid()) {
            out.setTargetGroup(group);
        }
        return out;
    }
    static SpreadsheetReader::Sheet sheet(const QList<QStringList>& rows) {
        SpreadsheetReader::Sheet s;
        s.rows = rows;
        for (int i = 0; i < rows.size(); ++i) {
            s.rowNumbers << i + 1;
        }
        return s;
    }
    static MasterImport::Plan planOf(MasterImport& importer, const QList<QStringList>& rows) {
        return importer.check(sheet(rows), importer.guessMapping(rows.first()));
    }
    int number(const QString& sql) { return db().scalar(sql).toInt(); }
    // `fields` of the goods `where` picks, in the order written.
    QString inBook(const QString& fields, const QString& where = "1=1") {
        return read(db(), "select " + fields + " from goods where " + where + " order by id");
    }
    void addGoods(const QString& code, int goodsClass = 2) {
        db().execute(
            "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class) values "
            "(:c, '别人的', 'UN001', '00001', :g)",
            {{"c", code}, {"g", goodsClass}});
    }
    // The refusals as "row:reason".
    static QStringList reasons(const MasterImport::Plan& plan) {
        QStringList out;
        for (const MasterImport::Refusal& r : plan.refused) {
            out << QString::number(r.rowNumber) + ":" + r.reason;
        }
        return out;
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QTemporaryDir m_out;
};

QTEST_GUILESS_MAIN(TestMasterImport)
#include "test_master_import.moc"
