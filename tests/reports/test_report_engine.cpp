#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>
#include <functional>

#include "data/field_def.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"

// The report engine: expressions, templates, preparation, files, exports.
class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    void expressions_data();
    void expressions();
    void expressionErrors();
    void capitalAmounts_data();
    void capitalAmounts();
    void numberFormats_data();
    void numberFormats();
    void wholeNumbersKeepEveryDigit_data();
    void wholeNumbersKeepEveryDigit();
    void newPageBandsStartASheetPerRow();
    void shrinkingTextFitsItsBox();
    void templateLoading();
    void hostileTemplates_data();
    void hostileTemplates();
    void pageBreaksKeepTheFooterClear();
    void groupsAndPageSums();
    void scopesAndGroupsOfMixedKinds();
    void duplicateNamesReadTheFirstColumn();
    void listShowsColumnsOfAnyName();
    void labelColumns();
    void wrappedTextGrowsItsBand();
    void codesStayOnOneLine();
    void pictureThatCannotBeReadLeavesAnEmptyBox();
    void preparedFileRoundTrip();
    void savedReportWithADamagedPictureOpens();
    void damagedPreparedFiles();
    void preparedFileWithAValueOfAnotherKind();
    void pdfAndJpegExports();
    void htmlExport();
    void xlsxKeepsNumbers();
    void xlsxIsOneTable();
    void xlsxKeepsDatesLabelsAndThePage();
    void tsvRowsComeBackAsWritten();
    void pdfTextReadsAsDrawn_data();
    void pdfTextReadsAsDrawn();
    void exportToAMissingFolder();

private:
    static ReportRows rows(int n, int groups = 1);
    static QString evaluate(const QString& text, const QVariantMap& fields = {});
    static ReportTemplate listTemplate(double detailHeight, const QString& footerText);
};

QString TestReportEngine::evaluate(const QString& text, const QVariantMap& fields) {
    ReportText t;
    QString error;
    if (!t.parse(text, &error)) {
        return "ERROR: " + error;
    }
    ReportExpression::Context ctx;
    ctx.field = [&fields](const QString& f) { return fields.value(f); };
    ctx.page = 2;
    ctx.pages = 5;
    ctx.today = QDate(2006, 12, 25);
    return t.evaluate(ctx, QString());
}

void TestReportEngine::expressions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("precedence") << "[1 + 2 * 3]"
                                << "7";
    QTest::newRow("brackets") << "[(1 + 2) * 3]"
                              << "9";
    QTest::newRow("unary minus") << "[-2 * -3]"
                                 << "6";
    QTest::newRow("division") << "[7 / 2]"
                              << "3.5";
    QTest::newRow("division by zero is empty") << "a[1 / 0]b"
                                               << "ab";
    QTest::newRow("null field is empty") << "[missing + 1]"
                                         << "";
    QTest::newRow("field") << "[qty * price]"
                           << "7.5";
    QTest::newRow("text joins") << "[name + '(' + boss + ')']"
                                << "张三(李四)";
    QTest::newRow("comparison") << "[iif(qty > 2, 'many', 'few')]"
                                << "many";
    QTest::newRow("and or not") << "[iif(not (qty = 3) or qty >= 3, 'y', 'n')]"
                                << "y";
    QTest::newRow("format money") << "[format(12345.678, '#,##0.00')]"
                                  << "12,345.68";
    QTest::newRow("format plain") << "[format(2.5, '0.00')]"
                                  << "2.50";
    QTest::newRow("format date") << "[format(today(), 'YYYY-MM-DD')]"
                                 << "2006-12-25";
    QTest::newRow("format date text") << "[format(stamp, 'YYYY-MM-DD')]"
                                      << "2006-12-25";
    QTest::newRow("format day text") << "[format(day, 'YYYY年MM月DD日')]"
                                     << "2006年12月25日";
    QTest::newRow("date format leaves other text") << "[format(name, 'YYYY-MM-DD')]"
                                                   << "张三";
    QTest::newRow("number format leaves date text") << "[format(stamp, '0.00')]"
                                                    << "2006-12-25 14:30:00";
    QTest::newRow("pages") << "第[page()]页/共[pages()]页"
                           << "第2页/共5页";
    QTest::newRow("escaped bracket") << "[[x]]"
                                     << "[x]]";
    QTest::newRow("round") << "[round(2.675, 2)]"
                           << "2.68";
    QTest::newRow("capital") << "[capital(qty * price)]"
                             << "柒元伍角整";
}

void TestReportEngine::expressions() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    // Dates as an embedded book returns them: text.
    QCOMPARE(evaluate(text, {{"qty", 3},
                             {"price", 2.5},
                             {"name", "张三"},
                             {"boss", "李四"},
                             {"stamp", "2006-12-25 14:30:00"},
                             {"day", "2006-12-25"}}),
             expected);
}

void TestReportEngine::expressionErrors() {
    QVERIFY(evaluate("[1 +]").startsWith("ERROR"));
    QVERIFY(evaluate("[foo(1)]").contains("foo"));
    QVERIFY(evaluate("[(1 + 2]").startsWith("ERROR"));
    QVERIFY(evaluate("[sum(x, 'week')]").startsWith("ERROR"));
    QVERIFY(evaluate("text [open").startsWith("ERROR"));
    // Very deep nesting is refused, not followed to a crash.
    QVERIFY(evaluate("[" + QString(5000, '(') + "1" + QString(5000, ')') + "]").startsWith("ERROR"));
    QVERIFY(evaluate("[" + QString(20000, '-') + "1]").startsWith("ERROR"));
}

void TestReportEngine::capitalAmounts_data() {
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("expected");
    QTest::newRow("12,345.60") << 12345.60 << "壹万贰仟叁佰肆拾伍元陆角整";
    QTest::newRow("10,005.00") << 10005.00 << "壹万零伍元整";
    QTest::newRow("zero") << 0.0 << "零元整";
    QTest::newRow("1.05") << 1.05 << "壹元零伍分";
    QTest::newRow("0.50") << 0.5 << "伍角整";
    QTest::newRow("0.07") << 0.07 << "柒分";
    QTest::newRow("100,000") << 100000.0 << "壹拾万元整";
    QTest::newRow("1,000,005") << 1000005.0 << "壹佰万零伍元整";
    QTest::newRow("101,000") << 101000.0 << "壹拾万壹仟元整";
    QTest::newRow("100,000,001") << 100000001.0 << "壹亿零壹元整";
    QTest::newRow("negative") << -20.5 << "负贰拾元伍角整";
    QTest::newRow("rounding") << 2.675 << "贰元陆角捌分";
}

void TestReportEngine::capitalAmounts() {
    QFETCH(double, amount);
    QFETCH(QString, expected);
    QCOMPARE(chineseCapitalAmount(amount), expected);
}

void TestReportEngine::templateLoading() {
    QTemporaryDir dir;
    ReportTemplate t;
    QString error;
    QCOMPARE(ReportTemplate::load(dir.filePath("none.zrm"), &t, &error), ReportTemplate::LoadResult::Missing);
    QVERIFY(error.isEmpty());
    QFile f(dir.filePath("plain.rmf"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"version": 1, "page": {"width": 100, "height": 50, "orientation": "landscape", "columns": 2},
               "bands": [{"kind": "detail", "height": 5, "items": [{"type": "text", "rect": [0,0,10,5],
               "text": "[a]", "align": "right"}]}]})");
    f.close();
    // A name without extension finds the .rmf file.
    QCOMPARE(ReportTemplate::load(dir.filePath("plain"), &t, &error), ReportTemplate::LoadResult::Loaded);
    QCOMPARE(t.effectivePageSize(), QSizeF(50, 100));
    QCOMPARE(t.columns, 2);
    QCOMPARE(t.bands.size(), 1);
    QCOMPARE(int(t.bands[0].items[0].align & Qt::AlignRight), int(Qt::AlignRight));
}

