#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <latch>
#include <thread>

#include "data/dataset.h"
#include "data/schema_installer.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// The stored schema of an account book, on both engines.
class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void editedTablesKeyTheirRows();
    void seedRows();
    void operationsCoverEveryWindowAndAdminHoldsAll();
    void quotationListComputesAmounts();
    void orderGoodsViewNamesCodedFields();
    void goodsViewJoinsUnitAndSupplier();
    void priceTableCopiesByPosition();
    void plainPasswordsAreHashedOnlyWhenAsked();
    void olderBookIsUpgradedNewerRefused();
    void olderBookGetsTheNewCommandsGranted();
    void bookOfVersionFiveGetsTheCustomerIndexes();
    void twoWorkstationsStartOnAnEmptyServerBook();
    void codesAreUnique();

private:
    void upgradeGrantsTheNewCommands(int version, const QString& newOnes);
};

// The tables the program edits through a Dataset (the goods and partner
// books, units, users, company and code lists): a new row, also after the
// seeded ones, gets a key of its own that the Dataset learns, and changes and
// deletions reach exactly the row they were made on.
void TestSchema::editedTablesKeyTheirRows() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    // Each table with the columns that may not be empty.
    const QList<QPair<QString, QVariantMap>> tables{
        {"goods_group", {{"Class_name", "类"}}},
        {"goods", {{"code", "SP"}}},
        {"unit", {{"unit_code", "UN"}}},
        {"Client_group", {{"Class_name", "组"}}},
        {"Client", {{"Corp_code", "C"}}},
        {"Provider_group", {{"Class_name", "组"}}},
        {"Provider", {{"Corp_code", "P"}}},
        {"Sys_Corp", {{"Corp_name", "公司"}}},
        {"Sys_user", {{"User_name", "用户"}}},
        {"Sys_Status_Describe", {{"ParamentName", "计量单位"}, {"StatusValue", "9"}}}};
    for (const auto& [table, values] : tables) {
        const QString count = QStringLiteral("select count(*) from %1").arg(table);
        const QString byKey = QStringLiteral("select count(*) from %1 where id=:id").arg(table);
        const int seeded = db.scalar(count).toInt();
        const int highest = db.scalar(QStringLiteral("select max(id) from %1").arg(table)).toInt();
        Dataset ds(db);
        ds.openTable(table, "id");
        QVERIFY(ds.field("id").primaryKey);
        QVERIFY(ds.field("id").autoIncrement);
        for (int i = 1; i <= 2; ++i) {
            ds.append();
            for (auto it = values.cbegin(); it != values.cend(); ++it) {
                ds.setValue(it.key(), it.value().toString() + QString::number(i));
            }
        }
        ds.applyUpdates();
        const QVariant first = ds.value(seeded, "id");
        const QVariant second = ds.value(seeded + 1, "id");
        QVERIFY2(first.toInt() > highest, qPrintable(table + ": " + first.toString()));
        QVERIFY(second.toInt() > first.toInt());
        QCOMPARE(db.scalar(byKey, {{"id", second}}).toInt(), 1);
        QCOMPARE(db.scalar(count).toInt(), seeded + 2);
        const QString field = values.firstKey();
        ds.setCurrentRow(seeded);
        ds.setValue(field, "改");
        ds.post();
        ds.setCurrentRow(seeded + 1);
        ds.deleteCurrent();
        ds.applyUpdates();
        QCOMPARE(
            db.scalar(QStringLiteral("select %1 from %2 where id=:id").arg(field, table), {{"id", first}}).toString(),
            QString("改"));
        QCOMPARE(db.scalar(byKey, {{"id", second}}).toInt(), 0);
        QCOMPARE(db.scalar(count).toInt(), seeded + 1);
    }
}

