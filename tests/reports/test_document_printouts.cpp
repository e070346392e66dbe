#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "data/database.h"
#include "platform/app_paths.h"
#include "reports/document_printouts.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_samples.h"
#include "support/golden.h"
#include "support/test_books.h"

using Kind = DocumentPrintouts::Kind;
Q_DECLARE_METATYPE(DocumentPrintouts::Kind)

namespace {
const QString kCompany = QStringLiteral("鸿达五金贸易有限公司");
const QString kNotice = QStringLiteral("客户未订购此单，请勿打印，一经打印，计入总帐");

// Texts with figures that do not fit their box on one line (the painter
// keeps half a millimetre on each side), or that wrap.
QStringList cutFigures(const PreparedReport& report) {
    QStringList out;
    const double margin = 2 * 0.5 * PreparedReport::kDotsPerMm;
    for (const ReportPage& page : report.pages) {
        for (const ReportPrimitive& p : page.items) {
            if (p.kind != ReportPrimitive::Kind::Text || p.wrap || !p.text.contains(QRegularExpression("[0-9]"))) {
                continue;
            }
            const QFontMetricsF metrics(report.fonts.at(p.font).toFont());
            if (metrics.horizontalAdvance(p.text) > p.rect.width() - margin + 0.5) {
                out << p.text;
            }
        }
    }
    return out;
}
}  // namespace

// The printouts of quotations, purchase orders and receipts: their rows
// from the book and the pages their templates make of them, on both
// engines. What each printout shows is kept in a golden file (the same on
// both engines); the checks here are those a single page cannot show.
class TestDocumentPrintouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init();
    void cleanup();
    void printoutsShowTheirDocument_data();
    void printoutsShowTheirDocument();
    void linesWithoutGoodsStillPrint();
    void longDocumentsRepeatTheirPageHeader_data();
    void longDocumentsRepeatTheirPageHeader();
    void unknownNumbersAreNamed_data();
    void unknownNumbersAreNamed();
    void hostileTextIsOnlyAValue_data();
    void hostileTextIsOnlyAValue();
    void largeAmountsAreNeverCut_data();
    void largeAmountsAreNeverCut();

private:
    Database& db() { return m_book->db(); }
    void addGoods(const QString& code, const QString& name, const QString& unit, const QString& provider);
    void addQuotation(const QString& billNo, const QVariantMap& fields = {});
    void addLine(const QString& head, const QString& goods, double qty, double price, double purchase, int sortNo,
                 const QString& remark = {});
    void addReceipt(const QString& billNo, const QString& quotation, int type, int amount, const QString& remark);
    void addReceiptLine(const QString& quotation, const QString& name, const QString& unit, int qty, int price,
                        const QString& remark);
    // Prepares the printout with its template as the program ships it.
    bool print(Kind kind, const QString& key, PreparedReport* out);

    std::unique_ptr<TestBooks::FreshBook> m_book;
    QTemporaryDir m_folder;
};

void TestDocumentPrintouts::init() {
    if (!TestBooks::engineAvailable()) {
        return;
    }
    m_book = std::make_unique<TestBooks::FreshBook>(TestBooks::currentEngine());
    db().execute("update Sys_Corp set Corp_name = :name, Corp_address = :address, Corp_telephone = :phone",
                 {{"name", kCompany}, {"address", "佛山市南海区桂城路18号"}, {"phone", "0757-86001234"}});
    db().execute("insert into Provider (Corp_code, provider_name) values ('P001', '王五五金厂')");
    db().execute("insert into Provider (Corp_code, provider_name) values ('P002', '李四锁业')");
    db().execute("insert into Client (Corp_code, Linkman_name) values ('C001', '张三')");
    addGoods("SP001", "合页", "UN001", "P001");
    addGoods("SP002", "门锁", "UN003", "P002");
    addGoods("SP003", "拉手", "UN001", "P001");
    addGoods("SP004", "螺丝", "UN004", "P002");
}

void TestDocumentPrintouts::cleanup() {
    m_book.reset();
}

void TestDocumentPrintouts::addGoods(const QString& code, const QString& name, const QString& unit,
                                     const QString& provider) {
    db().execute(
        "insert into goods (code, Goods_name, Goods_size, Goods_unit, Provide_corp, Corp_Goods_Code) "
        "values (:code, :name, :size, :unit, :provider, :factory)",
        {{"code", code},
         {"name", name},
         {"size", "规格" + code},
         {"unit", unit},
         {"provider", provider},
         {"factory", "F-" + code}});
}

