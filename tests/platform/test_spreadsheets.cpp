#include <zip.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "data/book_checks.h"
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

// The message and details of the refusal `f` throws; "" when it goes through.
QString refusal(const std::function<void()>& f) {
    const auto e = BookChecks::thrown<UserError>(f);
    return !e ? QString() : e->message() + (e->details().isEmpty() ? QString() : " | " + e->details());
}

// The sheet's XML of a workbook the writer made and each cell style's format.
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
    const auto part = [&file](const char* name) {
        QProcess unzip;
        unzip.start("unzip", {"-p", file, name});
        unzip.waitForFinished(30000);
        return QString::fromUtf8(unzip.readAllStandardOutput());
    };
    WrittenXlsx out;
    out.sheet = part("xl/worksheets/sheet1.xml");
    const QString styles = part("xl/styles.xml");
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

}  // namespace

#define VERIFY_REFUSED(statement, text)                               \
    do {                                                              \
        const QString said_ = refusal([&] { statement; });            \
        QVERIFY2(said_.contains(text), qPrintable("said: " + said_)); \
    } while (false)

// Workbooks and CSV read and written; damaged, hostile or huge files refused with a message.
class TestSpreadsheets : public QObject {
    Q_OBJECT
private slots:
    void workbookRoundTrip() {
        const QString file = path("round.xlsx");
        const QList<QVariantList> rows{
            {QString("00012"), QString("酒店「一号」, 第二层\n前台"), 12.5, QVariant(), QString("=SUM(A1:A9)")},
            {QString("K-2"), QString("+86 138 0000"), qlonglong(9007199254740993LL), 0.1 + 0.2},
            {QString(), QString(), QVariant()},  // an empty row is left out on reading
            {QString("X")}};
        SpreadsheetWriter::write(file, {"客户编号", "客户姓名", "单价", "空", "备注"}, rows, "客户");
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.format, QString("XLSX"));
        // Numbers as Excel shows them: 15 significant digits.
        QCOMPARE(sheet.rows.mid(1),
                 (QList<QStringList>{{"00012", "酒店「一号」, 第二层\n前台", "12.5", "", "=SUM(A1:A9)"},
                                     {"K-2", "+86 138 0000", "9.00719925474099e+15", "0.3"},
                                     {"X"}}));
        QCOMPARE(sheet.rowNumbers, (QList<int>{1, 2, 3, 5}));
        // Control characters and texts like the workbook's escapes come back.
        const QStringList escapes{"a\x01b\rc", "d_x005F_e_x41_", "_x0041_x0042_", QStringLiteral("_x１２３４_"),
                                  "_x0041\r\nB"};
        SpreadsheetWriter::write(file, {"_x0041_"}, {QVariantList(escapes.begin(), escapes.end())});
        QCOMPARE(SpreadsheetReader::read(file).rows, (QList<QStringList>{{"_x0041_"}, escapes}));
        // A folder where the file goes stays; a text beyond a cell leaves no file.
        QVERIFY(QDir(m_dir.path()).mkdir("taken.xlsx"));
        VERIFY_REFUSED(SpreadsheetWriter::write(path("taken.xlsx"), {"a"}, {{QString("1")}}), "无法写入文件");
        QVERIFY(QFileInfo(path("taken.xlsx")).isDir());
        VERIFY_REFUSED(SpreadsheetWriter::write(path("toolong.xlsx"), {"a"}, {{QString(40000, QChar('x'))}}),
                       "超过 32767 个字符");
        QVERIFY(!QFile::exists(path("toolong.xlsx")));
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
            // Cells without references follow each other; an error is its text.
            R"(<row r="3"><c t="inlineStr"><is><t>合并</t></is></c><c/><c/><c t="e"><v>#DIV/0!</v></c></row>)"
            // Rows only formatted hold nothing; a row number skips ahead.
            R"(<row r="4"><c r="A4" s="3"/></row><row r="9"><c r="B9"><v>1.5E-3</v></c><c r="C9" t="s"><v>3</v></c></row>)";
        // Shared texts named otherwise than by Excel: found through the relations.
        const QByteArray rels = QByteArray(kRels).replace(
            "</Relationships>",
            "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "sharedStrings\" Target=\"/xl/texts/strings1.xml\"/></Relationships>");
        const QString file = makeXlsx(
            "excel.xlsx", {{"[Content_Types].xml", "<Types/>"},
                           {"xl/workbook.xml", kWorkbook},
                           {"xl/_rels/workbook.xml.rels", rels},
                           {"xl/texts/strings1.xml", shared},
                           {"xl/worksheets/data.xml", sheetXml(rows)},
                           {"xl/worksheets/other.xml",
                            sheetXml("<row r=\"1\"><c t=\"inlineStr\"><is><t>wrong sheet</t></is></c></row>")}});
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.rows, (QList<QStringList>{{"商品编码", "商品名称 ", "", "备注"},
                                                 {"20", "门锁 & 合页 <大>", "AB", "TRUE"},
                                                 {"合并", "", "", "#DIV/0!"},
                                                 {"", "0.0015"}}));
        QCOMPARE(sheet.rowNumbers, (QList<int>{1, 2, 3, 9}));
        // A formula without its computed value is said, not read as empty.
        const QString uncomputed = sheetXlsx("uncomputed.xlsx", R"(<row r="4"><c r="C4"><f>10*3</f></c></row>)");
        VERIFY_REFUSED(SpreadsheetReader::read(uncomputed), "第 4 行第 3 列的公式没有计算结果");
    }
    // Codes as text ("@") keep zeros, formula-like text gets an apostrophe, dates are dates; read back the same.
    void writtenLayout() {
        const QString file = path("layout.xlsx");
        SpreadsheetWriter::write(file, {"编码", "日期", "单价"},
                                 {{QString("00001"), QDate(2024, 3, 5), 12.5}, {QString("'=1"), QVariant(), 3}}, "客户",
                                 {{95, true}, {85, false}, {0, false}});
        const WrittenXlsx x = openWritten(file);
        for (const char* cell :
             {"<c r=\"A2\" s=\"\\d+\" t=\"inlineStr\"><is><t>00001</t>", R"(<c r="B2" s="\d+"><v>45356</v></c>)",
              R"(<c r="C2"(?: s="\d+")?><v>12.5</v></c>)", R"(ySplit="1" topLeftCell="A2".*state="frozen")"}) {
            QVERIFY2(QRegularExpression(cell).match(x.sheet).hasMatch(), qPrintable(cell + (" in " + x.sheet)));
        }
        QCOMPARE(x.formatOf("A2"), QString("@"));
        QVERIFY2(x.formatOf("B2").contains("yy") && !x.formatOf("C2").contains('@'), qPrintable(x.formatOf("B2")));
        const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
        QCOMPARE(sheet.rows.value(1), QStringList({"00001", "2024-03-05", "12.5"}));
        QCOMPARE(sheet.rows.value(2), QStringList({"''=1", "", "3"}));
        QCOMPARE(SpreadsheetWriter::unguarded(sheet.rows[2][0]), QString("'=1"));
    }
    // Excel's date formats, Chinese Excel's and a workbook's own: the date shown.
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
    }
    void damagedAndHugeWorkbooksAreRefused() {
        BookChecks::written(path("text.xlsx"), "这不是工作簿");
        QVERIFY(QFile::copy(path("text.xlsx"), path("old.xls")));
        VERIFY_REFUSED(SpreadsheetReader::read(path("text.xlsx")), "不是有效的 Excel 工作簿");
        VERIFY_REFUSED(SpreadsheetReader::read(path("old.xls")), "只能导入");
        VERIFY_REFUSED(SpreadsheetReader::read(path("missing.xlsx")), "找不到文件");
        // No sheet, broken XML, a shared text out of range: said in the details.
        VERIFY_REFUSED(SpreadsheetReader::read(makeXlsx("empty.xlsx", {{"xl/workbook.xml", kWorkbook}})), "已损坏");
        VERIFY_REFUSED(SpreadsheetReader::read(sheetXlsx("broken.xlsx", "<row><c><v>1</c></row>")), "已损坏");
        VERIFY_REFUSED(
            SpreadsheetReader::read(sheetXlsx("index.xlsx", R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)")),
            "共享文字 5");
        const SpreadsheetReader::Limits small{
            .maxRows = 10, .maxColumns = 5, .maxCellChars = 20, .maxTextChars = 1000, .maxUnpackedBytes = 1024 * 1024};
        const SpreadsheetReader::Limits roomy{.maxCellChars = 100, .maxTextChars = 1000};
        const SpreadsheetReader::Limits fewCells{.maxCellChars = 100, .maxTextChars = 200};
        const auto numbered = [](int from, int to, const QString& row) {
            QByteArray rows;
            for (int r = from; r <= to; ++r) {
                rows += row.arg(r).toUtf8();
            }
            return rows;
        };
        const QString numberRow = "<row r=\"%1\"><c r=\"A%1\"><v>%1</v></c></row>";
        const QByteArray run(8 * 1024 * 1024, '7');
        const std::tuple<const char*, QByteArray, const SpreadsheetReader::Limits&, const char*> refused[] = {
            // The captions and ten rows below them are read; one more row is not.
            {"twelve.xlsx", numbered(1, 12, numberRow), small, "超过 10 行"},
            {"wide.xlsx", R"(<row r="1"><c r="F1"><v>1</v></c></row>)", small, "超过 5 列"},
            {"long.xlsx",
             R"(<row r="1"><c r="A1" t="inlineStr"><is><t>一二三四五六七八九十一二三四五六七八九十一</t></is></c></row>)",
             small, "超过 20 个字符"},
            // A ZIP bomb is stopped at the limit of what may be unpacked.
            {"bomb.xlsx", QByteArray("<x/>").repeated(2 * 1024 * 1024), small, "解压后超过 1 MB"},
            // Megabytes without markup are stopped as they are unpacked.
            {"run.xlsx", "<row r=\"1\"><c r=\"A1\"><v>" + run + "</v></c></row>", roomy, "中有超过 100 个字符的内容"},
            // Row numbers beyond a sheet's last row, or no number at all.
            {"far.xlsx", R"(<row r="1048577"><c t="inlineStr"><is><t>x</t></is></c></row>)", roomy, "已损坏"},
            {"huge_r.xlsx", R"(<row r="99999999999"><c t="inlineStr"><is><t>x</t></is></c></row>)", roomy, "已损坏"},
            // Many empty cells count too.
            {"cells.xlsx",
             numbered(1, 9,
                      "<row r=\"%1\"><c r=\"A%1\" t=\"inlineStr\"><is><t/></is></c><c r=\"B%1\" t=\"inlineStr\"><is>"
                      "<t/></is></c><c r=\"C%1\"><v>1</v></c></row>"),
             fewCells, "文字太多"},
        };
        for (const auto& [name, rows, limits, said] : refused) {
            const QString file = sheetXlsx(name, rows);
            VERIFY_REFUSED(SpreadsheetReader::read(file, limits), said);
            QVERIFY(QFileInfo(file).size() < 64 * 1024 || rows.size() < 64 * 1024);  // packed small
        }
        QCOMPARE(SpreadsheetReader::read(sheetXlsx("eleven.xlsx", numbered(1, 11, numberRow)), small).rows.size(), 11);
        // Entities could expand kilobytes into gigabytes: a declaration is refused.
        QByteArray declared = kWorkbook;
        declared.replace("<workbook ", "<!DOCTYPE workbook [<!ENTITY a \"QQQQ\">]><workbook ");
        VERIFY_REFUSED(SpreadsheetReader::read(sheetXlsx("entities.xlsx", "", {}, declared), roomy), "文档类型声明");
        // 100,000 CSV rows against a limit of 10: refused, not read whole.
        VERIFY_REFUSED(SpreadsheetReader::readCsv(QByteArray("a,b\n").repeated(100000), small), "超过 1000 个字符");
    }
    // UTF-8 with its mark, GB18030 and UTF-16 told apart; quotes, line breaks, empty rows and trailing cells.
    void csvEncodingsAndQuoting() {
        const QList<QStringList> two{{"编号", "名称"}, {"01", "门锁"}};
        QStringEncoder gb("GB18030");
        QStringEncoder utf16le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const std::tuple<QByteArray, const char*, QList<QStringList>> cases[] = {
            {"\xEF\xBB\xBF编号,名称\r\n01,门锁\r\n", "UTF-8", two},
            {gb(QStringLiteral("编号,名称\r\n01,门锁\r\n")), "GB18030", two},
            {utf16le(QStringLiteral("编号\t名称\r\n01\t门锁\r\n")), "UTF-16", two},
            {"a,b,c\n\"x, y\",\"say \"\"hi\"\"\",\"two\nlines\"\n",
             "UTF-8",
             {{"a", "b", "c"}, {"x, y", "say \"hi\"", "two\nlines"}}},
            {"a,b\n\n,\n1,,\n", "UTF-8", {{"a", "b"}, {"1"}}}};
        for (const auto& [bytes, encoding, rows] : cases) {
            const SpreadsheetReader::Sheet sheet = SpreadsheetReader::readCsv(bytes, {});
            QCOMPARE(sheet.format, QString(encoding));
            QCOMPARE(sheet.rows, rows);
        }
        const QString file = path("round.csv");
        const QStringList texts{"=1+1", "'quoted", "+86 10", "@cmd", "-x", "a,b", "say \"x\"", "'=1", "''+2"};
        SpreadsheetWriter::write(file, {"甲"},
                                 {QVariantList(texts.begin(), texts.end()), {-3, 2.5, QDate(2024, 3, 5)}});
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        // Nothing runs as a formula; a text's own apostrophe is doubled only before a formula's first character.
        QVERIFY2(bytes.contains("'=1+1,'quoted,'+86 10,'@cmd,'-x,"), bytes.constData());
        QVERIFY2(bytes.contains(",''=1,'''+2\r\n-3,2.5,2024-03-05"), bytes.constData());
        const SpreadsheetReader::Sheet written = SpreadsheetReader::readCsv(bytes, {});
        QStringList back;
        for (const QString& f : written.rows[1]) {
            back << SpreadsheetWriter::unguarded(f);
        }
        QCOMPARE(back, texts);
        // An unfinished quote is said, with its row.
        VERIFY_REFUSED(SpreadsheetReader::readCsv("a,b\n1,\"open", {}), "第 2 行");
        // Bytes that are neither UTF-8 nor GB18030.
        VERIFY_REFUSED(SpreadsheetReader::readCsv(QByteArray("a,\x80\xFF\xFE\x30", 6), {}), "编码无法识别");
    }

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // A workbook made of the given parts (name -> XML).
    QString makeXlsx(const QString& name, const QList<QPair<QString, QByteArray>>& parts) {
        const QString file = path(name);
        QFile::remove(file);
        int error = 0;
        zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        bool ok = z != nullptr;
        for (const auto& [part, bytes] : parts) {
            // libzip reads the buffer when the archive is closed, while `parts` still holds it.
            zip_source_t* src = ok ? zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0) : nullptr;
            ok = src && zip_file_add(z, part.toUtf8().constData(), src, ZIP_FL_OVERWRITE) >= 0;
        }
        if (!ok || zip_close(z) != 0) {
            qFatal("cannot write %s", qPrintable(file));
        }
        return file;
    }
    // A workbook of one sheet with these rows, and styles when given.
    QString sheetXlsx(const QString& name, const QByteArray& rows, const QByteArray& styles = {},
                      const QByteArray& workbook = {}) {
        QList<QPair<QString, QByteArray>> parts{{"xl/workbook.xml", workbook.isEmpty() ? kWorkbook : workbook},
                                                {"xl/_rels/workbook.xml.rels", kRels},
                                                {"xl/worksheets/data.xml", sheetXml(rows)}};
        if (!styles.isEmpty()) {
            parts.append({"xl/styles.xml", styles});
        }
        return makeXlsx(name, parts);
    }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestSpreadsheets)
#include "test_spreadsheets.moc"