void TestSchema::seedRows() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    // A new book says it is up to date, so that opening it changes nothing.
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QVERIFY(UserAccounts::verifyLogin(db, "超级用户", "").has_value());
    QCOMPARE(UserAccounts::verifyLogin(db, "超级用户", "")->UserGroup, QString("管理员组"));
    QCOMPARE(db.scalar("select type from Sys_user where User_name='管理员组'").toInt(), 0);
    // A group has no password and cannot log in.
    QVERIFY(!UserAccounts::verifyLogin(db, "管理员组", "").has_value());
    QCOMPARE(db.scalar("select count(*) from Sys_ID_Autoincrement").toInt(), 15);
    QCOMPARE(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='accountbook'").toString(),
             QString("UserAccountBook001"));
    for (const char* t : {"Client_group", "Provider_group", "customer_group"}) {
        QSqlQuery q = db.query(QStringLiteral("select id, Parent_id, CorpType from %1").arg(t));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(q.value(1).toInt(), -1);
        QCOMPARE(q.value(2).toInt(), 0);
        QVERIFY(!q.next());
    }
    QCOMPARE(db.scalar("select count(*) from goods_group where Parent_id=-1").toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from base_Dusmere_Price_Table").toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from Sys_Corp").toInt(), 1);
    QSqlQuery q = db.query(
        "select d.StatusValue, d.StatusName from Sys_Status_Describe d, Sys_Status_Describe_head h "
        "where d.paramentName=h.paramentName and h.TableName='payout' and h.FieldName='subject' "
        "order by d.StatusValue");
    QStringList payout;
    while (q.next()) {
        payout << q.value(0).toString() + "=" + q.value(1).toString();
    }
    QCOMPARE(payout, QStringList({"0=运输费", "1=工资", "2=日杂费", "3=汇款"}));
    QCOMPARE(db.scalar("select StatusName from Sys_Status_Describe where ParamentName='收据类型' and "
                       "StatusValue='1'")
                 .toString(),
             QString("收款收据"));
    QCOMPARE(db.scalar("select StatusName from Sys_Status_Describe where ParamentName='收款情况' and "
                       "StatusValue='0'")
                 .toString(),
             QString("未付清"));
    for (const char* list : {"计量单位", "货品名称", "货品系列", "型材颜色", "玻璃品种", "锁具型号", "产品跟踪"}) {
        QVERIFY2(db.scalar("select count(*) from Sys_Status_Describe where ParamentName=:p", {{"p", list}}).toInt() > 1,
                 qPrintable(list));
    }
    // The goods names carry their defaults.
    QVERIFY(db.scalar("select count(*) from Sys_Status_Describe where ParamentName='货品名称' and "
                      "blank3_Int > 0 and blank5_Int > 0 and blank6_Int = blank3_Int * blank5_Int")
                .toInt() > 0);
    // New rows get keys after the seeded ones.
    db.query("insert into Client_group (Class_name, Parent_id, CorpType) values ('g', 1, 1)");
    QCOMPARE(db.scalar("select max(id) from Client_group").toInt(), 2);
}

void TestSchema::operationsCoverEveryWindowAndAdminHoldsAll() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    const QStringList forms =
        QString(
            "main_frm sys_user_operation_frm sys_tablefieldstatus_frm form_client_list "
            "form_client_edit form_provider_list form_provider_edit base_goods_frm frm_goods_edit "
            "base_unit_frm base_customerprice_frm form_quotation_list form_quotation_edit "
            "form_receipt frm_gainbill frm_gainbill_list dusmere_order_form_goodsedit_frm "
            "frm_payout frm_payout_edit sys_currcorpinfo_frm")
            .split(' ');
    for (const QString& form : forms) {
        QVERIFY2(
            db.scalar("select count(*) from Sys_Operation_Table where Form_Name=:f and Action_Name<>''", {{"f", form}})
                    .toInt() > 0,
            qPrintable(form));
    }
    // Every action row hangs under its window's row.
    QCOMPARE(db.scalar("select count(*) from Sys_Operation_Table a where a.Action_Name<>'' and not exists "
                       "(select 1 from Sys_Operation_Table w where CAST(w.id AS VARCHAR(20))=a.Parent_ID "
                       "and w.Action_Name='' and w.Form_Name=a.Form_Name)")
                 .toInt(),
             0);
    // Names are stored in lower case.
    QCOMPARE(db.scalar("select count(*) from Sys_Operation_Table where Action_Name<>LOWER(Action_Name) or "
                       "Form_Name<>LOWER(Form_Name)")
                 .toInt(),
             0);
    QCOMPARE(db.scalar("select count(*) from Sys_user_Operation where User_name='管理员组'").toInt(),
             db.scalar("select count(*) from Sys_Operation_Table").toInt());
    QCOMPARE(db.scalar("select count(*) from Sys_Operation_Table where Action_Name='action_deletecustomer' and "
                       "Form_Name='form_client_list' and isControl=1")
                 .toInt(),
             1);
}

