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
};

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

XlsxSheet readXlsx(const QString& file) {
    XlsxSheet sheet;
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
    forEachElement(unzipped(file, "xl/worksheets/sheet1.xml"), [&](QXmlStreamReader& x) {
        const QXmlStreamAttributes a = x.attributes();
        if (x.name() == u"col") {
            // The stored width counts characters of 7 pixels, the cell's padding included.
            sheet.widthPixels.resize(std::max<qsizetype>(sheet.widthPixels.size(), a.value("max").toInt()));
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c) {
                sheet.widthPixels[c - 1] = a.value("width").toDouble() * 7;
            }
        } else if (x.name() == u"pane" && a.value("state") == u"frozen") {
            sheet.frozenRows = a.value("ySplit").toInt();
        } else if (x.name() == u"mergeCell") {
            sheet.merged.append(a.value("ref").toString());
        } else if (x.name() == u"c") {
            const QString ref = a.value("r").toString();  // "B12": row 11, column 1
            const int row = ref.mid(ref.indexOf(QRegularExpression("[0-9]"))).toInt() - 1;
            XlsxCell& cell = sheet.cells[row][SpreadsheetReader::columnOfReference(ref)];
            cell.number = a.value("t").isEmpty();
            cell.format = cellFormats.value(a.value("s").toInt());
            const bool isShared = a.value("t") == u"s";
            while (x.readNextStartElement()) {
                if (x.name() != u"v") {
                    x.skipCurrentElement();
                } else if (const QString v = x.readElementText(); isShared) {
                    cell.text = shared.value(v.toInt());
                } else {
                    cell.text = v;
                }
            }
        }
    });
    return sheet;
}

