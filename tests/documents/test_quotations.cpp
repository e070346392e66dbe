#include <QSqlRecord>
#include <QTest>
#include <QThread>
#include <future>
#include <thread>

#include "data/dataset.h"
#include "document_fixture.h"
#include "documents/delivery_date.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "platform/errors.h"

using namespace DocumentFixture;

namespace {
// One workstation's edit of a stored quotation with two lines.
void editQuotation(QuotationDocument& doc, const QString& edit) {
    if (edit == "earnest") {
        doc.head().setValue("earnest", doc.head().value("earnest").toDouble() + 11111);
    } else if (edit == "qty" || edit == "price") {
        doc.lines().setCurrentRow(0);
        doc.lines().setValue(edit == "qty" ? "QTY" : "Price", edit == "qty" ? 10 : 400);
        doc.lines().post();
    } else if (edit == "delete") {
        QVERIFY(doc.deleteLines({0}));
    } else if (edit == "add") {
        QCOMPARE(doc.addGoods({"N"}), 1);
    }
}

// How many heads and lines the book holds.
QString stored(Book& b) {
    return read(b.db(), "select (select count(*) from Quotation_Head), (select count(*) from Quotation_Detail)");
}

QString storedLines(Database& db, const QString& no) {
    return read(db, "select GoodsNo, QTY, Price, Total_Price from Quotation_Detail where HeadNo=:b order by id",
                {{"b", no}}) +
           " | " + read(db, "select earnest from Quotation_Head where BillNo=:b", {{"b", no}});
}
}  // namespace