void TestDocumentPrintouts::addQuotation(const QString& billNo, const QVariantMap& fields) {
    QVariantMap v{{"BillNo", billNo},
                  {"ClientNo", "C001"},
                  {"Link_man", "张三"},
                  {"telephon", "13912345678"},
                  {"Order_Date", QDateTime(QDate(2024, 3, 5), QTime(0, 0))},
                  {"Send_Date", QDateTime(QDate(2024, 3, 20), QTime(0, 0))},
                  {"Keyin_Date", QDateTime(QDate(2024, 3, 5), QTime(9, 30))},
                  {"Keyin_User", "李会计"},
                  {"Freight", 0},
                  {"earnest", 0},
                  {"preferential", 0},
                  {"Remark", ""},
                  {"Add_ClientName", ""}};
    v.insert(fields);
    db().execute(
        "insert into Quotation_Head (BillNo, ClientNo, Link_man, telephon, Order_Date, Send_Date, Keyin_Date, "
        "Keyin_User, Freight, earnest, preferential, Remark, Add_ClientName, state) values (:BillNo, :ClientNo, "
        ":Link_man, :telephon, :Order_Date, :Send_Date, :Keyin_Date, :Keyin_User, :Freight, :earnest, "
        ":preferential, :Remark, :Add_ClientName, 1)",
        v);
}

void TestDocumentPrintouts::addLine(const QString& head, const QString& goods, double qty, double price,
                                    double purchase, int sortNo, const QString& remark) {
    db().execute(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, "
        "Remark, SortNo) values (:head, :goods, :qty, :price, :total, :purchase, :gain, :remark, :sortNo)",
        {{"head", head},
         {"goods", goods},
         {"qty", qty},
         {"price", price},
         {"total", qty * price},
         {"purchase", purchase},
         {"gain", qty * (price - purchase)},
         {"remark", remark},
         {"sortNo", sortNo}});
}

void TestDocumentPrintouts::addReceipt(const QString& billNo, const QString& quotation, int type, int amount,
                                       const QString& remark) {
    db().execute(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, keyin_User, keyin_Date, remark, "
        "state) values (:quotation, :billNo, :amount, :type, '王出纳', :date, :remark, 1)",
        {{"quotation", quotation},
         {"billNo", billNo},
         {"amount", amount},
         {"type", type},
         {"date", QDateTime(QDate(2024, 3, 8), QTime(15, 0))},
         {"remark", remark}});
}

void TestDocumentPrintouts::addReceiptLine(const QString& quotation, const QString& name, const QString& unit, int qty,
                                           int price, const QString& remark) {
    db().execute(
        "insert into Receipt_Detail (HeadNo, GoodsClassName, GoodsClassSize, GoodsClassUnit, QTY, Price, "
        "Total_Price, Remark) values (:head, :name, '2.1x0.9', :unit, :qty, :price, :total, :remark)",
        {{"head", quotation},
         {"name", name},
         {"unit", unit},
         {"qty", qty},
         {"price", price},
         {"total", qty * price},
         {"remark", remark}});
}