// The list's sums of goods, receipts, outstanding amount and state are
// checked against lines and receipts in TestQuotationTotals; here the cost
// and profit sums, the state's text and the customer's name.
void TestSchema::quotationListComputesAmounts() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query(
        "insert into Quotation_Head (BillNo, Freight, earnest, preferential, state, Add_ClientName) "
        "values ('BJ0612250001', 50, 100, 20, 1, '张三')");
    db.query(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money) "
        "values ('BJ0612250001', 'SP00000001', 2, 100.5, 201, 80, 41), "
        "('BJ0612250001', 'SP00000002', 3, 10, 30, 7.25, 8.25)");
    QSqlQuery q = db.query("select * from Query_Quotation_Head_list");
    QVERIFY(q.next());
    const QSqlRecord r = q.record();
    auto v = [&](const char* name) { return q.value(r.indexOf(name)); };
    QCOMPARE(v("sum_Gain_Money").toDouble(), 49.25);
    QCOMPARE(v("sum_goods_cost_price").toDouble(), 181.75);
    QCOMPARE(v("total_Gain_Money").toDouble(), 29.25);
    QCOMPARE(v("state_desc").toString(), QString("生效"));
    QCOMPARE(v("Add_ClientName").toString(), QString("张三"));
    QCOMPARE(db.scalar("select Client_name from Query_tmp where BillNo='BJ0612250001'").toString(), QString("张三"));
}

void TestSchema::orderGoodsViewNamesCodedFields() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("insert into Dusmere_Order_Form_head (Order_Form_Code, Link_man) values ('AA0612250001', '李四')");
    db.query(
        "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_name, Goods_Unit, Colour, "
        "Goods_Status, Glass_Type, Glass_Type2, QTY, Price, Total_Price) "
        "values ('AA0612250001', '1', 1, 3, 2, 0, 1, 3, 2, 480, 960)");
    QSqlQuery q = db.query("select * from Query_Order_form_GoodsAll where head_code='AA0612250001'");
    QVERIFY(q.next());
    const QSqlRecord r = q.record();
    QCOMPARE(q.value(r.indexOf("Goods_name_Desc")).toString(), QString("平开窗"));
    QCOMPARE(q.value(r.indexOf("Goods_Unit_Desc")).toString(), QString("平方米"));
    QCOMPARE(q.value(r.indexOf("Colour_Desc")).toString(), QString("香槟色"));
    QCOMPARE(q.value(r.indexOf("Goods_Status_Desc")).toString(), QString("未生产"));
    QCOMPARE(q.value(r.indexOf("Glass_Type2_Desc")).toString(), QString("钢化玻璃"));
    QCOMPARE(q.value(r.indexOf("Link_man")).toString(), QString("李四"));
    QVERIFY(!q.next());
}

void TestSchema::goodsViewJoinsUnitAndSupplier() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00001', '王五', '五金厂')");
    db.query(
        "insert into goods (code, Goods_name, Goods_size, Goods_unit, Provide_corp, Corp_Goods_Code) "
        "values ('SP00000001', '合页', '4寸', 'UN003', '00001', 'HY-4')");
    db.query("insert into goods (code, Goods_name) values ('SP00000002', '无单位')");
    QSqlQuery q = db.query(
        "select code, goods_name, Goods_size, Unit_name, Corp_Goods_Code, provider_name, Corp_code "
        "from Query_Goods_With_Corp_Unit order by code");
    QVERIFY(q.next());
    QCOMPARE(q.value(3).toString(), QString("套"));
    QCOMPARE(q.value(5).toString(), QString("王五"));
    QCOMPARE(q.value(6).toString(), QString("00001"));
    QVERIFY(q.next());
    QVERIFY(q.value(3).isNull());
}

void TestSchema::priceTableCopiesByPosition() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("update base_Dusmere_Price_Table set corp_code=:corp_code, A101=120", {{"corp_code", "00007"}});
    db.query("insert into base_Dusmere_Customer_price_Table select * from  base_Dusmere_Price_Table");
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Customer_price_Table where corp_code='00007'").toInt(), 120);
}