// The sheet as a reader checks it by eye: frozen rows, merged cells and
// column widths in pixels, then a line per row, its cells between " | ",
// a number marked "=" with its format after "#".
QString dump(const XlsxSheet& sheet) {
    QStringList widths;
    for (double w : sheet.widthPixels) {
        widths << QString::number(qRound(w));
    }
    QString out = QString("frozen rows: %1; merged: %2; widths: %3\n")
                      .arg(sheet.frozenRows)
                      .arg(sheet.merged.join(','), widths.join(','));
    for (auto row = sheet.cells.cbegin(); row != sheet.cells.cend(); ++row) {
        QStringList cells;
        for (auto c = row.value().cbegin(); c != row.value().cend(); ++c) {
            cells << QString("%1:%2%3%4")
                         .arg(QChar('A' + c.key()))
                         .arg(c->number ? "=" : "", c->text, c->format.isEmpty() ? "" : " #" + c->format);
        }
        out += QString("%1: %2\n").arg(row.key() + 1).arg(cells.join(" | "));
    }
    return out;
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
        QCOMPARE(back.pages.size(), out.pages.size());
        QCOMPARE(back.fonts.size(), out.fonts.size());
        QCOMPARE(back.fonts[0].family, out.fonts[0].family);
        QCOMPARE(back.images[1].pixelColor(1, 1), QColor(Qt::blue));
        for (int p = 0; p < out.pages.size(); ++p) {
            QCOMPARE(ReportSamples::textsOf(back.pages[p]), ReportSamples::textsOf(out.pages[p]));
            QCOMPARE(back.pages[p].items.last().rect, out.pages[p].items.last().rect);
        }
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

    void preparedFileWithAValueOfAnotherKind() {
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
        for (QMetaType::Type type : {QMetaType::QVariantList, QMetaType::QStringList, QMetaType::QVariantMap}) {
            error.clear();
            QVERIFY(!ReportFile::load(file("huge.rmp", hugeCount(type)), &back, &error));
            QVERIFY2(error.contains("损坏"), qPrintable(error));
        }
        // Whole values of those kinds are refused the same; the kinds a text
        // shows read back.
        const QList<QVariant> others = {QVariantList{1, 2}, QStringList{"a"}, QVariantMap{{"k", 1}},
                                        QVariant(QImage(2, 2, QImage::Format_RGB32))};
        const QList<QVariant> shown{QVariant(),
                                    7,
                                    qlonglong(9007199254740993LL),
                                    12.5,
                                    true,
                                    QString("铝合金门"),
                                    QByteArray("\x01\x02"),
                                    QDate(2024, 2, 29),
                                    QDateTime(QDate(2024, 3, 1), QTime(9, 30))};
        const QList<QVariant> all = others + shown;
        for (int i = 0; i < all.size(); ++i) {
            const QVariant& v = all[i];
            error.clear();
            const bool read = ReportFile::load(file("value.rmp", [&v](QDataStream& out) { out << v; }), &back, &error);
            QCOMPARE(read, i >= others.size());
            QVERIFY2(read || error.contains("损坏"), qPrintable(QString("%1: %2").arg(v.typeName(), error)));
            QVERIFY(!read || (back.pages[0].items[0].value == v && back.pages[0].items[0].text == "合计"));
        }
    }

    // PDF, JPEG (a page a file) and HTML (pages linked to each other, texts
    // escaped) of three pages; a folder that is not there is said, an
    // extension no format has is refused.
    void exportsOfSeveralPages() {
        QTemporaryDir dir;
        const PreparedReport out = list(60, "a<b>& 第 [page()] 页");
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
        for (const char* ext : {"pdf", "jpg", "htm", "xlsx", "rmp"}) {
            error.clear();
            QVERIFY(!ReportExporter::byExtension(out, QStringLiteral("/no/such/folder/r.") + ext, &error));
            QVERIFY2(error.contains("/no/such/folder"), qPrintable(error));
        }
        QVERIFY(!ReportExporter::byExtension(out, "/tmp/r.doc", &error));
    }

    // A remark that wraps grows its box in a browser, whose lines may stand
    // taller than the painter's, instead of being cut at the box's height.
    void htmlRemarkGrowsItsBox() {
        QTemporaryDir dir;
        PreparedReport remark;
        remark.pages.append(ReportPage());
        ReportPrimitive text;
        text.rect = QRectF(100, 100, 2000, 150);
        text.text = "第一行\n第二行\n第三行";
        text.wrap = true;
        text.font = remark.fontIndex(ReportFontStyle{"SimSun", 50, false, false});
        remark.pages[0].items.append(text);
        QString error;
        QVERIFY(ReportExporter::toHtml(remark, dir.filePath("remark"), &error));
        const QString html = QString::fromUtf8(readAll(dir.filePath("remark.htm")));
        const QRegularExpressionMatch m =
            QRegularExpression("<div class=\"p w\" style=\"([^\"]*)\">第一行").match(html);
        QVERIFY2(m.hasMatch(), qPrintable(html));
        QVERIFY2(m.captured(1).contains("min-height:") && !m.captured(1).contains(";height:"),
                 qPrintable(m.captured(1)));
    }

    void xlsxIsOneTable() {
        // A list of many pages: title, column header and page footer on the
        // page, two groups with subtotals and a grand total.
        ReportTemplate t;
        ReportBand title{ReportBand::Kind::Title, 12, {}, {textItem(0, 90, "商品清单")}};
        title.items[0].font.bold = true;
        title.items[0].font.pointSize = 14;
        title.items[0].align = Qt::AlignHCenter | Qt::AlignVCenter;
        ReportBand header{ReportBand::Kind::PageHeader, 8, {}, {textItem(0, 50, "编号"), textItem(60, 30, "金额")}};
        ReportBand groupHeader{ReportBand::Kind::GroupHeader, 6, "grp", {textItem(0, 50, "[grp]")}};
        ReportBand detail{
            ReportBand::Kind::Detail, 6, {}, {textItem(0, 50, "[code]"), textItem(60, 30, "[amount]", "#,##0.00")}};
        ReportBand groupFooter{ReportBand::Kind::GroupFooter,
                               6,
                               "grp",
                               {textItem(0, 50, "小计"), textItem(60, 30, "[sum(amount)]", "#,##0.00")}};
        ReportBand summary{
            ReportBand::Kind::Summary, 6, {}, {textItem(0, 50, "合计"), textItem(60, 30, "[sum(amount)]", "#,##0.00")}};
        ReportBand footer{ReportBand::Kind::PageFooter, 8, {}, {textItem(0, 190, "第 [page()] 页 / 共 [pages()] 页")}};
        t.bands = {title, header, groupHeader, detail, groupFooter, summary, footer};
        PreparedReport out;
        QString error;
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
            OLVEND_COMPARE_GOLDEN("reports/xlsx_table.txt", dump(readXlsx(file)));
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
        OLVEND_COMPARE_GOLDEN("reports/xlsx_kinds.txt", dump(readXlsx(file)));
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
        const QString extracted = QString::fromUtf8(pdftotext.readAllStandardOutput());
        for (QChar c : extracted) {
            QVERIFY2(c.unicode() < 0x2E80 || c.unicode() > 0x2FDF,
                     qPrintable(QString("radical U+%1 in \"%2\"").arg(c.unicode(), 4, 16).arg(extracted.trimmed())));
        }
        QStringList read = extracted.simplified().isEmpty() ? QStringList() : extracted.split('\n');
        for (QString& line : read) {
            line = line.simplified().remove(' ');
        }
        read.removeAll(QString());
        QCOMPARE(read, expected);
    }
};

QTEST_MAIN(TestReportFiles)
#include "test_report_files.moc"
