#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "data/database.h"
#include "documents/document_fixture.h"
#include "master/goods_editor.h"
#include "master/master_export.h"
#include "master/master_import.h"
#include "platform/errors.h"
#include "support/test_books.h"

using DocumentFixture::read;

// Goods without a class aimed at a class with sub-classes.
const QString kNoLeafClass =
    QStringLiteral("没有填写[商品分类]，而所选的类别有子类：请填写商品分类，或选择最末一级的类别再导入");

// Customers, suppliers and goods read from spreadsheets on both engines:
// every row checked as the editors check it, all written or none.
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
        db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
        db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('门锁', 1, 0)");
        db().execute(
            "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class) values "
            "('SP9', '旧货', 'UN001', '00001', 2)");
    }
    void cleanup() { m_program.reset(); }
    // Captions in any case, spacing or width; the purchase price only with
    // the right to see costs; a field shown twice fills from its first column.
    void columnsAreFoundByCaption() {
        MasterImport goods = importer(MasterKind::Goods);
        QCOMPARE(goods.guessMapping({"商品编码", " 商品 名称 ", "计量单位", "入货价", "供货商", "商品分类", "颜色",
                                     "Default_Price", "商品名称"}),
                 (QStringList{"code", "Goods_name", "Goods_unit", "", "Provide_corp", "Goods_class", "",
                              "Default_price", ""}));
        goods.setSeesCost(true);
        QCOMPARE(goods.guessMapping({"入货价"}), QStringList{"purchase_price"});
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
        // The drawn code continues the counter; the defaults' total follows.
        QCOMPARE(
            inBook("code, Goods_name, Goods_class, Default_TotalPrice, Provide_corp, Keyin_person", "code <> 'SP9'"),
            QString("SP00000001|合页|2|2469|00002|张三; A1|门吸|3|null|00003|张三; =A8|螺丝|2|null|00001|张三"));
        // A code of the counter's form given in a file moves the counter past
        // it before any code is drawn: no drawn code is one already taken.
        const QList<QStringList> ahead{{"商品编码", "商品名称", "商品单位", "供货商"},
                                       {"SP00000050", "螺母", "个", "五金厂"},
                                       {"", "垫圈", "个", "五金厂"}};
        QCOMPARE(goods.write(planOf(goods, ahead)), 2);
        QCOMPARE(inBook("code", "Goods_name='垫圈'"), QString("SP00000051"));
        QCOMPARE(db().scalar("select CurrID from Sys_ID_Autoincrement where tablename='goods'").toString(),
                 QString("SP00000051"));
        // The root class has child classes: goods go in only where the row
        // names a class without sub-classes.
        goods.setTargetGroup(1);
        const MasterImport::Plan rootPlan = planOf(goods, {{"商品编码", "商品名称", "商品单位", "供货商", "商品分类"},
                                                           {"R1", "螺母", "个", "五金厂", ""},
                                                           {"R2", "螺母", "个", "五金厂", "门锁"}});
        QCOMPARE(rootPlan.acceptedRowNumbers, QList<int>{3});
        QCOMPARE(reasons(rootPlan), QStringList{"2:" + kNoLeafClass});
        // Customers and suppliers have no such column: a group with groups is
        // refused, in the words of its kind.
        db().execute("insert into Provider_group (Class_name, Parent_id, ico_no) values ('华南', 1, 0)");
        try {
            importer(MasterKind::Suppliers, 1);
            QFAIL("a group with groups was taken");
        } catch (const UserError& e) {
            QCOMPARE(e.message(), QString("只能在没有子类的供应商类别里增加供应商"));
        }
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
        // Its class comes back by name, whatever class the import was aimed at.
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
        // Drawn codes come from the counter customers and suppliers share.
        QCOMPARE(read(db(), "select Corp_code, Linkman_name, Corp_name, GroupClass from Client order by id"),
                 QString("00004|陈七|海景酒店|%1; 00001|撞号|null|%1; 00005|林八|O'Hara \"Inn\"; drop table Client|%1")
                     .arg(group));
        // Imported again, the given code is now taken.
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
        // Another workstation saves one of the codes between the check and the
        // write: the book refuses it, and none of the 50 goes in.
        addGoods("B30");
        QVERIFY_THROWS_EXCEPTION(DbError, goods.write(plan));
        QCOMPARE(inBook("code"), QString("SP9; B30"));
    }
    // Values read wrong would be worse than refused: a decimal comma, a row
    // with nothing for the mapped columns, control characters, a unit name two
    // units share; and a drawn code never one an editor already gave.
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
        // The counter stands at nothing yet; the code an editor gave is skipped.
        QCOMPARE(goods.write(plan), 1);
        QCOMPARE(inBook("code", "Default_price = 1234.5"), QString("SP00000002"));
    }
    // Full-width letters in names are the half-width ones; codes are told
    // apart exactly, as the editors do; a purchase price column mapped by hand
    // is not read without the right to see costs; the final check sees the
    // book as it is, not as the preview read it.
    void widthCaseAndRightsOfWhatIsTyped() {
        MasterImport goods = importer(MasterKind::Goods, 2);
        const SpreadsheetReader::Sheet rows = sheet({{"商品编码", "商品名称", "商品单位", "供货商", "入货价"},
                                                     {"sp9", "小写", "ＵＮ００１", "五金厂", "3.5"},
                                                     {"C1", "甲", "个", "五金厂", "4"},
                                                     {"c1", "乙", "个", "五金厂", "4"}});
        const QStringList mapping{"code", "Goods_name", "Goods_unit", "Provide_corp", "purchase_price"};
        QCOMPARE(goods.check(rows, mapping).refused.size(), 0);
        // Another workstation takes a code after the preview read the book.
        addGoods("C1");
        QCOMPARE(goods.checkAgain(rows, mapping).refused.size(), 0);
        const MasterImport::Plan plan = goods.check(rows, mapping);
        QCOMPARE(reasons(plan), QStringList{"3:编号[C1]已经存在"});
        QCOMPARE(goods.write(plan), 2);
        QCOMPARE(inBook("code, Goods_unit, purchase_price", "code <> 'SP9'"),
                 QString("C1|UN001|null; sp9|UN001|null; c1|UN001|null"));
        // Another workstation gives the class aimed at a sub-class: rows that
        // name no class are refused by the check before the write.
        db().execute("insert into goods_group (Class_name, Parent_id, ico_no) values ('细分', 2, 0)");
        QCOMPARE(reasons(planOf(goods, {{"商品名称", "商品单位", "供货商"}, {"晚来", "个", "五金厂"}})),
                 QStringList{"2:" + kNoLeafClass});
    }
    // A CSV export opened in a spreadsheet program and saved as a workbook:
    // codes read as numbers ("00001" -> 1) are the records already there, the
    // apostrophe before formula-like text is part of the workbook's text.
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
        // Goods by the same rule.
        addGoods("007");
        MasterImport goods = importer(MasterKind::Goods, 2);
        QCOMPARE(
            reasons(planOf(goods, {{"商品编码", "商品名称", "商品单位", "供货商"}, {"7", "新锁", "个", "五金厂"}})),
            QStringList{"2:编码[7]与已有的编码[007]只差前面的0"});
    }
    // Goods that name classes the book does not have: refused, or with the
    // choice made, the classes made by their path in the write's transaction.
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
        // 门窗 gets classes below it; 五金 holds goods already.
        QCOMPARE(reasons(plan), (QStringList{"5:只能选择最末一级的商品类别: 门窗",
                                             "7:商品分类[五金/旧]里已有商品，不能在它下面增加分类"}));
        QCOMPARE(plan.newClasses, (QStringList{"门窗/五金", "门窗/玻璃/钢化", "门锁/锁芯"}));
        // A write the book refuses leaves no class behind either.
        addGoods("N6");
        const int classes = number("select count(*) from goods_group");
        MasterImport::Plan clash = plan;
        clash.accepted.last().insert("code", "N6");
        QVERIFY_THROWS_EXCEPTION(DbError, goods.write(clash));
        QCOMPARE(number("select count(*) from goods_group"), classes);
        QCOMPARE(goods.write(plan), 4);
        QCOMPARE(number("select count(*) from goods_group"), classes + 5);
        QStringList paths;
        for (const char* code : {"N1", "N2", "N3", "N5"}) {
            QStringList names;
            QVariant id = db().scalar("select Goods_class from goods where code=:c", {{"c", code}});
            while (id.toInt() != 1 && !id.isNull()) {
                names.prepend(db().scalar("select Class_name from goods_group where id=:i", {{"i", id}}).toString());
                id = db().scalar("select Parent_id from goods_group where id=:i", {{"i", id}});
            }
            paths << names.join('/');
        }
        QCOMPARE(paths, (QStringList{"门窗/五金", "门窗/五金", "门窗/玻璃/钢化", "门锁/锁芯"}));
    }
    // The columns a mapping leaves out that hold something are named with why;
    // a column the user chose to leave, an empty one, or a repeat that agrees
    // with the column before it is not.
    void columnsLeftOutAreNamed() {
        MasterImport goods = importer(MasterKind::Goods);
        const SpreadsheetReader::Sheet file =
            sheet({{"商品名称", "商品单位", "入货价", "颜色", "商品名称", "录入日期", "", "", "商品单位"},
                   {"垫片", "个", "3", "红", "又一个", "2023-12-31", "多余", "", "个"}});
        QStringList mapping = goods.guessMapping(file.rows.first());
        QCOMPARE(
            goods.leftOutColumns(file, mapping),
            (QStringList{"[入货价]一列没有导入：没有查看成本利润的权限", "[颜色]一列没有对应的项目，没有导入",
                         "[商品名称]一列与前面的列重复，没有导入",
                         "[录入日期]一列由程序填写（导入的日期和用户），没有导入", "第 7 列没有列标题，没有导入"}));
        // Left by choice: the first name column is not named, nor the second
        // once it is taken.
        mapping[0] = QString();
        mapping[4] = "Goods_name";
        QCOMPARE(
            goods.leftOutColumns(file, mapping),
            (QStringList{"[入货价]一列没有导入：没有查看成本利润的权限", "[颜色]一列没有对应的项目，没有导入",
                         "[录入日期]一列由程序填写（导入的日期和用户），没有导入", "第 7 列没有列标题，没有导入"}));
        // With the right to see costs the price is read; the entry person is
        // the program's too.
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
    // Goods as the book holds them: `fields` of the rows `where` picks, in
    // the order they were written.
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
