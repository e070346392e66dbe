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
#include "reports/report_samples.h"
#include "reports/report_window.h"
#include "support/scripted_file_chooser.h"
#include "support/test_books.h"

namespace {
const QString kList = QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf");

PreparedReport threePages() {
    PreparedReport out;
    QString error;
    ReportPreparer(ReportSamples::listTemplate(10, "x")).prepare(ReportSamples::rows(60), &out, &error);
    return out;
}

void click(const ReportPreviewFrame& frame, int button) {
    QTest::mouseClick(frame.button(QString("ToolButton%1").arg(button)), Qt::LeftButton);
}
}  // namespace

// The preview frame and the report window, offscreen; the report command
// of olvendctl on a report of several pages, an unknown template and rows
// not given (its statements and the render command: test_olvendctl).
class TestReportPreview : public QObject {
    Q_OBJECT
private slots:
    // The buttons in order with their hints; paging stops at either end;
    // the zoom buttons are exclusive.
    void toolBarPagingAndZoom() {
        ScriptedPrompter prompter;
        ScriptedFileChooser files;
        ReportPreviewFrame frame(prompter, files);
        QStringList hints;
        for (QToolButton* b : frame.findChildren<QToolButton*>()) {
            hints << b->toolTip();
        }
        QCOMPARE(hints, QStringList({"100%", "显示整页", "适应窗口大小", "最前一页", "前一页", "后一页", "最末一页",
                                     "打开报表文件", "保存报表", "打印", "输出为Excel文档", "输出为HTML文档",
                                     "输出为图片", "输出为PDF文档"}));
        QVERIFY(frame.button("ToolButton1")->isChecked());
        frame.resize(800, 600);
        frame.show();
        frame.setReport(threePages());
        QCOMPARE(frame.pageCount(), 3);
        const std::pair<int, int> steps[] = {{7, 1}, {8, 2}, {7, 2}, {6, 1}, {5, 0}};  // button, page then shown
        for (const auto& [button, page] : steps) {
            click(frame, button);
            QCOMPARE(frame.currentPage(), page);
        }
        const double actual = frame.scale();
        click(frame, 2);
        QVERIFY(!frame.button("ToolButton1")->isChecked() && frame.button("ToolButton2")->isChecked());
        QVERIFY(frame.zoom() == ReportPreviewFrame::Zoom::WholePage && frame.scale() < actual);
        click(frame, 3);
        QVERIFY(!frame.button("ToolButton2")->isChecked() && frame.zoom() == ReportPreviewFrame::Zoom::PageWidth);
    }

    // Each export asks for its name, adds its extension and writes a page
    // per picture; cancelling writes nothing; a folder that cannot be
    // written is said. A saved report reopens without the database.
    void exportsSaveAndReopen() {
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        ScriptedFileChooser files;
        ReportPreviewFrame frame(prompter, files);
        frame.setReport(threePages());
        for (const char* name : {"out_htm", "out_xlsx", "out_jpg", "out_pdf", "kept"}) {
            files.answers << dir.filePath(name);
        }
        for (int button : {14, 16, 17, 18, 11}) {
            click(frame, button);
        }
        QStringList asked;
        for (const FileQuestion& q : files.asked) {
            asked << q.filter + "|" + q.defaultSuffix;
        }
        QCOMPARE(asked, QStringList({"(*.HTM)|HTM", "(*.XLSX)|XLSX", "(*.JPG)|JPG", "(*.PDF)|PDF",
                                     ReportPreviewFrame::preparedFilter() + "|rmp"}));
        for (const char* file : {"out_htm.HTM", "out_xlsx.XLSX", "out_jpg.JPG", "out_jpg_3.JPG", "out_pdf.PDF"}) {
            QVERIFY2(QFile::exists(dir.filePath(file)), file);
        }
        QVERIFY(prompter.messages().isEmpty());
        files.answers = {QString(), QStringLiteral("/no/such/dir/x.pdf")};  // cancelled, then unwritable
        frame.exportPdf();
        frame.exportPdf();
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY(prompter.lastText().contains("/no/such/dir"));

        ReportPreviewFrame other(prompter, files);
        files.answers = {dir.filePath("kept.rmp")};
        click(other, 10);
        QCOMPARE(files.asked.last().filter, QString("Report 文件 (*.rmp)"));
        QCOMPARE(other.pageCount(), 3);
        QCOMPARE(other.report().pages[1].items.size(), frame.report().pages[1].items.size());
    }

    // The window prepares its template over its statement; a template that
    // is not there shows an empty page without a word.
    void reportWindowShowsItsTemplate() {
        TestBooks::TestProgram program(true);
        AppContext& c = program.context();
        c.data().ConnectDatabases();
        c.CurrentUser = {"超级用户", "", "管理员组"};
        QDir().mkpath(c.paths().reportFolder());
        QFile::copy(kList, c.paths().reportFolder() + "List.rmf");
        ReportWindow w(c, "Report_Test_Frm", "List.rmf");
        w.setQuery("select unit_code, Unit_name from unit order by unit_code");
        QVERIFY(w.showReport());
        QCOMPARE(w.frame()->pageCount(), 1);
        const QStringList texts = ReportSamples::textsOf(w.frame()->report());
        QVERIFY(texts.contains("UN006") && texts.contains("平方米") && texts.contains("第 1 页 / 共 1 页"));
        ReportWindow missing(c, "Report_Test_Frm", "Nothing_Here");
        missing.setQuery("select * from unit");
        QVERIFY(missing.showReport());
        QVERIFY(program.prompter().messages().isEmpty());
        QCOMPARE(missing.frame()->pageCount(), 1);
        QVERIFY(missing.frame()->report().pages[0].items.isEmpty());
    }

    void olvendctlReport() {
        QTemporaryDir home;
        auto ctl = [&](const QStringList& args) {
            QProcess p;
            p.start(OLVENDCTL_PATH, QStringList{"--home", home.path()} + args);
            p.waitForFinished(60000);
            return qMakePair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed());
        };
        QCOMPARE(ctl({"init"}).first, 0);
        QVERIFY(QDir().mkpath(home.filePath("Report")) && QFile::copy(kList, home.filePath("Report/List.rmf")));
        QByteArray rows("code\tname\n");
        for (int i = 1; i <= 100; ++i) {
            rows += QStringLiteral("C%1\t名称%1\n").arg(i).toUtf8();
        }
        QFile tsv(home.filePath("rows.tsv"));
        QVERIFY(tsv.open(QIODevice::WriteOnly) && tsv.write(rows) == rows.size());
        tsv.close();
        const QStringList out{"--out", home.filePath("r.pdf")};
        QCOMPARE(ctl(QStringList{"report", "List", "--rows", tsv.fileName()} + out), qMakePair(0, QString("3")));
        QVERIFY(QFile::remove(home.filePath("r.pdf")));  // three pages written
        QCOMPARE(ctl(QStringList{"report", "Nope", "--rows", tsv.fileName()} + out).first, 1);
        QCOMPARE(ctl(QStringList{"report", "List"} + out).first, 2);
        QVERIFY(!QFile::exists(home.filePath("r.pdf")));
    }
};

QTEST_MAIN(TestReportPreview)
#include "test_report_preview.moc"