bool TestDocumentPrintouts::print(Kind kind, const QString& key, PreparedReport* out) {
    const QString path = AppPaths(m_folder.path()).reportFile(DocumentPrintouts::templateName(kind));
    ReportTemplate tmpl;
    QString error;
    if (ReportTemplate::load(path, &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
        qWarning("%s: %s", qPrintable(path), qPrintable(error));
        return false;
    }
    const ReportRows rows = DocumentPrintouts(db()).rows(kind, key);
    if (!ReportPreparer(tmpl).prepare(rows, out, &error, QDate(2024, 4, 1))) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

void TestDocumentPrintouts::printoutsShowTheirDocument_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("golden");
    QTest::newRow("quotation") << Kind::Quotation << "Q0001" << QString("quotation");
    QTest::newRow("warning") << Kind::QuotationWarning << "Q0001" << QString("quotation_warning");
    QTest::newRow("purchase") << Kind::PurchaseOrder << "Q0001" << QString("purchase_order");
    QTest::newRow("earnest receipt") << Kind::Receipt << "SK0001" << QString("receipt_earnest");
    QTest::newRow("receipt") << Kind::Receipt << "SK0002" << QString("receipt");
    QTest::newRow("receipt without lines") << Kind::Receipt << "SK0004" << QString("receipt_without_lines");
}

// Quotation Q0001: lines written out of SortNo order, from two suppliers in
// turn, a line remark and a head remark,
// freight, discount and earnest. Its receipts SK0001 (earnest) and SK0002
// over the quotation's receipt lines; another quotation's receipt and lines
// beside them; SK0004 of a quotation without receipt lines. The golden
// files hold the rows' fields (their letter case is the engine's) and
// every text of every band.
void TestDocumentPrintouts::printoutsShowTheirDocument() {
    QFETCH(Kind, kind);
    QFETCH(QString, key);
    QFETCH(QString, golden);
    addQuotation("Q0001", {{"Remark", "整单九五折"}, {"Freight", 50}, {"preferential", 16}, {"earnest", 100}});
    addLine("Q0001", "SP003", 4, 31.17, 12.25, 3);        // 拉手, 王五五金厂
    addLine("Q0001", "SP001", 10, 8.88, 2.5, 1, "加急");  // 合页, 王五五金厂
    addLine("Q0001", "SP004", 100, 0.77, 0.35, 4);        // 螺丝, 李四锁业
    addLine("Q0001", "SP002", 3, 99.99, 45, 2);           // 门锁, 李四锁业
    addReceipt("SK0001", "Q0001", 0, 200, "首付定金");
    addReceipt("SK0002", "Q0001", 1, 300, "尾款");
    addReceiptLine("Q0001", "铝合金门", "UN003", 2, 120, "门备注");
    addReceiptLine("Q0001", "纱窗", "UN006", 4, 90, "窗备注");
    addQuotation("Q0002");
    addReceipt("SK0003", "Q0002", 1, 999, "别的单");
    addReceiptLine("Q0002", "别的货", "UN001", 1, 999, "");
    addQuotation("Q0003");
    addReceipt("SK0004", "Q0003", 1, 88, "无明细");

    const ReportRows rows = DocumentPrintouts(db()).rows(kind, key);
    PreparedReport out;
    QVERIFY(print(kind, key, &out));
    OLVEND_COMPARE_GOLDEN("reports/" + golden + ".txt",
                          "fields: " + rows.fields.join(", ").toLower() + "\n" + ReportSamples::dump(out));
}

// A line whose goods were deleted still prints, from what the line holds,
// under its goods code: nothing on paper disagrees with the list.
void TestDocumentPrintouts::linesWithoutGoodsStillPrint() {
    addQuotation("Q0001");
    addLine("Q0001", "SP001", 2, 5, 3, 1, "留下1");
    addLine("Q0001", "SP002", 2, 5, 3, 2, "删掉");
    addLine("Q0001", "SP003", 2, 5, 3, 3, "留下2");
    db().execute("delete from goods where code = 'SP002'");
    DocumentPrintouts printouts(db());
    for (const Kind kind : {Kind::Quotation, Kind::PurchaseOrder}) {  // the warning style's rows are the quotation's
        QCOMPARE(printouts.rows(kind, "Q0001").rows.size(), 3);
        PreparedReport out;
        QVERIFY(print(kind, "Q0001", &out));
        const QStringList details = ReportSamples::textsOf(out, ReportBand::Kind::Detail);
        QVERIFY(details.contains("合页") && details.contains("拉手"));
        QVERIFY(details.contains("删掉") && details.contains("SP002"));
    }
}

void TestDocumentPrintouts::longDocumentsRepeatTheirPageHeader_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("notice");
    QTest::newRow("quotation") << Kind::Quotation << "Q0001" << QString("订货单号: Q0001") << QString("商品名称")
                               << false;
    QTest::newRow("warning") << Kind::QuotationWarning << "Q0001" << QString("订货单号: Q0001") << QString("商品名称")
                             << true;
    QTest::newRow("purchase") << Kind::PurchaseOrder << "Q0001" << QString("采购单号: Q0001") << QString("商品名称")
                              << false;
    QTest::newRow("receipt") << Kind::Receipt << "SK0001" << QString("收据号: SK0001") << QString("品名") << false;
}

