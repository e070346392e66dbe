#include <zip.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "platform/errors.h"
#include "platform/spreadsheet_reader.h"
#include "platform/spreadsheet_writer.h"

namespace {
const QByteArray kWorkbook =
    R"(<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="客户" sheetId="1" r:id="rId7"/><sheet name="Other" sheetId="2" r:id="rId8"/></sheets></workbook>)";
const QByteArray kRels =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId8" Type="x" Target="worksheets/other.xml"/><Relationship Id="rId7" Type="x" Target="worksheets/data.xml"/></Relationships>)";

QByteArray sheetXml(const QByteArray& rows) {
    return R"(<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
           rows + R"(</sheetData><mergeCells count="1"><mergeCell ref="A3:C3"/></mergeCells></worksheet>)";
}

QString refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const UserError& e) {
        return e.message() + (e.details().isEmpty() ? QString() : " | " + e.details());
    }
    return QString();
}

// What a spreadsheet program reads in the workbook the writer made: the
// sheet's XML and the number format of each cell style.
struct WrittenXlsx {
    QString sheet;
    QStringList formats;  // by style index
    // The format of the style the cell `ref` carries ("" for none).
    QString formatOf(const QString& ref) const {
        const QRegularExpressionMatch m = QRegularExpression(QString("<c r=\"%1\" s=\"(\\d+)\"").arg(ref)).match(sheet);
        return m.hasMatch() ? formats.value(m.captured(1).toInt()) : QString();
    }
};

WrittenXlsx openWritten(const QString& file) {
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &error);
    const auto part = [z](const char* name) {
        QByteArray bytes(1 << 16, '\0');
        zip_file_t* f = z ? zip_fopen(z, name, 0) : nullptr;
        const zip_int64_t n = f ? zip_fread(f, bytes.data(), zip_uint64_t(bytes.size())) : -1;
        if (f) {
            zip_fclose(f);
        }
        return QString::fromUtf8(bytes.left(qsizetype(std::max<zip_int64_t>(n, 0))));
    };
    WrittenXlsx out;
    out.sheet = part("xl/worksheets/sheet1.xml");
    const QString styles = part("xl/styles.xml");
    if (z) {
        zip_discard(z);
    }
    QHash<QString, QString> codes{{"49", "@"}, {"14", "m/d/yyyy"}, {"22", "m/d/yyyy h:mm"}};  // built-in
    for (const QRegularExpressionMatch& f :
         QRegularExpression("<numFmt numFmtId=\"(\\d+)\" formatCode=\"([^\"]*)\"").globalMatch(styles)) {
        codes.insert(f.captured(1), f.captured(2));
    }
    for (const QRegularExpressionMatch& xf :
         QRegularExpression("<xf numFmtId=\"(\\d+)\"").globalMatch(styles.mid(styles.indexOf("<cellXfs")))) {
        out.formats << codes.value(xf.captured(1), xf.captured(1));
    }
    return out;
}

// The rows the properties below are written with: a code, a date and an
// amount under their captions.
const QStringList kLayoutHeader{"编码", "日期", "单价"};
const QList<QVariantList> kLayoutRows{{QString("00001"), QDate(2024, 3, 5), 12.5}, {QString("'=1"), QVariant(), 3}};
const QList<SpreadsheetWriter::Column> kLayoutColumns{{95, true}, {85, false}, {0, false}};
}  // namespace

#define VERIFY_REFUSED(statement, text)                               \
    do {                                                              \
        const QString said_ = refusal([&] { statement; });            \
        QVERIFY2(said_.contains(text), qPrintable("said: " + said_)); \
    } while (false)