void TestReportEngine::hostileTemplates_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("place");
    QTest::newRow("truncated") << QByteArray(R"({"bands": [{"kind": "detail")") << "字符";
    QTest::newRow("not an object") << QByteArray("[1,2]") << "对象";
    QTest::newRow("wrong type") << QByteArray(R"({"bands": [{"kind": "detail", "height": "tall"}]})")
                                << "bands[0].height";
    QTest::newRow("bad rect") << QByteArray(R"({"bands": [{"kind": "detail", "items": [{"rect": [1, 2]}]}]})")
                              << "bands[0].items[0].rect";
    QTest::newRow("unknown item") << QByteArray(R"({"bands": [{"kind": "detail", "items": [{"type": "video"}]}]})")
                                  << "video";
    QTest::newRow("unknown band") << QByteArray(R"({"bands": [{"kind": "sidebar"}]})") << "sidebar";
    QTest::newRow("huge size") << QByteArray(R"({"page": {"width": 1e300}})") << "page.width";
    QTest::newRow("newer") << QByteArray(R"({"version": 9})") << "version";
    QTest::newRow("group without field") << QByteArray(R"({"bands": [{"kind": "groupHeader"}]})") << "group";
    QTest::newRow("deep nesting") << QByteArray(20000, '[') << "";
    QTest::newRow("bad expression") << QByteArray(R"({"bands":[{"kind":"detail","items":[{"text":"[1+]"}]}]})") << "";
}

void TestReportEngine::hostileTemplates() {
    QFETCH(QByteArray, json);
    QFETCH(QString, place);
    ReportTemplate t;
    QString error;
    const bool loaded = ReportTemplate::fromJson(json, &t, &error);
    if (QString(QTest::currentDataTag()) == "bad expression") {
        // The template reads; its text is refused when the report is prepared.
        QVERIFY(loaded);
        PreparedReport out;
        ReportPreparer p(t);
        QVERIFY(!p.prepare(rows(1), &out, &error));
        QVERIFY2(error.contains("bands[0](detail).items[0]"), qPrintable(error));
        return;
    }
    QVERIFY(!loaded);
    QVERIFY2(error.contains(place), qPrintable(error));
}

ReportRows TestReportEngine::rows(int n, int groups) {
    ReportRows r;
    r.fields = {"code", "grp", "amount", "note"};
    for (int i = 1; i <= n; ++i) {
        r.rows.append({QString("R%1").arg(i, 3, 10, QChar('0')), QString("G%1").arg((i - 1) * groups / std::max(1, n)),
                       double(i), QString()});
    }
    return r;
}

ReportTemplate TestReportEngine::listTemplate(double detailHeight, const QString& footerText) {
    ReportTemplate t;
    t.margins = QMarginsF(10, 10, 10, 10);
    ReportBand header{ReportBand::Kind::PageHeader, 10, {}, {}};
    ReportItem caption;
    caption.rect = QRectF(0, 0, 50, 10);
    caption.text = "编号";
    header.items.append(caption);
    ReportBand detail{ReportBand::Kind::Detail, detailHeight, {}, {}};
    ReportItem code;
    code.rect = QRectF(0, 0, 50, detailHeight);
    code.text = "[code]";
    detail.items.append(code);
    ReportBand footer{ReportBand::Kind::PageFooter, 10, {}, {}};
    ReportItem sum;
    sum.rect = QRectF(0, 0, 150, 10);
    sum.text = footerText;
    footer.items.append(sum);
    t.bands = {header, detail, footer};
    return t;
}

namespace {
QByteArray pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QStringList textsOf(const ReportPage& page) {
    QStringList out;
    for (const ReportPrimitive& p : page.items) {
        if (p.kind == ReportPrimitive::Kind::Text) {
            out << p.text;
        }
    }
    return out;
}
double mm(double dots) {
    return dots / PreparedReport::kDotsPerMm;
}
}  // namespace