void TestSchema::plainPasswordsAreHashedOnlyWhenAsked() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("insert into Sys_user (User_name, password, User_Group, type) values ('op', 'secret', '管理员组', 1)");
    db.query("insert into Sys_user (User_name, password, User_Group, type) values ('nopass', '', '管理员组', 1)");
    db.query("insert into Sys_user (User_name, User_Group, type) values ('nothing', '管理员组', 1)");
    // Opening the book to read it writes nothing; the text still logs in.
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(db.scalar("select password from Sys_user where User_name='op'").toString(), QString("secret"));
    QVERIFY(UserAccounts::verifyLogin(db, "op", "secret").has_value());
    QVERIFY(!UserAccounts::verifyLogin(db, "op", "Secret").has_value());
    QVERIFY(UserAccounts::verifyLogin(db, "nopass", "").has_value());
    QVERIFY(!UserAccounts::verifyLogin(db, "nothing", "").has_value());
    QCOMPARE(UserAccounts::migratePlainPasswords(db), 2);
    QVERIFY(db.scalar("select password from Sys_user where User_name='op'").toString().startsWith("$argon2id$"));
    QVERIFY(UserAccounts::verifyLogin(db, "op", "secret").has_value());
    QVERIFY(!UserAccounts::verifyLogin(db, "op", "Secret").has_value());
    QVERIFY(!UserAccounts::verifyLogin(db, "op", "secret ").has_value());
    QVERIFY(UserAccounts::verifyLogin(db, "nopass", "").has_value());
    QCOMPARE(UserAccounts::migratePlainPasswords(db), 0);
}

void TestSchema::olderBookIsUpgradedNewerRefused() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("drop table schema_version");
    db.query("drop table temp_User_Operation");
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QVERIFY(db.hasTable("temp_User_Operation"));
    // A book of a newer program is refused.
    db.query("update schema_version set version=99");
    QVERIFY_THROWS_EXCEPTION(DbError, SchemaInstaller::ensureBook(db, false));
}

