#include <QFile>
#include <QFontMetricsF>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "data/field_def.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_samples.h"
#include "support/golden.h"

namespace {
struct Row {
    const char* tag;
    const char* a;
    const char* b;
};

// A band of one text across the page.
ReportBand band(ReportBand::Kind kind, double height, const QString& text, const QString& group = {}) {
    ReportItem item;
    item.rect = QRectF(0, 0, 150, height);
    item.text = text;
    return {kind, height, group, {item}};
}

// `rows` laid out by `t`; the preparer's error is shown when it refuses.
bool prepare(const ReportTemplate& t, const ReportRows& rows, PreparedReport* out, const QString& folder = {}) {
    QString error;
    const bool ok = ReportPreparer(t, folder).prepare(rows, out, &error);
    if (!ok) {
        qWarning("%s", qPrintable(error));
    }
    return ok;
}

// A template written in JSON; the reason is shown when it is refused.
ReportTemplate parsed(const QByteArray& json) {
    ReportTemplate t;
    QString error;
    if (!ReportTemplate::fromJson(json, &t, &error)) {
        qWarning("%s", qPrintable(error));
    }
    return t;
}

double mm(double dots) {
    return dots / PreparedReport::kDotsPerMm;
}

QString evaluate(const QString& text, const QVariantMap& fields = {}) {
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
}  // namespace

// The report engine: expressions, number formats, templates and the layout
// of prepared pages.
class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    // Expressions, capital amounts and number formats with what they print,
    // a line each, kept in a golden file. Whole numbers keep every digit and
    // give the same text as a double where a double holds them exactly.
    void valuesAsTheyPrint() {
        QString text;
        // Dates as an embedded book returns them: text.
        const QVariantMap fields{
            {"qty", 3},           {"price", 2.5}, {"name", "张三"}, {"boss", "李四"}, {"stamp", "2006-12-25 14:30:00"},
            {"day", "2006-12-25"}};
        for (const char* e :
             {"[(1 + 2) * 3 - -2 * 2]", "[7 / 2]", "a[1 / 0]b", "[missing + 1]", "[qty * price]",
              "[name + '(' + boss + ')']", "[iif(qty > 2, 'many', 'few')]",
              "[iif(not (qty = 3) or qty >= 3, 'y', 'n')]", "[format(12345.678, '#,##0.00')]",
              "[format(today(), 'YYYY-MM-DD')]", "[format(stamp, 'YYYY-MM-DD')]", "[format(day, 'YYYY年MM月DD日')]",
              "[format(name, 'YYYY-MM-DD')]", "[format(stamp, '0.00')]", "第[page()]页/共[pages()]页", "[[x]]",
              "[round(2.675, 2)]", "[capital(qty * price)]"}) {
            text += QString::fromUtf8(e) + " => " + evaluate(QString::fromUtf8(e), fields) + "\n";
        }
        for (double amount :
             {12345.60, 10005.00, 0.0, 1.05, 0.5, 0.07, 100000.0, 1000005.0, 101000.0, 100000001.0, -20.5, 2.675}) {
            text += QString("capital %1 => %2\n").arg(QString::number(amount, 'g', 12), chineseCapitalAmount(amount));
        }
        const std::pair<QVariant, const char*> numbers[] = {{1234.5, "#,##0.00"},
                                                            {2.5, "#,##0.####"},
                                                            {4.0, "#,##0.####"},
                                                            {1000.0, "0.##"},
                                                            {3.1, "0.0#"},
                                                            {3.125, "0.0##"},
                                                            {0.12345, "0.####"},
                                                            {-1500.25, "#,##0.####"},
                                                            {123456789012345678LL, "#,##0.00"},
                                                            {999999999999999999LL, "0.00"},
                                                            {42LL, "#,##0.####"},
                                                            {1234, "#,##0"},
                                                            {-1234567LL, "#,##0.00"}};
        for (const auto& [value, format] : numbers) {
            const QString shown = formatReportValue(value, format);
            text += QString("%1 %2 as %3 => %4\n").arg(value.typeName(), value.toString(), format, shown);
            if (value.typeId() == QMetaType::Double) {
                QCOMPARE(formatNumber(value.toDouble(), format), shown);
            } else if (qAbs(value.toLongLong()) < (1LL << 53)) {
                QCOMPARE(formatReportValue(QVariant(value.toDouble()), format), shown);
            }
        }
        OLVEND_COMPARE_GOLDEN("reports/expressions.txt", text);
    }

