#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
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
#include "reports/report_samples.h"

// The report engine: expressions, number formats, templates and the layout
// of prepared pages.
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
    void codesStayOnOneLine();
    void pictureThatCannotBeReadLeavesAnEmptyBox();

private:
    static QString evaluate(const QString& text, const QVariantMap& fields = {});
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
        QVERIFY(!p.prepare(ReportSamples::rows(1), &out, &error));
        QVERIFY2(error.contains("bands[0](detail).items[0]"), qPrintable(error));
        return;
    }
    QVERIFY(!loaded);
    QVERIFY2(error.contains(place), qPrintable(error));
}

namespace {
QByteArray pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

double mm(double dots) {
    return dots / PreparedReport::kDotsPerMm;
}
}  // namespace

void TestReportEngine::pageBreaksKeepTheFooterClear() {
    // A4: 297 - 10 - 10 margins - 10 header - 10 footer = 257 mm, 25 rows of 10 mm.
    ReportPreparer p(ReportSamples::listTemplate(10, "[sum(amount)] 第 [page()] 页 / 共 [pages()] 页"));
    PreparedReport out;
    QString error;
    QVERIFY2(p.prepare(ReportSamples::rows(60), &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 3);
    const QStringList first = ReportSamples::textsOf(out.pages[0]);
    QVERIFY(first.contains("R025"));
    QVERIFY(!first.contains("R026"));
    QVERIFY(ReportSamples::textsOf(out.pages[1]).contains("R026"));
    // Page sums: rows 1-25 = 325, rows 26-50 = 950, rows 51-60 = 555.
    QVERIFY2(first.contains("325 第 1 页 / 共 3 页"), qPrintable(first.join('|')));
    QVERIFY(ReportSamples::textsOf(out.pages[1]).contains("950 第 2 页 / 共 3 页"));
    QVERIFY(ReportSamples::textsOf(out.pages[2]).contains("555 第 3 页 / 共 3 页"));
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
    QVERIFY2(ReportPreparer(t).prepare(ReportSamples::rows(6, 2), &out, &error), qPrintable(error));
    QCOMPARE(out.pages.size(), 1);
    QCOMPARE(
        ReportSamples::textsOf(out.pages[0]),
        QStringList({"G0 共3行 合计6", "R001 累计1", "R002 累计3", "R003 累计6", "小计6 平均2 最大3", "G1 共3行 合计15",
                     "R004 累计10", "R005 累计15", "R006 累计21", "小计15 平均5 最大6", "总计21 最小1"}));
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
    QCOMPARE(ReportSamples::textsOf(out.pages[0]),
             QStringList({"2006-01-01 前0", "1类 2笔", "R1 组3 页0 累1", "R2 组3 页1 累3", "小3 总3", "2类 1笔",
                          "R3 组4 页3 累7", "小4 总7", "日7", "2006-01-02 前7", "2类 2笔", "R4 组24 页7 累15",
                          "R5 组24 页15 累31", "小24 总31", "日24", "总31 5笔", "页计31"}));

    // Footers that would only repeat a single row are left out where asked.
    t.bands[3].hideForOneRow = true;
    t.bands[4].hideForOneRow = true;
    PreparedReport shorter;
    QVERIFY2(ReportPreparer(t).prepare(r, &shorter, &error), qPrintable(error));
    QCOMPARE(ReportSamples::textsOf(shorter.pages[0]),
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
    QCOMPARE(ReportSamples::textsOf(out.pages[0]), QStringList({"G0", "行备注1", "G1", "行备注2"}));
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
    const QStringList texts = ReportSamples::textsOf(out.pages[0]);
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
    QVERIFY(ReportSamples::textsOf(out.pages[1]).contains("收件人7"));
}

// A code or number has no place to break: it keeps one line however wide,
// as Qt lays it out; a text that wraps grows its row, pushing the next one
// down, the same each time it comes again.
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
    QCOMPARE(qRound(mm(items[1].rect.y() - items[0].rect.y())), 6);  // the band's own height
    QCOMPARE(items[1].rect.height(), items[0].rect.height());
    QCOMPARE(items[2].rect.height(), items[0].rect.height());
    QCOMPARE(items[4].rect.height(), items[0].rect.height());
    QVERIFY(mm(items[3].rect.height()) > mm(items[0].rect.height()) + 3);
    // The row after a grown one is pushed down by the whole height.
    QVERIFY(items[4].rect.y() >= items[3].rect.bottom() - 0.5);
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
    QVERIFY2(p.prepare(ReportSamples::rows(3), &out, &error), qPrintable(error));
    // The first sheet shares its page with the title; each next starts one.
    QCOMPARE(out.pages.size(), 3);
    QCOMPARE(ReportSamples::textsOf(out.pages[0]), QStringList({"TITLE", "HEAD R001", "BODY R001"}));
    QCOMPARE(ReportSamples::textsOf(out.pages[1]), QStringList({"HEAD R002", "BODY R002"}));
    QCOMPARE(ReportSamples::textsOf(out.pages[2]), QStringList({"HEAD R003", "BODY R003"}));
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