// 120 lines take several pages; every page carries the number, the column
// titles, the company and "page n of m", and every line prints once. Only
// the warning style carries its notice, on every page.
void TestDocumentPrintouts::longDocumentsRepeatTheirPageHeader() {
    QFETCH(Kind, kind);
    QFETCH(QString, key);
    QFETCH(QString, number);
    QFETCH(QString, column);
    QFETCH(bool, notice);
    addQuotation("Q0001");
    addReceipt("SK0001", "Q0001", 1, 500, "");
    QStringList names;
    for (int i = 1; i <= 120; ++i) {
        const QString code = QStringLiteral("G%1").arg(i, 3, 10, QChar('0'));
        names << QStringLiteral("货品%1").arg(i, 3, 10, QChar('0'));
        addGoods(code, names.last(), "UN001", "P001");
        addLine("Q0001", code, 1, 10, 6, i);
        addReceiptLine("Q0001", names.last(), "UN001", 1, 10, "");
    }
    PreparedReport out;
    QVERIFY(print(kind, key, &out));
    const int pages = static_cast<int>(out.pages.size());
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    int withLines = 0;
    for (int i = 0; i < pages; ++i) {
        const QStringList header = ReportSamples::textsOf(out, ReportBand::Kind::PageHeader, i);
        QVERIFY2(header.contains(number), qPrintable(header.join('|')));
        QVERIFY(header.contains(column));
        QCOMPARE(header.contains(kNotice), notice);
        QCOMPARE(ReportSamples::textsOf(out, {}, i).count(kNotice), notice ? 1 : 0);
        const QStringList footer = ReportSamples::textsOf(out, ReportBand::Kind::PageFooter, i);
        QVERIFY2(footer.contains(QStringLiteral("第 %1 页 / 共 %2 页").arg(i + 1).arg(pages)),
                 qPrintable(footer.join('|')));
        QVERIFY(footer.contains(kCompany));
        withLines += ReportSamples::textsOf(out, ReportBand::Kind::Detail, i).isEmpty() ? 0 : 1;
    }
    QVERIFY(withLines >= 3);
    QVERIFY(ReportSamples::textsOf(out, ReportBand::Kind::Title, 0).contains(kCompany));
    const QStringList details = ReportSamples::textsOf(out, ReportBand::Kind::Detail);
    for (const QString& name : names) {
        QCOMPARE(details.count(name), 1);
    }
    QVERIFY(details.contains("120"));  // the line numbers run on over the pages
}

void TestDocumentPrintouts::unknownNumbersAreNamed_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("message");  // the warning style reads the quotation's rows
    QTest::newRow("quotation") << Kind::Quotation << "找不到订货单: Q9";
    QTest::newRow("purchase") << Kind::PurchaseOrder << "找不到订货单: Q9";
    QTest::newRow("receipt") << Kind::Receipt << "找不到收款收据: Q9";
}

void TestDocumentPrintouts::unknownNumbersAreNamed() {
    QFETCH(Kind, kind);
    QFETCH(QString, message);
    addQuotation("Q1");
    addLine("Q1", "SP001", 1, 1, 1, 1);
    addReceipt("R1", "Q1", 1, 1, "");
    addReceiptLine("Q1", "门", "UN001", 1, 1, "");
    DocumentPrintouts printouts(db());
    QCOMPARE(printouts.missingText(kind, "Q9"), message);
    QVERIFY(printouts.rows(kind, "Q9").rows.isEmpty());
    const QString known = kind == Kind::Receipt ? "R1" : "Q1";
    QCOMPARE(printouts.missingText(kind, known), QString());
    QCOMPARE(printouts.rows(kind, known).rows.size(), 1);
}

void TestDocumentPrintouts::hostileTextIsOnlyAValue_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("decoy");
    // As LIKE patterns the hostile numbers would match the decoys too. The
    // warning style reads the quotation's rows.
    QTest::newRow("quotation") << Kind::Quotation << "Q%_';DROP TABLE x;--" << QString("Q12';DROP TABLE x;--");
    QTest::newRow("purchase") << Kind::PurchaseOrder << "Q%_';DROP TABLE x;--" << QString("Q12';DROP TABLE x;--");
    QTest::newRow("receipt") << Kind::Receipt << "SK%_'; DROP TABLE x; --" << QString("SK12'; DROP TABLE x; --");
}

