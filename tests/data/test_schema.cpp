#include <QTest>
#include <latch>
#include <thread>

#include "book_checks.h"
#include "data/dataset.h"
#include "data/schema_installer.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "support/golden.h"
#include "support/test_books.h"

using BookChecks::count;
using BookChecks::rows;
using TestBooks::FreshBook;

namespace {
bool loginWorks(Database& db, const QString& user, const QString& password) {
    return UserAccounts::verifyLogin(db, user, password).has_value();
}

// Each statement and its rows (sorted, one a line), for a golden file.
QString sortedRows(Database& db, const QStringList& statements) {
    QStringList out;
    for (const QString& sql : statements) {
        QStringList found = rows(db, sql).split('|');
        found.sort();
        out << sql << "  " + found.join("\n  ");
    }
    return out.join('\n') + '\n';
}
}  // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    // Tables edited through a Dataset: a new row gets a key the Dataset learns; changes reach exactly their row.
    void editedTablesKeyTheirRowsAndCodesAreUnique() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        for (const QString& spec :
             QString("goods_group:Class_name=类 goods:code=SP unit:unit_code=UN Client_group:Class_name=组 "
                     "Client:Corp_code=C Provider_group:Class_name=组 Provider:Corp_code=P Sys_Corp:Corp_name=公司 "
                     "Sys_user:User_name=用户 Sys_Status_Describe:ParamentName=计量单位,StatusValue=9")
                 .split(' ')) {
            const QString table = spec.section(':', 0, 0);
            QVariantMap values;
            for (const QString& v : spec.section(':', 1).split(',')) {
                values.insert(v.section('=', 0, 0), v.section('=', 1));
            }
            const QString field = values.firstKey();
            const int seeded = count(db, table);
            const int highest = db.scalar(QStringLiteral("select max(id) from %1").arg(table)).toInt();
            Dataset ds(db);
            ds.openTable(table, "id");
            for (int i = 1; i <= 2; ++i) {
                ds.append();
                for (auto it = values.cbegin(); it != values.cend(); ++it) {
                    ds.setValue(it.key(), it.value().toString() + QString::number(i));
                }
            }
            ds.applyUpdates();
            const int first = ds.value(seeded, "id").toInt();
            const int second = ds.value(seeded + 1, "id").toInt();
            QVERIFY2(first > highest && second > first, qPrintable(table));
            ds.setCurrentRow(seeded + 1);
            ds.setValue(field, "改");
            ds.post();
            ds.setCurrentRow(seeded);
            ds.deleteCurrent();
            ds.applyUpdates();
            QCOMPARE(
                rows(db, QStringLiteral("select id, %1 from %2 where id > :h").arg(field, table), {{"h", highest}}),
                QString::number(second) + ",改");
            QCOMPARE(count(db, table), seeded + 1);
        }
        // A second row with a code the program relies on is refused by the book.
        for (const QString& code :
             QString("Quotation_Head.BillNo Receipt_Head.BillNo Dusmere_Order_Form_head.Order_Form_Code "
                     "Dusmere_Work_Form_Head.Work_Form_Code Dusmere_Ware_Out_Form_Head.Ware_Out_Form_Code "
                     "Dusmere_Shipment_Form_Head.Shipment_Form_Code goods.code unit.unit_code Client.Corp_code "
                     "Provider.Corp_code Sys_user.User_name")
                 .split(' ')) {
            const QString table = code.section('.', 0, 0);
            const int seeded = count(db, table);
            const QString insert = QStringLiteral("insert into %1 (%2) values (:v)").arg(table, code.section('.', 1));
            db.execute(insert, {{"v", "X1"}});
            QVERIFY_THROWS_EXCEPTION(DbError, db.execute(insert, {{"v", "X1"}}));
            QVERIFY2(count(db, table) - seeded == 1, qPrintable(table));
        }
    }
    // A new book's seeded rows (golden file); every action under its window's row, lower case, the system group's.
    void seedRows() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
        QVERIFY(!loginWorks(db, "管理员组", ""));  // a group (type 0) cannot log in
        OLVEND_COMPARE_GOLDEN(
            "data/seed_rows.txt",
            sortedRows(db, {"select User_name, type from Sys_user",
                            "select CurrID from Sys_ID_Autoincrement where tablename='accountbook'",
                            "select id, Parent_id, CorpType from Client_group",
                            "select id, Parent_id, CorpType from Provider_group",
                            "select id, Parent_id, CorpType from customer_group",
                            "select count(*) from goods_group where Parent_id=-1",
                            "select count(*) from base_Dusmere_Price_Table", "select count(*) from Sys_Corp",
                            "select d.StatusValue, d.StatusName from Sys_Status_Describe d, Sys_Status_Describe_head h "
                            "where d.paramentName=h.paramentName and h.TableName='payout' and h.FieldName='subject'",
                            "select ParamentName, StatusValue, StatusName from Sys_Status_Describe where "
                            "ParamentName in ('收据类型', '收款情况')",
                            "select ParamentName, count(*) from Sys_Status_Describe group by ParamentName",
                            "select count(*) from Sys_Status_Describe where ParamentName='货品名称' and "
                            "blank3_Int > 0 and blank5_Int > 0 and blank6_Int = blank3_Int * blank5_Int",
                            "select distinct Form_Name from Sys_Operation_Table where Action_Name<>''"}));
        QCOMPARE(count(db,
                       "Sys_Operation_Table a where a.Action_Name<>'' and not exists (select 1 from "
                       "Sys_Operation_Table w where CAST(w.id AS VARCHAR(20))=a.Parent_ID and w.Action_Name='' and "
                       "w.Form_Name=a.Form_Name)"),
                 0);
        QCOMPARE(count(db, "Sys_Operation_Table where Action_Name<>LOWER(Action_Name) or Form_Name<>LOWER(Form_Name)"),
                 0);
        QCOMPARE(count(db, "Sys_user_Operation where User_name='管理员组'"), count(db, "Sys_Operation_Table"));
    }
    // The views: the quotation list's cost and profit sums, the goods with unit and supplier.
    void viewsComputeAndName() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.query(
            "insert into Quotation_Head (BillNo, Freight, earnest, preferential, state, Add_ClientName) "
            "values ('BJ0612250001', 50, 100, 20, 1, '张三')");
        db.query(
            "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money) "
            "values ('BJ0612250001', 'SP00000001', 2, 100.5, 201, 80, 41), "
            "('BJ0612250001', 'SP00000002', 3, 10, 30, 7.25, 8.25)");
        QCOMPARE(rows(db,
                      "select sum_Gain_Money, sum_goods_cost_price, total_Gain_Money, state_desc, Add_ClientName "
                      "from Query_Quotation_Head_list"),
                 QString("49.25,181.75,29.25,生效,张三"));
        db.query(
            "insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00001', '王五', '五金厂')");
        db.query(
            "insert into goods (code, Goods_name, Goods_size, Goods_unit, Provide_corp, Corp_Goods_Code) "
            "values ('SP00000001', '合页', '4寸', 'UN003', '00001', 'HY-4')");
        db.query("insert into goods (code, Goods_name) values ('SP00000002', '无单位')");
        QCOMPARE(
            rows(db, "select code, Unit_name, provider_name, Corp_code from Query_Goods_With_Corp_Unit order by code"),
            QString("SP00000001,套,王五,00001|SP00000002,~,~,~"));
    }
    // Opening a book writes nothing; migrating hashes the plain passwords (an empty one too), once.
    void plainPasswordsAreHashedOnlyWhenAsked() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.query(
            "insert into Sys_user (User_name, password, User_Group, type) values ('op', 'secret', '管理员组', 1), "
            "('nopass', '', '管理员组', 1)");
        SchemaInstaller::ensureBook(db, false);
        QCOMPARE(rows(db, "select password from Sys_user where User_name='op'"), QString("secret"));
        QCOMPARE(UserAccounts::migratePlainPasswords(db), 2);
        QVERIFY(rows(db, "select password from Sys_user where User_name='op'").startsWith("$argon2id$"));
        QVERIFY(loginWorks(db, "op", "secret") && !loginWorks(db, "op", "Secret") && loginWorks(db, "nopass", ""));
        QCOMPARE(UserAccounts::migratePlainPasswords(db), 0);
    }
    // An old book gets the commands added since (controlled, the system group's) and indexes, once; a newer
    // program's book is refused.
    void olderBookIsUpgraded() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.query("drop table schema_version");
        db.query("drop table temp_User_Operation");
        SchemaInstaller::ensureBook(db, false);
        QVERIFY(SchemaInstaller::storedVersion(db) == SchemaInstaller::kBookVersion &&
                db.hasTable("temp_User_Operation"));
        const QString newOnes =
            "(LOWER(Action_Name) in ('action_backupbook', 'action_restorebook', 'action_viewcostprofit', "
            "'action_pricehistory', 'action_shipmentquery', 'action_showforms') or LOWER(Form_Name) in "
            "('dusmere_work_form_list', 'dusmere_ware_out_form_list', 'dusmere_shipment_form_list', 'olvendctl') or "
            "(LOWER(Form_Name) in ('form_client_list', 'form_provider_list') and LOWER(Action_Name) in "
            "('action_addgroup', 'action_editgroup', 'action_deletegroup')))";
        const int added = count(db, "Sys_Operation_Table where " + newOnes);
        db.query("delete from Sys_user_Operation where Action_id in (select id from Sys_Operation_Table where " +
                 newOnes + ")");
        db.query("delete from Sys_Operation_Table where " + newOnes);
        db.query("DROP INDEX ix_quotation_head_client_date");
        db.query("DROP INDEX ix_quotation_head_name_date");
        db.query("CREATE INDEX ix_quotation_head_client ON Quotation_Head (ClientNo)");
        db.query("update schema_version set version=4");
        db.query(
            "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
            "where LOWER(Action_Name)='action_syscorpinfo'");
        const int before = count(db, "Sys_Operation_Table");
        for (int run = 0; run < 2; ++run) {
            SchemaInstaller::ensureBook(db, false);
            QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
            QCOMPARE(db.scalar("select count(distinct id) from Sys_Operation_Table").toInt(), before + added);
        }
        // Each command controlled under its own window's row.
        QCOMPARE(count(db, "Sys_Operation_Table a where " + newOnes +
                               " and a.Action_Name<>'' and a.isControl=1 and exists (select 1 from "
                               "Sys_Operation_Table w where CAST(w.id AS VARCHAR(20))=a.Parent_ID and "
                               "w.Action_Name='' and w.Form_Name=a.Form_Name)"),
                 count(db, "Sys_Operation_Table a where " + newOnes + " and a.Action_Name<>''"));
        QCOMPARE(count(db, "Sys_user_Operation where User_name='管理员组'"), before + added);
        QCOMPARE(count(db, "Sys_user_Operation where User_name='业务组'"), 1);
        QCOMPARE(rows(db, db.isAccess() ? "select LOWER(name) from sqlite_master where type='index' and "
                                          "LOWER(name) like 'ix_quotation_head_%' order by 1"
                                        : "select indexname from pg_indexes where schemaname=current_schema() "
                                          "and indexname like 'ix_quotation_head_%' order by 1"),
                 QString("ix_quotation_head_client_date|ix_quotation_head_keyin|ix_quotation_head_name_date"));
        // A book of the version before gets the statement and the receivables by age, held by the administrators.
        const QString reports = "LOWER(Action_Name) in ('action_customerstatement', 'action_receivablesaging')";
        db.query("delete from Sys_user_Operation where Action_id in (select id from Sys_Operation_Table where " +
                 reports + ")");
        db.query("delete from Sys_Operation_Table where " + reports);
        db.query("update schema_version set version=8");
        SchemaInstaller::ensureBook(db, false);
        QCOMPARE(count(db, "Sys_Operation_Table where isControl=1 and LOWER(Form_Name)='main_frm' and " + reports), 2);
        QCOMPARE(count(db,
                       "Sys_user_Operation u join Sys_Operation_Table o on o.id=u.Action_id where "
                       "u.User_name='管理员组' and " +
                           reports),
                 2);
        db.query("update schema_version set version=99");
        QVERIFY_THROWS_EXCEPTION(DbError, SchemaInstaller::ensureBook(db, false));
    }
    void twoWorkstationsStartOnAnEmptyServerBook() {
        if (TestBooks::currentEngine() != "postgres") {
            QSKIP("a server's book only");
        }
        FreshBook book("postgres");
        book.db().query("CREATE SCHEMA olvend_started_twice");
        // Both start at once on the empty schema: one installs the book, the other waits for it.
        std::latch start(2);
        QString failures[2];
        auto workstation = [&](int n) {
            try {
                auto db = Database::openServer(TestBooks::serverParams(book.serverDatabase()),
                                               QString("工作站%1").arg(n), "olvend_started_twice");
                start.arrive_and_wait();
                SchemaInstaller::ensureBook(*db, true);
            } catch (const std::exception& e) {
                failures[n] = QString::fromUtf8(e.what());
            }
        };
        { std::jthread first(workstation, 0), second(workstation, 1); }
        QCOMPARE(failures[0] + failures[1], QString());
        auto db = Database::openServer(TestBooks::serverParams(book.serverDatabase()), "检查", "olvend_started_twice");
        // The connection brought the book's version with its opening: the check of every start sends nothing more.
        const qint64 opened = db->counts().statements;
        SchemaInstaller::ensureBook(*db, true);
        QCOMPARE(db->counts().statements, opened);
        QCOMPARE(count(*db, "Sys_user"), count(book.db(), "Sys_user"));
        // Later checks ask the server: another workstation may have changed the book meanwhile.
        book.db().query("update olvend_started_twice.schema_version set version=3");
        QCOMPARE(SchemaInstaller::storedVersion(*db), 3);
        auto again =
            Database::openServer(TestBooks::serverParams(book.serverDatabase()), "检查", "olvend_started_twice");
        QCOMPARE(SchemaInstaller::storedVersion(*again), 3);
        book.db().query("update olvend_started_twice.schema_version set version=4");
        QCOMPARE(SchemaInstaller::storedVersion(*again), 4);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
