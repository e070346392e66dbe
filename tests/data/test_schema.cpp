#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

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
    void everyTableExists();
    void seedRows();
    void operationsCoverEveryWindowAndAdminHoldsAll();
    void quotationListComputesAmounts();
    void orderGoodsViewNamesCodedFields();
    void goodsViewJoinsUnitAndSupplier();
    void priceTableCopiesByPosition();
    void plainPasswordsAreHashedWhenOpened();
    void olderBookWithoutVersionIsUpgraded();
    void newerBookIsRefused();
    void uniqueDocumentNumbers();
};

namespace {
QStringList columnsOf(Database& db, const QString& table) {
    QSqlQuery q = db.query(QStringLiteral("select * from %1 where 1=2").arg(table));
    QStringList out;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i) {
        out.append(r.fieldName(i).toLower());
    }
    return out;
}
}  // namespace

void TestSchema::everyTableExists() {
    FreshBook book(TestBooks::currentEngine());
    const QMap<QString, QStringList> expected{
        {"Sys_ID_Autoincrement", {"tablename", "fieldname", "currid"}},
        {"Sys_user", {"id", "user_name", "password", "telephone", "email", "user_group", "remark", "type"}},
        {"Sys_Operation_Table",
         {"id", "action_name", "action_title", "form_name", "parent_model", "parent_id", "iscontrol"}},
        {"Sys_user_Operation", {"user_name", "action_id"}},
        {"Sys_Status_Describe_head", {"paramentname", "tablename", "fieldname", "issystem_param"}},
        {"Sys_Status_Describe",
         {"paramentname", "statusvalue", "statusname", "remark", "blank1_str", "blank2_str", "blank3_int", "blank4_int",
          "blank5_int", "blank6_int"}},
        {"temp_User_Operation",
         {"id", "action_name", "action_title", "form_name", "parent_model", "parent_id", "iscontrol", "user_name",
          "img_no"}},
        {"customer_provider", {"id", "corp_code", "corp_name", "boss_name", "boss_mobile", "customer_group"}},
        {"customer_group", {"id", "class_name", "parent_id"}},
        {"Client",
         {"id", "corp_code", "linkman_name", "linkman_foreign_telephone", "corp_address", "groupclass", "recipients",
          "qq"}},
        {"Client_group", {"id", "class_name", "parent_id", "ico_no", "corptype"}},
        {"Provider", {"id", "corp_code", "provider_name", "provider_corp_name", "provider_bankno2", "groupclass"}},
        {"Provider_group", {"id", "class_name", "parent_id", "ico_no", "corptype"}},
        {"goods",
         {"id", "code", "goods_name", "goods_unit", "default_price", "default_totalprice", "provide_corp",
          "goods_class", "picturepath", "keyin_time", "update_time"}},
        {"goods_group", {"id", "class_name", "parent_id", "ico_no", "class_size", "class_unit"}},
        {"base_Dusmere_Price_Table", {"corp_code", "a101", "e203", "all_remark"}},
        {"base_Dusmere_Customer_price_Table", {"corp_code", "a101", "d204", "all_remark"}},
        {"unit", {"id", "unit_code", "unit_name", "remark"}},
        {"Quotation_Head",
         {"id", "billno", "clientno", "rummery", "send_date", "keyin_date", "freight", "earnest", "preferential",
          "add_clientname", "state"}},
        {"Quotation_Detail",
         {"id", "headno", "goodsno", "qty", "price", "total_price", "purchase_price", "gain_money", "sortno"}},
        {"Receipt_Head", {"quotationno", "billno", "totalprice", "billtype", "keyin_user", "keyin_date", "state"}},
        {"Receipt_Detail",
         {"headno", "goodsclassname", "goodsclasssize", "goodsclassunit", "qty", "price", "total_price", "remark"}},
        {"Dusmere_Order_Form_head",
         {"id", "order_form_code", "corp_code", "ispay", "payover_date", "earnest", "gain_customer_name"}},
        {"Dusmere_Order_Form_Detail",
         {"id", "head_code", "goods_code", "goods_type", "goods_name", "lock_size", "goods_status", "price",
          "total_price"}},
        {"payout", {"id", "paytime", "subject", "totalprice", "remark"}},
        {"Dusmere_Work_Form_Head", {"work_form_code", "order_form_code", "keyin_date", "keyin_person"}},
        {"Dusmere_Work_Form_Detail", {"head_code", "order_form_code", "goods_code"}},
        {"Dusmere_Ware_Out_Form_Head", {"ware_out_form_code", "keyin_date", "keyin_person"}},
        {"Dusmere_Ware_Out_Form_Detail", {"head_code", "detailnames", "fittings"}},
        {"Dusmere_Shipment_Form_Head", {"shipment_form_code", "keyin_date", "keyin_person", "reciveperson_telephone"}},
        {"Dusmere_Shipment_Form_Detail", {"goods_id", "head_code", "goods_code"}},
        {"Sys_Corp",
         {"corp_name", "corp_telephone", "corp_address", "tax_no", "bank_code", "linkman_name", "linkman_telephone",
          "linkman_email"}},
    };
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QStringList have = columnsOf(book.db(), it.key());
        for (const QString& c : it.value()) {
            QVERIFY2(have.contains(c), qPrintable(it.key() + "." + c));
        }
    }
    QCOMPARE(SchemaInstaller::storedVersion(book.db()), SchemaInstaller::kBookVersion);
}

