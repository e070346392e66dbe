#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>
#include <functional>
#include <tuple>

#include "platform/spreadsheet_reader.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_samples.h"
#include "support/golden.h"

namespace {
QByteArray readAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeFile(const QString& file, const QByteArray& data) {
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() ? file : QString();
}

// A list of `rows` rows with `footer` in the page footer.
PreparedReport list(int rows, const QString& footer = "x") {
    PreparedReport out;
    QString error;
    if (!ReportPreparer(ReportSamples::listTemplate(10, footer)).prepare(ReportSamples::rows(rows), &out, &error)) {
        qWarning("%s", qPrintable(error));
    }
    return out;
}

// A text item at `x`, `width` mm wide, of one line.
ReportItem textItem(double x, double width, const QString& text, const QString& format = {}) {
    ReportItem item;
    item.rect = QRectF(x, 0, width, 6);
    item.text = text;
    item.format = format;
    return item;
}

QByteArray unzipped(const QString& file, const QString& entry) {
    QProcess unzip;
    unzip.start("unzip", {"-p", file, entry});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) {
        return {};
    }
    return unzip.readAllStandardOutput();
}

// Calls `look` at every element that starts in `xml`.
void forEachElement(const QByteArray& xml, const std::function<void(QXmlStreamReader&)>& look) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            look(reader);
        }
    }
}

// The first sheet of an XLSX file as a reader checks it by eye: frozen
// rows, merged cells and column widths in pixels (the stored width counts
// characters of 7 pixels, the cell's padding included), then a line per
// row, its cells between " | ", a number marked "=" with its format after
// "#".
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

// Prepared reports saved and read back, and every export format checked as
// its reader sees it.
class TestReportFiles : public QObject {
    Q_OBJECT
private slots:
    // A report saved and read back as it was; a file of version 1 ends after
    // the pages and still opens; a picture that claims more bytes than it
    // holds opens empty and everything else as saved (the memory the chunk
    // check saves is shown by the platform tests); damaged files are
    // refused.
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
        QCOMPARE(back.fonts.size(), out.fonts.size());
        QCOMPARE(back.fonts[0].family, out.fonts[0].family);
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
        QVERIFY2(ReportFile::load(writeFile(dir.filePath("v1.rmp"), older), &back, &error), qPrintable(error));
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
        QVERIFY2(ReportFile::load(writeFile(dir.filePath("damaged.rmp"), damaged), &back, &error), qPrintable(error));
        QCOMPARE(back.images.size(), 2);
        QVERIFY(back.images[0].isNull());
        QCOMPARE(back.images[1].pixelColor(1, 1), QColor(Qt::blue));
        QCOMPARE(ReportSamples::textsOf(back.pages.last()), ReportSamples::textsOf(out.pages.last()));

