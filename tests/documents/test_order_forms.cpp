#include <QTest>

#include "data/dataset.h"
#include "documents/document_fixture.h"
#include "documents/order_form_document.h"
#include "documents/order_form_list.h"
#include "documents/order_goods_editor.h"
#include "platform/errors.h"

using namespace DocumentFixture;

namespace {
// A new order of `user`, or the stored order `code`.
struct Order : OrderFormDocument {
    explicit Order(Book& b, const QString& code = {}, const QString& user = "admin")
        : OrderFormDocument(b.db(), b.clock, b.prompter, user) {
        load(code.isEmpty() ? New : Existing, code);
    }
};

// A goods row with a name and a unit taken into the order.
void addRow(OrderFormDocument& doc, Prompter& prompter, int name = 1, int unit = 1) {
    OrderGoodsEditor row(doc, prompter, OrderGoodsEditor::New);
    doc.rows().setValue("Goods_name", name);
    doc.rows().setValue("Goods_Unit", unit);
    doc.rows().setValue("QTY", 2);
    if (!row.save()) {
        qFatal("the row was not taken");
    }
}

// How many heads and rows the book holds.
QString stored(Book& b) {
    return read(b.db(),
                "select (select count(*) from Dusmere_Order_Form_head), (select count(*) from "
                "Dusmere_Order_Form_Detail)");
}
}  // namespace