void TestReportEngine::pageBreaksKeepTheFooterClear() {
    // A4: 297 - 10 - 10 margins - 10 header - 10 footer = 257 mm, 25 rows of 10 mm.
    ReportPreparer p(listTemplate(10, "[sum(amount)] 第 [page()] 页 / 共 [pages()] 页"));
    PreparedReport out;
    QString error;
    QVERIFY2(p.prepare(rows(60), &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 3);
    const QStringList first = textsOf(out.pages[0]);
    QVERIFY(first.contains("R025"));
    QVERIFY(!first.contains("R026"));
    QVERIFY(textsOf(out.pages[1]).contains("R026"));
    // Page sums: rows 1-25 = 325, rows 26-50 = 950, rows 51-60 = 555.
    QVERIFY2(first.contains("325 第 1 页 / 共 3 页"), qPrintable(first.join('|')));
    QVERIFY(textsOf(out.pages[1]).contains("950 第 2 页 / 共 3 页"));
    QVERIFY(textsOf(out.pages[2]).contains("555 第 3 页 / 共 3 页"));
    // Nothing of the body reaches into the footer.
    double footerTop = 0;
    double lowestBody = 0;
    for (const ReportPrimitive& prim : out.pages[0].items) {
        if (prim.text.contains("第 1 页")) {
            footerTop = mm(prim.rect.top());
        } else if (prim.text.startsWith('R')) {
            lowestBody = std::max(lowestBody, mm(prim.rect.bottom()));
        }
    }
    QCOMPARE(qRound(footerTop), 277);
    QVERIFY(lowestBody <= footerTop + 0.01);
    QCOMPARE(qRound(lowestBody), 270);
}

void TestReportEngine::groupsAndPageSums() {
    ReportTemplate t;
    t.bands = {
        {ReportBand::Kind::GroupHeader, 8, "grp", {}},
        {ReportBand::Kind::Detail, 6, {}, {}},
        {ReportBand::Kind::GroupFooter, 8, "grp", {}},
        {ReportBand::Kind::Summary, 8, {}, {}},
    };
    ReportItem h;
    h.rect = QRectF(0, 0, 100, 8);
    h.text = "[grp] 共[count()]行 合计[sum(amount)]";
    t.bands[0].items.append(h);
    ReportItem d;
    d.rect = QRectF(0, 0, 100, 6);
    d.text = "[code] 累计[sum(amount)]";
    t.bands[1].items.append(d);
    ReportItem f;
    f.rect = QRectF(0, 0, 100, 8);
    f.text = "小计[sum(amount)] 平均[avg(amount)] 最大[max(amount)]";
    t.bands[2].items.append(f);
    ReportItem s;
    s.rect = QRectF(0, 0, 100, 8);
    s.text = "总计[sum(amount)] 最小[min(amount)]";
    t.bands[3].items.append(s);
    PreparedReport out;
    QString error;
    QVERIFY2(ReportPreparer(t).prepare(rows(6, 2), &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 1);
    QCOMPARE(textsOf(out.pages[0]), QStringList({"G0 共3行 合计6", "R001 累计1", "R002 累计3", "R003 累计6",
                                                 "小计6 平均2 最大3", "G1 共3行 合计15", "R004 累计10", "R005 累计15",
                                                 "R006 累计21", "小计15 平均5 最大6", "总计21 最小1"}));
}

// Each aggregate reads the sums of its scope wherever it stands: the whole
// report so far in a group header, its group's total in a detail band, the
// page before the row (a row counts on the page once it is placed). Groups
// change where the texts of their values change, also when a date comes as
// a date on one row and as text on the next, or a kind as a whole number
// and as a real.
void TestReportEngine::scopesAndGroupsOfMixedKinds() {
    ReportTemplate t;
    t.bands = {
        {ReportBand::Kind::GroupHeader, 8, "day", {}}, {ReportBand::Kind::GroupHeader, 8, "kind", {}},
        {ReportBand::Kind::Detail, 6, {}, {}},         {ReportBand::Kind::GroupFooter, 8, "kind", {}},
        {ReportBand::Kind::GroupFooter, 8, "day", {}}, {ReportBand::Kind::Summary, 8, {}, {}},
        {ReportBand::Kind::PageFooter, 8, {}, {}},
    };
    const QStringList texts{"[format(day, 'YYYY-MM-DD')] 前[sum(amount, 'report')]",
                            "[kind]类 [count()]笔",
                            "[code] 组[sum(amount, 'group')] 页[sum(amount, 'page')] 累[sum(amount)]",
                            "小[sum(amount)] 总[sum(amount, 'report')]",
                            "日[sum(amount)]",
                            "总[sum(amount)] [count()]笔",
                            "页计[sum(amount)]"};
    for (int b = 0; b < t.bands.size(); ++b) {
        ReportItem item;
        item.rect = QRectF(0, 0, 150, t.bands[b].height);
        item.text = texts[b];
        t.bands[b].items.append(item);
    }
    ReportRows r;
    r.fields = {"day", "kind", "code", "amount"};
    r.rows = {{QDate(2006, 1, 1), 1, "R1", 1.0},
              {QString("2006-01-01"), 1.0, "R2", 2.0},
              {QDate(2006, 1, 1), 2, "R3", 4.0},
              {QDate(2006, 1, 2), 2, "R4", 8.0},
              {QDate(2006, 1, 2), 2, "R5", 16.0}};
    PreparedReport out;
    QString error;
    QVERIFY2(ReportPreparer(t).prepare(r, &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 1);
    QCOMPARE(textsOf(out.pages[0]),
             QStringList({"2006-01-01 前0", "1类 2笔", "R1 组3 页0 累1", "R2 组3 页1 累3", "小3 总3", "2类 1笔",
                          "R3 组4 页3 累7", "小4 总7", "日7", "2006-01-02 前7", "2类 2笔", "R4 组24 页7 累15",
                          "R5 组24 页15 累31", "小24 总31", "日24", "总31 5笔", "页计31"}));

    // Footers that would only repeat a single row are left out where asked.
    t.bands[3].hideForOneRow = true;
    t.bands[4].hideForOneRow = true;
    PreparedReport shorter;
    QVERIFY2(ReportPreparer(t).prepare(r, &shorter, &error), qPrintable(error));
    QCOMPARE(textsOf(shorter.pages[0]),
             QStringList({"2006-01-01 前0", "1类 2笔", "R1 组3 页0 累1", "R2 组3 页1 累3", "小3 总3", "2类 1笔",
                          "R3 组4 页3 累7", "日7", "2006-01-02 前7", "2类 2笔", "R4 组24 页7 累15", "R5 组24 页15 累31",
                          "小24 总31", "日24", "总31 5笔", "页计31"}));
}

// "d.*, h.*" gives two columns named Remark: texts and groups read the
// first of them, whatever the letter case.
void TestReportEngine::duplicateNamesReadTheFirstColumn() {
    ReportTemplate t;
    t.bands = {{ReportBand::Kind::GroupHeader, 8, "grp", {}}, {ReportBand::Kind::Detail, 6, {}, {}}};
    ReportItem h;
    h.rect = QRectF(0, 0, 100, 8);
    h.text = "[grp]";
    t.bands[0].items.append(h);
    ReportItem d;
    d.rect = QRectF(0, 0, 100, 6);
    d.text = "[remark]";
    t.bands[1].items.append(d);
    ReportRows r;
    r.fields = {"grp", "Remark", "GRP", "REMARK"};
    r.rows = {{"G0", "行备注1", "H", "单据备注"}, {"G1", "行备注2", "H", "单据备注"}};
    PreparedReport out;
    QString error;
    QVERIFY2(ReportPreparer(t).prepare(r, &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 1);
    QCOMPARE(textsOf(out.pages[0]), QStringList({"G0", "行备注1", "G1", "行备注2"}));
}

void TestReportEngine::listShowsColumnsOfAnyName() {
    // The list lays out whatever columns the rows have: a statement's
    // "count(*)", a spreadsheet's "单价 (元)" or an unnamed column are no
    // names an expression can write, and their values show all the same.
    ReportTemplate t;
    QString error;
    QVERIFY2(ReportTemplate::fromJson(R"({"title": "清单 [1]", "autoColumns": true})", &t, &error), qPrintable(error));
    ReportRows r;
    r.fields = {"count(*)", "单价 (元)", "Tot&l", "", "a]b", "sum"};
    r.rows = {{7, 12.5, "x", "无名", "y", 3}, {8, QVariant(), "z", "列", "[w]", 4}};
    PreparedReport out;
    QVERIFY2(ReportPreparer(t).prepare(r, &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 1);
    QStringList detail;
    for (const ReportPrimitive& p : out.pages[0].items) {
        if (p.row >= 0 && out.bands[p.band].kind == ReportBand::Kind::Detail) {
            detail.append(p.text);
        }
    }
    QCOMPARE(detail, QStringList({"7", "12.5", "x", "无名", "y", "3", "8", "", "z", "列", "[w]", "4"}));
    // The title and the captions are shown as written.
    const QStringList texts = textsOf(out.pages[0]);
    QVERIFY(texts.contains("清单 [1]"));
    QVERIFY(texts.contains("count(*)"));
    QVERIFY(texts.contains("a]b"));
}

void TestReportEngine::labelColumns() {
    ReportTemplate t;
    QString error;
    QCOMPARE(ReportTemplate::load(QStringLiteral(OLVEND_SOURCE_DIR "/Report/Korvan_ClientAddr.rmf"), &t, &error),
             ReportTemplate::LoadResult::Loaded);
    ReportRows r;
    r.fields = {"recipients", "Corp_name", "Corp_address"};
    for (int i = 1; i <= 7; ++i) {
        r.rows.append({QString("收件人%1").arg(i), QString("酒店%1").arg(i), QString("地址%1").arg(i)});
    }
    PreparedReport out;
    QVERIFY2(ReportPreparer(t).prepare(r, &out, &error), qPrintable(error));
    // Two columns of labels 94 mm wide and 92 mm high, 10 mm margins, 2 mm
    // between: three rows fit on an A4 page, so the seventh label starts
    // page 2.
    QCOMPARE(out.pages.size(), 2);
    QList<QPointF> frames;
    for (const ReportPage& page : out.pages) {
        for (const ReportPrimitive& p : page.items) {
            if (p.kind == ReportPrimitive::Kind::Rect) {
                frames.append(QPointF(qRound(mm(p.rect.x())), qRound(mm(p.rect.y()))));
                QCOMPARE(qRound(mm(p.rect.width())), 94);
                QCOMPARE(qRound(mm(p.rect.height())), 92);
            }
        }
    }
    QCOMPARE(frames, QList<QPointF>({{10, 10}, {106, 10}, {10, 102}, {106, 102}, {10, 194}, {106, 194}, {10, 10}}));
    QVERIFY(textsOf(out.pages[1]).contains("收件人7"));
}

void TestReportEngine::wrappedTextGrowsItsBand() {
    ReportTemplate t;
    ReportBand detail{ReportBand::Kind::Detail, 6, {}, {}};
    ReportItem note;
    note.rect = QRectF(0, 0, 40, 6);
    note.text = "[note]";
    note.wrap = true;
    detail.items.append(note);
    t.bands = {detail};
    ReportRows r;
    r.fields = {"note"};
    r.rows = {{QString("短")}, {QString(200, QChar(0x5B57))}, {QString("后")}};
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(t).prepare(r, &out, &error));
    const auto& items = out.pages[0].items;
    QCOMPARE(items.size(), 3);
    QCOMPARE(qRound(mm(items[1].rect.y() - items[0].rect.y())), 6);
    QVERIFY(mm(items[1].rect.height()) > 30);                 // 200 characters in 40 mm wrap over many lines
    QVERIFY(mm(items[2].rect.y() - items[1].rect.y()) > 30);  // the next row is pushed down
}

// A code or number has no place to break: it keeps one line however wide,
// as Qt lays it out; a text that wraps grows its row the same each time it
// comes again.
void TestReportEngine::codesStayOnOneLine() {
    ReportTemplate t;
    ReportBand detail{ReportBand::Kind::Detail, 6, {}, {}};
    ReportItem note;
    note.rect = QRectF(0, 0, 20, 6);
    note.text = "[note]";
    note.wrap = true;
    detail.items.append(note);
    t.bands = {detail};
    const QString longWord(80, QChar('X'));
    const QString remark = QStringLiteral("送货上门并安装调试完毕后收取尾款");
    ReportRows r;
    r.fields = {"note"};
    r.rows = {{QString("A1")}, {QString("AA2612070001")}, {longWord}, {remark}, {QString("B2")}, {remark}};
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(t).prepare(r, &out, &error));
    const auto& items = out.pages[0].items;
    QCOMPARE(items.size(), 6);
    QCOMPARE(items[1].rect.height(), items[0].rect.height());
    QCOMPARE(items[2].rect.height(), items[0].rect.height());
    QCOMPARE(items[4].rect.height(), items[0].rect.height());
    QVERIFY(mm(items[3].rect.height()) > mm(items[0].rect.height()) + 3);
    QCOMPARE(items[5].rect.height(), items[3].rect.height());
    // Qt's own layout of the long word at the column's width: one line.
    const QFontMetricsF fm(out.fonts[items[2].font].toFont());
    const QRectF box(0, 0, items[2].rect.width() - PreparedReport::kDotsPerMm, 1e9);
    QCOMPARE(fm.boundingRect(box, Qt::TextWordWrap, longWord).height(),
             fm.boundingRect(box, Qt::TextWordWrap, QString("A1")).height());
    QVERIFY(fm.boundingRect(box, Qt::TextWordWrap, remark).height() >
            fm.boundingRect(box, Qt::TextWordWrap, QString("A1")).height());
}

void TestReportEngine::pictureThatCannotBeReadLeavesAnEmptyBox() {
    QTemporaryDir dir;
    QFile bad(dir.filePath("bad.jpg"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    QImage good(20, 10, QImage::Format_RGB32);
    good.fill(Qt::red);
    QVERIFY(good.save(dir.filePath("good.png")));
    // A PNG whose text chunk claims 900 MB of a file of a few hundred bytes.
    // The reader fails on it either way; that the length is never set aside
    // is shown by the platform tests of the chunk check, this is what the
    // printout shows.
    QByteArray overrun = pngBytes(good);
    overrun.insert(overrun.indexOf("IEND") - 4, QByteArray("\x35\xA4\xE9\x00tEXtshort", 13));
    QFile overrunFile(dir.filePath("overrun.png"));
    QVERIFY(overrunFile.open(QIODevice::WriteOnly));
    overrunFile.write(overrun);
    overrunFile.close();
    ReportTemplate t;
    ReportBand detail{ReportBand::Kind::Detail, 20, {}, {}};
    ReportItem pic;
    pic.kind = ReportItem::Kind::Picture;
    pic.rect = QRectF(0, 0, 20, 20);
    pic.field = "file";
    detail.items.append(pic);
    t.bands = {detail};
    ReportRows r;
    r.fields = {"file"};
    r.rows = {{QString("good.png")}, {QString("bad.jpg")}, {QString("missing.jpg")}, {QString("overrun.png")}};
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(t, dir.path()).prepare(r, &out, &error));
    const auto& items = out.pages[0].items;
    QCOMPARE(items[0].kind, ReportPrimitive::Kind::Image);
    QCOMPARE(items[1].kind, ReportPrimitive::Kind::Rect);
    QCOMPARE(items[2].kind, ReportPrimitive::Kind::Rect);
    QCOMPARE(items[3].kind, ReportPrimitive::Kind::Rect);
    QCOMPARE(out.images.size(), 1);
}

// A saved report whose picture claims more bytes than it holds opens with
// that picture empty and everything else as saved (the memory the chunk
// check saves is shown by the platform tests).
void TestReportEngine::savedReportWithADamagedPictureOpens() {
    QTemporaryDir dir;
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(listTemplate(10, "x")).prepare(rows(30), &out, &error));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    out.images = {picture, picture};
    QVERIFY(ReportFile::save(out, dir.filePath("saved.rmp"), &error));
    QFile saved(dir.filePath("saved.rmp"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray bytes = saved.readAll();
    saved.close();
    // The first picture as stored: its length, then its bytes.
    const qsizetype at = bytes.indexOf("\x89PNG");
    QVERIFY(at > 4);
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at - 4);
    QByteArray png = bytes.mid(at, length);
    png.insert(png.indexOf("IEND") - 4, QByteArray("\x35\xA4\xE9\x00tEXtshort", 13));
    QByteArray stored(4, '\0');
    qToBigEndian(quint32(png.size()), stored.data());
    bytes.replace(at - 4, 4 + length, stored + png);
    QFile damaged(dir.filePath("damaged.rmp"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes);
    damaged.close();

    PreparedReport back;
    QVERIFY2(ReportFile::load(dir.filePath("damaged.rmp"), &back, &error), qPrintable(error));
    QCOMPARE(back.images.size(), 2);
    QVERIFY(back.images[0].isNull());
    QCOMPARE(back.images[1].pixelColor(1, 1), QColor(Qt::blue));
    QCOMPARE(back.pages.size(), out.pages.size());
    QCOMPARE(textsOf(back.pages.last()), textsOf(out.pages.last()));
}

void TestReportEngine::preparedFileRoundTrip() {
    QTemporaryDir dir;
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(listTemplate(10, "第 [page()] 页")).prepare(rows(30), &out, &error));
    out.images.append(QImage(4, 4, QImage::Format_ARGB32));
    out.images[0].fill(Qt::blue);
    QVERIFY(ReportFile::save(out, dir.filePath("saved"), &error));  // ".rmp" appended
    PreparedReport back;
    QVERIFY2(ReportFile::load(dir.filePath("saved.rmp"), &back, &error), qPrintable(error));
    QCOMPARE(back.pageSizeMm, out.pageSizeMm);
    QCOMPARE(back.pages.size(), out.pages.size());
    QCOMPARE(back.fonts.size(), out.fonts.size());
    QCOMPARE(back.fonts[0].family, out.fonts[0].family);
    QCOMPARE(back.images[0].pixelColor(1, 1), QColor(Qt::blue));
    for (int p = 0; p < out.pages.size(); ++p) {
        QCOMPARE(textsOf(back.pages[p]), textsOf(out.pages[p]));
        QCOMPARE(back.pages[p].items.last().rect, out.pages[p].items.last().rect);
    }
    QCOMPARE(back.bands.size(), out.bands.size());
    for (int b = 0; b < out.bands.size(); ++b) {
        QCOMPARE(back.bands[b].kind, out.bands[b].kind);
        QCOMPARE(back.bands[b].page, out.bands[b].page);
        QCOMPARE(back.bands[b].origin, out.bands[b].origin);
    }
    // A file of version 1 ends after the pages and still opens.
    QFile saved(dir.filePath("saved.rmp"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray older = saved.readAll();
    older.chop(4 + 21 * out.bands.size());  // the count, then kind, page and origin of each
    older[5] = 1;
    QFile v1(dir.filePath("v1.rmp"));
    QVERIFY(v1.open(QIODevice::WriteOnly));
    v1.write(older);
    v1.close();
    QVERIFY2(ReportFile::load(dir.filePath("v1.rmp"), &back, &error), qPrintable(error));
    QCOMPARE(back.pages.size(), out.pages.size());
    QVERIFY(back.bands.isEmpty());
}

void TestReportEngine::damagedPreparedFiles() {
    QTemporaryDir dir;
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(listTemplate(10, "x")).prepare(rows(30), &out, &error));
    QVERIFY(ReportFile::save(out, dir.filePath("good.rmp"), &error));
    QFile good(dir.filePath("good.rmp"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return dir.filePath(name);
    };
    PreparedReport back;
    QVERIFY(!ReportFile::load(write("truncated.rmp", bytes.left(bytes.size() / 2)), &back, &error));
    QVERIFY(error.contains("损坏"));
    QByteArray huge = bytes;
    huge[22] = char(0x7f);  // a font count in the billions
    QVERIFY(!ReportFile::load(write("huge.rmp", huge), &back, &error));
    // A page narrower than any template makes: painted to fit a window, it
    // would be drawn at a scale that blows every glyph up beyond memory.
    for (const double width : {1e-300, 5.0}) {
        QByteArray narrow = bytes;
        QByteArray stored(8, '\0');
        qToBigEndian(width, stored.data());  // after the magic and the version
        narrow.replace(6, 8, stored);
        QVERIFY(!ReportFile::load(write("narrow.rmp", narrow), &back, &error));
        QVERIFY(error.contains("损坏"));
    }
    QByteArray newer = bytes;
    newer[5] = 9;
    QVERIFY(!ReportFile::load(write("newer.rmp", newer), &back, &error));
    QVERIFY(error.contains("新"));
    QVERIFY(!ReportFile::load(write("other.rmp", "PK\x03\x04 something else"), &back, &error));
    QVERIFY(error.contains("不是报表文件"));
    QVERIFY(!ReportFile::load(dir.filePath("none.rmp"), &back, &error));
}

void TestReportEngine::preparedFileWithAValueOfAnotherKind() {
    // A text's value is what a field, a parameter or an expression gives: a
    // number, a text, a date. A file whose value is a list, a map or a
    // picture is damaged, and refused before the value is read: a count in
    // the billions made the reading claim memory for every element.
    QTemporaryDir dir;
    auto file = [&dir](const QString& name, const std::function<void(QDataStream&)>& value) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly)) {
            return QString();
        }
        QDataStream out(&f);
        out.setVersion(QDataStream::Qt_6_0);
        out << ReportFile::kMagic << ReportFile::kVersion << QSizeF(210, 297);
        out << quint32(0) << quint32(0);  // no fonts, no pictures
        out << quint32(1) << quint32(1);  // one page of one text
        out << quint8(ReportPrimitive::Kind::Text) << QRectF(10, 10, 100, 20) << QString("合计") << qint32(-1)
            << qint32(Qt::AlignLeft) << false << false << quint32(0xff000000) << 1.0 << qint32(-1) << qint32(-1)
            << qint32(-1);
        value(out);
        out << QString();   // the text's format
        out << quint32(0);  // no band instances
        return f.fileName();
    };
    auto hugeCount = [](QMetaType::Type type) {
        return [type](QDataStream& out) { out << quint32(type) << qint8(0) << quint32(0xfffffff0); };
    };
    PreparedReport back;
    QString error;
    QVERIFY(!ReportFile::load(file("huge-list.rmp", hugeCount(QMetaType::QVariantList)), &back, &error));
    QVERIFY2(error.contains("损坏"), qPrintable(error));
    QVERIFY(!ReportFile::load(file("huge-strings.rmp", hugeCount(QMetaType::QStringList)), &back, &error));
    QVERIFY(!ReportFile::load(file("huge-map.rmp", hugeCount(QMetaType::QVariantMap)), &back, &error));
    // Whole values of those kinds are refused the same.
    const QList<QVariant> others = {QVariantList{1, 2}, QStringList{"a"}, QVariantMap{{"k", 1}},
                                    QVariant(QImage(2, 2, QImage::Format_RGB32))};
    for (const QVariant& v : others) {
        error.clear();
        QVERIFY2(!ReportFile::load(file("other.rmp", [&v](QDataStream& out) { out << v; }), &back, &error),
                 v.typeName());
        QVERIFY2(error.contains("损坏"), qPrintable(error));
    }
    // The kinds a text shows read back.
    const QList<QVariant> shown = {QVariant(),
                                   QVariant(7),
                                   QVariant(qlonglong(9007199254740993LL)),
                                   QVariant(12.5),
                                   QVariant(true),
                                   QVariant(QString("铝合金门")),
                                   QVariant(QByteArray("\x01\x02")),
                                   QVariant(QDate(2024, 2, 29)),
                                   QVariant(QDateTime(QDate(2024, 3, 1), QTime(9, 30)))};
    for (const QVariant& v : shown) {
        error.clear();
        QVERIFY2(ReportFile::load(file("shown.rmp", [&v](QDataStream& out) { out << v; }), &back, &error),
                 qPrintable(QString("%1: %2").arg(v.typeName(), error)));
        QCOMPARE(back.pages[0].items[0].value, v);
        QCOMPARE(back.pages[0].items[0].text, QString("合计"));
    }
}

void TestReportEngine::pdfAndJpegExports() {
    QTemporaryDir dir;
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(listTemplate(10, "第 [page()] 页")).prepare(rows(60), &out, &error));
    QVERIFY(ReportExporter::toPdf(out, dir.filePath("list"), &error));
    QFile pdf(dir.filePath("list.pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray data = pdf.readAll();
    QVERIFY(data.startsWith("%PDF"));
    QCOMPARE(data.count("/Type /Page\n") + data.count("/Type /Page\r") + data.count("/Type /Page "), 3);
    QStringList written;
    QVERIFY(ReportExporter::toJpeg(out, dir.filePath("page.jpg"), &error, 96, &written));
    QCOMPARE(written, QStringList({dir.filePath("page.jpg"), dir.filePath("page_2.jpg"), dir.filePath("page_3.jpg")}));
    const QSize size = QImageReader(dir.filePath("page_3.jpg")).size();
    QCOMPARE(size, QSize(794, 1123));  // A4 at 96 dots per inch
}

void TestReportEngine::htmlExport() {
    QTemporaryDir dir;
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(listTemplate(10, "a<b>&")).prepare(rows(30), &out, &error));
    QVERIFY(ReportExporter::toHtml(out, dir.filePath("report"), &error));
    QFile f(dir.filePath("report.htm"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    for (const char* link : {"第一页", "下一页", "上一页", "最后一页"}) {
        QVERIFY(html.contains(QString::fromUtf8(link)));
    }
    QVERIFY(html.contains("id=\"page2\""));
    QVERIFY(html.contains("href=\"#page2\""));
    QVERIFY(html.contains("a&lt;b&gt;&amp;"));
    QVERIFY(html.indexOf("R001") < html.indexOf("R030"));

    // A remark that wraps grows its box in a browser, whose lines may stand
    // taller than the painter's, instead of being cut at the box's height.
    PreparedReport remark;
    remark.pages.append(ReportPage());
    ReportPrimitive text;
    text.rect = QRectF(100, 100, 2000, 150);
    text.text = "第一行\n第二行\n第三行";
    text.wrap = true;
    text.font = remark.fontIndex(ReportFontStyle{"SimSun", 50, false, false});
    remark.pages[0].items.append(text);
    QVERIFY(ReportExporter::toHtml(remark, dir.filePath("remark"), &error));
    QFile r(dir.filePath("remark.htm"));
    QVERIFY(r.open(QIODevice::ReadOnly));
    const QString remarkHtml = QString::fromUtf8(r.readAll());
    const QRegularExpression div("<div class=\"p w\" style=\"([^\"]*)\">第一行");
    const QRegularExpressionMatch m = div.match(remarkHtml);
    QVERIFY2(m.hasMatch(), qPrintable(remarkHtml));
    QVERIFY2(m.captured(1).contains("min-height:") && !m.captured(1).contains(";height:"), qPrintable(m.captured(1)));
}

void TestReportEngine::xlsxKeepsNumbers() {
    QTemporaryDir dir;
    ReportTemplate t = listTemplate(10, "x");
    ReportItem amount;
    amount.rect = QRectF(60, 0, 30, 10);
    amount.text = "[amount]";
    amount.format = "#,##0.00";
    t.bands[1].items.append(amount);
    PreparedReport out;
    QString error;
    ReportRows data = rows(3);
    data.rows[2][2] = QVariant(qlonglong(999999999999999999));  // more digits than a double holds
    QVERIFY(ReportPreparer(t).prepare(data, &out, &error));
    QVERIFY(ReportExporter::toXlsx(out, dir.filePath("sheet"), &error));
    QProcess unzip;
    unzip.start("unzip", {"-p", dir.filePath("sheet.xlsx"), "xl/worksheets/sheet1.xml"});
    QVERIFY(unzip.waitForFinished(10000));
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    // Row 2 is the first detail: its code a shared string, its amount a number.
    QVERIFY2(xml.contains(QRegularExpression(R"(<c r="B2" s="\d+"><v>1</v></c>)")), qPrintable(xml));
    QVERIFY(xml.contains(QRegularExpression(R"(<c r="A2" t="s">)")));
    // The 18-digit amount is kept as its text, not rounded to another number.
    QVERIFY2(xml.contains(QRegularExpression(R"(<c r="B4"[^>]* t="s">)")), qPrintable(xml));
    unzip.start("unzip", {"-p", dir.filePath("sheet.xlsx"), "xl/sharedStrings.xml"});
    QVERIFY(unzip.waitForFinished(10000));
    QVERIFY(QString::fromUtf8(unzip.readAllStandardOutput()).contains("999,999,999,999,999,999.00"));
    unzip.start("unzip", {"-p", dir.filePath("sheet.xlsx"), "xl/styles.xml"});
    QVERIFY(unzip.waitForFinished(10000));
    const QString styles = QString::fromUtf8(unzip.readAllStandardOutput());
    QCOMPARE(styles.count("formatCode=\"#,##0.00\""), 1);  // made once for all three cells
}

namespace {
// What a spreadsheet reader sees in the first sheet of an XLSX file.
struct XlsxCell {
    QString text;  // the shared string, or the number as written
    bool number = false;
    QString format;  // the cell's number format code, empty for General
};
struct XlsxSheet {
    QMap<int, QMap<int, XlsxCell>> cells;  // row -> column -> cell, from 0
    QList<double> widthPixels;             // per column, from 0
    int frozenRows = 0;
    QStringList merged;  // "A1:B1"
    QString text(int row, int column) const { return cells.value(row).value(column).text; }
};

QByteArray unzipped(const QString& file, const QString& entry) {
    QProcess unzip;
    unzip.start("unzip", {"-p", file, entry});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) {
        return {};
    }
    return unzip.readAllStandardOutput();
}

// "B12" -> (11, 1)
QPair<int, int> cellIndex(QStringView ref) {
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i) {
        column = column * 26 + (ref[i].unicode() - 'A' + 1);
    }
    return {ref.mid(i).toInt() - 1, column - 1};
}

XlsxSheet readXlsx(const QString& file) {
    XlsxSheet sheet;
    QStringList shared;
    QXmlStreamReader strings(unzipped(file, "xl/sharedStrings.xml"));
    while (!strings.atEnd()) {
        strings.readNext();
        if (strings.isStartElement() && strings.name() == u"si") {
            shared.append(QString());
        } else if (strings.isStartElement() && strings.name() == u"t" && !shared.isEmpty()) {
            shared.last() += strings.readElementText();
        }
    }
    // Styles: the number format code of each cell format.
    QHash<int, QString> codes{{2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}};  // built-in ones
    QStringList cellFormats;
    QXmlStreamReader styles(unzipped(file, "xl/styles.xml"));
    bool inCellXfs = false;
    while (!styles.atEnd()) {
        styles.readNext();
        if (styles.isStartElement() && styles.name() == u"numFmt") {
            codes.insert(styles.attributes().value("numFmtId").toInt(),
                         styles.attributes().value("formatCode").toString());
        } else if (styles.isStartElement() && styles.name() == u"cellXfs") {
            inCellXfs = true;
        } else if (styles.isEndElement() && styles.name() == u"cellXfs") {
            inCellXfs = false;
        } else if (inCellXfs && styles.isStartElement() && styles.name() == u"xf") {
            cellFormats.append(codes.value(styles.attributes().value("numFmtId").toInt()));
        }
    }
    QXmlStreamReader xml(unzipped(file, "xl/worksheets/sheet1.xml"));
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"col") {
            // The stored width counts characters of 7 pixels, the cell's padding included.
            const double pixels = a.value("width").toDouble() * 7;
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c) {
                while (sheet.widthPixels.size() < c) {
                    sheet.widthPixels.append(0);
                }
                sheet.widthPixels[c - 1] = pixels;
            }
        } else if (xml.name() == u"pane" && a.value("state") == u"frozen") {
            sheet.frozenRows = a.value("ySplit").toInt();
        } else if (xml.name() == u"mergeCell") {
            sheet.merged.append(a.value("ref").toString());
        } else if (xml.name() == u"c") {
            const auto [row, column] = cellIndex(a.value("r"));
            XlsxCell cell;
            cell.number = a.value("t").isEmpty();
            cell.format = cellFormats.value(a.value("s").toInt());
            const bool isShared = a.value("t") == u"s";
            while (xml.readNextStartElement()) {
                if (xml.name() == u"v") {
                    const QString v = xml.readElementText();
                    cell.text = isShared ? shared.value(v.toInt()) : v;
                } else {
                    xml.skipCurrentElement();
                }
            }
            sheet.cells[row][column] = cell;
        }
    }
    return sheet;
}
}  // namespace

