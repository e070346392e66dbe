#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>
#include <QtMath>
#include <functional>
#include <tuple>

#include "data/book_checks.h"
#include "data/field_def.h"
#include "platform/errors.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_painter.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_sheet.h"
#include "reports/engine/stepped_report.h"
#include "reports/report_samples.h"
#include "support/golden.h"
#include "support/test_paths.h"

using BookChecks::written;

namespace {
bool prepare(const ReportTemplate& t, const ReportRows& rows, PreparedReport* out, const QString& folder = {}) {
    QString error;
    const bool ok = ReportPreparer(t, folder).prepare(rows, out, &error);
    if (!ok) {
        qWarning("%s", qPrintable(error));
    }
    return ok;
}

ReportTemplate parsed(const QByteArray& json) {
    ReportTemplate t;
    QString error;
    if (!ReportTemplate::fromJson(json, &t, &error)) {
        qWarning("%s", qPrintable(error));
    }
    return t;
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
QByteArray readAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

PreparedReport list(int rows, const QString& footer = "x") {
    PreparedReport out;
    prepare(ReportSamples::listTemplate(10, footer), ReportSamples::rows(rows), &out);
    return out;
}

ReportItem textItem(double x, double width, const QString& text, const QString& format = {}) {
    ReportItem item;
    item.rect = QRectF(x, 0, width, 6);
    item.text = text;
    item.format = format;
    return item;
}

ReportBand band(ReportBand::Kind kind, double height, const QString& text, const QString& group = {}) {
    return {kind, height, group, {textItem(0, 150, text)}};
}

QByteArray unzipped(const QString& file, const QString& entry) {
    QProcess unzip;
    unzip.start("unzip", {"-p", file, entry});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) {
        return {};
    }
    return unzip.readAllStandardOutput();
}

void forEachElement(const QByteArray& xml, const std::function<void(QXmlStreamReader&)>& look) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            look(reader);
        }
    }
}

// XLSX sheet 1: frozen rows, merges, widths (px), a line per row; a number "=", its format after "#".
QString xlsxText(const QString& file) {
    QStringList shared;
    forEachElement(unzipped(file, "xl/sharedStrings.xml"), [&shared](QXmlStreamReader& x) {
        if (x.name() == u"si") {
            shared.append(QString());
        } else if (x.name() == u"t" && !shared.isEmpty()) {
            shared.last() += x.readElementText();
        }
    });
    // The number format code of each cell format (cellXfs comes before cellStyles).
    QHash<int, QString> codes{{2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}};  // built-in ones
    QStringList cellFormats;
    bool inCellXfs = false;
    forEachElement(unzipped(file, "xl/styles.xml"), [&](QXmlStreamReader& x) {
        const QXmlStreamAttributes a = x.attributes();
        if (x.name() == u"numFmt") {
            codes.insert(a.value("numFmtId").toInt(), a.value("formatCode").toString());
        } else if (x.name() == u"cellXfs" || x.name() == u"cellStyles") {
            inCellXfs = x.name() == u"cellXfs";
        } else if (inCellXfs && x.name() == u"xf") {
            cellFormats.append(codes.value(a.value("numFmtId").toInt()));
        }
    });
    QStringList widths, merged, rows;
    int frozen = 0;
    forEachElement(unzipped(file, "xl/worksheets/sheet1.xml"), [&](QXmlStreamReader& x) {
        const QXmlStreamAttributes a = x.attributes();
        if (x.name() == u"col") {
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c) {
                widths << QString::number(qRound(a.value("width").toDouble() * 7));
            }
        } else if (x.name() == u"pane" && a.value("state") == u"frozen") {
            frozen = a.value("ySplit").toInt();
        } else if (x.name() == u"mergeCell") {
            merged << a.value("ref").toString();
        } else if (x.name() == u"row") {
            rows << a.value("r").toString() + ":";
        } else if (x.name() == u"c") {
            const QString format = cellFormats.value(a.value("s").toInt());
            rows.last() += QString(rows.last().endsWith(':') ? " " : " | ") +
                           a.value("r").toString().remove(QRegularExpression("[0-9]")) + ":" +
                           (a.value("t").isEmpty() ? "=" : "");
            const bool isShared = a.value("t") == u"s";
            while (x.readNextStartElement()) {
                if (x.name() != u"v") {
                    x.skipCurrentElement();
                } else if (const QString v = x.readElementText(); isShared) {
                    rows.last() += shared.value(v.toInt());
                } else {
                    rows.last() += v;
                }
            }
            rows.last() += format.isEmpty() ? "" : " #" + format;
        }
    });
    return QString("frozen rows: %1; merged: %2; widths: %3\n").arg(frozen).arg(merged.join(','), widths.join(',')) +
           rows.join('\n') + '\n';
}
}  // namespace

