#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "data/data_module.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_preview_frame.h"
#include "reports/report_window.h"
#include "support/test_books.h"

// The preview frame and the report window, offscreen; the report command
// of olvendctl on a report of several pages, an unknown template and rows
// not given (its statements and the render command: test_olvendctl).
class TestReportPreview : public QObject {
    Q_OBJECT
private slots:
    void toolBarInOrderWithHints();
    void pagingAndExclusiveZoom();
    void exportsWithScriptedNames();
    void savedReportReopensWithoutTheDatabase();
    void reportWindowShowsTheListTemplate();
    void missingTemplateShowsAnEmptyReport();
    void olvendctlReportAndRender();

private:
    static PreparedReport threePages();
};

PreparedReport TestReportPreview::threePages() {
    ReportTemplate t;
    QString error;
    ReportTemplate::load(QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf"), &t, &error);
    ReportRows rows;
    rows.fields = {"编号", "名称"};
    for (int i = 1; i <= 120; ++i) {
        rows.rows.append({QString("SP%1").arg(i, 8, 10, QChar('0')), QString("商品%1").arg(i)});
    }
    PreparedReport out;
    ReportPreparer(t).prepare(rows, &out, &error);
    return out;
}

void TestReportPreview::toolBarInOrderWithHints() {
    ScriptedPrompter prompter;
    ReportPreviewFrame frame(prompter);
    QStringList hints;
    for (QToolButton* b : frame.findChildren<QToolButton*>()) {
        hints << b->toolTip();
    }
    QCOMPARE(hints, QStringList({"100%", "显示整页", "适应窗口大小", "最前一页", "前一页", "后一页", "最末一页",
                                 "打开报表文件", "保存报表", "打印", "输出为Excel文档", "输出为HTML文档", "输出为图片",
                                 "输出为PDF文档"}));
    QVERIFY(frame.button("ToolButton1")->isChecked());
    QCOMPARE(frame.button("ToolButton1")->size(), QSize(25, 23));
}

void TestReportPreview::pagingAndExclusiveZoom() {
    ScriptedPrompter prompter;
    ReportPreviewFrame frame(prompter);
    frame.resize(800, 600);
    frame.show();
    frame.setReport(threePages());
    QCOMPARE(frame.pageCount(), 3);
    QTest::mouseClick(frame.button("ToolButton7"), Qt::LeftButton);
    QCOMPARE(frame.currentPage(), 1);
    QTest::mouseClick(frame.button("ToolButton8"), Qt::LeftButton);
    QCOMPARE(frame.currentPage(), 2);
    QTest::mouseClick(frame.button("ToolButton7"), Qt::LeftButton);
    QCOMPARE(frame.currentPage(), 2);
    QTest::mouseClick(frame.button("ToolButton6"), Qt::LeftButton);
    QCOMPARE(frame.currentPage(), 1);
    QTest::mouseClick(frame.button("ToolButton5"), Qt::LeftButton);
    QCOMPARE(frame.currentPage(), 0);
    const double actual = frame.scale();
    QTest::mouseClick(frame.button("ToolButton2"), Qt::LeftButton);
    QVERIFY(!frame.button("ToolButton1")->isChecked());
    QVERIFY(frame.button("ToolButton2")->isChecked());
    QCOMPARE(frame.zoom(), ReportPreviewFrame::Zoom::WholePage);
    QVERIFY(frame.scale() < actual);
    QTest::mouseClick(frame.button("ToolButton3"), Qt::LeftButton);
    QVERIFY(!frame.button("ToolButton2")->isChecked());
    QCOMPARE(frame.zoom(), ReportPreviewFrame::Zoom::PageWidth);
}

void TestReportPreview::exportsWithScriptedNames() {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    ReportPreviewFrame frame(prompter);
    frame.setReport(threePages());
    QStringList asked;
    frame.chooseSaveFile = [&](const QString& filter, const QString& suffix) {
        asked << filter + "|" + suffix;
        return dir.filePath("out_" + suffix.toLower());  // typed without an extension
    };
    QTest::mouseClick(frame.button("ToolButton14"), Qt::LeftButton);
    QTest::mouseClick(frame.button("ToolButton16"), Qt::LeftButton);
    QTest::mouseClick(frame.button("ToolButton17"), Qt::LeftButton);
    QTest::mouseClick(frame.button("ToolButton18"), Qt::LeftButton);
    QCOMPARE(asked, QStringList({"(*.HTM)|HTM", "(*.XLSX)|XLSX", "(*.JPG)|JPG", "(*.PDF)|PDF"}));
    QVERIFY(QFile::exists(dir.filePath("out_htm.HTM")));
    QVERIFY(QFile::exists(dir.filePath("out_xlsx.XLSX")));
    QVERIFY(QFile::exists(dir.filePath("out_jpg.JPG")));
    QVERIFY(QFile::exists(dir.filePath("out_jpg_3.JPG")));
    QVERIFY(QFile::exists(dir.filePath("out_pdf.PDF")));
    QVERIFY(prompter.messages().isEmpty());
    // Cancelling writes nothing; a folder that cannot be written says so.
    frame.chooseSaveFile = [](const QString&, const QString&) { return QString(); };
    frame.exportPdf();
    frame.chooseSaveFile = [](const QString&, const QString&) { return QStringLiteral("/no/such/dir/x.pdf"); };
    frame.exportPdf();
    QCOMPARE(prompter.messages().size(), 1);
    QVERIFY(prompter.lastText().contains("/no/such/dir"));
}

void TestReportPreview::savedReportReopensWithoutTheDatabase() {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    ReportPreviewFrame frame(prompter);
    frame.setReport(threePages());
    frame.chooseSaveFile = [&](const QString& filter, const QString&) {
        return filter == ReportPreviewFrame::preparedFilter() ? dir.filePath("kept") : QString();
    };
    QTest::mouseClick(frame.button("ToolButton11"), Qt::LeftButton);
    QVERIFY(QFile::exists(dir.filePath("kept.rmp")));
    ReportPreviewFrame other(prompter);
    other.chooseOpenFile = [&](const QString& filter) {
        return filter == "Report 文件 (*.rmp)" ? dir.filePath("kept.rmp") : QString();
    };
    QTest::mouseClick(other.button("ToolButton10"), Qt::LeftButton);
    QCOMPARE(other.pageCount(), 3);
    QCOMPARE(other.report().pages[1].items.size(), frame.report().pages[1].items.size());
}

void TestReportPreview::reportWindowShowsTheListTemplate() {
    TestBooks::TestProgram program(true);
    AppContext& c = program.context();
    c.data().ConnectDatabases();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    QDir().mkpath(c.paths().reportFolder());
    QFile::copy(QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf"), c.paths().reportFolder() + "List.rmf");
    ReportWindow w(c, "Report_Test_Frm", "List.rmf");
    w.setQuery("select unit_code, Unit_name from unit order by unit_code");
    QVERIFY(w.showReport());
    QCOMPARE(w.frame()->pageCount(), 1);
    QStringList texts;
    for (const ReportPrimitive& p : w.frame()->report().pages[0].items) {
        texts << p.text;
    }
    QVERIFY(texts.contains("UN006"));
    QVERIFY(texts.contains("平方米"));
    QVERIFY(texts.contains("第 1 页 / 共 1 页"));
}

void TestReportPreview::missingTemplateShowsAnEmptyReport() {
    TestBooks::TestProgram program(true);
    AppContext& c = program.context();
    c.data().ConnectDatabases();
    ReportWindow w(c, "Report_Test_Frm", "Nothing_Here");
    w.setQuery("select * from unit");
    QVERIFY(w.showReport());
    QVERIFY(program.prompter().messages().isEmpty());
    QCOMPARE(w.frame()->pageCount(), 1);
    QVERIFY(w.frame()->report().pages[0].items.isEmpty());
}

void TestReportPreview::olvendctlReportAndRender() {
    QTemporaryDir home;
    auto ctl = [&](const QStringList& args) {
        QProcess p;
        p.start(OLVENDCTL_PATH, QStringList{"--home", home.path()} + args);
        p.waitForFinished(60000);
        return qMakePair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed());
    };
    QCOMPARE(ctl({"init"}).first, 0);
    QDir().mkpath(home.filePath("Report"));
    QFile::copy(QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf"), home.filePath("Report/List.rmf"));
    QFile tsv(home.filePath("rows.tsv"));
    QVERIFY(tsv.open(QIODevice::WriteOnly));
    tsv.write("code\tname\n");
    for (int i = 1; i <= 100; ++i) {
        tsv.write(QStringLiteral("C%1\t名称%1\n").arg(i).toUtf8());
    }
    tsv.close();
    QCOMPARE(ctl({"report", "List", "--rows", home.filePath("rows.tsv"), "--out", home.filePath("r.pdf")}),
             qMakePair(0, QString("3")));
    QVERIFY(QFile::exists(home.filePath("r.pdf")));
    QCOMPARE(ctl({"report", "Nope", "--rows", home.filePath("rows.tsv"), "--out", home.filePath("x.pdf")}).first, 1);
    QCOMPARE(ctl({"report", "List", "--out", home.filePath("x.pdf")}).first, 2);
}

QTEST_MAIN(TestReportPreview)
#include "test_report_preview.moc"