void TestReportEngine::xlsxIsOneTable() {
    // A list of many pages: title, column header and page footer on the
    // page, two groups with subtotals and a grand total.
    ReportTemplate t;
    auto text = [](double x, double width, const QString& content, const QString& format = {}) {
        ReportItem item;
        item.rect = QRectF(x, 0, width, 6);
        item.text = content;
        item.format = format;
        return item;
    };
    ReportBand title{ReportBand::Kind::Title, 12, {}, {text(0, 90, "商品清单")}};
    title.items[0].font.bold = true;
    title.items[0].font.pointSize = 14;
    title.items[0].align = Qt::AlignHCenter | Qt::AlignVCenter;
    ReportBand header{ReportBand::Kind::PageHeader, 8, {}, {text(0, 50, "编号"), text(60, 30, "金额")}};
    ReportBand groupHeader{ReportBand::Kind::GroupHeader, 6, "grp", {text(0, 50, "[grp]")}};
    ReportBand detail{ReportBand::Kind::Detail, 6, {}, {text(0, 50, "[code]"), text(60, 30, "[amount]", "#,##0.00")}};
    ReportBand groupFooter{
        ReportBand::Kind::GroupFooter, 6, "grp", {text(0, 50, "小计"), text(60, 30, "[sum(amount)]", "#,##0.00")}};
    ReportBand summary{
        ReportBand::Kind::Summary, 6, {}, {text(0, 50, "合计"), text(60, 30, "[sum(amount)]", "#,##0.00")}};
    ReportBand footer{ReportBand::Kind::PageFooter, 8, {}, {text(0, 190, "第 [page()] 页 / 共 [pages()] 页")}};
    t.bands = {title, header, groupHeader, detail, groupFooter, summary, footer};
    PreparedReport out;
    QString error;
    QVERIFY2(ReportPreparer(t).prepare(rows(500, 2), &out, &error), qPrintable(error));
    QVERIFY2(out.pages.size() >= 10, qPrintable(QString::number(out.pages.size())));

    QStringList expected{"商品清单", "编号", "G0"};
    for (int i = 1; i <= 500; ++i) {
        if (i == 251) {
            expected << "小计"
                     << "G1";
        }
        expected << QString("R%1").arg(i, 3, 10, QChar('0'));
    }
    expected << "小计"
             << "合计";

    // The same table from the report as prepared and as reopened from its file.
    QTemporaryDir dir;
    QVERIFY(ReportFile::save(out, dir.filePath("list.rmp"), &error));
    PreparedReport reopened;
    QVERIFY2(ReportFile::load(dir.filePath("list.rmp"), &reopened, &error), qPrintable(error));
    for (const PreparedReport* report : {&out, &reopened}) {
        const QString file = dir.filePath(report == &out ? "list.xlsx" : "reopened.xlsx");
        QVERIFY2(ReportExporter::toXlsx(*report, file, &error), qPrintable(error));
        const XlsxSheet sheet = readXlsx(file);
        QStringList firstColumn;
        for (auto row = sheet.cells.cbegin(); row != sheet.cells.cend(); ++row) {
            QCOMPARE(row.key(), firstColumn.size());  // no empty rows between
            firstColumn << row.value().value(0).text;
            for (const XlsxCell& cell : row.value()) {
                QVERIFY2(!cell.text.contains(QRegularExpression("第.*页")), qPrintable(cell.text));
            }
        }
        QCOMPARE(firstColumn.count("编号"), 1);
        QCOMPARE(firstColumn, expected);
        QCOMPARE(sheet.text(1, 1), QString("金额"));
        QCOMPARE(sheet.merged, QStringList({"A1:B1"}));  // the title across the table
        QCOMPARE(sheet.frozenRows, 2);                   // below the column header

        // Amounts are numbers shown with the template's format.
        for (int r = 0; r < expected.size(); ++r) {
            const XlsxCell amount = sheet.cells.value(r).value(1);
            if (expected[r].startsWith('R')) {
                QVERIFY2(amount.number, qPrintable(expected[r]));
                QCOMPARE(amount.text.toDouble(), expected[r].mid(1).toDouble());
                QCOMPARE(amount.format, QString("#,##0.00"));
            }
        }
        const XlsxCell total = sheet.cells.value(expected.size() - 1).value(1);
        QVERIFY(total.number);
        QCOMPARE(total.text.toDouble(), 125250.0);
        QCOMPARE(total.format, QString("#,##0.00"));

        // Column widths from the template: 60 mm to where the amount starts,
        // then the amount's 30 mm, in pixels at 96 dots per inch.
        QCOMPARE(sheet.widthPixels.size(), 2);
        QVERIFY2(qAbs(sheet.widthPixels[0] - 60 / 25.4 * 96) <= 2, qPrintable(QString::number(sheet.widthPixels[0])));
        QVERIFY2(qAbs(sheet.widthPixels[1] - 30 / 25.4 * 96) <= 2, qPrintable(QString::number(sheet.widthPixels[1])));
    }
}