// An order form and its goods rows, on both engines.
class TestOrderForms : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newOrderTakesItsNumberDefaultsAndCustomer() {
        Book b;
        b.db().query(
            "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone) "
            "values ('00001', '明珠酒楼', '王老板', '', '0755-1234')");
        Order doc(b, {}, "张三");
        QCOMPARE(doc.code(), QString("AA0606250001"));
        QCOMPARE(values(doc.head(), {"Send_Date", "Keyin_Date", "Order_Date", "User_name", "isPigeonhole"}),
                 QString("2006-07-02|2006-06-25|2006-06-25|张三|0"));
        QCOMPARE(stored(b), QString("0|0"));
        // Goods rows draw codes from one counter for all orders.
        Order next(b);
        QCOMPARE(next.code(), QString("AA0606250002"));
        const QString first = doc.rows().value(doc.addRow(), "Goods_Code").toString();
        QCOMPARE(first + next.rows().value(next.addRow(), "Goods_Code").toString(), QString("12"));
        QCOMPARE(values(doc.rows(), {"Goods_Status", "Head_Code"}, 0), "0|" + doc.code());
        // The paid mark keeps its date.
        doc.setPaid(true);
        QCOMPARE(values(doc.head(), {"isPay", "PayOver_Date"}), QString("1|2006-06-25"));
        // A customer chosen fills what is empty; one deleted meanwhile is refused.
        doc.head().setValue("Link_man", "李经理");
        doc.chooseCustomer("00001");
        QCOMPARE(values(doc.head(), {"corp_code", "Link_man", "Gain_Customer_Name", "telephon"}),
                 QString("00001|李经理|明珠酒楼|0755-1234"));
        doc.chooseCustomer("99999");
        QCOMPARE(b.prompter.lastText(), QString("所选客户[99999]已不存在，请重新选择客户"));
        QVERIFY(!doc.deleteRows({}));
        QCOMPARE(b.prompter.lastText(), QString("请选择要删除的货品"));
        // Saved without a customer, the head's customer code is empty, not
        // NULL; an order deleted meanwhile cannot be opened.
        Order saved(b);
        addRow(saved, b.prompter);
        QVERIFY(saved.save());
        QCOMPARE(read(b.db(), "select corp_code from Dusmere_Order_Form_head") + "|" + stored(b), QString("|1|1"));
        b.db().query("delete from Dusmere_Order_Form_head");
        QVERIFY_THROWS_EXCEPTION(UserError, Order(b, saved.code()));
    }

    // The refusals in their order; a row without code starts the message
    // afresh. Nothing is written, the edits are kept.
    void validationSpeaksInItsOrder() {
        Book b;
        Order doc(b);
        QStringList said{refusal(doc, b.prompter)};
        addRow(doc, b.prompter);
        addRow(doc, b.prompter);
        auto set = [&doc](int row, const char* field, const QVariant& value) {
            doc.rows().setCurrentRow(row);
            doc.rows().setValue(field, value);
            doc.rows().post();
        };
        set(0, "Goods_Unit", QVariant());
        set(1, "Goods_name", QVariant());
        said << refusal(doc, b.prompter);
        set(1, "Goods_name", 1);
        set(1, "Goods_Code", QVariant());
        said << refusal(doc, b.prompter);
        set(0, "Goods_Unit", 1);
        set(0, "Goods_Code", "7");
        set(1, "Goods_Code", "7");
        said << refusal(doc, b.prompter);
        QCOMPARE(said, QStringList({"请为该收据添加货品", "请填写商品明细的[计量单位,货品名称]",
                                    "请填写商品明细的[货品编号]", "商品明细的货品编号[7]重复，请用其他编码"}));
        QCOMPARE(stored(b), QString("0|0"));
        QVERIFY(doc.isModified());
    }

    void goodsNameFillsDefaultsAndAmountsFollow() {
        Book b;
        Order doc(b);
        doc.addRow();
        Dataset& rows = doc.rows();
        rows.setValue("Goods_name", 1);  // 平开窗: 1200*1500, 平方米, 480, 1, 480
        QCOMPARE(values(rows, {"Model_Size", "Goods_Unit", "Price", "QTY", "Total_Price"}),
                 QString("1200*1500|3|480|1|480"));
        QStringList totals;
        // A zero makes the amount zero: never "0 × 12.50 = 50.00"; an amount
        // typed after them stands until one of them changes.
        for (const auto& [field, value] :
             {std::pair{"QTY", QVariant(2.5)}, std::pair{"QTY", QVariant(0)}, std::pair{"QTY", QVariant(4)},
              std::pair{"Total_Price", QVariant(77)}, std::pair{"Price", QVariant(12.5)}}) {
            rows.setValue(field, value);
            totals << text(rows.value("Total_Price"));
        }
        QCOMPARE(totals, QStringList({"1200", "0", "1920", "77", "50"}));
    }

    // Closed with No, a new row is gone and an existing row's change
    // dropped; a row's checks, its code unique in its order (saved or not)
    // but not across orders; 增加下个商品 takes the row and starts the next.
    void goodsRowValidationDuplicatesAndClosing() {
        Book b;
        Order saved(b);
        addRow(saved, b.prompter);  // code 1, 1200*1500
        QVERIFY(saved.save());
        Order doc(b, saved.code());
        {
            OrderGoodsEditor added(doc, b.prompter, OrderGoodsEditor::New);
            doc.rows().setValue("Goods_name", 3);
            b.prompter.setNextAnswers({false, false});
            QVERIFY(added.close());
            QCOMPARE(b.prompter.lastText(), OrderGoodsEditor::closeQuestion());
            QCOMPARE(doc.rows().rowCount(), 1);
            QVERIFY(!doc.isModified());
            doc.rows().setCurrentRow(0);
            OrderGoodsEditor existing(doc, b.prompter, OrderGoodsEditor::Existing);
            doc.rows().setValue("Model_Size", "改");
            QVERIFY(existing.close());
            QCOMPARE(doc.rows().value("Model_Size").toString(), QString("1200*1500"));
        }
        OrderGoodsEditor row(doc, b.prompter, OrderGoodsEditor::New);
        doc.rows().setValue("Goods_Code", "  ");
        QCOMPARE(refusal(row, b.prompter), QString("货品编码不能为空"));
        // The code of a saved row of this order.
        doc.rows().setValue("Goods_Code", "1");
        const QString taken = refusal(row, b.prompter);
        QVERIFY2(taken.startsWith("该货品编码已经存在，请用其他编码") && taken.endsWith("**1**" + saved.code()),
                 qPrintable(taken));
        // Missing name and unit; the quantity and tracking state get zero.
        doc.rows().setValue("Goods_Code", "X1");
        doc.rows().setValue("Goods_Status", QVariant());
        QCOMPARE(refusal(row, b.prompter), QString("请填写[货品名称,计量单位]"));
        QCOMPARE(values(doc.rows(), {"QTY", "Goods_Status"}), QString("0|0"));
        doc.rows().setValue("Goods_name", 2);
        doc.rows().setValue("QTY", -3);
        QCOMPARE(refusal(row, b.prompter), QString("[货品数量]不能是负数"));
        // 保存并新增 refuses the same way and adds no row.
        const int rowsBefore = doc.rows().rowCount();
        b.prompter.clear();
        QVERIFY(!row.addNext());
        QCOMPARE(b.prompter.lastText() + QString::number(doc.rows().rowCount()),
                 "[货品数量]不能是负数" + QString::number(rowsBefore));
        doc.rows().setValue("QTY", 3);
        QVERIFY(row.save());
        QVERIFY(!row.codeEditable());
        // The same code again in the same unsaved batch ...
        QVERIFY(row.addNext() && row.codeEditable());
        QCOMPARE(doc.rows().rowCount(), 3);
        doc.rows().setValue("Goods_Code", "X1");
        doc.rows().setValue("Goods_name", 2);
        QVERIFY(refusal(row, b.prompter).startsWith("该货品编码已经存在，请用其他编码"));
        // ... while another order may use it.
        Order other(b);
        OrderGoodsEditor otherRow(other, b.prompter, OrderGoodsEditor::New);
        other.rows().setValue("Goods_Code", "1");
        other.rows().setValue("Goods_name", 2);
        QVERIFY(otherRow.save());
        // The next row closed with No goes; the row taken is saved.
        b.prompter.setNextAnswer(false);
        QVERIFY(row.close() && doc.save());
        QCOMPARE(stored(b), QString("1|2"));
    }

    // Coded fields take what their lists offer; a saved row keeps a value
    // deleted from its list since, until that field or row changes.
    void goodsRowTakesOnlyListedCodes() {
        Book b;
        Order doc(b);
        {
            OrderGoodsEditor row(doc, b.prompter, OrderGoodsEditor::New);
            doc.rows().setValue("Goods_name", 5);
            doc.rows().setValue("Goods_Unit", 1);
            doc.rows().setValue("Colour", 9);
            QCOMPARE(refusal(row, b.prompter), QString("[型材颜色]的值 9 不在代码表[型材颜色]中"));
            doc.rows().setValue("Colour", 2);
            doc.rows().setValue("Glass_Type2", 77);  // the second glass is one of the glass list
            QVERIFY2(refusal(row, b.prompter).endsWith("的值 77 不在代码表[玻璃品种]中"),
                     qPrintable(b.prompter.lastText()));
            doc.rows().setValue("Glass_Type2", QVariant());
            QVERIFY(row.save());
        }
        QVERIFY(doc.save());
        b.db().execute(
            "delete from Sys_Status_Describe where (ParamentName='型材颜色' and StatusValue='2') or "
            "(ParamentName='货品名称' and StatusValue='5')");
        Order again(b, doc.code());
        again.setPaid(true);
        QVERIFY(again.save());
        QCOMPARE(read(b.db(), "select isPay from Dusmere_Order_Form_head"), QString("1"));
        again.rows().setCurrentRow(0);
        OrderGoodsEditor row(again, b.prompter, OrderGoodsEditor::Existing);
        again.rows().setValue("Colour", 4);
        again.rows().setValue("Colour", 2);  // changed, back to the deleted value
        QVERIFY(row.save());                 // the same as saved: kept
        again.rows().setValue("Colour", 7);
        QVERIFY(!row.save());
        row.cancel();
        again.rows().setValue("QTY", 3);
        again.rows().post();
        QCOMPARE(refusal(again, b.prompter), QString("商品明细第1行的[货品名称]在参数表中已不存在，请重新选择"));
    }

    // A server reads the list with each order's sum looked up by its code: the list's own rows, newest first, an
    // order without goods rows without a sum.
    void serverListGivesTheListsRows() {
        Book b;
        Order first(b);
        addRow(first, b.prompter);
        addRow(first, b.prompter, 2);
        QVERIFY(first.save());
        b.db().execute("insert into Dusmere_Order_Form_head (Order_Form_Code) values ('EMPTY')");
        Order last(b);
        addRow(last, b.prompter);
        QVERIFY(last.save());
        const QString rows = read(b.db(), OrderFormList::serverListStatement());
        QCOMPARE(rows, read(b.db(), OrderFormList::listStatement() + " order by h.ID desc"));
        QCOMPARE(
            read(b.db(), "select Order_Form_Code, sum_price from (" + OrderFormList::serverListStatement() + ") t"),
            QString("%1|960; EMPTY|null; %2|1800").arg(last.code(), first.code()));
    }
};

QTEST_GUILESS_MAIN(TestOrderForms)
#include "test_order_forms.moc"