// An older book lacks the commands listed since: the upgrade lists them
// under their windows (a window new to the book with them), controlled and
// granted to the system group only, and leaves the other rows and grants as
// they were.
void TestSchema::olderBookGetsTheNewCommandsGranted() {
    const QList<QPair<int, QString>> versions{
        {4, "LOWER(Action_Name) in ('action_backupbook', 'action_restorebook')"},
        // The commands that had no right.
        {6,
         "LOWER(Form_Name) in ('dusmere_work_form_list', 'dusmere_ware_out_form_list', "
         "'dusmere_shipment_form_list', 'olvendctl') or LOWER(Action_Name) in ('action_shipmentquery', "
         "'action_showforms') or (LOWER(Form_Name) in ('form_client_list', 'form_provider_list') and "
         "LOWER(Action_Name) in ('action_addgroup', 'action_editgroup', 'action_deletegroup'))"},
        // The right to see costs and profits, and the price history.
        {5, "LOWER(Action_Name) in ('action_viewcostprofit', 'action_pricehistory')"}};
    for (const auto& [version, listed] : versions) {
        upgradeGrantsTheNewCommands(version, "(" + listed + ")");
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

void TestSchema::upgradeGrantsTheNewCommands(int version, const QString& newOnes) {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    const int added = db.scalar("select count(*) from Sys_Operation_Table where " + newOnes).toInt();
    QVERIFY(added > 0);
    db.query("delete from Sys_user_Operation where Action_id in (select id from Sys_Operation_Table where " + newOnes +
             ")");
    db.query("delete from Sys_Operation_Table where " + newOnes);
    db.query("delete from schema_version");
    db.query("insert into schema_version (version) values (:v)", {{"v", version}});
    db.query(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
        "where LOWER(Action_Name)='action_syscorpinfo'");
    const int before = db.scalar("select count(*) from Sys_Operation_Table").toInt();
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QCOMPARE(db.scalar("select count(*) from Sys_Operation_Table").toInt(), before + added);
    // Each command controlled under its own window's row.
    QCOMPARE(
        db.scalar("select count(*) from Sys_Operation_Table a where " + newOnes +
                  " and a.Action_Name<>'' and a.isControl=1 and exists (select 1 from Sys_Operation_Table "
                  "w where CAST(w.id AS VARCHAR(20))=a.Parent_ID and w.Action_Name='' and "
                  "w.Form_Name=a.Form_Name)")
            .toInt(),
        db.scalar("select count(*) from Sys_Operation_Table a where " + newOnes + " and a.Action_Name<>''").toInt());
    QCOMPARE(db.scalar("select count(*) from Sys_user_Operation where User_name='管理员组'").toInt(),
             db.scalar("select count(*) from Sys_Operation_Table").toInt());
    QCOMPARE(db.scalar("select count(*) from Sys_user_Operation where User_name='业务组'").toInt(), 1);
    QCOMPARE(db.scalar("select count(distinct id) from Sys_Operation_Table").toInt(), before + added);
    // Running it again adds nothing.
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(db.scalar("select count(*) from Sys_Operation_Table").toInt(), before + added);
}

// A book of version 5: the right to see costs and profits and the price
// history command are listed and granted to the system group only; the
// quotations are indexed by customer and date.
// A book of version 5 gets its quotations indexed by customer and date.
void TestSchema::bookOfVersionFiveGetsTheCustomerIndexes() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("DROP INDEX ix_quotation_head_client_date");
    db.query("DROP INDEX ix_quotation_head_name_date");
    db.query("CREATE INDEX ix_quotation_head_client ON Quotation_Head (ClientNo)");
    db.query("update schema_version set version=5");
    const auto indexes = [&db](const QString& name) {
        return db
            .scalar(db.isAccess()
                        ? "select count(*) from sqlite_master where type='index' and LOWER(name)=:n"
                        : "select count(*) from pg_indexes where schemaname=current_schema() and indexname=:n",
                    {{"n", name}})
            .toInt();
    };
    QCOMPARE(indexes("ix_quotation_head_client"), 1);
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QCOMPARE(indexes("ix_quotation_head_client"), 0);
    QCOMPARE(indexes("ix_quotation_head_client_date"), 1);
    QCOMPARE(indexes("ix_quotation_head_name_date"), 1);
}

void TestSchema::twoWorkstationsStartOnAnEmptyServerBook() {
    if (TestBooks::currentEngine() != "postgres") {
        QSKIP("a server's book only");
    }
    FreshBook book("postgres");
    book.db().query("CREATE SCHEMA olvend_started_twice");
    // Both start at once on the empty schema: one installs the book, the
    // other waits for it and finds it made.
    std::latch start(2);
    QString failures[2];
    auto workstation = [&](int n) {
        try {
            auto db = Database::openServer(TestBooks::serverParams(book.serverDatabase()), QString("工作站%1").arg(n),
                                           "olvend_started_twice");
            start.arrive_and_wait();
            SchemaInstaller::ensureBook(*db, true);
        } catch (const std::exception& e) {
            failures[n] = QString::fromUtf8(e.what());
        }
    };
    std::thread first(workstation, 0);
    std::thread second(workstation, 1);
    first.join();
    second.join();
    QCOMPARE(failures[0], QString());
    QCOMPARE(failures[1], QString());
    auto db = Database::openServer(TestBooks::serverParams(book.serverDatabase()), "检查", "olvend_started_twice");
    QCOMPARE(SchemaInstaller::storedVersion(*db), SchemaInstaller::kBookVersion);
    QCOMPARE(db->scalar("select count(*) from Sys_user").toInt(),
             book.db().scalar("select count(*) from Sys_user").toInt());
}

// Codes the program draws or checks once and then relies on: a second row
// with the same code is refused by the database itself, whoever writes it.
void TestSchema::codesAreUnique() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    const QList<QPair<QString, QString>> codes{{"Quotation_Head", "BillNo"},
                                               {"Receipt_Head", "BillNo"},
                                               {"Dusmere_Order_Form_head", "Order_Form_Code"},
                                               {"Dusmere_Work_Form_Head", "Work_Form_Code"},
                                               {"Dusmere_Ware_Out_Form_Head", "Ware_Out_Form_Code"},
                                               {"Dusmere_Shipment_Form_Head", "Shipment_Form_Code"},
                                               {"goods", "code"},
                                               {"unit", "unit_code"},
                                               {"Client", "Corp_code"},
                                               {"Provider", "Corp_code"},
                                               {"Sys_user", "User_name"}};
    for (const auto& [table, column] : codes) {
        const int seeded = db.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
        const QString insert = QStringLiteral("insert into %1 (%2) values (:v)").arg(table, column);
        db.execute(insert, {{"v", "X1"}});
        QVERIFY_THROWS_EXCEPTION(DbError, db.execute(insert, {{"v", "X1"}}));
        db.execute(insert, {{"v", "X2"}});
        QVERIFY2(db.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt() - seeded == 2,
                 qPrintable(table));
    }
}

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