// Dates as dates in their display format, labels as wide as their text,
// and the page the template prints on.
void TestReportEngine::xlsxKeepsDatesLabelsAndThePage() {
    QTemporaryDir dir;
    ReportTemplate t = listTemplate(10, "x");
    t.landscape = true;
    t.pageSize = QSizeF(148, 210);
    ReportItem day;
    day.rect = QRectF(50, 0, 12, 10);
    day.text = "[day]";
    day.format = "YYYY-MM-DD";
    ReportItem label;
    label.rect = QRectF(62, 0, 10, 10);
    label.text = "运费: [amount]";
    t.bands[1].items << day << label;
    ReportRows data;
    data.fields = {"code", "day", "amount"};
    data.rows.append({QString("R1"), QDate(2024, 3, 5), 140.0});
    PreparedReport out;
    QString error;
    QVERIFY2(ReportPreparer(t).prepare(data, &out, &error), qPrintable(error));
    const QString file = dir.filePath("dates.xlsx");
    QVERIFY2(ReportExporter::toXlsx(out, file, &error), qPrintable(error));
    const XlsxSheet sheet = readXlsx(file);
    const XlsxCell date = sheet.cells.value(1).value(1);
    QVERIFY(date.number);
    QCOMPARE(date.text, QString("45356"));
    QCOMPARE(date.format, QString("yyyy-mm-dd"));
    QCOMPARE(sheet.text(1, 2), QString("运费: 140"));
    // 12 mm would cut the date and 10 mm the label.
    QVERIFY2(sheet.widthPixels.value(1) >= 80, qPrintable(QString::number(sheet.widthPixels.value(1))));
    QVERIFY2(sheet.widthPixels.value(2) >= 70, qPrintable(QString::number(sheet.widthPixels.value(2))));
    const QString xml = QString::fromUtf8(unzipped(file, "xl/worksheets/sheet1.xml"));
    QVERIFY2(xml.contains(R"(<pageSetUpPr fitToPage="1"/>)"), qPrintable(xml));
    const QString setup = xml.mid(xml.indexOf("<pageSetup "));
    for (const char* attribute : {"paperSize=\"11\"", "orientation=\"landscape\"", "fitToHeight=\"0\""}) {
        QVERIFY2(setup.left(setup.indexOf("/>")).contains(attribute), qPrintable(setup));
    }
}

