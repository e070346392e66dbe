#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSqlQuery>
#include <QTest>

#include "data/dataset.h"
#include "data/name_initials.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/customer_picker_dialog.h"
#include "documents/order_form_window.h"
#include "documents/order_goods_window.h"
#include "documents/payout_edit_window.h"
#include "documents/payout_list.h"
#include "documents/quotation_edit_window.h"
#include "documents/receipt_window.h"
#include "documents/typed_entry.h"
#include "master/partner_list_window.h"
#include "ui/editors.h"
#include "ui/match_popup.h"

using DocumentFixture::count;
using DocumentFixture::read;

namespace {
// Goods whose names a clerk types by their initials.
const QList<QPair<QString, QString>> kGoods{
    {"G01", "中空玻璃"}, {"G02", "不锈钢合页"}, {"G03", "铝合金型材"}, {"G04", "多点锁"}, {"G05", "执手"},
    {"G06", "滑轮"},     {"G07", "密封条"},     {"G08", "纱网"},       {"G09", "地漏"},   {"G10", "闭门器"},
};

void settle() {
    // Enter in a cell editor commits through a queued call.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void type(const QString& text) {
    QTest::keyClicks(QApplication::focusWidget(), text);
}

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    settle();
}
}  // namespace

// Quotations typed with the keyboard only: goods by initials or code into
// the line under the rows, Enter through quantity, price and remark, the
// customer by initials, the keys of the commands.
class TestKeyboardEntry : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() {
        start();
        for (int i = 0; i < kGoods.size(); ++i) {
            DocumentFixture::addGoods(db(), kGoods[i].first, kGoods[i].second, "S", "UN001", i % 3 + 1, 10.0 + i,
                                      (10.0 + i) * (i % 3 + 1), 4.0 + i);
        }
        db().query(
            "insert into Client (Corp_code, Linkman_name, Corp_name, Linkman_country, LinkMan_Telephone) values "
            "('00001', '张芳', '武汉国际酒店', '中国', '027-1234'), ('00002', '陈强', '重庆饭店', '中国', '023-9')");
        NameInitials::fillMissing(db());
    }
    void cleanup() { stop(); }

    // Ten lines typed (initials for most, a code in lower case for one),
    // saved with Ctrl+S: the book holds what the pick window and the same
    // edits make.
    void typedQuotationEqualsPickedOne() {
        QuotationEditWindow typed(context(), QuotationDocument::New);
        showActive(typed);
        QLineEdit* name = nameEdit(typed);
        name->setFocus();
        // A customer taken, then another: what the first gave gives way.
        type("zf");
        press(Qt::Key_Return);
        QCOMPARE(typed.document().head().value("Rummery").toString(), QString("武汉国际酒店"));
        name->selectAll();
        type("cq");
        QVERIFY(typed.customerMatches()->isShown());
        QCOMPARE(typed.customerMatches()->rows().value(0).value(0), QString("00002"));
        press(Qt::Key_Return);
        QCOMPARE(typed.document().head().value("ClientNo").toString() +
                     typed.document().head().value("Add_ClientName").toString() +
                     typed.document().head().value("Rummery").toString(),
                 QString("00002陈强重庆饭店"));
        QLineEdit* line = typed.grid()->entryLine();
        press(Qt::Key_Insert);
        QCOMPARE(QApplication::focusWidget(), line);
        for (int i = 0; i < kGoods.size(); ++i) {
            QCOMPARE(QApplication::focusWidget(), line);
            type(i == 4 ? "g05" : PinyinOf(i));
            QVERIFY2(typed.goodsMatches()->isShown(), qPrintable(line->text()));
            press(Qt::Key_Return);
            // Quantity, price and remark, each closed by Enter.
            type(QString::number(i + 2));
            press(Qt::Key_Return);
            type(QString::number(20 + i) + ".5");
            press(Qt::Key_Return);
            type(QString("note%1").arg(i));
            press(Qt::Key_Return);
        }
        QCOMPARE(typed.document().lines().rowCount(), 10);
        press(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!typed.document().isModified());
        const QString typedNo = typed.document().billNo();

        QuotationEditWindow picked(context(), QuotationDocument::New);
        QStringList codes;
        for (const auto& g : kGoods) {
            codes << g.first;
        }
        pickGoods(codes);
        picked.document().head().setValue("Add_ClientName", "陈强");
        picked.document().chooseCustomer("00002");
        click(picked, "Action_AddGoods");
        Dataset& lines = picked.document().lines();
        for (int i = 0; i < kGoods.size(); ++i) {
            QVERIFY(lines.locate("GoodsNo", kGoods[i].first));
            lines.edit();
            lines.setValue("QTY", i + 2);
            lines.setValue("Price", 20 + i + 0.5);
            lines.setValue("Remark", QString("note%1").arg(i));
            lines.post();
        }
        click(picked, "Action_Save");
        QCOMPARE(linesOf(typedNo), linesOf(picked.document().billNo()));
        QCOMPARE(headOf(typedNo), headOf(picked.document().billNo()));
    }

    // What matches nothing is said beside the line and stays; goods on the
    // quotation already, or deleted meanwhile, are refused; Escape closes
    // the drop-down and changes nothing.
    void badInputIsRefusedAndKept() {
        QuotationEditWindow w(context(), QuotationDocument::New);
        showActive(w);
        QLineEdit* line = w.grid()->entryLine();
        line->setFocus();
        type("xyz9");
        QVERIFY(!w.goodsMatches()->isShown());
        press(Qt::Key_Return);
        QCOMPARE(w.grid()->entryMessage() + "|" + line->text(), QString("没有找到商品[xyz9]|xyz9"));
        line->clear();
        type("G01");
        press(Qt::Key_Return);
        QCOMPARE(w.document().lines().rowCount(), 1);
        press(Qt::Key_Escape);  // leaves the quantity as it was
        line->setFocus();
        type("zkbl");
        press(Qt::Key_Return);
        QCOMPARE(prompter().lastText(), QString("货品[G01]已在订货单中"));
        QCOMPARE(line->text(), QString("zkbl"));
        // Enter with the list closed: a goods' own code is taken, other
        // text shows the list again.
        line->clear();
        type("g03");
        press(Qt::Key_Escape);
        press(Qt::Key_Return);
        QCOMPARE(w.document().goodsCodeAt(1), QString("G03"));
        press(Qt::Key_Escape);
        line->setFocus();
        type("bxg");
        QVERIFY(w.goodsMatches()->isShown());
        press(Qt::Key_Escape);
        QVERIFY(!w.goodsMatches()->isShown());
        QCOMPARE(line->text() + QString::number(w.document().lines().rowCount()), QString("bxg2"));
        press(Qt::Key_Return);
        QVERIFY(w.goodsMatches()->isShown());
        QCOMPARE(w.document().lines().rowCount(), 2);
        type("h");  // 不锈钢合页: bxghy
        db().query("delete from goods where code='G02'");
        press(Qt::Key_Return);
        QCOMPARE(prompter().lastText(), QString("以下货品已不存在，未能添加：G02"));
        QCOMPARE(w.document().lines().rowCount(), 2);
    }

    // An order form's rows typed from the goods-name list, its customer by
    // initials: the book holds what the goods-row window makes.
    void typedOrderEqualsOneMadeInTheRowWindow() {
        db().query(
            "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile) values "
            "('00031', '海景酒楼', '王玉兰', '138')");
        NameInitials::fillMissing(db());
        const QList<QStringList> rows{{"tlm", "推拉门", "3", "1200", "r1"}, {"pkc", "平开窗", "2", "480.5", "r2"}};
        OrderFormWindow typed(context(), OrderFormDocument::New);
        showActive(typed);
        typed.customerBox()->setFocus();
        type("hjjl");
        press(Qt::Key_Return);
        QCOMPARE(typed.customerBox()->text(), QString("海景酒楼(王玉兰)"));
        press(Qt::Key_Insert);
        QCOMPARE(QApplication::focusWidget(), typed.grid()->entryLine());
        for (const QStringList& row : rows) {
            type(row[0]);
            QCOMPARE(typed.goodsMatches()->rows().value(0).value(1), row[1]);
            for (int i = 0; i < 4; ++i) {
                press(Qt::Key_Return);
                if (i < 3) {
                    type(row[2 + i]);
                }
            }
        }
        QCOMPARE(QApplication::focusWidget(), typed.grid()->entryLine());
        press(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!typed.document().isModified());

        OrderFormWindow picked(context(), OrderFormDocument::New);
        windows().thenWork<OrderGoodsWindow>([&rows](OrderGoodsWindow& goods) {
            goods.show();
            for (int r = 0; r < rows.size(); ++r) {
                goods.nameBox()->setCurrentIndex(goods.nameBox()->findText(rows[r][1]));
                emit goods.nameBox()->activated(goods.nameBox()->currentIndex());
                for (const auto& [field, value] : {std::pair{"QTY", rows[r][2]}, std::pair{"Price", rows[r][3]}}) {
                    auto* e = goods.findChild<QLineEdit*>(field);
                    e->selectAll();
                    QTest::keyClicks(e, value);
                }
                QTest::keyClicks(goods.findChild<QLineEdit*>("Remark_ShipmentForm"), rows[r][4]);
                click(goods, r + 1 < rows.size() ? "Action_AddGoods" : "Action_SaveAndExit");
            }
        });
        picked.show();
        click(picked, "Action_AddGoods");
        picked.document().chooseCustomer("00031");
        click(picked, "Action_Save");
        QCOMPARE(orderOf(typed.document().code()), orderOf(picked.document().code()));
    }

    // The receipt's lines and the payout's remark offer the same drop-down.
    void receiptLinesAndPayoutRemarksAreTyped() {
        const QString no = DocumentFixture::storedQuotation(db(), context().clock(), prompter(), {"G02"});
        ReceiptWindow receipt(context(), no);
        showActive(receipt);
        receipt.lineGrid()->entryLine()->setFocus();
        type("zkbl");
        press(Qt::Key_Return);
        type("4");
        press(Qt::Key_Return);
        QCOMPARE(read(db(),
                      "select GoodsClassName, GoodsClassSize, GoodsClassUnit, QTY, Price from Receipt_Detail "
                      "where HeadNo=:h and GoodsClassName='中空玻璃'",
                      {{"h", no}}),
                 QString("中空玻璃|S|UN001|4|10"));
        receipt.close();

        db().execute(
            "insert into payout (paytime, subject, totalprice, remark) values (:t, '3', 500, '付定金'), "
            "(:t, '3', 20, '付货款'), (:t, '0', 40, '付定金给司机')",
            {{"t", QDate(2006, 6, 20).startOfDay()}});
        PayoutList list(db(), prompter(), 4);
        list.open();
        PayoutEditWindow payout(context(), list, PayoutEditor::New);
        showActive(payout);
        auto* remark = payout.findChild<QPlainTextEdit*>("remark");
        remark->setFocus();
        type("fd");
        // This kind's remarks only, found by their initials.
        QCOMPARE(payout.remarkMatches()->rows(), QList<QStringList>({{"付定金"}}));
        press(Qt::Key_Return);
        QCOMPARE(remark->toPlainText() + "|" + list.rows().value(list.rows().currentRow(), "remark").toString(),
                 QString("付定金|付定金"));
        QStringList many;
        for (int i = 0; i < 25; ++i) {
            many << QString("付款%1").arg(i);
        }
        QCOMPARE(TypedEntry::textsMatching(many, "fk").size(), 20);  // at most 20 offered
        press(Qt::Key_Return);  // without the list Enter is a new line in the remark
        QCOMPARE(remark->toPlainText(), QString("付定金\n"));
    }

    // Lists and pickers find by pinyin initials; the keys show on the
    // buttons and in the help; typed goods pass the right to add goods.
    void listsFindByInitialsAndKeysKeepTheRights() {
        GoodsListWindow goods(context());
        showActive(goods);
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), goods.searchBox());
        type("bmq");
        QTest::qWait(400);  // filtered as typed, once the typing pauses
        QCOMPARE(goods.grid()->model()->rowCount(), 1);
        press(Qt::Key_Return);
        QCOMPARE(goods.grid()->model()->rowCount(), 1);
        QCOMPARE(cell(goods.grid(), 0, "商品名称"), QString("闭门器"));
        QCOMPARE(windows().shown, QStringList());  // Enter searched, and did nothing else
        goods.close();

        PartnerListWindow customers(context(), PartnerSide::customers());
        showActive(customers);
        customers.searchBox()->setText("whgj");  // 武汉国际酒店, the establishment
        customers.search();
        QCOMPARE(customers.grid()->model()->rowCount(), 1);
        customers.close();

        db().query(
            "insert into customer_provider (corp_code, Corp_name, boss_name) values ('00031', '海景酒楼', "
            "'王玉兰'), ('00032', '佛山酒店', '李娜')");
        NameInitials::fillMissing(db());
        CustomerPickerDialog picker(context());
        showActive(picker);
        type("wyl");
        press(Qt::Key_Return);
        QCOMPARE(picker.chosenCode(), QString("00031"));

        QuotationEditWindow w(context(), QuotationDocument::New);
        showActive(w);
        QVERIFY(w.button("Action_Save")->toolTip().endsWith("（Ctrl+S）"));
        QVERIFY(w.button("Action_DeleteGoods")->toolTip().endsWith("（Ctrl+Del）"));
        press(Qt::Key_F1);
        QVERIFY2(prompter().lastText().contains("Ctrl+S\t保存订单") && prompter().lastText().contains("Ins\t新增一行"),
                 qPrintable(prompter().lastText()));
        w.close();

        signInAs("店员", "店员组",
                 "LOWER(Form_Name)='form_quotation_edit' and LOWER(Action_Name) not in ('action_addgoods', "
                 "'action_selectprovider')");
        QuotationEditWindow refused(context(), QuotationDocument::New);
        showActive(refused);
        refused.grid()->entryLine()->setFocus();
        type("g01");
        press(Qt::Key_Return);
        QCOMPARE(refused.document().lines().rowCount(), 0);
        QVERIFY2(prompter().lastText().contains("权限"), qPrintable(prompter().lastText()));
        QCOMPARE(refused.grid()->entryLine()->text(), QString("g01"));
        prompter().clear();
        QLineEdit* name = nameEdit(refused);
        name->setFocus();
        type("cq");
        press(Qt::Key_Return);
        QVERIFY(refused.document().head().value("ClientNo").toString().isEmpty());
        QVERIFY2(prompter().lastText().contains("权限"), qPrintable(prompter().lastText()));
    }