// Spreadsheets handed to the program and written by it: workbooks as Excel
// and other programs write them (shared and inline texts, rich text,
// formulas with their values, merged and missing cells), CSV files in the
// encodings Chinese users have, round trips through the writer, and files
// that are damaged, hostile or too large, each refused with a message
// before memory runs away.
class TestSpreadsheets : public QObject {
    Q_OBJECT
private slots:
    void workbookRoundTrip() {
        const QString file = path("round.xlsx");
        const QList<QVariantList> rows{
            {QString("00012"), QString("王先生"), 12.5, QVariant(), QString("=SUM(A1:A9)")},
            {QString("K-2"), QString("酒店「一号」, 第二层\n前台"), qlonglong(9007199254740993LL), 0.1 + 0.2,
             QString("+86 138 0000")},
            {QString(), QString(), QVariant(), QVariant(), QVariant()},  // an empty row is left out on reading
            {QString("X"), QString(30000, QChar(0x4E2D))},
        };
        SpreadsheetWriter::write(file, {"客户编号", "客户姓名", "单价", "空", "备注"}, rows, "客户");
        QVERIFY(QDir(m_dir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.format, QString("XLSX"));
        QCOMPARE(sheet.rows.size(), 4);
        QCOMPARE(sheet.rows[0], (QStringList{"客户编号", "客户姓名", "单价", "空", "备注"}));
        QCOMPARE(sheet.rows[1], (QStringList{"00012", "王先生", "12.5", "", "=SUM(A1:A9)"}));
        // Numbers as Excel shows them: 15 significant digits.
        QCOMPARE(sheet.rows[2][2], QString("9.00719925474099e+15"));
        QCOMPARE(sheet.rows[2][3], QString("0.3"));
        QCOMPARE(sheet.rows[2][1], QString("酒店「一号」, 第二层\n前台"));
        QCOMPARE(sheet.rows[2][4], QString("+86 138 0000"));
        QCOMPARE(sheet.rowNumbers, (QList<int>{1, 2, 3, 5}));
        QCOMPARE(sheet.rows[3][1], QString(30000, QChar(0x4E2D)));
        // Control characters and texts that read like the workbook's escapes
        // come back as written.
        SpreadsheetWriter::write(path("escapes.xlsx"), {"_x0041_"},
                                 {{QString("a\x01b\rc"), QString("d_x005F_e_x41_"), QString("_x0041_x0042_"),
                                   QStringLiteral("_x１２３４_"), QString("_x0041\r\nB")}});
        QCOMPARE(SpreadsheetReader::read(path("escapes.xlsx")).rows,
                 (QList<QStringList>{
                     {"_x0041_"},
                     {"a\x01b\rc", "d_x005F_e_x41_", "_x0041_x0042_", QStringLiteral("_x１２３４_"), "_x0041\r\nB"}}));
        // The work file takes no name of the user's; a file that cannot be
        // replaced (a folder of that name) stays as it was.
        QFile keep(path("keep.xlsx.part"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("mine");
        keep.close();
        SpreadsheetWriter::write(path("keep.xlsx"), {"a"}, {{QString("1")}});
        QVERIFY(keep.open(QIODevice::ReadOnly));
        QCOMPARE(keep.readAll(), QByteArray("mine"));
        keep.close();
        QVERIFY(QDir(m_dir.path()).mkdir("taken.xlsx"));
        VERIFY_REFUSED(SpreadsheetWriter::write(path("taken.xlsx"), {"a"}, {{QString("1")}}), "无法写入文件");
        QVERIFY(QFileInfo(path("taken.xlsx")).isDir());
        QCOMPARE(QDir(m_dir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList{"keep.xlsx.part"});
        QVERIFY(QFile::remove(path("keep.xlsx.part")));
        // Beyond what a cell of Excel holds: refused, no file left.
        VERIFY_REFUSED(SpreadsheetWriter::write(path("toolong.xlsx"), {"a"}, {{QString(40000, QChar('x'))}}),
                       "超过 32767 个字符");
        QVERIFY(!QFile::exists(path("toolong.xlsx")));
        QVERIFY(QDir(m_dir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
    }
    // Sheet names Excel refuses leave the sheet its default name.
    void refusedSheetNames() {
        for (const QString& name : {QString("History"), QString("'quoted"), QString("a[b]:c*?/\\")}) {
            const QString file = path("named.xlsx");
            SpreadsheetWriter::write(file, {"甲"}, {{QString("1")}}, name);
            QCOMPARE(SpreadsheetReader::read(file).rows, (QList<QStringList>{{"甲"}, {"1"}}));
        }
    }
    void workbookAsExcelWritesIt() {
        const QByteArray shared =
            R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="4" uniqueCount="4">)"
            R"(<si><t>商品编码</t></si>)"
            R"(<si><r><rPr><b/></rPr><t>商品</t></r><r><t xml:space="preserve">名称 </t></r><rPh sb="0" eb="2"><t>しょうひん</t></rPh></si>)"
            R"(<si><t>门锁 &amp; 合页 &lt;大&gt;</t></si>)"
            R"(<si><t/></si></sst>)";
        const QByteArray rows =
            R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="D1" t="inlineStr"><is><t>备注</t></is></c></row>)"
            // A formula keeps its last value; a text formula its text; booleans.
            R"(<row r="2"><c r="A2"><f>ROW()*10</f><v>20</v></c><c r="B2" t="s"><v>2</v></c><c r="C2" t="str"><f>"A"&amp;"B"</f><v>AB</v></c><c r="D2" t="b"><v>1</v></c></row>)"
            // Cells without references follow each other; an error shows as
            // its text.
            R"(<row r="3"><c t="inlineStr"><is><t>合并</t></is></c><c/><c/><c t="e"><v>#DIV/0!</v></c></row>)"
            // Rows only formatted hold nothing; a row number skips ahead.
            R"(<row r="4"><c r="A4" s="3"/></row><row r="9"><c r="B9"><v>1.5E-3</v></c><c r="C9" t="s"><v>3</v></c></row>)";
        const QString file = makeXlsx(
            "excel.xlsx", {{"[Content_Types].xml", "<Types/>"},
                           {"xl/workbook.xml", kWorkbook},
                           {"xl/_rels/workbook.xml.rels", kRels},
                           {"xl/sharedStrings.xml", shared},
                           {"xl/worksheets/data.xml", sheetXml(rows)},
                           {"xl/worksheets/other.xml",
                            sheetXml("<row r=\"1\"><c t=\"inlineStr\"><is><t>wrong sheet</t></is></c></row>")}});
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.rows.size(), 4);
        QCOMPARE(sheet.rows[0], (QStringList{"商品编码", "商品名称 ", "", "备注"}));
        QCOMPARE(sheet.rows[1], (QStringList{"20", "门锁 & 合页 <大>", "AB", "TRUE"}));
        QCOMPARE(sheet.rows[2], (QStringList{"合并", "", "", "#DIV/0!"}));
        QCOMPARE(sheet.rows[3], (QStringList{"", "0.0015"}));
        QCOMPARE(sheet.rowNumbers, (QList<int>{1, 2, 3, 9}));
        // A formula without its computed value (as some programs write) is
        // said, not read as empty.
        const QString uncomputed = sheetXlsx("uncomputed.xlsx", R"(<row r="4"><c r="C4"><f>10*3</f></c></row>)");
        VERIFY_REFUSED(SpreadsheetReader::read(uncomputed), "第 4 行第 3 列的公式没有计算结果");
        // A formula whose value is an empty text (=IF(A2="","",A2)) is read as
        // empty.
        const QString emptyResult = sheetXlsx(
            "empty_result.xlsx",
            R"(<row r="1"><c r="A1" t="inlineStr"><is><t>甲</t></is></c><c r="B1" t="str"><f>IF(A2="","",A2)</f><v/></c>)"
            R"(<c r="C1" t="str"><f>""</f><v></v></c><c r="D1"><v>4</v></c></row>)");
        QCOMPARE(SpreadsheetReader::read(emptyResult).rows, (QList<QStringList>{{"甲", "", "", "4"}}));
    }
    // What a spreadsheet program needs to keep the values as written, one
    // property each: codes in text columns (format "@") keep their leading
    // zeros, dates are numbers shown as dates, amounts are numbers; read back
    // as written.
    void codesKeepTheirLeadingZeros() {
        const QString file = path("codes.xlsx");
        SpreadsheetWriter::write(file, kLayoutHeader, kLayoutRows, "客户", kLayoutColumns);
        const WrittenXlsx x = openWritten(file);
        QVERIFY2(
            QRegularExpression("<c r=\"A2\" s=\"\\d+\" t=\"inlineStr\"><is><t>00001</t>").match(x.sheet).hasMatch(),
            qPrintable(x.sheet));
        QCOMPARE(x.formatOf("A2"), QString("@"));
        // The column too, for codes typed later; each column its width (95 and
        // 85 pixels, stored in characters of 7 pixels), the captions frozen.
        const QRegularExpression col("<col min=\"(\\d)\" max=\"\\d\" width=\"([0-9.]+)\"(?: style=\"(\\d+)\")?");
        QMap<int, QPair<double, int>> cols;  // column -> width in pixels, style
        for (const QRegularExpressionMatch& c : col.globalMatch(x.sheet)) {
            cols.insert(c.captured(1).toInt(), {c.captured(2).toDouble() * 7, c.captured(3).toInt()});
        }
        QCOMPARE(cols.keys(), (QList<int>{1, 2}));
        QCOMPARE(x.formats.value(cols[1].second), QString("@"));
        QVERIFY2(qAbs(cols[1].first - 95) <= 1 && qAbs(cols[2].first - 85) <= 1, qPrintable(x.sheet));
        QVERIFY2(x.sheet.contains(R"(ySplit="1" topLeftCell="A2")") && x.sheet.contains(R"(state="frozen")"),
                 qPrintable(x.sheet));
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.rows.value(1).value(0), QString("00001"));
        // One apostrophe more before a formula-like text of its own, as in CSV.
        QCOMPARE(sheet.rows.value(2).value(0), QString("''=1"));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[2][0]), QString("'=1"));
    }
    void datesStayDates() {
        const QString file = path("dates.xlsx");
        SpreadsheetWriter::write(file, kLayoutHeader, kLayoutRows, "客户", kLayoutColumns);
        const WrittenXlsx x = openWritten(file);
        // A number (days since 1900) under a date format, not a text.
        QVERIFY2(QRegularExpression(R"(<c r="B2" s="\d+"><v>45356</v></c>)").match(x.sheet).hasMatch(),
                 qPrintable(x.sheet));
        QVERIFY2(x.formatOf("B2").contains("yy"), qPrintable(x.formatOf("B2")));
        QCOMPARE(SpreadsheetReader::read(file).rows.value(1).value(1), QString("2024-03-05"));
    }
    void amountsStayNumbers() {
        const QString file = path("amounts.xlsx");
        SpreadsheetWriter::write(file, kLayoutHeader, kLayoutRows, "客户", kLayoutColumns);
        const WrittenXlsx x = openWritten(file);
        QVERIFY2(QRegularExpression(R"(<c r="C2"(?: s="\d+")?><v>12.5</v></c>)").match(x.sheet).hasMatch(),
                 qPrintable(x.sheet));
        QVERIFY2(QRegularExpression(R"(<c r="C3"(?: s="\d+")?><v>3</v></c>)").match(x.sheet).hasMatch(),
                 qPrintable(x.sheet));
        QVERIFY(!x.formatOf("C2").contains('@'));
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.rows.value(1).value(2), QString("12.5"));
        QCOMPARE(sheet.rows.value(2).value(2), QString("3"));
    }
    // Excel's own date formats, those of Chinese Excel and a workbook's own:
    // the date a cell shows, whatever the column it goes into.
    void dateCellsReadAsTheDatesTheyShow() {
        const QByteArray styles =
            R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts count="2">)"
            R"(<numFmt numFmtId="176" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>)"
            R"(<numFmt numFmtId="177" formatCode="0.00&quot; days&quot;"/></numFmts>)"
            R"(<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs><cellXfs count="5"><xf numFmtId="0"/>)"
            R"(<xf numFmtId="14"/><xf numFmtId="176"/><xf numFmtId="177"/><xf numFmtId="22"/></cellXfs></styleSheet>)";
        const QByteArray rows =
            R"(<row r="1"><c r="A1"><v>45356</v></c><c r="B1" s="1"><v>45356</v></c><c r="C1" s="2"><v>45356</v></c>)"
            R"(<c r="D1" s="3"><v>45356</v></c><c r="E1" s="4"><v>45356.5</v></c><c r="F1" s="1"><v>59</v></c></row>)";
        const QString file = sheetXlsx("dates.xlsx", rows, styles);
        QCOMPARE(SpreadsheetReader::read(file).rows.value(0),
                 (QStringList{"45356", "2024-03-05", "2024-03-05", "45356", "2024-03-05 12:00:00", "1900-02-28"}));
        // A workbook that counts its days from 1904.
        QByteArray workbook1904 = kWorkbook;
        workbook1904.replace("<sheets>", R"(<workbookPr date1904="1"/><sheets>)");
        const QString old = sheetXlsx("dates1904.xlsx", rows, styles, workbook1904);
        QCOMPARE(SpreadsheetReader::read(old).rows.value(0).value(1), QString("2028-03-06"));
    }
    void damagedWorkbooksAreRefused() {
        QFile text(path("text.xlsx"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("这不是工作簿");
        text.close();
        QFile old(path("old.xls"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
        old.close();
        VERIFY_REFUSED(SpreadsheetReader::read(path("text.xlsx")), "不是有效的 Excel 工作簿");
        VERIFY_REFUSED(SpreadsheetReader::read(path("old.xls")), "只能导入");
        VERIFY_REFUSED(SpreadsheetReader::read(path("missing.xlsx")), "找不到文件");
        // No sheet, broken XML, a shared text out of range.
        VERIFY_REFUSED(SpreadsheetReader::read(makeXlsx("empty.xlsx", {{"xl/workbook.xml", kWorkbook}})), "已损坏");
        VERIFY_REFUSED(
            SpreadsheetReader::read(
                makeXlsx("broken.xlsx", {{"xl/workbook.xml", kWorkbook},
                                         {"xl/_rels/workbook.xml.rels", kRels},
                                         {"xl/worksheets/data.xml", "<worksheet><sheetData><row><c><v>1</c></row>"}})),
            "已损坏");
        VERIFY_REFUSED(
            SpreadsheetReader::read(sheetXlsx("index.xlsx", R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)")),
            "已损坏");
    }
    void limitsStopHugeFiles() {
        SpreadsheetReader::Limits small;
        small.maxRows = 10;
        small.maxColumns = 5;
        small.maxCellChars = 20;
        small.maxUnpackedBytes = 1024 * 1024;
        small.maxTextChars = 1000;

        QByteArray many;
        for (int r = 1; r <= 50; ++r) {
            many += QStringLiteral("<row r=\"%1\"><c r=\"A%1\"><v>%1</v></c></row>").arg(r).toUtf8();
        }
        const auto workbook = [this](const QString& name, const QByteArray& rows) { return sheetXlsx(name, rows); };
        VERIFY_REFUSED(SpreadsheetReader::read(workbook("rows.xlsx", many), small), "超过 10 行");
        // The captions and ten rows below them are read; one more row is not.
        QByteArray eleven, twelve;
        for (int r = 1; r <= 12; ++r) {
            (r <= 11 ? eleven : twelve) +=
                QStringLiteral("<row r=\"%1\"><c r=\"A%1\"><v>%1</v></c></row>").arg(r).toUtf8();
        }
        twelve.prepend(eleven);
        QCOMPARE(SpreadsheetReader::read(workbook("eleven.xlsx", eleven), small).rows.size(), 11);
        VERIFY_REFUSED(SpreadsheetReader::read(workbook("twelve.xlsx", twelve), small), "超过 10 行");
        VERIFY_REFUSED(
            SpreadsheetReader::read(workbook("wide.xlsx", R"(<row r="1"><c r="F1"><v>1</v></c></row>)"), small),
            "超过 5 列");
        // Formatting far to the right with nothing in it is no column.
        QCOMPARE(SpreadsheetReader::read(
                     workbook("styled.xlsx", R"(<row r="1"><c r="A1"><v>1</v></c><c r="XFD1" s="1"/></row>)"), small)
                     .rows,
                 (QList<QStringList>{{"1"}}));
        VERIFY_REFUSED(
            SpreadsheetReader::read(
                workbook(
                    "long.xlsx",
                    R"(<row r="1"><c r="A1" t="inlineStr"><is><t>一二三四五六七八九十一二三四五六七八九十一</t></is></c></row>)"),
                small),
            "超过 20 个字符");
        // A part that packs megabytes of nothing into a few kilobytes (a ZIP
        // bomb) is stopped at the limit of what may be unpacked.
        const QString bombFile = workbook("bomb.xlsx", QByteArray("<x/>").repeated(2 * 1024 * 1024));
        QVERIFY(QFileInfo(bombFile).size() < 64 * 1024);
        VERIFY_REFUSED(SpreadsheetReader::read(bombFile, small), "解压后超过 1 MB");
        // Texts that cost nothing but their number (empty shared texts by the
        // hundred) and one huge cell: stopped as they grow.
        SpreadsheetReader::Limits roomy;
        roomy.maxTextChars = 1000;
        roomy.maxCellChars = 100;
        const QByteArray flood = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" +
                                 QByteArray("<si/>").repeated(200) + "</sst>";
        const QString floodFile = makeXlsx("flood.xlsx", {{"xl/workbook.xml", kWorkbook},
                                                          {"xl/_rels/workbook.xml.rels", kRels},
                                                          {"xl/sharedStrings.xml", flood},
                                                          {"xl/worksheets/data.xml", sheetXml("")}});
        VERIFY_REFUSED(SpreadsheetReader::read(floodFile, roomy), "文字太多");
        VERIFY_REFUSED(SpreadsheetReader::read(workbook("huge.xlsx", "<row r=\"1\"><c r=\"A1\"><v>" +
                                                                         QByteArray(5000, '7') + "</v></c></row>"),
                                               roomy),
                       "超过 100 个字符");
        // Megabytes without markup, in a text or inside a tag, are stopped as
        // they are unpacked: the XML reader would hold them whole first.
        VERIFY_REFUSED(
            SpreadsheetReader::read(workbook("run.xlsx", "<row r=\"1\"><c r=\"A1\"><v>" +
                                                             QByteArray(8 * 1024 * 1024, '7') + "</v></c></row>"),
                                    roomy),
            "中有超过 100 个字符的内容");
        VERIFY_REFUSED(
            SpreadsheetReader::read(
                workbook("spans.xlsx", "<row r=\"1\" spans=\"" + QByteArray(8 * 1024 * 1024, '1') + "\"></row>"),
                roomy),
            "中有超过 100 个字符的内容");
        // '>' may stand in a text or a value unescaped: it ends no run.
        VERIFY_REFUSED(
            SpreadsheetReader::read(workbook("gt.xlsx", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" +
                                                            QByteArray(8 * 1024 * 1024, '>') + "</t></is></c></row>"),
                                    roomy),
            "中有超过 100 个字符的内容");
        VERIFY_REFUSED(
            SpreadsheetReader::read(
                workbook("gtspans.xlsx", "<row r=\"1\" spans=\"" + QByteArray(8 * 1024 * 1024, '>') + "\"></row>"),
                roomy),
            "中有超过 100 个字符的内容");
        // An entity declared once and used many times would expand a few
        // kilobytes into gigabytes: a part with a declaration is refused.
        const QByteArray uses = QByteArray("&a;").repeated(1000);
        const QString entities =
            makeXlsx("entities.xlsx",
                     {{"xl/workbook.xml", kWorkbook},
                      {"xl/_rels/workbook.xml.rels", kRels},
                      {"xl/worksheets/data.xml",
                       "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"" + QByteArray(4000, 'Q') + "\">]>" +
                           sheetXml("<row r=\"1\"><c t=\"inlineStr\"><is><t>" + uses + "</t></is></c></row>")
                               .mid(QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>").size())}});
        const QString said = refusal([&] { SpreadsheetReader::read(entities, roomy); });
        QVERIFY2(said.contains("已损坏") && said.contains("文档类型声明"), qPrintable(said));
        // Row numbers beyond a sheet's last row, or no number at all.
        VERIFY_REFUSED(
            SpreadsheetReader::read(
                workbook("far.xlsx", R"(<row r="1048577"><c t="inlineStr"><is><t>x</t></is></c></row>)"), roomy),
            "已损坏");
        VERIFY_REFUSED(
            SpreadsheetReader::read(
                workbook("huge_r.xlsx", R"(<row r="99999999999"><c t="inlineStr"><is><t>x</t></is></c></row>)"), roomy),
            "已损坏");
        // Many empty cells count too.
        QByteArray emptyCells;
        for (int r = 1; r <= 9; ++r) {
            emptyCells += QStringLiteral(
                              "<row r=\"%1\"><c r=\"A%1\" t=\"inlineStr\"><is><t/></is></c><c r=\"B%1\" "
                              "t=\"inlineStr\"><is><t/></is></c><c r=\"C%1\"><v>1</v></c></row>")
                              .arg(r)
                              .toUtf8();
        }
        SpreadsheetReader::Limits fewCells = roomy;
        fewCells.maxTextChars = 200;
        VERIFY_REFUSED(SpreadsheetReader::read(workbook("cells.xlsx", emptyCells), fewCells), "文字太多");
        // A CSV file of 100,000 rows against a limit of 10: refused, not read
        // whole into rows.
        const QByteArray csv = QByteArray("a,b\n").repeated(100000);
        VERIFY_REFUSED(SpreadsheetReader::readCsv(csv, small), "超过 1000 个字符");
        SpreadsheetReader::Limits rowsOnly = small;
        rowsOnly.maxTextChars = 10 * 1024 * 1024;
        VERIFY_REFUSED(SpreadsheetReader::readCsv(csv, rowsOnly), "超过 10 行");
    }
    void csvEncodingsAndQuoting_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QList<QStringList>>("rows");
        const QList<QStringList> two{{"编号", "名称"}, {"01", "门锁"}};
        QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF编号,名称\r\n01,门锁\r\n") << QString("UTF-8")
                                        << two;
        QTest::newRow("utf-8") << QByteArray("编号,名称\n01,门锁") << QString("UTF-8") << two;
        QStringEncoder gb("GB18030");
        const QByteArray gbBytes = gb(QStringLiteral("编号,名称\r\n01,门锁\r\n"));
        QTest::newRow("gb18030") << gbBytes << QString("GB18030") << two;
        QStringEncoder utf16le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("utf-16le") << QByteArray(utf16le(QStringLiteral("编号\t名称\r\n01\t门锁\r\n")))
                                  << QString("UTF-16") << two;
        QStringEncoder utf16be(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("utf-16be") << QByteArray(utf16be(QStringLiteral("编号,名称\n01,门锁"))) << QString("UTF-16")
                                  << two;
        QTest::newRow("semicolons") << QByteArray("编号;名称\n01;门锁\n") << QString("UTF-8") << two;
        QTest::newRow("tabs") << QByteArray("编号\t名称\n01\t门锁\n") << QString("UTF-8") << two;
        QTest::newRow("quotes and line breaks")
            << QByteArray("a,b,c\n\"x, y\",\"say \"\"hi\"\"\",\"two\nlines\"\n") << QString("UTF-8")
            << QList<QStringList>{{"a", "b", "c"}, {"x, y", "say \"hi\"", "two\nlines"}};
        QTest::newRow("empty rows and trailing cells")
            << QByteArray("a,b\n\n,\n1,,\n") << QString("UTF-8") << QList<QStringList>{{"a", "b"}, {"1"}};
    }
    void csvEncodingsAndQuoting() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QList<QStringList>, rows);
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::readCsv(bytes, {});
        QCOMPARE(sheet.format, encoding);
        QCOMPARE(sheet.rows, rows);
    }
    void csvRoundTripKeepsFormulaLikeText() {
        const QString file = path("round.csv");
        const QList<QVariantList> rows{
            {QString("=1+1"), QString("'quoted"), QString("+86 10"), -3, 2.5},
            {QString("a,b"), QString("say \"x\""), QString("@cmd"), QVariant(), QString("-x")},
            {QString("'=1"), QString("''+2"), QDate(2024, 3, 5)}};
        SpreadsheetWriter::write(file, {"甲", "乙", "丙", "丁", "戊"}, rows);
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        // Nothing a spreadsheet program would run as a formula.
        QVERIFY(bytes.contains("'=1+1"));
        QVERIFY(bytes.contains("'@cmd"));
        QVERIFY(bytes.contains(",-3,"));  // numbers stay numbers
        // An apostrophe of the text's own is doubled only before a formula's
        // first character: "'quoted" shows as it is.
        QVERIFY(bytes.contains(",'quoted,"));
        QVERIFY(bytes.contains("''=1,'''+2,2024-03-05"));
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::readCsv(bytes, {});
        QCOMPARE(sheet.format, QString("UTF-8"));
        QStringList back;
        for (const QString& f : sheet.rows[1]) {
            back << SpreadsheetWriter::unguarded(f);
        }
        QCOMPARE(back, (QStringList{"=1+1", "'quoted", "+86 10", "-3", "2.5"}));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[2][0]), QString("a,b"));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[2][1]), QString("say \"x\""));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[2][2]), QString("@cmd"));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[2][4]), QString("-x"));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[3][0]), QString("'=1"));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[3][1]), QString("''+2"));
        // An unfinished quote is said, with its row.
        VERIFY_REFUSED(SpreadsheetReader::readCsv("a,b\n1,\"open", {}), "第 2 行");
        // Bytes that are neither UTF-8 nor GB18030.
        VERIFY_REFUSED(SpreadsheetReader::readCsv(QByteArray("a,\x80\xFF\xFE\x30", 6), {}), "编码");
    }
    // A file is decoded a megabyte at a time; a character cut by a piece's
    // end must come out whole, in UTF-8 (3 bytes) as in GB18030 (2 bytes).
    void csvLargerThanOneDecodedPiece() {
        SpreadsheetReader::Limits many;
        many.maxRows = 300000;
        const auto rowsOf = [](const QByteArray& header, const QByteArray& row, int count) {
            QByteArray bytes = header;
            for (int i = 0; i < count; ++i) {
                bytes += row;
            }
            return bytes;
        };
        // 7 header bytes, then rows of 6: the megabyte ends inside a 门.
        const QByteArray utf8 = rowsOf("abc,de\n", "x,\xE9\x97\xA8\n", 200000);
        QCOMPARE((1024 * 1024 - 7) % 6, 3);
        SpreadsheetReader::Sheet sheet = SpreadsheetReader::readCsv(utf8, many);
        QCOMPARE(sheet.format, QString("UTF-8"));
        QCOMPARE(sheet.rows.size(), 200001);
        for (int r = 1; r < sheet.rows.size(); ++r) {
            QVERIFY2(sheet.rows[r] == (QStringList{"x", QStringLiteral("门")}), qPrintable(QString::number(r)));
        }
        // 3 header bytes, then rows of 5: the megabyte ends between 门's two
        // bytes.
        QStringEncoder gb("GB18030");
        const QByteArray gbRow = gb(QStringLiteral("x,门\n"));
        QCOMPARE(gbRow.size(), 5);
        const QByteArray gbBytes = rowsOf(gb(QStringLiteral("门\n")) + QByteArray(), gbRow, 250000);
        QCOMPARE((1024 * 1024 - 3) % 5, 3);
        sheet = SpreadsheetReader::readCsv(gbBytes, many);
        QCOMPARE(sheet.format, QString("GB18030"));
        QCOMPARE(sheet.rows.size(), 250001);
        for (int r = 1; r < sheet.rows.size(); ++r) {
            QVERIFY2(sheet.rows[r] == (QStringList{"x", QStringLiteral("门")}), qPrintable(QString::number(r)));
        }
        // A UTF-8 file cut inside its last character is no UTF-8.
        QCOMPARE(SpreadsheetReader::csvEncoding(utf8.chopped(2)), QString("GB18030"));
        // Files that say their encoding and break it later are refused whole,
        // never read up to the bad byte: UTF-8 with a byte-order mark and a bad
        // byte past the first megabyte, GB18030 cut inside its last character,
        // UTF-16 with half a character at the end.
        QByteArray badAfterBom = "\xEF\xBB\xBF" + utf8;
        badAfterBom[1024 * 1024 + 100] = '\xFF';
        VERIFY_REFUSED(SpreadsheetReader::readCsv(badAfterBom, many), "编码无法识别");
        VERIFY_REFUSED(SpreadsheetReader::readCsv(gbBytes + QByteArray(gb(QStringLiteral("门"))).left(1), many),
                       "编码无法识别");
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        VERIFY_REFUSED(SpreadsheetReader::readCsv(QByteArray(utf16(QStringLiteral("a,b\n1,2"))) + "x", many),
                       "编码无法识别");
        // A first half of a character at the very end.
        VERIFY_REFUSED(
            SpreadsheetReader::readCsv(QByteArray(utf16(QStringLiteral("a,b\n1,2"))) + QByteArray("\x3D\xD8", 2), many),
            "编码无法识别");
    }
    // A workbook whose writer named its shared texts otherwise: found through
    // the workbook's relations, not by Excel's usual name.
    void sharedTextsFoundThroughTheRelations() {
        const QByteArray rels =
            R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/data.xml"/>)"
            R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="/xl/texts/strings1.xml"/></Relationships>)";
        const QByteArray shared =
            R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>商品名称</t></si><si><t>门锁</t></si></sst>)";
        const QString file =
            makeXlsx("named_parts.xlsx",
                     {{"xl/workbook.xml", kWorkbook},
                      {"xl/_rels/workbook.xml.rels", rels},
                      {"xl/texts/strings1.xml", shared},
                      {"xl/worksheets/data.xml", sheetXml(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"
                                                          R"(<row r="2"><c r="A2" t="s"><v>1</v></c></row>)")}});
        QCOMPARE(SpreadsheetReader::read(file).rows, (QList<QStringList>{{"商品名称"}, {"门锁"}}));
    }
    void columnReferences() {
        const QList<QPair<QString, int>> refs{{"A1", 0},     {"Z9", 25}, {"AA10", 26}, {"XFD1048576", 16383},
                                              {"ABCD1", -1}, {"12", -1}, {"", -1}};
        for (const auto& [ref, column] : refs) {
            QCOMPARE(SpreadsheetReader::columnOfReference(ref), column);
        }
    }

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // A workbook made of the given parts (name -> XML).
    QString makeXlsx(const QString& name, const QList<QPair<QString, QByteArray>>& parts);
    // A workbook of one sheet with these rows, and styles when given.
    QString sheetXlsx(const QString& name, const QByteArray& rows, const QByteArray& styles = {},
                      const QByteArray& workbook = {});
    QTemporaryDir m_dir;
};