// The rows of `stats --out x.tsv` come back through `report --rows` as
// they were: texts as texts, numbers as numbers, dates as dates.
void TestReportEngine::tsvRowsComeBackAsWritten() {
    QTemporaryDir dir;
    ReportRows written;
    written.fields = {"code", "account", "amount", "count", "day", "time", "note", "empty"};
    written.rows.append({QString("00001"), QString("6222021234567890123"), 3420.5, qlonglong(12), QDate(2024, 3, 5),
                         QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0), Qt::UTC), QString("a\tb\nc\\d"), QVariant()});
    written.rows.append({QString("12"), QString("2024-03-05"), 0.1 + 0.2, qlonglong(-7), QVariant(), QVariant(),
                         QString("\\12"), QString("-0")});
    QString error;
    QVERIFY2(written.toTsv(dir.filePath("rows.tsv"), &error), qPrintable(error));
    ReportRows read;
    QVERIFY2(ReportRows::fromTsv(dir.filePath("rows.tsv"), &read, &error), qPrintable(error));
    QCOMPARE(read.fields, written.fields);
    QCOMPARE(read.rows.size(), 2);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < written.fields.size(); ++c) {
            const QVariant& want = written.rows[r][c];
            const QVariant& got = read.rows[r][c];
            const QString where = QString("row %1 %2: %3").arg(r).arg(written.fields[c], got.toString());
            QVERIFY2(got.isNull() == want.isNull(), qPrintable(where));
            if (want.typeId() == QMetaType::Double) {
                QVERIFY2(got.typeId() == QMetaType::Double && qAbs(got.toDouble() - want.toDouble()) < 1e-12,
                         qPrintable(where));
            } else if (!want.isNull()) {
                QVERIFY2(got.typeId() == want.typeId() && got == want, qPrintable(where));
            }
        }
    }
    // A file written by hand: numbers and dates as they look.
    QFile hand(dir.filePath("hand.tsv"));
    QVERIFY(hand.open(QIODevice::WriteOnly));
    hand.write("a\tb\tc\td\n00001\t6222021234567890123\t1.50\t2024-02-30\n");
    hand.close();
    QVERIFY(ReportRows::fromTsv(dir.filePath("hand.tsv"), &read, &error));
    QCOMPARE(read.rows[0][0], QVariant(QString("00001")));
    QCOMPARE(read.rows[0][1], QVariant(QString("6222021234567890123")));
    QCOMPARE(read.rows[0][2], QVariant(1.5));
    QCOMPARE(read.rows[0][3], QVariant(QString("2024-02-30")));
}