        // Damaged files, another program's, a newer version's are refused.
        QList<std::pair<QByteArray, const char*>> refused{{bytes.left(bytes.size() / 2), "损坏"},
                                                          {"PK\x03\x04 something else", "不是报表文件"}};
        refused.append({bytes, ""});
        refused.last().first[22] = char(0x7f);  // a font count in the billions
        refused.append({bytes, "新"});
        refused.last().first[5] = 9;
        // A page narrower than any template makes: painted to fit a window, it
        // would be drawn at a scale that blows every glyph up beyond memory.
        for (const double width : {1e-300, 5.0}) {
            QByteArray stored(8, '\0');
            qToBigEndian(width, stored.data());  // after the magic and the version
            refused.append({QByteArray(bytes).replace(6, 8, stored), "损坏"});
        }
        for (const auto& [data, said] : refused) {
            QVERIFY(!ReportFile::load(writeFile(dir.filePath("refused.rmp"), data), &back, &error));
            QVERIFY2(error.contains(QString::fromUtf8(said)), qPrintable(error));
        }
        QVERIFY(!ReportFile::load(dir.filePath("none.rmp"), &back, &error));
    }

    // A text's value is what a field, a parameter or an expression gives: a
    // number, a text, a date; those read back as written. A file whose value
    // is a list, a map or a picture is damaged, and refused before the value
    // is read: a count in the billions made the reading claim memory for
    // every element.
    void preparedFileWithAValueOfAnotherKind() {
        QTemporaryDir dir;
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
            return writeFile(dir.filePath("value.rmp"), bytes);
        };
        QList<Writer> refused{[](QDataStream& out) { out << QVariant(QImage(2, 2, QImage::Format_RGB32)); }};
        for (QMetaType::Type type : {QMetaType::QVariantList, QMetaType::QStringList, QMetaType::QVariantMap}) {
            refused << [type](QDataStream& out) { out << quint32(type) << qint8(0) << quint32(0xfffffff0); };
        }
        PreparedReport back;
        QString error;
        for (const Writer& value : refused) {
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

    // PDF, JPEG (a page a file) and HTML (pages linked to each other, texts
    // escaped, a text that wraps growing its box, as a browser's lines may
    // stand taller than the painter's) of three pages; a folder that is not
    // there is said, an extension no format has is refused.
    void exportsOfSeveralPages() {
        QTemporaryDir dir;
        PreparedReport out = list(60, "a<b>& 第 [page()] 页");
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
        for (const char* part :
             {"第一页", "下一页", "上一页", "最后一页", "id=\"page2\"", "href=\"#page2\"", "a&lt;b&gt;&amp; 第 3 页"}) {
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

    void xlsxIsOneTable() {
        // A list of many pages: title, column header and page footer on the
        // page, two groups with subtotals and a grand total.
        ReportTemplate t;
        QString error;
        QVERIFY2(ReportTemplate::fromJson(R"({"bands": [
            {"kind": "title", "height": 12, "items": [{"rect": [0, 0, 90, 6], "text": "商品清单", "align": "center",
                                                       "font": {"size": 14, "bold": true}}]},
            {"kind": "pageHeader", "height": 8, "items": [{"rect": [0, 0, 50, 6], "text": "编号"},
                                                          {"rect": [60, 0, 30, 6], "text": "金额"}]},
            {"kind": "groupHeader", "height": 6, "group": "grp", "items": [{"rect": [0, 0, 50, 6], "text": "[grp]"}]},
            {"kind": "detail", "height": 6, "items": [{"rect": [0, 0, 50, 6], "text": "[code]"},
                {"rect": [60, 0, 30, 6], "text": "[amount]", "format": "#,##0.00"}]},
            {"kind": "groupFooter", "height": 6, "group": "grp", "items": [{"rect": [0, 0, 50, 6], "text": "小计"},
                {"rect": [60, 0, 30, 6], "text": "[sum(amount)]", "format": "#,##0.00"}]},
            {"kind": "summary", "height": 6, "items": [{"rect": [0, 0, 50, 6], "text": "合计"},
                {"rect": [60, 0, 30, 6], "text": "[sum(amount)]", "format": "#,##0.00"}]},
            {"kind": "pageFooter", "height": 8, "items": [{"rect": [0, 0, 190, 6],
                                                          "text": "第 [page()] 页 / 共 [pages()] 页"}]}]})",
                                          &t, &error),
                 qPrintable(error));
        PreparedReport out;
        QVERIFY2(ReportPreparer(t).prepare(ReportSamples::rows(80, 2), &out, &error), qPrintable(error));
        QVERIFY2(out.pages.size() >= 3, qPrintable(QString::number(out.pages.size())));

        // The same table from the report as prepared and as reopened from its
        // file: the title merged across it, the column header once and frozen,
        // no page footer, no empty rows, amounts as numbers in the template's
        // format; column widths from the template: 60 mm to where the amount
        // starts, then the amount's 30 mm, at 96 dots per inch.
        QTemporaryDir dir;
        QVERIFY(ReportFile::save(out, dir.filePath("list.rmp"), &error));
        PreparedReport reopened;
        QVERIFY2(ReportFile::load(dir.filePath("list.rmp"), &reopened, &error), qPrintable(error));
        for (const PreparedReport* report : {&out, &reopened}) {
            const QString file = dir.filePath(report == &out ? "list.xlsx" : "reopened.xlsx");
            QVERIFY2(ReportExporter::toXlsx(*report, file, &error), qPrintable(error));
            OLVEND_COMPARE_GOLDEN("reports/xlsx_table.txt", xlsxText(file));
        }
    }

    // Codes as texts; amounts as numbers in their display format, made
    // once for all the cells, and one of more digits than a double holds
    // kept as its text, not rounded to another number; dates as dates in
    // their display format; labels as wide as their text; the page the
    // template prints on.
    void xlsxKeepsKindsLabelsAndThePage() {
        QTemporaryDir dir;
        ReportTemplate t = ReportSamples::listTemplate(10, "x");
        t.landscape = true;
        t.pageSize = QSizeF(148, 210);
        t.bands[1].items << textItem(50, 12, "[day]", "YYYY-MM-DD") << textItem(62, 10, "运费: [amount]")
                         << textItem(80, 30, "[amount]", "#,##0.00");
        ReportRows data;
        data.fields = {"code", "day", "amount"};
        data.rows = {{QString("R1"), QDate(2024, 3, 5), 140.0},
                     {QString("R2"), QDate(2024, 3, 6), 2.5},
                     {QString("R3"), QDate(2024, 3, 7), QVariant(qlonglong(999999999999999999))}};
        PreparedReport out;
        QString error;
        QVERIFY2(ReportPreparer(t).prepare(data, &out, &error), qPrintable(error));
        const QString file = dir.filePath("kinds.xlsx");
        QVERIFY2(ReportExporter::toXlsx(out, file, &error), qPrintable(error));
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

    // The rows of `stats --out x.tsv` come back through `report --rows` as
    // they were: texts as texts, numbers as numbers, dates as dates.
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
            writeFile(dir.filePath("hand.tsv"), "a\tb\tc\td\n00001\t6222021234567890123\t1.50\t2024-02-30\n");
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

    // Characters that Noto CJK draws with the glyph of a look-alike radical
    // read back from a PDF as they were drawn, in fixed texts, a capital
    // amount and a field's value, in the faces templates name (those of an
    // office may name other faces, installed or not) and a Latin one.
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
        QString error;
        QVERIFY2(ReportPreparer(t).prepare(r, &out, &error), qPrintable(error));
        QTemporaryDir dir;
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

QTEST_MAIN(TestReportFiles)
#include "test_report_files.moc"