// Numbers and remarks with quotes, statement ends and pattern characters
// are values like any other: the statements neither break nor find other
// rows, and the text prints as typed.
void TestDocumentPrintouts::hostileTextIsOnlyAValue() {
    QFETCH(Kind, kind);
    QFETCH(QString, key);
    QFETCH(QString, decoy);
    db().execute("create table x (n integer)");
    const QString hostile = QStringLiteral("'; DROP TABLE x; --%_");
    const QString quotation = "Q%_';DROP TABLE x;--";
    const QString other = "Q12';DROP TABLE x;--";
    addQuotation(quotation, {{"Remark", hostile}, {"Add_ClientName", "O'Brien %_"}});
    addLine(quotation, "SP001", 1, 5, 3, 1, hostile);
    addLine(quotation, "SP002", 1, 5, 3, 2, hostile);
    addQuotation(other);
    for (int i = 1; i <= 3; ++i) {
        addLine(other, "SP003", 1, 5, 3, i, "别的单");
    }
    addReceipt("SK%_'; DROP TABLE x; --", quotation, 1, 10, hostile);
    addReceipt("SK12'; DROP TABLE x; --", other, 1, 20, "别的单");
    addReceiptLine(quotation, "门", "UN001", 1, 5, hostile);
    addReceiptLine(quotation, "窗", "UN001", 1, 5, hostile);
    for (int i = 1; i <= 3; ++i) {
        addReceiptLine(other, "别的货", "UN001", 1, 5, "别的单");
    }
    const int lines = db().scalar("select count(*) from Quotation_Detail").toInt();

    DocumentPrintouts printouts(db());
    QCOMPARE(printouts.missingText(kind, key), QString());
    QCOMPARE(printouts.missingText(kind, decoy), QString());
    QVERIFY(!printouts.missingText(kind, kind == Kind::Receipt ? "SK%" : "Q%").isEmpty());
    const ReportRows rows = printouts.rows(kind, key);
    QCOMPARE(rows.rows.size(), 2);
    const int number = rows.fieldIndex(kind == Kind::Receipt ? "Quotation_BillNo" : "HeadNo");
    const int remark = rows.fieldIndex("Line_Remark");
    for (const auto& row : rows.rows) {
        QCOMPARE(row[number].toString(), quotation);
        QCOMPARE(row[remark].toString(), hostile);
    }
    QCOMPARE(printouts.rows(kind, decoy).rows.size(), 3);
    PreparedReport out;
    QVERIFY(print(kind, key, &out));
    QCOMPARE(ReportSamples::textsOf(out, ReportBand::Kind::Detail).count(hostile), 2);
    if (kind != Kind::PurchaseOrder) {  // the supplier is not told the customer
        QVERIFY(ReportSamples::textsOf(out).contains("O'Brien %_"));
    }
    QVERIFY(!ReportSamples::textsOf(out).contains("别的单"));
    QVERIFY(db().hasTable("x"));
    QCOMPARE(db().scalar("select count(*) from Quotation_Detail").toInt(), lines);
}

void TestDocumentPrintouts::largeAmountsAreNeverCut_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("caption");
    QTest::newRow("quotation") << Kind::Quotation << "Korvan_Quotation.zrm" << QString("订货单");
    QTest::newRow("warning") << Kind::QuotationWarning << "Korvan_Quotation_Warning.zrm" << QString("订货单");
    QTest::newRow("purchase") << Kind::PurchaseOrder << "Korvan_CaiGou.zrm" << QString("采购单");
    QTest::newRow("receipt") << Kind::Receipt << "Korvan_ShouJu.zrm" << QString("收款收据");
}

// Each printout has its template in the program, A4, loaded without error.
// Amounts up to 9,999,999,999.99 print whole on every document: set smaller
// where the box is narrow, never cut at the left nor wrapped at a comma.
void TestDocumentPrintouts::largeAmountsAreNeverCut() {
    QFETCH(Kind, kind);
    QFETCH(QString, file);
    QFETCH(QString, caption);
    QCOMPARE(DocumentPrintouts::templateName(kind), file);
    QCOMPARE(DocumentPrintouts::caption(kind), caption);
    QCOMPARE(AppPaths(m_folder.path()).reportFile(file), ":/Report/" + file);
    addQuotation("Q0001", {{"Freight", 999999999.99}, {"earnest", 1234567890.12}, {"preferential", 99999999.99}});
    addLine("Q0001", "SP001", 1, 9999999999.99, 8888888888.88, 1);
    addLine("Q0001", "SP002", 9999, 123456.78, 99999.99, 2);
    db().execute(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, keyin_User, keyin_Date, state) "
        "values ('Q0001', 'SK0001', 9999999999, 1, '王出纳', :d, 1)",
        {{"d", QDateTime(QDate(2024, 3, 8), QTime(15, 0))}});
    // Receipt lines hold whole numbers a server keeps in 32 bits.
    db().execute(
        "insert into Receipt_Detail (HeadNo, GoodsClassName, QTY, Price, Total_Price) "
        "values ('Q0001', '铝合金门', 2, 999999999, 1999999998)");
    PreparedReport out;
    QVERIFY(print(kind, kind == Kind::Receipt ? "SK0001" : "Q0001", &out));
    QCOMPARE(out.pageSizeMm, QSizeF(210, 297));
    const QString biggest = kind == Kind::PurchaseOrder ? "8,888,888,888.88" : "9,999,999,999";
    QVERIFY2(ReportSamples::textsOf(out).join('|').contains(biggest),
             qPrintable(ReportSamples::textsOf(out).join('|')));
    QCOMPARE(cutFigures(out), QStringList());
}

QTEST_MAIN(TestDocumentPrintouts)
#include "test_document_printouts.moc"