void TestReportEngine::pdfTextReadsAsDrawn_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("family");
    // Characters that Noto CJK draws with the glyph of a look-alike radical.
    const QString common = "门 页 角 壹贰叁肆伍陆柒捌玖拾 佰 仟 万 元 整 商品 单价";
    QTest::newRow("fixed text") << common << QVariant() << common << "SimSun";
    QTest::newRow("capital amount") << "[capital(value)]" << QVariant(98765.43) << "玖万捌仟柒佰陆拾伍元肆角叁分"
                                    << "SimSun";
    const QString goods = "木门 一米 大号 贝壳 长条 风车 马达 鱼缸 见方 黄色 车轮 十字 页码";
    QTest::newRow("goods name") << "[value]" << QVariant(goods) << goods << "宋体";
    // Templates of an office may name other faces, installed or not.
    QTest::newRow("Hei face") << common << QVariant() << common << "黑体";
    QTest::newRow("YaHei") << common << QVariant() << common << "Microsoft YaHei";
    QTest::newRow("Kai face, not installed") << common << QVariant() << common << "楷体";
    QTest::newRow("a Latin face") << "Total 门 页 角" << QVariant() << "Total门页角"
                                  << "DejaVu Sans";
}

void TestReportEngine::pdfTextReadsAsDrawn() {
    QFETCH(QString, text);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QFETCH(QString, family);
    ReportTemplate t;
    ReportItem item;
    item.rect = QRectF(0, 0, 190, 10);
    item.text = text;
    item.font.family = family;
    t.bands = {{ReportBand::Kind::Detail, 10, {}, {item}}};
    ReportRows r;
    r.fields = {"value"};
    r.rows = {{value}};
    PreparedReport out;
    QString error;
    QVERIFY2(ReportPreparer(t).prepare(r, &out, &error), qPrintable(error));
    QTemporaryDir dir;
    QVERIFY2(ReportExporter::toPdf(out, dir.filePath("text.pdf"), &error), qPrintable(error));
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-enc", "UTF-8", dir.filePath("text.pdf"), "-"});
    QVERIFY2(pdftotext.waitForFinished(30000) && pdftotext.exitCode() == 0, "pdftotext did not run");
    const QString extracted = QString::fromUtf8(pdftotext.readAllStandardOutput());
    for (QChar c : extracted) {
        QVERIFY2(c.unicode() < 0x2E80 || c.unicode() > 0x2FDF,
                 qPrintable(QString("radical U+%1 in \"%2\"").arg(c.unicode(), 4, 16).arg(extracted.trimmed())));
    }
    QCOMPARE(extracted.simplified().remove(' '), QString(expected).remove(' '));
}