    void expressionErrors() {
        QVERIFY(evaluate("[foo(1)]").contains("foo"));
        // Very deep nesting is refused, not followed to a crash.
        for (const QString& text :
             {QString("[1 +]"), QString("[(1 + 2]"), QString("[sum(x, 'week')]"), QString("text [open"),
              "[" + QString(5000, '(') + "1" + QString(5000, ')') + "]", "[" + QString(20000, '-') + "1]"}) {
            QVERIFY2(evaluate(text).startsWith("ERROR"), qPrintable(text.left(20)));
        }
    }

    // A file not there is missing, without a word; a name without
    // extension finds the .rmf file; a text, number or kind that does not
    // belong is refused with its place in the file named.
    void templatesLoadOrSayWhy() {
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
        QCOMPARE(ReportTemplate::load(dir.filePath("plain"), &t, &error), ReportTemplate::LoadResult::Loaded);
        QCOMPARE(t.effectivePageSize(), QSizeF(50, 100));
        QVERIFY(t.columns == 2 && t.bands.size() == 1 && (t.bands[0].items[0].align & Qt::AlignRight));
        const Row rows[] = {
            {"truncated", R"({"bands": [{"kind": "detail")", "字符"},
            {"not an object", "[1,2]", "对象"},
            {"wrong type", R"({"bands": [{"kind": "detail", "height": "tall"}]})", "bands[0].height"},
            {"bad rect", R"({"bands": [{"kind": "detail", "items": [{"rect": [1, 2]}]}]})", "bands[0].items[0].rect"},
            {"unknown item", R"({"bands": [{"kind": "detail", "items": [{"type": "video"}]}]})", "video"},
            {"unknown band", R"({"bands": [{"kind": "sidebar"}]})", "sidebar"},
            {"huge size", R"({"page": {"width": 1e300}})", "page.width"},
            {"newer", R"({"version": 9})", "version"},
            {"group without field", R"({"bands": [{"kind": "groupHeader"}]})", "group"},
            {"new page not a flag", R"({"bands": [{"kind": "detail", "newPage": 1}]})", "newPage"},
            // The template reads; its text is refused when the report is prepared.
            {"bad expression", R"({"bands":[{"kind":"detail","items":[{"text":"[1+]"}]}]})",
             "bands[0](detail).items[0]"},
        };
        const QByteArray deep(20000, '[');
        QList<Row> all(std::begin(rows), std::end(rows));
        all.append({"deep nesting", deep.constData(), ""});
        for (const Row& r : all) {
            ReportTemplate t;
            QString error;
            if (ReportTemplate::fromJson(QByteArray(r.a), &t, &error)) {
                QCOMPARE(r.tag, "bad expression");
                PreparedReport out;
                QVERIFY(!ReportPreparer(t).prepare(ReportSamples::rows(1), &out, &error));
            }
            QVERIFY2(error.contains(QString::fromUtf8(r.b)), qPrintable(QString("%1: %2").arg(r.tag, error)));
        }
    }

