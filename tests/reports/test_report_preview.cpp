#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "data/book_checks.h"
#include "data/data_module.h"
#include "platform/errors.h"
#include "reports/document_report_window.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_preview_frame.h"
#include "reports/report_samples.h"
#include "reports/report_window.h"
#include "support/ctl_call.h"
#include "support/scripted_file_chooser.h"
#include "support/test_books.h"
#include "support/test_paths.h"

namespace {
const QString kList = TestPaths::sourceFolder() + "/Report/List.rmf";

void click(const ReportPreviewFrame& frame, int button) {
    QTest::mouseClick(frame.button(QString("ToolButton%1").arg(button)), Qt::LeftButton);
}
}  // namespace

// The preview frame, the report windows and the bounds of olvendctl's report command.
class TestReportPreview : public QObject {
    Q_OBJECT
private slots:
    // Each export asks for its name and writes; cancelling writes nothing; a saved report reopens.
    void exportsSaveAndReopen() {
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        ScriptedFileChooser files;
        ReportPreviewFrame frame(prompter, files);
        PreparedReport pages;
        QString error;
        QVERIFY(ReportPreparer(ReportSamples::listTemplate(10, "x")).prepare(ReportSamples::rows(60), &pages, &error));
        frame.setReport(pages);
        for (const auto& [name, button] : {std::pair{"out_htm", 14}, std::pair{"out_xlsx", 16},
                                           std::pair{"out_jpg", 17}, std::pair{"out_pdf", 18}, std::pair{"kept", 11}}) {
            files.answers = {dir.filePath(name)};
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

    // The window prepares its template (missing: an empty page); `report` prints pages, errors on stderr.
    void reportWindowAndCommand() {
        TestBooks::TestProgram program(true);
        program.openAsAdministrator();
        AppContext& c = program.context();
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

        QByteArray rows("code\tname\n");
        for (int i = 1; i <= 100; ++i) {
            rows += QStringLiteral("C%1\t名称%1\n").arg(i).toUtf8();
        }
        const QString tsv = BookChecks::written(program.folder() + "/rows.tsv", rows);
        const QString pdf = program.folder() + "/r.pdf";
        const auto report = [&](const QStringList& args) {
            return CtlCall::run(program.folder(), {}, QStringList{"report"} + args + QStringList{"--out", pdf});
        };
        const CtlCall::Result made = report({"List", "--rows", tsv});
        QCOMPARE(made.out.trimmed() + "|" + made.err + "|" + QString::number(made.code), QString("3||0"));
        QVERIFY(QFile::remove(pdf));
        for (const auto& [args, code] :
             {std::pair{QStringList{"Nope", "--rows", tsv}, 1}, std::pair{QStringList{"List"}, 2}}) {
            const CtlCall::Result r = report(args);
            QVERIFY2(r.code == code && r.out.isEmpty() && !r.err.isEmpty(), qPrintable(r.err));
            QVERIFY(!QFile::exists(pdf));
        }
    }

    // A report made in steps shows its first page at once and the rest in the background; an export finishes it
    // first; rows that stop coming leave the pages made and say the report is incomplete; closing stops the work.
    void reportMadeInSteps() {
        TestBooks::TestProgram program(true);
        program.openAsAdministrator();
        AppContext& c = program.context();
        QDir().mkpath(c.paths().reportFolder());
        QFile::copy(kList, c.paths().reportFolder() + "List.rmf");
        ReportRows all;
        all.fields = {"code", "name"};
        for (int i = 1; i <= 600; ++i) {
            all.rows.append({QString("C%1").arg(i, 4, 10, QChar('0')), QString("名称%1").arg(i)});
        }
        // Parts of 30 rows; after `failAt` parts the connection is lost.
        const auto parts = [&all](int failAt) {
            auto next = std::make_shared<int>(0);
            return [&all, next, failAt](ReportRows* out) {
                if (*next == failAt) {
                    throw DbError("与服务器的连接已断开", "server closed the connection", {},
                                  DbError::Kind::ConnectionLost);
                }
                if (*next * 30 >= all.rows.size()) {
                    return false;
                }
                out->fields = all.fields;
                out->rows.append(all.rows.mid(*next * 30, 30));
                ++*next;
                return true;
            };
        };
        ReportWindow whole(c, "Report_Test_Frm", "List.rmf");
        whole.setRows(all);
        QVERIFY(whole.showReport());
        QVERIFY(whole.frame()->pageCount() > 5);

        ScriptedFileChooser& files = program.files();
        ReportWindow w(c, "Report_Test_Frm", "List.rmf");
        w.show();
        QVERIFY(w.showReportInSteps(parts(-1)));
        QVERIFY(w.isPreparing());
        QVERIFY(w.frame()->pageCount() >= 1 && w.frame()->pageCount() < whole.frame()->pageCount());
        QVERIFY2(w.frame()->progressText().startsWith("正在准备报表"), qPrintable(w.frame()->progressText()));
        QVERIFY(ReportSamples::textsOf(w.frame()->report(), {}, 0).contains("第 1 页 / 共 … 页"));
        // The window stays in use while the rest is made.
        QTRY_VERIFY(w.frame()->pageCount() > 1);
        w.frame()->nextPage();
        QCOMPARE(w.frame()->currentPage(), 1);
        QTRY_VERIFY(!w.isPreparing());
        QCOMPARE(w.frame()->currentPage(), 1);
        QCOMPARE(ReportSamples::dump(w.frame()->report()), ReportSamples::dump(whole.frame()->report()));
        QVERIFY(w.frame()->progressText().isEmpty());

        // An export while the report is being made writes every page.
        QTemporaryDir dir;
        QVERIFY(w.showReportInSteps(parts(-1)));
        QVERIFY(w.isPreparing());
        files.answers = {dir.filePath("all.rmp")};
        click(*w.frame(), 11);
        QVERIFY(!w.isPreparing());
        PreparedReport saved;
        QString error;
        QVERIFY2(ReportFile::load(dir.filePath("all.rmp"), &saved, &error), qPrintable(error));
        QCOMPARE(ReportSamples::dump(saved), ReportSamples::dump(whole.frame()->report()));

        // The connection is lost after 40 rows' worth of pages: they stay, the loss is told, the rest is not made.
        ReportWindow lost(c, "Report_Test_Frm", "List.rmf");
        QVERIFY(lost.showReportInSteps(parts(3)));
        QTRY_VERIFY(!lost.isPreparing());
        QCOMPARE(program.prompter().messages().size(), 1);
        QVERIFY(program.prompter().lastText().contains("连接已断开"));
        QVERIFY2(lost.frame()->progressText().startsWith("报表不完整：只读到 90 行"),
                 qPrintable(lost.frame()->progressText()));
        QVERIFY(lost.frame()->pageCount() >= 1);
        QVERIFY(!lost.finishPreparing());
        files.answers = {dir.filePath("part.rmp")};
        click(*lost.frame(), 11);
        QVERIFY(!QFile::exists(dir.filePath("part.rmp")));
        QVERIFY(program.prompter().lastText().contains("报表不完整"));

        // Made again with a damaged template: the pages of the report that stopped short go.
        const QString listFile = c.paths().reportFolder() + "List.rmf";
        const QByteArray listText = [&] {
            QFile f(listFile);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        BookChecks::written(listFile, "{ not a template");
        QVERIFY(!lost.showReportInSteps(parts(-1)));
        QCOMPARE(lost.frame()->pageCount(), 0);
        QCOMPARE(program.prompter().messages().size(), 3);
        BookChecks::written(listFile, listText);

        // A report file opened while the report is being made is what stays and goes out.
        QVERIFY(w.showReportInSteps(parts(-1)));
        files.answers = {dir.filePath("all.rmp")};
        click(*w.frame(), 10);
        QVERIFY(!w.isPreparing());
        QTest::qWait(20);
        QCOMPARE(ReportSamples::dump(w.frame()->report()), ReportSamples::dump(saved));

        // Closed while it works: the work stops with the window.
        auto* closing = new ReportWindow(c, "Report_Test_Frm", "List.rmf");
        QVERIFY(closing->showReportInSteps(parts(-1)));
        QVERIFY(closing->isPreparing());
        delete closing;
        QTest::qWait(20);
    }

    // Each printout window prepares once shown; an unknown number is said, the window stays empty.
    void documentWindowsPrepareTheirPrintoutWhenShown() {
        TestBooks::TestProgram program(true);
        program.openAsAdministrator();
        AppContext& c = program.context();
        for (const char* sql :
             {"insert into goods (code, Goods_name, Goods_unit) values ('SP001', '合页', 'UN001')",
              "insert into Quotation_Head (BillNo, Add_ClientName, Freight, preferential, state) "
              "values ('BJ001', '张三', 0, 0, 1)",
              "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, "
              "SortNo) values ('BJ001', 'SP001', 2, 15, 30, 9, 12, 1)",
              "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) "
              "values ('BJ001', 'SK001', 20, 0, 1)"}) {
            c.data().main().execute(sql);
        }
        const QString notice = QStringLiteral("客户未订购此单，请勿打印，一经打印，计入总帐");
        using Kind = DocumentPrintouts::Kind;
        const std::tuple<Kind, const char*, QStringList> windows[] = {
            {Kind::Quotation, "BJ001", {"Report_Korvan_Quotation", "订货单", "订货单号: BJ001"}},
            {Kind::QuotationWarning, "BJ001", {"Report_Korvan_Quotation", "订货单", notice}},
            {Kind::PurchaseOrder, "BJ001", {"Report_CaiGou", "采购单", "采购单号: BJ001"}},
            {Kind::Receipt, "SK001", {"Report_Korvan_ShouJu", "收款收据", "收据号: SK001"}}};
        for (const auto& [kind, key, names] : windows) {
            DocumentReportWindow window(c, kind, key);
            QCOMPARE(QStringList({window.objectName(), window.windowTitle(), window.key()}),
                     QStringList({names[0], names[1], key}));
            QVERIFY(!window.isPrepared() && window.frame()->pageCount() == 0);
            window.show();
            QVERIFY(window.isPrepared());
            const QStringList texts = ReportSamples::textsOf(window.frame()->report());
            QVERIFY2(texts.contains(names[2]), qPrintable(texts.join('|')));
            QCOMPARE(texts.contains(notice), kind == Kind::QuotationWarning);
        }
        QVERIFY(program.prompter().messages().isEmpty());
        DocumentReportWindow unknown(c, Kind::Receipt, "SK999");
        unknown.show();
        QVERIFY(!unknown.isPrepared() && unknown.frame()->pageCount() == 0);
        QCOMPARE(program.prompter().lastText(), QString("找不到收款收据: SK999"));
    }
};

QTEST_MAIN(TestReportPreview)
#include "test_report_preview.moc"