QString TestSpreadsheets::makeXlsx(const QString& name, const QList<QPair<QString, QByteArray>>& parts) {
    const QString file = path(name);
    QFile::remove(file);
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z) {
        qFatal("zip_open");
    }
    for (const auto& [part, bytes] : parts) {
        // libzip reads the buffer when the archive is closed: it must live
        // until then.
        char* copy = static_cast<char*>(malloc(size_t(bytes.size())));
        memcpy(copy, bytes.constData(), size_t(bytes.size()));
        zip_source_t* src = zip_source_buffer(z, copy, zip_uint64_t(bytes.size()), 1);
        if (zip_file_add(z, part.toUtf8().constData(), src, ZIP_FL_OVERWRITE) < 0) {
            qFatal("zip_file_add");
        }
    }
    if (zip_close(z) != 0) {
        qFatal("zip_close");
    }
    return file;
}

QString TestSpreadsheets::sheetXlsx(const QString& name, const QByteArray& rows, const QByteArray& styles,
                                    const QByteArray& workbook) {
    QList<QPair<QString, QByteArray>> parts{{"xl/workbook.xml", workbook.isEmpty() ? kWorkbook : workbook},
                                            {"xl/_rels/workbook.xml.rels", kRels},
                                            {"xl/worksheets/data.xml", sheetXml(rows)}};
    if (!styles.isEmpty()) {
        parts.append({"xl/styles.xml", styles});
    }
    return makeXlsx(name, parts);
}

QTEST_GUILESS_MAIN(TestSpreadsheets)
#include "test_spreadsheets.moc"