    void newPageBandsStartASheetPerRow() {
        const ReportTemplate t = parsed(R"({"version": 1, "bands": [
            {"kind": "title", "height": 10, "items": [{"rect": [0, 0, 100, 10], "text": "TITLE"}]},
            {"kind": "detail", "height": 20, "newPage": true, "items": [{"rect": [0, 0, 100, 10], "text": "HEAD [code]"}]},
            {"kind": "detail", "height": 30, "items": [{"rect": [0, 0, 100, 10], "text": "BODY [code]"}]}]})");
        PreparedReport out;
        QVERIFY(prepare(t, ReportSamples::rows(3), &out));
        // The first sheet shares its page with the title; each next starts one.
        QCOMPARE(out.pages.size(), 3);
        QCOMPARE(ReportSamples::textsOf(out.pages[0]), QStringList({"TITLE", "HEAD R001", "BODY R001"}));
        QCOMPARE(ReportSamples::textsOf(out.pages[2]), QStringList({"HEAD R003", "BODY R003"}));
    }

    // A text that fits keeps the font; one too wide gets a smaller one and
    // then fits; figures are never cut, so without the option too.
    void shrinkingTextFitsItsBox() {
        const ReportTemplate t = parsed(R"({"version": 1, "bands": [
            {"kind": "detail", "height": 8, "items": [
                {"rect": [0, 0, 30, 8], "text": "[code]", "shrink": true, "font": {"size": 10}},
                {"rect": [40, 0, 30, 8], "text": "[code]", "font": {"size": 10}}]}]})");
        ReportRows r;
        r.fields = {"code"};
        r.rows = {{QString("12")}, {QString("123,456,789,012,345,678.00")}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out));
        const QList<ReportPrimitive>& items = out.pages[0].items;
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0].font, items[1].font);
        QCOMPARE(items[3].font, items[2].font);
        const ReportFontStyle& small = out.fonts[items[2].font];
        QVERIFY(small.pixelSize < out.fonts[items[1].font].pixelSize);
        const double width = QFontMetricsF(small.toFont()).horizontalAdvance(items[2].text);
        QVERIFY2(width <= items[2].rect.width() - PreparedReport::kDotsPerMm, qPrintable(QString::number(width)));
        QVERIFY(QFontMetricsF(out.fonts[items[1].font].toFont()).horizontalAdvance(items[2].text) >
                items[2].rect.width());
    }

    void pageBreaksKeepTheFooterClear() {
        // A4: 297 - 10 - 10 margins - 10 header - 10 footer = 257 mm, 25 rows of 10 mm.
        PreparedReport out;
        QVERIFY(prepare(ReportSamples::listTemplate(10, "[sum(amount)] 第 [page()] 页 / 共 [pages()] 页"),
                        ReportSamples::rows(60), &out));
        QCOMPARE(out.pages.size(), 3);
        // Rows 1-25 on the first page; page sums: rows 1-25 = 325, rows 26-50 = 950, rows 51-60 = 555.
        const auto firstAndLast = [&out](int page) {
            const QStringList rows = ReportSamples::textsOf(out, ReportBand::Kind::Detail, page);
            return QStringList{rows.first(), rows.last()} +
                   ReportSamples::textsOf(out, ReportBand::Kind::PageFooter, page);
        };
        QCOMPARE(firstAndLast(0) + firstAndLast(1) + firstAndLast(2),
                 QStringList({"R001", "R025", "325 第 1 页 / 共 3 页", "R026", "R050", "950 第 2 页 / 共 3 页", "R051",
                              "R060", "555 第 3 页 / 共 3 页"}));
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
        QCOMPARE(QPoint(qRound(footerTop), qRound(lowestBody)), QPoint(277, 270));
    }

    // Each aggregate reads the sums of its scope wherever it stands: the whole
    // report so far in a group header, its group's total in a detail band, the
    // page before the row (a row counts on the page once it is placed). Groups
    // change where the texts of their values change, also when a date comes as
    // a date on one row and as text on the next, or a kind as a whole number
    // and as a real. Footers that would only repeat a single row are left out
    // where asked.
    void scopesAndGroupsOfMixedKinds() {
        using K = ReportBand::Kind;
        ReportTemplate t;
        t.bands = {band(K::GroupHeader, 8, "[format(day, 'YYYY-MM-DD')] 前[sum(amount, 'report')]", "day"),
                   band(K::GroupHeader, 8, "[kind]类 [count()]笔", "kind"),
                   band(K::Detail, 6, "[code] 组[sum(amount, 'group')] 页[sum(amount, 'page')] 累[sum(amount)]"),
                   band(K::GroupFooter, 8, "小[sum(amount)] 总[sum(amount, 'report')] 均[avg(amount)] 大[max(amount)]",
                        "kind"),
                   band(K::GroupFooter, 8, "日[sum(amount)]", "day"),
                   band(K::Summary, 8, "总[sum(amount)] [count()]笔 小[min(amount)]"),
                   band(K::PageFooter, 8, "页计[sum(amount)]")};
        ReportRows r;
        r.fields = {"day", "kind", "code", "amount"};
        r.rows = {{QDate(2006, 1, 1), 1, "R1", 1.0},
                  {QString("2006-01-01"), 1.0, "R2", 2.0},
                  {QDate(2006, 1, 1), 2, "R3", 4.0},
                  {QDate(2006, 1, 2), 2, "R4", 8.0},
                  {QDate(2006, 1, 2), 2, "R5", 16.0}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out));
        QCOMPARE(out.pages.size(), 1);
        OLVEND_COMPARE_GOLDEN("reports/scopes.txt", ReportSamples::dump(out));
        t.bands[3].hideForOneRow = true;
        t.bands[4].hideForOneRow = true;
        PreparedReport hidden;
        QVERIFY(prepare(t, r, &hidden));
        QStringList expected = ReportSamples::textsOf(out.pages[0]);
        expected.removeOne("小4 总7 均4 大4");  // the footer of a kind of one row
        QCOMPARE(ReportSamples::textsOf(hidden.pages[0]), expected);
    }

    // "d.*, h.*" gives two columns named Remark: texts and groups read the
    // first of them, whatever the letter case.
    void duplicateNamesReadTheFirstColumn() {
        ReportTemplate t;
        t.bands = {band(ReportBand::Kind::GroupHeader, 8, "[grp]", "grp"),
                   band(ReportBand::Kind::Detail, 6, "[remark]")};
        ReportRows r;
        r.fields = {"grp", "Remark", "GRP", "REMARK"};
        r.rows = {{"G0", "行备注1", "H", "单据备注"}, {"G1", "行备注2", "H", "单据备注"}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out));
        QCOMPARE(ReportSamples::textsOf(out), QStringList({"G0", "行备注1", "G1", "行备注2"}));
    }

    // The list lays out whatever columns the rows have: a statement's
    // "count(*)", a spreadsheet's "单价 (元)" or an unnamed column are no names
    // an expression can write, and their values show all the same; the title
    // and the captions as written.
    void listShowsColumnsOfAnyName() {
        const ReportTemplate t = parsed(R"({"title": "清单 [1]", "autoColumns": true})");
        ReportRows r;
        r.fields = {"count(*)", "单价 (元)", "Tot&l", "", "a]b", "sum"};
        r.rows = {{7, 12.5, "x", "无名", "y", 3}, {8, QVariant(), "z", "列", "[w]", 4}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out));
        QCOMPARE(out.pages.size(), 1);
        QCOMPARE(ReportSamples::textsOf(out, ReportBand::Kind::Detail),
                 QStringList({"7", "12.5", "x", "无名", "y", "3", "8", "", "z", "列", "[w]", "4"}));
        const QStringList texts = ReportSamples::textsOf(out.pages[0]);
        QVERIFY(texts.contains("清单 [1]") && texts.contains("count(*)") && texts.contains("a]b"));
    }

    void labelColumns() {
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
        QVERIFY(prepare(t, r, &out));
        // Two columns of labels 94 mm wide and 92 mm high, 10 mm margins, 2 mm
        // between: three rows fit on an A4 page, so the seventh label starts
        // page 2.
        QCOMPARE(out.pages.size(), 2);
        QStringList frames;
        for (const ReportPage& page : out.pages) {
            for (const ReportPrimitive& p : page.items) {
                if (p.kind == ReportPrimitive::Kind::Rect) {
                    const QRect r =
                        QRectF(mm(p.rect.x()), mm(p.rect.y()), mm(p.rect.width()), mm(p.rect.height())).toRect();
                    frames << QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
                }
            }
        }
        QCOMPARE(frames.join(" / "), QString("10,10 94x92 / 106,10 94x92 / 10,102 94x92 / 106,102 94x92 / "
                                             "10,194 94x92 / 106,194 94x92 / 10,10 94x92"));
        QVERIFY(ReportSamples::textsOf(out.pages[1]).contains("收件人7"));
    }

    // A code or number has no place to break: it keeps one line however wide,
    // as Qt lays it out; a text that wraps grows its row, pushing the next one
    // down, the same each time it comes again.
    void codesStayOnOneLine() {
        ReportTemplate t;
        t.bands = {band(ReportBand::Kind::Detail, 6, "[note]")};
        t.bands[0].items[0].rect = QRectF(0, 0, 20, 6);
        t.bands[0].items[0].wrap = true;
        const QString longWord(80, QChar('X'));
        const QString remark = QStringLiteral("送货上门并安装调试完毕后收取尾款");
        ReportRows r;
        r.fields = {"note"};
        r.rows = {{QString("A1")}, {QString("AA2612070001")}, {longWord}, {remark}, {QString("B2")}, {remark}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out));
        const auto& items = out.pages[0].items;
        QCOMPARE(items.size(), 6);
        QCOMPARE(qRound(mm(items[1].rect.y() - items[0].rect.y())), 6);  // the band's own height
        for (int i : {1, 2, 4}) {
            QCOMPARE(items[i].rect.height(), items[0].rect.height());
        }
        QVERIFY(mm(items[3].rect.height()) > mm(items[0].rect.height()) + 3);
        QVERIFY(items[4].rect.y() >= items[3].rect.bottom() - 0.5);
        QCOMPARE(items[5].rect.height(), items[3].rect.height());
        // Qt's own layout of the long word at the column's width: one line.
        const QFontMetricsF fm(out.fonts[items[2].font].toFont());
        const QRectF box(0, 0, items[2].rect.width() - PreparedReport::kDotsPerMm, 1e9);
        const double oneLine = fm.boundingRect(box, Qt::TextWordWrap, QString("A1")).height();
        QCOMPARE(fm.boundingRect(box, Qt::TextWordWrap, longWord).height(), oneLine);
        QVERIFY(fm.boundingRect(box, Qt::TextWordWrap, remark).height() > oneLine);
    }

    // A picture that is missing or is no picture leaves an empty frame (a
    // PNG whose chunks overrun its file is refused by the picture reader:
    // test_platform).
    void pictureThatCannotBeReadLeavesAnEmptyBox() {
        QTemporaryDir dir;
        QImage good(20, 10, QImage::Format_RGB32);
        good.fill(Qt::red);
        QFile bad(dir.filePath("bad.jpg"));
        QVERIFY(good.save(dir.filePath("good.png")) && bad.open(QIODevice::WriteOnly) &&
                bad.write("not a picture") > 0);
        bad.close();
        ReportTemplate t;
        ReportItem pic;
        pic.kind = ReportItem::Kind::Picture;
        pic.rect = QRectF(0, 0, 20, 20);
        pic.field = "file";
        t.bands = {{ReportBand::Kind::Detail, 20, {}, {pic}}};
        ReportRows r;
        r.fields = {"file"};
        r.rows = {{QString("good.png")}, {QString("bad.jpg")}, {QString("missing.jpg")}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out, dir.path()));
        QList<ReportPrimitive::Kind> kinds;
        for (const ReportPrimitive& p : out.pages[0].items) {
            kinds << p.kind;
        }
        using P = ReportPrimitive::Kind;
        QCOMPARE(kinds, QList<P>({P::Image, P::Rect, P::Rect}));
        QCOMPARE(out.images.size(), 1);
    }
};

QTEST_MAIN(TestReportEngine)
#include "test_report_engine.moc"