// The report engine: expressions, templates, page layout, the prepared file and every export.
class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    // Expressions, capital amounts and number formats as they print, in a golden file; expressions refused.
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
              "[round(2.675, 2)]", "[capital(qty * price)]",
              // Text that reads as a number counts as one, as C reads it; other text stays text.
              "[iif('10' > '9', 'y', 'n')]", "[iif(name < boss, 'y', 'n')]", "[' 1.5e1 ' * 2]", "['+3' + 1]",
              "['-.5' * 2]", "['1,000' + 1]", "['0x10' + 1]", "['12abc' + 1]", "[iif('1.0' = '1', 'y', 'n')]",
              "[iif('nan' = 'nan', 'y', 'n')]", "['1e400' + 1]", "['٣' + 1]"}) {
            text += QString::fromUtf8(e) + " => " + evaluate(QString::fromUtf8(e), fields) + "\n";
        }
        for (double amount :
             {12345.60, 10005.00, 0.0, 1.05, 0.5, 0.07, 100000.0, 1000005.0, 101000.0, 100000001.0, -20.5, 2.675}) {
            text += QString("capital %1 => %2\n").arg(QString::number(amount, 'g', 12), chineseCapitalAmount(amount));
        }
        const QVariantList values{
            1234.5, 2.5,  4.0,       1000.0, 3.1, 3.125, 0.12345, -1500.25, 123456789012345678LL, 999999999999999999LL,
            42LL,   1234, -1234567LL};
        const char* formats[] = {"#,##0.00",   "#,##0.####", "#,##0.####", "0.##",       "0.0#",  "0.0##",   "0.####",
                                 "#,##0.####", "#,##0.00",   "0.00",       "#,##0.####", "#,##0", "#,##0.00"};
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& value = values[i];
            const QString shown = formatReportValue(value, formats[i]);
            text += QString("%1 %2 as %3 => %4\n").arg(value.typeName(), value.toString(), formats[i], shown);
            if (value.typeId() == QMetaType::Double) {
                QCOMPARE(formatNumber(value.toDouble(), formats[i]), shown);
            } else if (qAbs(value.toLongLong()) < (1LL << 53)) {
                QCOMPARE(formatReportValue(QVariant(value.toDouble()), formats[i]), shown);
            }
        }
        OLVEND_COMPARE_GOLDEN("reports/expressions.txt", text);
        // An unknown function is named; very deep nesting is refused, not followed to a crash.
        QVERIFY(evaluate("[foo(1)]").contains("foo"));
        for (const QString& wrong :
             {QString("[1 +]"), QString("[(1 + 2]"), QString("[sum(x, 'week')]"), QString("text [open"),
              "[" + QString(5000, '(') + "1" + QString(5000, ')') + "]", "[" + QString(20000, '-') + "1]"}) {
            QVERIFY2(evaluate(wrong).startsWith("ERROR"), qPrintable(wrong.left(20)));
        }
    }

    // A missing file is Missing, without a word; a name finds its .rmf; what is wrong is named.
    void templatesLoadOrSayWhy() {
        QTemporaryDir dir;
        ReportTemplate t;
        QString error;
        QCOMPARE(ReportTemplate::load(dir.filePath("none.zrm"), &t, &error), ReportTemplate::LoadResult::Missing);
        QVERIFY(error.isEmpty());
        written(dir.filePath("plain.rmf"),
                R"({"version": 1, "page": {"width": 100, "height": 50, "orientation": "landscape", "columns": 2},
                   "bands": [{"kind": "detail", "height": 5, "items": [{"type": "text", "rect": [0,0,10,5],
                   "text": "[a]", "align": "right"}]}]})");
        QCOMPARE(ReportTemplate::load(dir.filePath("plain"), &t, &error), ReportTemplate::LoadResult::Loaded);
        QCOMPARE(t.effectivePageSize(), QSizeF(50, 100));
        QVERIFY(t.columns == 2 && t.bands.size() == 1 && (t.bands[0].items[0].align & Qt::AlignRight));
        const std::tuple<const char*, QByteArray, const char*> rows[] = {
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
            {"deep nesting", QByteArray(20000, '['), ""}};
        for (const auto& [tag, json, said] : rows) {
            error.clear();
            if (ReportTemplate::fromJson(json, &t, &error)) {
                QCOMPARE(tag, "bad expression");
                PreparedReport out;
                QVERIFY(!ReportPreparer(t).prepare(ReportSamples::rows(1), &out, &error));
            }
            QVERIFY2(!error.isEmpty() && error.contains(QString::fromUtf8(said)),
                     qPrintable(QString("%1: %2").arg(tag, error)));
        }
    }

    // A band of its own page starts a sheet per row; a text too wide for its box gets a smaller font and fits, one
    // that fits keeps its font.
    void newPagesAndShrinkingTexts() {
        ReportTemplate t = parsed(R"({"version": 1, "bands": [
            {"kind": "title", "height": 10, "items": [{"rect": [0, 0, 100, 10], "text": "TITLE"}]},
            {"kind": "detail", "height": 20, "newPage": true, "items": [{"rect": [0, 0, 100, 10], "text": "HEAD [code]"}]},
            {"kind": "detail", "height": 30, "items": [{"rect": [0, 0, 100, 10], "text": "BODY [code]"}]}]})");
        PreparedReport out;
        QVERIFY(prepare(t, ReportSamples::rows(3), &out));
        // The first sheet shares its page with the title; each next starts one.
        QCOMPARE(out.pages.size(), 3);
        QCOMPARE(ReportSamples::textsOf(out, {}, 0), QStringList({"TITLE", "HEAD R001", "BODY R001"}));
        QCOMPARE(ReportSamples::textsOf(out, {}, 2), QStringList({"HEAD R003", "BODY R003"}));
        t = parsed(R"({"version": 1, "bands": [
            {"kind": "detail", "height": 8, "items": [
                {"rect": [0, 0, 30, 8], "text": "[code]", "shrink": true, "font": {"size": 10}},
                {"rect": [40, 0, 30, 8], "text": "[code]", "font": {"size": 10}}]}]})");
        ReportRows r;
        r.fields = {"code"};
        r.rows = {{QString("12")}, {QString("123,456,789,012,345,678.00")}};
        PreparedReport shrunk;
        QVERIFY(prepare(t, r, &shrunk));
        const QList<ReportPrimitive>& items = shrunk.pages[0].items;
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0].font, items[1].font);
        QCOMPARE(items[3].font, items[2].font);
        const ReportFontStyle& small = shrunk.fonts[items[2].font];
        QVERIFY(small.pixelSize < shrunk.fonts[items[1].font].pixelSize);
        const double width = QFontMetricsF(small.toFont()).horizontalAdvance(items[2].text);
        QVERIFY2(width <= items[2].rect.width() - PreparedReport::kDotsPerMm, qPrintable(QString::number(width)));
        QVERIFY(QFontMetricsF(shrunk.fonts[items[1].font].toFont()).horizontalAdvance(items[2].text) >
                items[2].rect.width());
    }

    // Aggregate scopes, groups over values of mixed kinds, footers of one row hidden where asked.
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
        QStringList expected = ReportSamples::textsOf(out);
        expected.removeOne("小4 总7 均4 大4");  // the footer of a kind of one row
        QCOMPARE(ReportSamples::textsOf(hidden), expected);
        // One preparer used again on rows with their columns in another order finds each field anew.
        ReportRows swapped;
        swapped.fields = {"amount", "code", "kind", "day"};
        for (const auto& row : r.rows) {
            swapped.rows.append({row[3], row[2], row[1], row[0]});
        }
        ReportPreparer again(t);
        PreparedReport first, reordered;
        QString error;
        QVERIFY(again.prepare(r, &first, &error) && again.prepare(swapped, &reordered, &error));
        QCOMPARE(ReportSamples::textsOf(reordered), ReportSamples::textsOf(first));
    }

    // A report made in steps from rows that come in parts has the pages, totals and file of the one prepared
    // whole, for every shipped template and for group headers that sum rows not yet read; meanwhile the pages
    // made show "…" for the page count.
    void madeInStepsAsWhole() {
        using K = ReportBand::Kind;
        ReportTemplate grouped;
        grouped.bands = {band(K::Title, 10, "首笔[code] 共[count()]笔 [sum(amount)]"),
                         band(K::GroupHeader, 8, "[format(day, 'YYYY-MM-DD')] 本日[sum(amount)] [count()]笔", "day"),
                         band(K::GroupHeader, 8, "[kind]类 [sum(amount)]", "kind"),
                         band(K::Detail, 6, "[code] 组[sum(amount, 'group')] 页[sum(amount, 'page')]"),
                         band(K::GroupFooter, 8, "小[sum(amount)]", "kind"),
                         band(K::Summary, 8, "总[sum(amount)] [count()]笔"),
                         band(K::PageFooter, 8, "第[page()]页/共[pages()]页 页计[sum(amount)]")};
        ReportRows groupedRows;
        groupedRows.fields = {"day", "kind", "code", "amount"};
        for (int i = 0; i < 300; ++i) {
            // Days of 1 to 40 rows, kinds changing within them.
            groupedRows.rows.append({QDate(2006, 1, 1).addDays(i / 40 + i / 7 + (i * i) % 3 / 2), (i / 3) % 4,
                                     QString("R%1").arg(i), double(i % 17) + 0.25});
        }
        // Sums only in the inner groups: a kind that goes on across a change of day starts anew.
        ReportTemplate inner = grouped;
        inner.bands[1] = band(K::GroupHeader, 8, "[format(day, 'YYYY-MM-DD')]", "day");
        QList<std::tuple<QString, ReportTemplate, ReportRows>> cases{{"grouped", grouped, groupedRows},
                                                                     {"inner", inner, groupedRows}};
        const QString folder = TestPaths::sourceFolder() + "/Report";
        for (const QString& file : QDir(folder).entryList({"*.zrm", "*.rmf"}, QDir::Files, QDir::Name)) {
            ReportTemplate t;
            QString error;
            QCOMPARE(ReportTemplate::load(folder + "/" + file, &t, &error), ReportTemplate::LoadResult::Loaded);
            cases.append({file, t, ReportSamples::rows(150, 7)});
        }
        QTemporaryDir dir;
        for (const auto& [name, tmpl, rows] : cases) {
            PreparedReport whole;
            QVERIFY(prepare(tmpl, rows, &whole, folder));
            QVERIFY2(!whole.pages.isEmpty(), qPrintable(name));
            for (int part : {1, 7, 61}) {
                const QString tag = QString("%1 in parts of %2").arg(name).arg(part);
                // The first part has no rows (a period without any).
                qsizetype next = -part;
                auto source = [&rows, &next, part](ReportRows* out) {
                    if (next >= rows.rows.size()) {
                        return false;
                    }
                    out->fields = rows.fields;
                    out->rows.append(rows.rows.mid(std::max<qsizetype>(0, next), next < 0 ? 0 : part));
                    next += part;
                    return true;
                };
                SteppedReport stepped(std::make_unique<ReportPreparer>(tmpl, folder), source);
                int steps = 0;
                bool sawPartial = false;
                while (stepped.step(std::chrono::milliseconds(0), QDate()) == SteppedReport::State::Working) {
                    QVERIFY2(++steps < 100000, qPrintable(tag));
                    const PreparedReport soFar = stepped.finishedSoFar();
                    QCOMPARE(soFar.pages.size(), stepped.pagesSoFar());
                    for (qsizetype b = 0; b < soFar.bands.size(); ++b) {
                        QCOMPARE(soFar.bands[b].page, whole.bands[b].page);
                        QCOMPARE(soFar.bands[b].origin, whole.bands[b].origin);
                    }
                    if (soFar.bands.size() < whole.bands.size()) {
                        QVERIFY(whole.bands[soFar.bands.size()].page >= soFar.pages.size());
                    }
                    if (!soFar.pages.isEmpty() && whole.pages.size() > 1) {
                        // A finished page is the page it will be, but for the page count not known yet.
                        const int last = int(soFar.pages.size()) - 1;
                        QStringList now = ReportSamples::textsOf(soFar, {}, last);
                        QStringList then = ReportSamples::textsOf(whole, {}, last);
                        QCOMPARE(now.size(), then.size());
                        for (int i = 0; i < now.size(); ++i) {
                            if (now[i] != then[i]) {
                                QVERIFY2(now[i].contains("…") && !then[i].contains("…"), qPrintable(tag + now[i]));
                                sawPartial = true;
                            }
                        }
                    }
                }
                QVERIFY2(stepped.state() == SteppedReport::State::Done, qPrintable(stepped.error()));
                QCOMPARE(stepped.rowsRead(), rows.rows.size());
                QCOMPARE(ReportSamples::dump(stepped.report()), ReportSamples::dump(whole));
                QString error;
                QVERIFY(ReportFile::save(whole, dir.filePath("whole.rmp"), &error));
                QVERIFY(ReportFile::save(stepped.report(), dir.filePath("stepped.rmp"), &error));
                QVERIFY2(readAll(dir.filePath("whole.rmp")) == readAll(dir.filePath("stepped.rmp")), qPrintable(tag));
                if (name == "grouped" || name == "inner") {
                    QVERIFY2(sawPartial, qPrintable(tag));
                }
            }
        }
    }

    // A saved report reads back; version 1 opens; a bad picture opens empty; damaged files and values of another
    // kind are refused.
    void preparedFileRoundTrip() {
        QTemporaryDir dir;
        PreparedReport out = list(30, "第 [page()] 页");
        QImage picture(4, 4, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        out.images = {picture, picture};
        QString error;
        QVERIFY(ReportFile::save(out, dir.filePath("saved"), &error));  // ".rmp" appended
        PreparedReport back;
        QVERIFY2(ReportFile::load(dir.filePath("saved.rmp"), &back, &error), qPrintable(error));
        QCOMPARE(back.pageSizeMm, out.pageSizeMm);
        QVERIFY(back.fonts == out.fonts);
        QCOMPARE(back.images[1].pixelColor(1, 1), QColor(Qt::blue));
        QCOMPARE(ReportSamples::dump(back), ReportSamples::dump(out));
        QCOMPARE(back.pages.last().items.last().rect, out.pages.last().items.last().rect);
        QCOMPARE(back.bands.size(), out.bands.size());
        for (int b = 0; b < out.bands.size(); ++b) {
            QVERIFY(back.bands[b].kind == out.bands[b].kind && back.bands[b].page == out.bands[b].page &&
                    back.bands[b].origin == out.bands[b].origin);
        }
        const QByteArray bytes = readAll(dir.filePath("saved.rmp"));
        QByteArray older = bytes;
        older.chop(4 + 21 * out.bands.size());  // the count, then kind, page and origin of each
        older[5] = 1;
        QVERIFY2(ReportFile::load(written(dir.filePath("v1.rmp"), older), &back, &error), qPrintable(error));
        QCOMPARE(back.pages.size(), out.pages.size());
        QVERIFY(back.bands.isEmpty());

        // The first picture as stored: its length, then its bytes.
        QByteArray damaged = bytes;
        const qsizetype at = damaged.indexOf("\x89PNG");
        QVERIFY(at > 4);
        const quint32 length = qFromBigEndian<quint32>(damaged.constData() + at - 4);
        QByteArray png = damaged.mid(at, length);
        png.insert(png.indexOf("IEND") - 4, QByteArray("\x35\xA4\xE9\x00tEXtshort", 13));
        QByteArray stored(4, '\0');
        qToBigEndian(quint32(png.size()), stored.data());
        damaged.replace(at - 4, 4 + length, stored + png);
        QVERIFY2(ReportFile::load(written(dir.filePath("damaged.rmp"), damaged), &back, &error), qPrintable(error));
        QCOMPARE(back.images.size(), 2);
        QVERIFY(back.images[0].isNull());
        QCOMPARE(back.images[1].pixelColor(1, 1), QColor(Qt::blue));
        QCOMPARE(ReportSamples::dump(back), ReportSamples::dump(out));

        // Damaged files, another program's, a newer version's are refused.
        const auto patched = [&bytes](int at, const QByteArray& with) {
            return QByteArray(bytes).replace(at, with.size(), with);
        };
        QList<std::pair<QByteArray, const char*>> refused{{bytes.left(bytes.size() / 2), "损坏"},
                                                          {"PK\x03\x04 something else", "不是报表文件"},
                                                          {patched(22, "\x7f"), ""},  // a font count in the billions
                                                          {patched(5, "\x09"), "新"}};
        // A page narrower than any template would paint every glyph beyond memory.
        for (const double width : {1e-300, 5.0}) {
            QByteArray stored(8, '\0');
            qToBigEndian(width, stored.data());  // after the magic and the version
            refused.append({patched(6, stored), "损坏"});
        }
        for (const auto& [data, said] : refused) {
            QVERIFY(!ReportFile::load(written(dir.filePath("refused.rmp"), data), &back, &error));
            QVERIFY2(error.contains(QString::fromUtf8(said)), qPrintable(error));
        }
        QVERIFY(!ReportFile::load(dir.filePath("none.rmp"), &back, &error));

        // A text's scalar value reads back as written; a list, map or picture is refused before it is read.
        using Writer = std::function<void(QDataStream&)>;
        const auto file = [&dir](const Writer& value) {
            QByteArray bytes;
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_0);
            out << ReportFile::kMagic << ReportFile::kVersion << QSizeF(210, 297) << quint32(0)
                << quint32(0)                // no fonts, no pictures
                << quint32(1) << quint32(1)  // one page of one text
                << quint8(ReportPrimitive::Kind::Text) << QRectF(10, 10, 100, 20) << QString("合计") << qint32(-1)
                << qint32(Qt::AlignLeft) << false << false << quint32(0xff000000) << 1.0 << qint32(-1) << qint32(-1)
                << qint32(-1);
            value(out);
            out << QString() << quint32(0);  // the text's format; no band instances
            return written(dir.filePath("value.rmp"), bytes);
        };
        QList<Writer> otherKinds{[](QDataStream& out) { out << QVariant(QImage(2, 2, QImage::Format_RGB32)); }};
        for (QMetaType::Type type : {QMetaType::QVariantList, QMetaType::QStringList, QMetaType::QVariantMap}) {
            otherKinds << [type](QDataStream& out) { out << quint32(type) << qint8(0) << quint32(0xfffffff0); };
        }
        for (const Writer& value : otherKinds) {
            error.clear();
            QVERIFY(!ReportFile::load(file(value), &back, &error));
            QVERIFY2(error.contains("损坏"), qPrintable(error));
        }
        for (const QVariant& v : {QVariant(), QVariant(7), QVariant(qlonglong(9007199254740993LL)), QVariant(12.5),
                                  QVariant(true), QVariant("铝合金门"), QVariant(QByteArray("\x01\x02")),
                                  QVariant(QDate(2024, 2, 29)), QVariant(QDateTime(QDate(2024, 3, 1), QTime(9, 30)))}) {
            QVERIFY2(ReportFile::load(file([&v](QDataStream& out) { out << v; }), &back, &error), qPrintable(error));
            QVERIFY2(back.pages[0].items[0].value == v && back.pages[0].items[0].text == "合计",
                     qPrintable(QString::fromLatin1(v.typeName())));
        }
    }

    // Page breaks keep the footer clear; PDF, JPEG and HTML of the three pages; a missing folder is said, an
    // unknown extension refused.
    void pagesAndTheirExports() {
        // A4: 297 - 10 - 10 margins - 10 header - 10 footer = 257 mm, 25 rows of 10 mm.
        PreparedReport out = list(60, "a<b>& [sum(amount)] 第 [page()] 页 / 共 [pages()] 页");
        QCOMPARE(out.pages.size(), 3);
        // Each page: header, first and last row and count, footer with the page's sum.
        const auto page = [&out](int page) {
            const QStringList rows = ReportSamples::textsOf(out, ReportBand::Kind::Detail, page);
            return ReportSamples::textsOf(out, ReportBand::Kind::PageHeader, page) +
                   QStringList{rows.first(), rows.last(), QString::number(rows.size())} +
                   ReportSamples::textsOf(out, ReportBand::Kind::PageFooter, page);
        };
        QCOMPARE(
            page(0) + page(1) + page(2),
            QStringList({"编号", "R001", "R025", "25", "a<b>& 325 第 1 页 / 共 3 页", "编号", "R026", "R050", "25",
                         "a<b>& 950 第 2 页 / 共 3 页", "编号", "R051", "R060", "10", "a<b>& 555 第 3 页 / 共 3 页"}));
        // Nothing of the body reaches into the footer (mm).
        double footerTop = 0, lowestBody = 0;
        for (const ReportPrimitive& prim : out.pages[0].items) {
            if (prim.text.contains("第 1 页")) {
                footerTop = prim.rect.top();
            } else if (prim.text.startsWith('R')) {
                lowestBody = std::max(lowestBody, prim.rect.bottom());
            }
        }
        QCOMPARE((QPointF(footerTop, lowestBody) / PreparedReport::kDotsPerMm).toPoint(), QPoint(277, 270));
        QTemporaryDir dir;
        ReportPrimitive remark = out.pages[0].items.last();
        remark.text = "第一行\n第二行";
        remark.wrap = true;
        out.pages[0].items.append(remark);
        QString error;
        QVERIFY(ReportExporter::toPdf(out, dir.filePath("list"), &error));
        const QByteArray pdf = readAll(dir.filePath("list.pdf"));
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 3);
        QStringList written;
        QVERIFY(ReportExporter::toJpeg(out, dir.filePath("page.jpg"), &error, 96, &written));
        QCOMPARE(written,
                 QStringList({dir.filePath("page.jpg"), dir.filePath("page_2.jpg"), dir.filePath("page_3.jpg")}));
        QCOMPARE(QImageReader(dir.filePath("page_3.jpg")).size(), QSize(794, 1123));  // A4 at 96 dots per inch
        QVERIFY(ReportExporter::toHtml(out, dir.filePath("report"), &error));
        const QString html = QString::fromUtf8(readAll(dir.filePath("report.htm")));
        for (const char* part : {"第一页", "下一页", "上一页", "最后一页", "id=\"page2\"", "href=\"#page2\"",
                                 "a&lt;b&gt;&amp; 555 第 3 页"}) {
            QVERIFY2(html.contains(QString::fromUtf8(part)), part);
        }
        QVERIFY(html.indexOf("R001") < html.indexOf("R060"));
        const QString style =
            QRegularExpression("<div class=\"p w\" style=\"([^\"]*)\">第一行").match(html).captured(1);
        QVERIFY2(style.contains("min-height:") && !style.contains(";height:"), qPrintable(style));
        for (const char* ext : {"pdf", "jpg", "htm", "xlsx", "rmp"}) {
            error.clear();
            QVERIFY(!ReportExporter::byExtension(out, QStringLiteral("/no/such/folder/r.") + ext, &error));
            QVERIFY2(error.contains("/no/such/folder"), qPrintable(error));
        }
        QVERIFY(!ReportExporter::byExtension(out, "/tmp/r.doc", &error));
    }

    // The XLSX export: one table of many pages, from the report or its file; the kinds, labels and page.
    // A picture painted at half its size keeps its one-pixel lines as grey rather than dropping every other one.
    void picturesDrawnSmallerKeepTheirLines() {
        QImage stripes(40, 40, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y) {
            for (int x = 0; x < stripes.width(); ++x) {
                stripes.setPixelColor(x, y, y % 2 ? Qt::black : Qt::white);
            }
        }
        PreparedReport report;
        report.images = {stripes};
        ReportPrimitive picture;
        picture.kind = ReportPrimitive::Kind::Image;
        picture.rect = QRectF(0, 0, 20, 20);
        picture.image = 0;
        report.pages = {ReportPage()};
        report.pages[0].items = {picture};
        QImage page(20, 20, QImage::Format_RGB32);
        page.fill(Qt::red);
        QPainter painter(&page);
        ReportPainter::paintPage(painter, report, 0);
        painter.end();
        const int grey = QColor(page.pixel(10, 10)).red();
        QVERIFY2(grey > 60 && grey < 200, qPrintable(QString::number(grey)));
    }

    void xlsxIsOneTableOfItsKinds() {
        // Many pages: title, column header, page footer, two groups with subtotals and a grand total.
        ReportTemplate t;
        ReportBand title{ReportBand::Kind::Title, 12, {}, {textItem(0, 90, "商品清单")}};
        title.items[0].font.bold = true;
        title.items[0].font.pointSize = 14;
        title.items[0].align = Qt::AlignHCenter | Qt::AlignVCenter;
        const ReportItem amount = textItem(60, 30, "[amount]", "#,##0.00");
        ReportItem sum = amount;
        sum.text = "[sum(amount)]";
        t.bands = {title,
                   {ReportBand::Kind::PageHeader, 8, {}, {textItem(0, 50, "编号"), textItem(60, 30, "金额")}},
                   {ReportBand::Kind::GroupHeader, 6, "grp", {textItem(0, 50, "[grp]")}},
                   {ReportBand::Kind::Detail, 6, {}, {textItem(0, 50, "[code]"), amount}},
                   {ReportBand::Kind::GroupFooter, 6, "grp", {textItem(0, 50, "小计"), sum}},
                   {ReportBand::Kind::Summary, 6, {}, {textItem(0, 50, "合计"), sum}},
                   {ReportBand::Kind::PageFooter, 8, {}, {textItem(0, 190, "第 [page()] 页 / 共 [pages()] 页")}}};
        PreparedReport out;
        QVERIFY(prepare(t, ReportSamples::rows(80, 2), &out));
        QVERIFY2(out.pages.size() >= 3, qPrintable(QString::number(out.pages.size())));

        QTemporaryDir dir;
        QString error;
        QVERIFY(ReportFile::save(out, dir.filePath("list.rmp"), &error));
        PreparedReport reopened;
        QVERIFY2(ReportFile::load(dir.filePath("list.rmp"), &reopened, &error), qPrintable(error));
        for (const PreparedReport* report : {&out, &reopened}) {
            const QString file = dir.filePath(report == &out ? "list.xlsx" : "reopened.xlsx");
            QVERIFY2(ReportExporter::toXlsx(*report, file, &error), qPrintable(error));
            OLVEND_COMPARE_GOLDEN("reports/xlsx_table.txt", xlsxText(file));
            // Printed from the spreadsheet, each page repeats the column header (row 2), not the title.
            const QString workbook = QString::fromUtf8(unzipped(file, "xl/workbook.xml"));
            QVERIFY2(workbook.contains("_xlnm.Print_Titles") && workbook.contains("Sheet1!$2:$2"),
                     qPrintable(workbook));
        }
        // A picture of the summary (a chart) lies below the table, at its printed size, on rows left free for it.
        PreparedReport charted = out;
        const int summary = static_cast<int>(
            std::find_if(charted.bands.cbegin(), charted.bands.cend(),
                         [](const ReportBandInstance& b) { return b.kind == ReportBand::Kind::Summary; }) -
            charted.bands.cbegin());
        QVERIFY(summary < charted.bands.size());
        QImage chart(160, 80, QImage::Format_RGB32);
        chart.fill(Qt::blue);
        charted.images.append(chart);
        ReportPrimitive picture;
        picture.kind = ReportPrimitive::Kind::Image;
        picture.image = int(charted.images.size()) - 1;
        picture.band = summary;
        picture.rect = QRectF(charted.bands[summary].origin + QPointF(0, 8 * PreparedReport::kDotsPerMm),
                              QSizeF(80, 40) * PreparedReport::kDotsPerMm);
        charted.pages[charted.bands[summary].page].items.append(picture);
        const ReportSheet withChart(charted);
        const int tableRows = static_cast<int>(ReportSheet(out).rows().size());
        QCOMPARE(withChart.pictures().size(), 1);
        QCOMPARE(withChart.pictures().first().row, tableRows);
        QCOMPARE(withChart.pictures().first().sizeMm, QSizeF(80, 40));
        QCOMPARE(withChart.rows().size(), tableRows + qCeil(40 / ReportSheet::kRowHeightMm));
        QVERIFY2(ReportExporter::toXlsx(charted, dir.filePath("chart.xlsx"), &error), qPrintable(error));
        const QString drawing = QString::fromUtf8(unzipped(dir.filePath("chart.xlsx"), "xl/drawings/drawing1.xml"));
        QVERIFY2(drawing.contains(QString("<xdr:row>%1</xdr:row>").arg(tableRows)), qPrintable(drawing));
        QVERIFY(!unzipped(dir.filePath("chart.xlsx"), "xl/media/image1.png").isEmpty());

        // Codes as texts, amounts as numbers (beyond a double: text), dates as dates, labels fit, the page kept.
        t = ReportSamples::listTemplate(10, "x");
        t.landscape = true;
        t.pageSize = QSizeF(148, 210);
        t.bands[1].items << textItem(50, 12, "[day]", "YYYY-MM-DD") << textItem(62, 10, "运费: [amount]")
                         << textItem(80, 30, "[amount]", "#,##0.00");
        ReportRows data;
        data.fields = {"code", "day", "amount"};
        data.rows = {{QString("R1"), QDate(2024, 3, 5), 140.0},
                     {QString("R2"), QString("2024-03-06"), 2.5},  // an embedded book's date is text
                     {QString("R3"), QDate(2024, 3, 7), QVariant(qlonglong(999999999999999999))}};
        PreparedReport kinds;
        QVERIFY(prepare(t, data, &kinds));
        const QString file = dir.filePath("kinds.xlsx");
        QVERIFY2(ReportExporter::toXlsx(kinds, file, &error), qPrintable(error));
        // Row 2 is the first detail; 12 mm would cut the date and 10 mm the label.
        OLVEND_COMPARE_GOLDEN("reports/xlsx_kinds.txt", xlsxText(file));
        QCOMPARE(QString::fromUtf8(unzipped(file, "xl/styles.xml")).count("formatCode=\"#,##0.00\""), 1);
        const QString xml = QString::fromUtf8(unzipped(file, "xl/worksheets/sheet1.xml"));
        QVERIFY2(xml.contains(R"(<pageSetUpPr fitToPage="1"/>)"), qPrintable(xml));
        const QString setup = xml.mid(xml.indexOf("<pageSetup "));
        for (const char* attribute : {"paperSize=\"11\"", "orientation=\"landscape\"", "fitToHeight=\"0\""}) {
            QVERIFY2(setup.left(setup.indexOf("/>")).contains(attribute), qPrintable(setup));
        }
    }

    // Rows written to a TSV file read back as they were, each value of its kind.
    void tsvRowsComeBackAsWritten() {
        QTemporaryDir dir;
        ReportRows written;
        written.fields = {"code", "account", "amount", "count", "day", "time", "note", "empty"};
        written.rows.append({QString("00001"), QString("6222021234567890123"), 3420.5, qlonglong(12), QDate(2024, 3, 5),
                             QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0), Qt::UTC), QString("a\tb\nc\\d"),
                             QVariant()});
        written.rows.append({QString("12"), QString("2024-03-05"), 0.1 + 0.2, qlonglong(-7), QVariant(), QVariant(),
                             QString("\\12"), QString("-0")});
        QString error;
        QVERIFY2(written.toTsv(dir.filePath("rows.tsv"), &error), qPrintable(error));
        ReportRows read;
        QVERIFY2(ReportRows::fromTsv(dir.filePath("rows.tsv"), &read, &error), qPrintable(error));
        // Each value with its kind, doubles to 15 digits.
        const auto typed = [](const ReportRows& rows) {
            QStringList out{rows.fields.join(',')};
            for (const QVariantList& row : rows.rows) {
                for (const QVariant& v : row) {
                    out << QString("%1 %2").arg(v.typeName(), v.typeId() == QMetaType::Double
                                                                  ? QString::number(v.toDouble(), 'g', 15)
                                                                  : v.toString());
                }
            }
            return out;
        };
        QCOMPARE(typed(read), typed(written));
        // A file written by hand: numbers and dates as they look.
        const QString hand =
            BookChecks::written(dir.filePath("hand.tsv"), "a\tb\tc\td\n00001\t6222021234567890123\t1.50\t2024-02-30\n");
        QVERIFY(ReportRows::fromTsv(hand, &read, &error));
        QCOMPARE(read.rows[0],
                 QVariantList({QString("00001"), QString("6222021234567890123"), 1.5, QString("2024-02-30")}));
        // What cannot be read or written is said in the user's words.
        QVERIFY(!ReportRows::fromTsv(dir.filePath("gone.tsv"), &read, &error));
        QCOMPARE(error,
                 QStringLiteral("无法读取[%1]: 文件不存在").arg(QDir::toNativeSeparators(dir.filePath("gone.tsv"))));
        QVERIFY(!ReportRows::fromTsv(dir.path(), &read, &error));
        QVERIFY2(error.endsWith(QStringLiteral("这是一个文件夹，不是文件")), qPrintable(error));
    }

    // Rows a statement ends with an error after some were read are refused, not printed as if they were all.
    void queryRowsCutShortAreRefused() {
        {
            QSqlDatabase memory = QSqlDatabase::addDatabase("QSQLITE", "rows_cut_short");
            memory.setDatabaseName(":memory:");
            QVERIFY(memory.open());
            QSqlQuery q(memory);
            q.setForwardOnly(true);
            QVERIFY(
                q.exec("with recursive s(x) as (select 1 union all select x + 1 from s where x < 5) select case "
                       "when x = 3 then abs(-9223372036854775808) else x end as v from s"));
            QVERIFY_THROWS_EXCEPTION(DbError, ReportRows::fromQuery(q));
            QVERIFY(q.exec("select 1 as v union all select 2"));
            QCOMPARE(ReportRows::fromQuery(q).rows.size(), 2);
        }
        QSqlDatabase::removeDatabase("rows_cut_short");
    }

    // Characters Noto CJK draws with a look-alike radical read back from a PDF as drawn, in every face.
    void pdfTextReadsAsDrawn() {
        const QString common = "门 页 角 壹贰叁肆伍陆柒捌玖拾 佰 仟 万 元 整 商品 单价";
        const QString goods = "木门 一米 大号 贝壳 长条 风车 马达 鱼缸 见方 黄色 车轮 十字 页码";
        const std::tuple<QString, const char*, QString> lines[] = {
            // text, face, read back
            {common, "SimSun", common},
            {"[capital(amount)]", "SimSun", "玖万捌仟柒佰陆拾伍元肆角叁分"},
            {"[goods]", "宋体", goods},
            {common, "黑体", common},
            {common, "楷体", common},  // not installed
            {"Total 门 页 角", "DejaVu Sans", "Total门页角"}};
        ReportTemplate t;
        QStringList expected;
        for (const auto& [text, family, read] : lines) {
            ReportItem item = textItem(0, 190, text);
            item.font.family = family;
            t.bands.append({ReportBand::Kind::Detail, 10, {}, {item}});
            expected << QString(read).remove(' ');
        }
        ReportRows r;
        r.fields = {"amount", "goods"};
        r.rows = {{98765.43, goods}};
        PreparedReport out;
        QVERIFY(prepare(t, r, &out));
        QTemporaryDir dir;
        QString error;
        QVERIFY2(ReportExporter::toPdf(out, dir.filePath("text.pdf"), &error), qPrintable(error));
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-enc", "UTF-8", dir.filePath("text.pdf"), "-"});
        QVERIFY2(pdftotext.waitForFinished(30000) && pdftotext.exitCode() == 0, "pdftotext did not run");
        // A look-alike radical (U+2E80 to U+2FDF) in place of a character differs.
        QStringList read;
        for (QString line : QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\n')) {
            if (!line.remove(QRegularExpression("\\s")).isEmpty()) {
                read << line;
            }
        }
        QCOMPARE(read, expected);
    }
};

QTEST_MAIN(TestReportEngine)
#include "test_report_engine.moc"