private:
    QString orderOf(const QString& code) {
        return read(db(),
                    "select corp_code, Gain_Customer_Name, Link_man, telephon from Dusmere_Order_Form_head where "
                    "Order_Form_Code=:c",
                    {{"c", code}}) +
               " / " +
               read(db(),
                    "select Goods_name, Model_Size, Goods_Unit, QTY, Price, Total_Price, Remark_ShipmentForm, "
                    "Goods_Status from Dusmere_Order_Form_Detail where Head_Code=:c order by ID",
                    {{"c", code}});
    }
    static QString PinyinOf(int i) {
        static const QStringList initials{"zkbl", "bxg", "lhj", "dds", "zs", "hl", "mft", "sw", "dl", "bmq"};
        return initials.at(i);
    }
    void showActive(QWidget& w) {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    static QLineEdit* nameEdit(QuotationEditWindow& w) {
        for (QLineEdit* e : w.findChildren<QLineEdit*>()) {
            if (e->placeholderText().startsWith("姓名")) {
                return e;
            }
        }
        return nullptr;
    }
    QString linesOf(const QString& billNo) {
        return read(db(),
                    "select GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, Remark, SortNo from "
                    "Quotation_Detail where HeadNo=:h order by SortNo",
                    {{"h", billNo}});
    }
    QString headOf(const QString& billNo) {
        return read(db(),
                    "select ClientNo, Add_ClientName, Rummery, Country, telephon from Quotation_Head where BillNo=:h",
                    {{"h", billNo}});
    }
};

QTEST_MAIN(TestKeyboardEntry)
#include "test_keyboard_entry.moc"