void TestReportEngine::exportToAMissingFolder() {
    PreparedReport out;
    QString error;
    QVERIFY(ReportPreparer(listTemplate(10, "x")).prepare(rows(3), &out, &error));
    for (const char* ext : {"pdf", "jpg", "htm", "xlsx", "rmp"}) {
        error.clear();
        QVERIFY(!ReportExporter::byExtension(out, QStringLiteral("/no/such/folder/r.") + ext, &error));
        QVERIFY2(error.contains("/no/such/folder"), qPrintable(error));
    }
    QVERIFY(!ReportExporter::byExtension(out, "/tmp/r.doc", &error));
}

void TestReportEngine::numberFormats_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("fixed") << 1234.5 << "#,##0.00"
                           << "1,234.50";
    QTest::newRow("optional places kept") << 2.5 << "#,##0.####"
                                          << "2.5";
    QTest::newRow("optional places dropped") << 4.0 << "#,##0.####"
                                             << "4";
    QTest::newRow("zeros inside the whole part stay") << 1000.0 << "0.##"
                                                      << "1000";
    QTest::newRow("mixed places") << 3.1 << "0.0#"
                                  << "3.1";
    QTest::newRow("mixed places, both shown") << 3.125 << "0.0##"
                                              << "3.125";
    QTest::newRow("rounded to the places") << 0.12345 << "0.####"
                                           << "0.1235";
    QTest::newRow("negative") << -1500.25 << "#,##0.####"
                              << "-1,500.25";
}

void TestReportEngine::numberFormats() {
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, text);
    QCOMPARE(formatNumber(value, format), text);
}

void TestReportEngine::wholeNumbersKeepEveryDigit_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("eighteen digits") << QVariant(123456789012345678LL) << "#,##0.00"
                                     << "123,456,789,012,345,678.00";
    QTest::newRow("no separators") << QVariant(999999999999999999LL) << "0.00"
                                   << "999999999999999999.00";
    QTest::newRow("optional places") << QVariant(42LL) << "#,##0.####"
                                     << "42";
    QTest::newRow("no places") << QVariant(1234) << "#,##0"
                               << "1,234";
    QTest::newRow("negative") << QVariant(-1234567LL) << "#,##0.00"
                              << "-1,234,567.00";
    QTest::newRow("small") << QVariant(7) << "#,##0.00"
                           << "7.00";
}

void TestReportEngine::wholeNumbersKeepEveryDigit() {
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, text);
    QCOMPARE(formatReportValue(value, format), text);
    // A double gives the same text where it holds the number exactly.
    if (qAbs(value.toLongLong()) < (1LL << 53)) {
        QCOMPARE(formatReportValue(QVariant(value.toDouble()), format), text);
    }
}

void TestReportEngine::newPageBandsStartASheetPerRow() {
    ReportTemplate t;
    QString error;
    QVERIFY2(ReportTemplate::fromJson(R"({"version": 1, "bands": [
        {"kind": "title", "height": 10, "items": [{"rect": [0, 0, 100, 10], "text": "TITLE"}]},
        {"kind": "detail", "height": 20, "newPage": true, "items": [{"rect": [0, 0, 100, 10], "text": "HEAD [code]"}]},
        {"kind": "detail", "height": 30, "items": [{"rect": [0, 0, 100, 10], "text": "BODY [code]"}]}]})",
                                      &t, &error),
             qPrintable(error));
    QVERIFY(t.bands[1].newPage);
    QVERIFY(!t.bands[2].newPage);
    ReportPreparer p(t);
    PreparedReport out;
    QVERIFY2(p.prepare(rows(3), &out, &error), qPrintable(error));
    // The first sheet shares its page with the title; each next starts one.
    QCOMPARE(out.pages.size(), 3);
    QCOMPARE(textsOf(out.pages[0]), QStringList({"TITLE", "HEAD R001", "BODY R001"}));
    QCOMPARE(textsOf(out.pages[1]), QStringList({"HEAD R002", "BODY R002"}));
    QCOMPARE(textsOf(out.pages[2]), QStringList({"HEAD R003", "BODY R003"}));
    QVERIFY(!ReportTemplate::fromJson(R"({"version": 1, "bands": [{"kind": "detail", "newPage": 1}]})", &t, &error));
    QVERIFY2(error.contains("newPage"), qPrintable(error));
}

void TestReportEngine::shrinkingTextFitsItsBox() {
    ReportTemplate t;
    QString error;
    QVERIFY2(ReportTemplate::fromJson(R"({"version": 1, "bands": [
        {"kind": "detail", "height": 8, "items": [
            {"rect": [0, 0, 30, 8], "text": "[code]", "shrink": true, "font": {"size": 10}},
            {"rect": [40, 0, 30, 8], "text": "[code]", "font": {"size": 10}}]}]})",
                                      &t, &error),
             qPrintable(error));
    ReportRows r;
    r.fields = {"code"};
    r.rows = {{QString("12")}, {QString("123,456,789,012,345,678.00")}};
    ReportPreparer p(t);
    PreparedReport out;
    QVERIFY2(p.prepare(r, &out, &error), qPrintable(error));
    const QList<ReportPrimitive>& items = out.pages[0].items;
    QCOMPARE(items.size(), 4);
    const ReportPrimitive& shortText = items[0];
    const ReportPrimitive& plain = items[1];
    const ReportPrimitive& longText = items[2];
    const ReportPrimitive& longPlain = items[3];
    // A text that fits keeps the font; one too wide gets a smaller one and
    // then fits; figures are never cut, so without the option too.
    QCOMPARE(shortText.font, plain.font);
    QCOMPARE(longPlain.font, longText.font);
    QVERIFY(longText.font != plain.font);
    const ReportFontStyle& small = out.fonts[longText.font];
    QVERIFY(small.pixelSize < out.fonts[plain.font].pixelSize);
    const double width = QFontMetricsF(small.toFont()).horizontalAdvance(longText.text);
    QVERIFY2(width <= longText.rect.width() - PreparedReport::kDotsPerMm, qPrintable(QString::number(width)));
    QVERIFY(QFontMetricsF(out.fonts[plain.font].toFont()).horizontalAdvance(longText.text) > longText.rect.width());
}

QTEST_MAIN(TestReportEngine)
#include "test_report_engine.moc"