// Editing and saving quotations on both engines.
class TestQuotations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newQuotationTakesItsNumberAndDefaults() {
        Book b;
        Quotation doc(b, QuotationDocument::New, {}, "张三");
        QCOMPARE(doc.billNo(), QString("BJ0606250001"));
        QCOMPARE(values(doc.head(), {"Order_Date", "Keyin_Date", "Send_Date", "Keyin_User", "state"}),
                 QString("2006-06-25|2006-06-25|2006-07-02|张三|1"));
        QVERIFY(!doc.head().value("ClientNo").isNull() && doc.isModified() && !doc.isStored());
        // The number is drawn when the quotation starts, saved or not.
        QCOMPARE(Quotation(b).billNo() + "|" + stored(b), QString("BJ0606250002|0|0"));
    }

    void addingGoodsSkipsPresentGoodsAndNumbersPositions() {
        Book b;
        addGoods(b.db(), "X", "甲", "S", "UN001", 10, 2.5, 24.0, 1.0);
        addGoods(b.db(), "Y", "乙", "S", "UN001", 2.6, 3.0, 6.0, 1.0);
        Quotation doc(b);
        QCOMPARE(doc.addGoods({"X"}), 1);
        QVERIFY(doc.save());
        QCOMPARE(doc.addGoods({"X", "gone", "Y"}), 1);
        QVERIFY(b.prompter.lastText().contains("gone"));
        Dataset& l = doc.lines();
        // The goods' own amount stands, the profit from it; a default
        // quantity is taken whole.
        const QStringList fields{"GoodsNo", "SortNo", "QTY", "Price", "Total_Price", "Gain_Money"};
        QCOMPARE(values(l, fields, 0), QString("X|1|10|2.5|24|14"));
        QCOMPARE(values(l, {"GoodsNo", "SortNo", "QTY"}, 1), QString("Y|2|3"));
        QVERIFY(doc.save());
        QCOMPARE(stored(b), QString("1|2"));
        // Changing the quantity of the X line recomputes it from the price.
        l.setCurrentRow(0);
        l.setValue("QTY", 12);
        QCOMPARE(l.value("Total_Price").toDouble(), 30.0);
    }

    // Each case changes one field of its own line (quantity 3, price 4.00,
    // purchase price 2.00, the goods' own amount 99.00): a typed amount wins
    // and the profit follows; letters are refused and the line kept.
    void lineAmounts() {
        Book b;
        Quotation doc(b);
        const QList<QPair<QString, QVariant>> cases{{"Price", 4.10},         {"QTY", 5},       {"qty", 5},
                                                    {"purchase_Price", 1.5}, {"Price", 4.105}, {"Total_Price", 10.0},
                                                    {"QTY", QVariant("3x")}};
        QStringList seen;
        for (int i = 0; i < cases.size(); ++i) {
            addGoods(b.db(), QString("X%1").arg(i), "甲", "S", "UN001", 3, 4.0, 99.0, 2.0);
            doc.addGoods({QString("X%1").arg(i)});
            doc.lines().setCurrentRow(i);
            try {
                doc.lines().setValue(cases[i].first, cases[i].second);
            } catch (const std::exception&) {
                seen << "refused";
            }
            doc.lines().post();
            seen << values(doc.lines(), {"QTY", "Total_Price", "Gain_Money"});
        }
        QVERIFY(doc.save());
        seen << read(b.db(), "select Total_Price from Quotation_Detail order by SortNo");
        QCOMPARE(seen, QStringList({"3|12.3|6.3", "5|20|10", "5|20|10", "3|12|7.5", "3|12.33|6.33", "3|10|4", "refused",
                                    "3|99|93", "12.3; 20; 20; 12; 12.33; 10; 99"}));
    }

    void validationSpeaksInItsOrder() {
        Book b;
        addGoods(b.db(), "X", "甲");
        b.db().query("insert into Client (Corp_code, Linkman_name) values ('00001', '王')");
        Quotation doc(b);
        QStringList said;
        doc.head().setValue("Send_Date", QVariant());
        said << refusal(doc, b.prompter);
        doc.head().setValue("Send_Date", QDate(2006, 7, 1).startOfDay());
        said << refusal(doc, b.prompter);
        doc.addGoods({"X"});
        doc.lines().append();
        doc.lines().post();
        said << refusal(doc, b.prompter);
        doc.deleteLines({1});
        // A customer chosen here and deleted meanwhile.
        doc.head().setValue("ClientNo", "00001");
        b.db().query("delete from Client");
        said << refusal(doc, b.prompter);
        QCOMPARE(said, QStringList({"请填写[交货日期]", "请为该收据添加货品", "请填写商品明细的[货品编号]",
                                    "所选客户[00001]已不存在，请重新选择客户"}));
        QCOMPARE(stored(b), QString("0|0"));
        doc.head().setValue("ClientNo", QVariant());
        QVERIFY(doc.save());
        QCOMPARE(read(b.db(), "select ClientNo from Quotation_Head"), QString(""));  // empty, not NULL
        QCOMPARE(doc.mode(), int(QuotationDocument::Existing));

        // Goods deleted since they were added: No leaves the edits unsaved.
        doc.lines().setCurrentRow(0);
        doc.lines().setValue("QTY", 4);
        doc.lines().post();
        b.db().query("delete from goods where code='X'");
        b.prompter.setNextAnswers({false, true});
        QVERIFY2(refusal(doc, b.prompter).contains("货品[X]已不存在"), qPrintable(b.prompter.lastText()));
        QVERIFY(doc.isModified());
        QCOMPARE(read(b.db(), "select QTY from Quotation_Detail"), QString("1"));
        QVERIFY(doc.save());
        QCOMPARE(read(b.db(), "select QTY from Quotation_Detail"), QString("4"));

        // A delivery date before the order date is asked about once.
        doc.head().setValue("Send_Date", QDate(2006, 6, 1).startOfDay());
        b.prompter.setNextAnswer(false);
        QVERIFY(!confirmDeliveryDate(doc.head(), false, b.prompter));
        QCOMPARE(b.prompter.lastText(), QString("交货日期早于订货日期，是否继续？"));
        b.prompter.setNextAnswers({true, true});  // the date, then the goods gone
        QVERIFY(confirmDeliveryDate(doc.head(), false, b.prompter));
        QVERIFY(doc.save());
        doc.head().setValue("Remark", "再存");
        QVERIFY(confirmDeliveryDate(doc.head(), false, b.prompter));
        QCOMPARE(b.prompter.pendingAnswers(), 0);
    }

    void headAndLinesAreSavedWholeOrNotAtAll() {
        Book b;
        for (const char* c : {"A", "B", "C"}) {
            addGoods(b.db(), c, c);
        }
        failWhen(b.db(), "Quotation_Detail", "INSERT", "NEW.GoodsNo = 'C'");
        Quotation doc(b);
        doc.head().setValue("Rummery", "海景酒楼");
        doc.addGoods({"A", "B", "C"});
        QVERIFY_THROWS_EXCEPTION(DbError, doc.save());
        const QString rows = "select (select count(*) from Quotation_Sum), (select max(Rummery) from Quotation_Head)";
        QCOMPARE(stored(b) + "|" + read(b.db(), rows), QString("0|0|0|null"));
        // Every edit is still there to save again.
        QVERIFY(doc.isModified());
        QCOMPARE(values(doc.head(), {"Rummery"}) + QString::number(doc.lines().rowCount()), QString("海景酒楼3"));
        stopFailing(b.db(), "Quotation_Detail");
        QVERIFY(doc.save());
        QCOMPARE(stored(b) + "|" + read(b.db(), rows), QString("1|3|1|海景酒楼"));
        QVERIFY(!doc.isModified());
        // Saved in a caller's transaction that rolls back: still new and unsaved.
        Quotation again(b);
        again.addGoods({"A"});
        {
            WriteTransaction tx(b.db());
            QVERIFY(again.save());
        }
        QCOMPARE(stored(b) + "|" + read(b.db(), rows), QString("1|3|1|海景酒楼"));
        QVERIFY(again.isModified() && !again.isStored() && again.save() && !again.isModified());
        QCOMPARE(stored(b) + "|" + read(b.db(), rows), QString("2|4|2|海景酒楼"));
    }

    void unsavedChangesAnswers() {
        Book b;
        const QString no = storedQuotation(b, 2);
        {
            // No: the stored quotation comes back, and the caller goes on.
            Quotation doc(b, QuotationDocument::Existing, no);
            QVERIFY(!doc.isModified() && doc.settleChanges());  // nothing to ask
            doc.head().setValue("Rummery", "改过");
            doc.deleteLines({0});
            b.prompter.setNextAnswer(false);
            QVERIFY(doc.settleChanges() && !doc.isModified());
            QCOMPARE(b.prompter.texts(), QStringList{QuotationDocument::unsavedQuestion()});
            QCOMPARE(values(doc.head(), {"Rummery"}) + QString::number(doc.lines().rowCount()), QString("null2"));
        }
        {
            // Yes with a fault: the message, and the window keeps its data.
            Quotation doc(b, QuotationDocument::Existing, no);
            doc.head().setValue("Send_Date", QVariant());
            doc.head().setValue("Rummery", "改过");
            b.prompter.setNextAnswers({true, true, true});
            QVERIFY(!doc.settleChanges() && doc.isModified());
            QCOMPARE(b.prompter.lastText(), QString("请填写[交货日期]"));
            QCOMPARE(values(doc.head(), {"Rummery"}), QString("改过"));
            // Mended, Yes saves, unless the caller's own check refuses it.
            doc.head().setValue("Send_Date", QDate(2006, 8, 1).startOfDay());
            QVERIFY(!doc.settleChanges([] { return false; }) && doc.isModified());
            QVERIFY(doc.settleChanges());
            QCOMPARE(read(b.db(), "select Rummery from Quotation_Head"), QString("改过"));
        }
        // No on a quotation never saved leaves nothing behind.
        Quotation doc(b);
        b.prompter.setNextAnswer(false);
        QVERIFY(doc.settleChanges() && !doc.isStored() && !doc.isModified());
        QCOMPARE(stored(b), QString("1|2"));
        QCOMPARE(b.prompter.pendingAnswers(), 0);
    }

    void movingLines() {
        Book b;
        const QString no = storedQuotation(b, 3);
        Quotation doc(b, QuotationDocument::Existing, no);
        QVERIFY(!doc.moveLineUp(0) && !doc.moveLineDown(2) && !doc.isModified() && !doc.moveLineUp(-1));
        QCOMPARE(b.prompter.lastText(), QString("请选择商品"));
        QVERIFY(doc.moveLineUp(1));
        // Rows stay where they are; their positions change.
        QCOMPARE(values(doc.lines(), {"GoodsNo", "SortNo"}, 1), QString("G2|1"));
        QCOMPARE(values(doc.lines(), {"SortNo"}, 0) + values(doc.lines(), {"SortNo"}, 2), QString("23"));
        // G1 is second in print order now: down makes it last.
        QVERIFY(doc.moveLineDown(0));
        QCOMPARE(doc.printOrder(), (QList<int>{1, 2, 0}));
        QVERIFY(!doc.moveLineDown(0) && !doc.moveLineUp(1) && doc.isModified() && doc.save());
        const QString sorted = "select GoodsNo, SortNo from Quotation_Detail where HeadNo=:h order by SortNo, GoodsNo";
        QCOMPARE(read(b.db(), sorted, {{"h", no}}), QString("G2|1; G3|2; G1|3"));

        // Positions shared or missing (older books) become 1..n on a move.
        b.db().query("update Quotation_Detail set SortNo=5 where GoodsNo<>'G3'");
        b.db().query("update Quotation_Detail set SortNo=null where GoodsNo='G3'");
        Quotation again(b, QuotationDocument::Existing, no);
        QVERIFY(again.moveLineUp(again.printOrder()[1]));
        QVERIFY(again.save());
        QCOMPARE(read(b.db(), sorted, {{"h", no}}), QString("G1|1; G3|2; G2|3"));
    }

    // A copy takes the customer but no lines or amounts.
    void copyAndChosenCustomerFillTheHead() {
        Book b;
        const QString source = storedQuotation(b, 2);
        b.db().query("insert into Client (Corp_code, Linkman_name) values ('00007', '李')");
        b.db().query(
            "update Quotation_Head set ClientNo='00007', Add_ClientName='李先生', Rummery='海景', Country='中国', "
            "telephon='123', Remark='老客户', Freight=80, earnest=500, preferential=5");
        Quotation copy(b, QuotationDocument::Copy, source);
        QCOMPARE(values(copy.head(), {"BillNo", "ClientNo", "Add_ClientName", "Rummery", "Country", "telephon",
                                      "Remark", "Freight", "earnest", "preferential"}) +
                     QString::number(copy.lines().rowCount()),
                 QString("BJ0606250002|00007|李先生|海景|中国|123|老客户|null|null|null0"));
        // Copying from a number that looks like a statement copies nothing.
        QVERIFY(Quotation(b, QuotationDocument::Copy, "' or '1'='1").head().value("Remark").isNull());
        // A customer chosen fills what is empty.
        b.db().execute(
            "insert into Client (Corp_code, Linkman_name, Corp_name, Linkman_country, LinkMan_mobile, "
            "LinkMan_Telephone) values ('00001', '张芳', '海景酒楼', '阿联酋', '', '+971-4-1234567')");
        Quotation doc(b);
        doc.head().setValue("Country", "迪拜");  // typed: it stays
        doc.chooseCustomer("00001");
        const QStringList fields{"ClientNo", "Add_ClientName", "Rummery", "Country", "telephon"};
        QCOMPARE(values(doc.head(), fields), QString("00001|张芳|海景酒楼|迪拜|+971-4-1234567"));
        // The customer set as the drop-down or a file sets it fills the same.
        Quotation other(b);
        other.head().setValue("ClientNo", "00001");
        QCOMPARE(values(other.head(), fields), QString("00001|张芳|海景酒楼|阿联酋|+971-4-1234567"));
    }

    void quotationDeletedElsewhereIsNotSavedHalf() {
        Book b;
        const QString no = storedQuotation(b, 1);
        addGoods(b.db(), "N", "新");
        Quotation doc(b, QuotationDocument::Existing, no);
        QuotationList(b.db(), b.prompter).removeNow({no});
        doc.addGoods({"N"});
        QVERIFY_THROWS_EXCEPTION(UserError, doc.save());
        QCOMPARE(stored(b) + "|" + QString::number(doc.lines().rowCount()), QString("0|0|2"));
        QVERIFY_THROWS_EXCEPTION(UserError, Quotation(b, QuotationDocument::Existing, no));
    }

    // Goods deleted on another workstation while this one saves: the save waits for the deletion, then refuses
    // rather than naming goods that are gone; the line stays for the user.
    void goodsDeletedDuringTheSaveAreNotNamedUnasked() {
        Book b;
        addGoods(b.db(), "N", "新");
        Quotation here(b);
        QCOMPARE(here.addGoods({"N"}), 1);
        std::promise<void> deleting;
        std::jthread other([&b, &deleting] {
            try {
                std::unique_ptr<Database> second = b.book.connectAgain();
                WriteTransaction tx(*second);
                second->query("delete from goods where code='N'");
                deleting.set_value();
                QThread::msleep(1500);  // the save here waits for this
                tx.commit();
            } catch (...) {
                deleting.set_exception(std::current_exception());
            }
        });
        deleting.get_future().get();
        QString refused;
        try {
            here.save();
        } catch (const OlvendError& e) {
            refused = e.message();
        }
        other.join();
        QVERIFY2(refused.startsWith("货品[N]已被其他用户删除，订货单没有保存。"), qPrintable(refused));
        QCOMPARE(stored(b) + "|" + QString::number(here.lines().rowCount()), QString("0|0|1"));
    }

    void saveOverAnotherWorkstationsSaveIsRefused_data() {
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<QString>("ours");
        for (const auto& [theirs, ours] : QList<QPair<QString, QString>>{
                 {"earnest", "earnest"}, {"qty", "price"}, {"delete", "price"}, {"add", "add"}, {"earnest", "qty"}}) {
            QTest::newRow(qPrintable(theirs + " there, " + ours + " here")) << theirs << ours;
        }
    }
    void saveOverAnotherWorkstationsSaveIsRefused() {
        QFETCH(QString, theirs);
        QFETCH(QString, ours);
        Book b;
        const QString no = storedQuotation(b, 2);
        addGoods(b.db(), "N", "新");
        std::unique_ptr<Database> second = b.book.connectAgain();
        ScriptedPrompter secondPrompter;
        QuotationDocument there(*second, b.clock, secondPrompter, "乙");
        there.load(QuotationDocument::Existing, no);
        Quotation here(b, QuotationDocument::Existing, no, "甲");
        editQuotation(there, theirs);
        QVERIFY(there.save());
        const QString saved = storedLines(b.db(), no);
        editQuotation(here, ours);
        const int linesHere = here.lines().rowCount();
        // No keeps the edits; nothing of them is written.
        b.prompter.setNextAnswer(false);
        QVERIFY(!here.save());
        QVERIFY2(b.prompter.lastText().contains(QString("订货单[%1]已被其他用户修改，您的修改没有保存").arg(no)),
                 qPrintable(b.prompter.lastText()));
        QCOMPARE(storedLines(b.db(), no), saved);
        QVERIFY(here.isModified() && here.lines().rowCount() == linesHere && drifted(b.db()).isEmpty());
        // Yes reads it again as saved there; the edit can then be saved.
        b.prompter.setNextAnswer(true);
        QVERIFY(!here.save() && !here.isModified());
        QCOMPARE(storedLines(b.db(), no), saved);
        QCOMPARE(values(here.head(), {"earnest"}) + QString::number(here.lines().rowCount()),
                 values(there.head(), {"earnest"}) + QString::number(there.lines().rowCount()));
        if (ours != "add" || theirs != "add") {
            editQuotation(here, ours);
            QVERIFY(here.save());
            QVERIFY(storedLines(b.db(), no) != saved);
        }
    }
};

QTEST_GUILESS_MAIN(TestQuotations)
#include "test_quotations.moc"