void TestSchema::seedRows() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
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
    for (const char* form : {"main_frm",
                             "sys_user_operation_frm",
                             "sys_tablefieldstatus_frm",
                             "form_client_list",
                             "form_client_edit",
                             "form_provider_list",
                             "form_provider_edit",
                             "base_goods_frm",
                             "frm_goods_edit",
                             "base_unit_frm",
                             "base_customerprice_frm",
                             "form_quotation_list",
                             "form_quotation_edit",
                             "form_receipt",
                             "frm_gainbill",
                             "frm_gainbill_list",
                             "dusmere_order_form_goodsedit_frm",
                             "frm_payout",
                             "frm_payout_edit",
                             "sys_currcorpinfo_frm"}) {
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

void TestSchema::quotationListComputesAmounts() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query(
        "insert into Quotation_Head (BillNo, Freight, earnest, preferential, state, Add_ClientName) "
        "values ('BJ0612250001', 50, 100, 20, 1, '张三')");
    db.query("insert into Quotation_Head (BillNo, state) values ('BJ0612250002', 0)");
    db.query(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money) "
        "values ('BJ0612250001', 'SP00000001', 2, 100.5, 201, 80, 41)");
    db.query(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money) "
        "values ('BJ0612250001', 'SP00000002', 3, 10, 30, 7.25, 8.25)");
    db.query(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) "
        "values ('BJ0612250001', 'AA0612250001', 100, 0, 1)");
    db.query(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) "
        "values ('BJ0612250001', 'AA0612250002', 61, 1, 1)");
    QSqlQuery q = db.query("select * from Query_Quotation_Head_list order by BillNo");
    QVERIFY(q.next());
    const QSqlRecord r = q.record();
    auto v = [&](const char* name) { return q.value(r.indexOf(name)); };
    QCOMPARE(v("sum_Goods_Price").toDouble(), 231.0);
    QCOMPARE(v("sum_Gain_Money").toDouble(), 49.25);
    QCOMPARE(v("sum_goods_cost_price").toDouble(), 181.75);
    QCOMPARE(v("sum_payed_money").toDouble(), 161.0);
    QCOMPARE(v("Total_Price").toDouble(), 261.0);  // 231 + 50 freight - 20 discount
    QCOMPARE(v("total_Gain_Money").toDouble(), 29.25);
    QCOMPARE(v("Leave_money").toDouble(), 100.0);
    QCOMPARE(v("isPayAll").toString(), QString("未付清"));
    QCOMPARE(v("state_desc").toString(), QString("生效"));
    QCOMPARE(v("Add_ClientName").toString(), QString("张三"));
    QVERIFY(q.next());
    QCOMPARE(v("sum_Goods_Price").toDouble(), 0.0);
    QCOMPARE(v("Leave_money").toDouble(), 0.0);
    QCOMPARE(v("isPayAll").toString(), QString("已付清"));
    QCOMPARE(v("state_desc").toString(), QString("失效"));
    QVERIFY(!q.next());

    db.query(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) "
        "values ('BJ0612250001', 'AA0612250003', 100, 1, 1)");
    QCOMPARE(db.scalar("select isPayAll from Query_Quotation_Head_list where BillNo='BJ0612250001'").toString(),
             QString("已付清"));
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

void TestSchema::plainPasswordsAreHashedWhenOpened() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("insert into Sys_user (User_name, password, User_Group, type) values ('op', 'secret', '管理员组', 1)");
    db.query("insert into Sys_user (User_name, password, User_Group, type) values ('nopass', '', '管理员组', 1)");
    SchemaInstaller::ensureBook(db, false);
    QVERIFY(db.scalar("select password from Sys_user where User_name='op'").toString().startsWith("$argon2id$"));
    QVERIFY(UserAccounts::verifyLogin(db, "op", "secret").has_value());
    QVERIFY(!UserAccounts::verifyLogin(db, "op", "Secret").has_value());
    QVERIFY(!UserAccounts::verifyLogin(db, "op", "secret ").has_value());
    QVERIFY(UserAccounts::verifyLogin(db, "nopass", "").has_value());
    QCOMPARE(UserAccounts::migratePlainPasswords(db), 0);
}

void TestSchema::olderBookWithoutVersionIsUpgraded() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("drop table schema_version");
    db.query("drop table temp_User_Operation");
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QVERIFY(db.hasTable("temp_User_Operation"));
}

void TestSchema::newerBookIsRefused() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("update schema_version set version=99");
    QVERIFY_THROWS_EXCEPTION(DbError, SchemaInstaller::ensureBook(db, false));
}

void TestSchema::uniqueDocumentNumbers() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    for (const char* sql :
         {"insert into Quotation_Head (BillNo) values ('BJ1')", "insert into Receipt_Head (BillNo) values ('AA1')",
          "insert into Dusmere_Order_Form_head (Order_Form_Code) values ('AA1')",
          "insert into goods (code) values ('SP1')", "insert into unit (unit_code) values ('UNX')",
          "insert into Client (Corp_code) values ('00001')"}) {
        db.query(sql);
        QVERIFY_THROWS_EXCEPTION(DbError, db.query(sql));
    }
}

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
