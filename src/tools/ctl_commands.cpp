#include "tools/ctl_commands.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>

#include "admin/book_backup.h"
#include "admin/book_creator.h"
#include "admin/book_restore.h"
#include "data/account_books.h"
#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "data/numbering.h"
#include "data/permission_checker.h"
#include "data/server_statement.h"
#include "data/setting_scrambler.h"
#include "data/user_accounts.h"
#include "demo/demo_data.h"
#include "demo/demo_orders.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "master/master_export.h"
#include "master/master_import.h"
#include "platform/errors.h"
#include "reports/document_printouts.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"
#include "reports/price_sheet_printout.h"
#include "tools/ctl_documents.h"
#include "tools/ctl_orders.h"
#include "tools/ctl_payouts.h"
#include "tools/ctl_prices.h"

CtlCommands::CtlCommands(AppContext& context, QTextStream& out, QTextStream& err)
    : m_context(context), m_out(out), m_err(err) {}

QString CtlCommands::usage() {
    return QStringLiteral(
        "usage: olvendctl [--home DIR] [--today YYYY-MM-DD] [--book NAME] [--user NAME] COMMAND ...\n"
        "commands:\n"
        "  init                              prepare an empty program folder\n"
        "  books                             list the account books (ID, name, file)\n"
        "  next-code TABLE FIELD [--propose] [--count N]\n"
        "                                    issue the next code (or propose a code-list value)\n"
        "  check-permission USER ACTION FORM may USER run ACTION of window FORM\n"
        "  login USER PASSWORD               check a log-in against the book\n"
        "  create-book NAME --from BOOK [--description TEXT]\n"
        "                                    a new account book copied from BOOK\n"
        "  import customers|suppliers|goods|order-customers FILE [--group NAME|ID] [--check] [--create-classes]\n"
        "                                    the file's rows checked as the editors check them; refused rows\n"
        "                                    on stderr, the accepted written in one transaction (--check: none);\n"
        "                                    --create-classes: goods classes the file names by a path that does\n"
        "                                    not exist (门窗/五金) are made in that transaction\n"
        "  export customers|suppliers|goods|order-customers FILE\n"
        "                                    the records with the columns their list shows, to .xlsx or .csv\n"
        "  backup [BOOK] --out FILE          a copy of the book (default: the current one) taken while it\n"
        "                                    is in use, checked before it is written; prints its size\n"
        "  restore [BOOK] --from FILE        replace the book's data by a backup's (checked first) in one\n"
        "                                    transaction; the book is first copied aside (the name is printed)\n"
        "  report TEMPLATE (--sql \"SELECT ...\" | --rows FILE.tsv) --out FILE\n"
        "                                    prepare a report and write it (.pdf .xlsx .htm .jpg .rmp)\n"
        "  render FILE.rmp --out FILE        convert a prepared report\n"
        "  print quotation|warning|purchase BILLNO --out FILE\n"
        "                                    print a quotation: 订货单, its warning style or 采购单\n"
        "  print receipt RECEIPTNO --out FILE\n"
        "                                    print a receipt (收款收据)\n"
        "  print order CODE --out FILE       print an order form (收款收据); all write .pdf .xlsx .htm .jpg .rmp\n"
        "  print prices [CUSTOMER...] --out FILE\n"
        "                                    print customers' price sheets, one each (none: the standard sheet)\n"
        "  demo [--customers N] [--suppliers N] [--goods N] [--quotations N] [--orders N] [--payouts N]\n"
        "                                    fill the book with sample customers, suppliers, goods,\n"
        "                                    quotations with their receipts, order forms with their\n"
        "                                    work, ware-out and shipment forms, and payouts of the four kinds\n"
        "  quotation new FILE.json           save a quotation from a JSON file; prints its number\n"
        "  quotation show BILLNO             the quotation's row of the list as name=value lines\n"
        "  quotation delete BILLNO           delete a quotation with its lines and receipts\n"
        "  quotation state BILLNO 0|1        put a quotation and its receipts out of (0) or in (1) force\n"
        "  receipts BILLNO                   the quotation's receipts and receipt lines (made the first\n"
        "                                    time), tab-separated\n"
        "  order new FILE.json               save an order form from a JSON file; prints its code\n"
        "  order show CODE                   the order's head as name=value lines, an empty line, then its\n"
        "                                    goods rows, tab-separated under a header line\n"
        "  order delete CODE                 delete an order form with its goods rows and derived forms\n"
        "  order generate work|wareout|shipment CODE [--yes]\n"
        "                                    make the order's work, ware-out or shipment forms; forms made\n"
        "                                    before are replaced only with --yes\n"
        "  payout add KIND DATE AMOUNT [--remark TEXT]\n"
        "                                    add a payout (KIND 0 运输费, 1 工资, 2 日杂费, 3 or 4 汇款, or\n"
        "                                    the name; DATE YYYY-MM-DD; AMOUNT whole units); prints its id\n"
        "  payout list KIND [--from D] [--to D]\n"
        "                                    the payouts of a kind, both days included, tab-separated\n"
        "  stats income|payout|profit [--from D] [--to D] [--kind K] [--remark R] --out FILE\n"
        "                                    income, payout or profit statistics (.pdf .xlsx .htm .jpg .rmp,\n"
        "                                    or .tsv: the rows the report is made from); --kind and\n"
        "                                    --remark filter payouts (全部: no filter; an empty remark:\n"
        "                                    payouts without one)\n"
        "  prices show [CUSTOMER]            a customer's price table (none: the standard table) as\n"
        "                                    name=value lines; a customer's first opening makes its table\n"
        "  prices set [CUSTOMER] FIELD=VALUE...\n"
        "                                    change cells (whole numbers, empty clears) and remarks, then\n"
        "                                    save; nothing is written when any value is refused\n"
        "  prices reset CUSTOMER             the customer's table from the standard one\n"
        "  unscramble TEXT                   read a scrambled server setting\n"
        "  scramble TEXT                     write a server setting in scrambled form\n"
        "--user NAME: whom quotation, receipts, order, payout, prices, print, import and export act as (default: the "
        "last user logged in, else admin)\n");
}

int CtlCommands::wrongUse() {
    m_err << usage();
    return 2;
}

int CtlCommands::run(const QStringList& arguments, const QString& bookName) {
    if (arguments.isEmpty()) {
        return wrongUse();
    }
    const QString command = arguments.first();
    const QStringList args = arguments.mid(1);
    try {
        // Lets a test see the boundary meet an allocation that fails.
        if (qEnvironmentVariable("OLVENDCTL_TEST_FAIL_ALLOCATION") == command) {
            throw std::bad_alloc();
        }
        if (command == "init") {
            return init();
        }
        if (command == "books") {
            return books();
        }
        if (command == "report") {
            return report(args, bookName);
        }
        if (command == "demo") {
            return demo(args, bookName);
        }
        if (command == "payout" || command == "stats") {
            if (!CtlPayouts::wellFormed(command, args)) {
                return wrongUse();
            }
            openBook(bookName);
            return CtlPayouts(m_context, m_out, m_err, m_userName).run(command, args);
        }
        if (command == "prices") {
            if (!CtlPrices::wellFormed(args)) {
                return wrongUse();
            }
            openBook(bookName);
            return CtlPrices(m_context, m_out, m_err, m_userName).run(args);
        }
        if (command == "quotation" || command == "receipts" || command == "order") {
            return documents(command, args, bookName);
        }
        if (command == "render") {
            return render(args);
        }
        if (command == "print") {
            return print(args, bookName);
        }
        if (command == "create-book") {
            return createBook(args);
        }
        if (command == "backup" || command == "restore") {
            return backup(command, args, bookName);
        }
        if (command == "export") {
            return exportRecords(args, bookName);
        }
        if (command == "import") {
            return importRecords(args, bookName);
        }
        if (command == "unscramble") {
            return unscramble(args);
        }
        if (command == "scramble") {
            return scramble(args);
        }
        if (command == "next-code" || command == "check-permission" || command == "login") {
            if (command == "next-code" && (args.size() < 2)) {
                return wrongUse();
            }
            if (command == "check-permission" && args.size() != 3) {
                return wrongUse();
            }
            if (command == "login" && args.size() != 2) {
                return wrongUse();
            }
            openBook(bookName);
            if (command == "next-code") {
                return nextCode(args);
            }
            if (command == "check-permission") {
                return checkPermission(args);
            }
            return login(args);
        }
        return wrongUse();
    } catch (const std::bad_alloc&) {
        m_err << outOfMemoryText() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        // The one boundary of every command: a message on stderr, exit 1.
        m_err << userTextOf(e) << Qt::endl;
        return 1;
    }
}

QString CtlCommands::outOfMemoryText() {
    return QStringLiteral("内存不足，命令没有完成");
}

int CtlCommands::init() {
    if (!FirstStart::run(m_context)) {
        m_out << QStringLiteral("程序目录已经初始化: %1").arg(m_context.paths().programFolder()) << Qt::endl;
        return 0;
    }
    m_out << QStringLiteral("已初始化: %1").arg(m_context.SettingsFile.readString("db", "path")) << Qt::endl;
    return 0;
}

int CtlCommands::books() {
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    for (const AccountBookRow& row : AccountBooks(m_context.data().openSystem()).offered()) {
        m_out << row.ID << '\t' << row.AccountBookName << '\t' << row.FilePath << Qt::endl;
    }
    return 0;
}

void CtlCommands::openBook(const QString& bookName) {
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    if (!bookName.isEmpty()) {
        const auto row = AccountBooks(m_context.data().openSystem()).findByNameOrId(bookName);
        if (!row) {
            throw UserError(QStringLiteral("找不到账本: %1").arg(bookName));
        }
        // Only this run uses the named book; the settings file is not changed.
        m_context.SettingsFile.setString("DB", "Path", row->FilePath);
        m_context.CurrentAccountBook = {row->ID, row->AccountBookName, row->FilePath, row->Type};
    }
    m_context.data().ConnectDatabases();
}

int CtlCommands::nextCode(const QStringList& args) {
    bool propose = false;
    int count = 1;
    QStringList names;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--propose") {
            propose = true;
        } else if (args[i] == "--count" && i + 1 < args.size()) {
            count = args[++i].toInt();
        } else {
            names.append(args[i]);
        }
    }
    if (names.size() != 2 || count < 1) {
        return wrongUse();
    }
    // A code issued outside its window is a right of olvendctl's own (no
    // window gives it): a counter moved on leaves a gap in the numbers.
    if (!CtlDocuments(m_context, m_out, m_err, m_userName)
             .actingUserMay(QStringLiteral("Action_IssueCode"), QStringLiteral("olvendctl"))) {
        return 3;
    }
    Numbering numbering(m_context.data().main(), m_context.clock());
    for (int i = 0; i < count; ++i) {
        m_out << numbering.GetAutoIncrementID(names[0], names[1], propose) << Qt::endl;
    }
    return 0;
}

int CtlCommands::checkPermission(const QStringList& args) {
    Database& db = m_context.data().main();
    QSqlQuery q = db.query("select user_name, password, User_Group from sys_user where user_name=:user_name",
                           {{"user_name", args[0]}});
    if (!q.next()) {
        throw UserError(QStringLiteral("找不到用户: %1").arg(args[0]));
    }
    UserRecord user{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    PermissionChecker checker(db, user);
    if (!checker.isAllowed(args[1], args[2])) {
        m_out << PermissionChecker::refusalText() << Qt::endl;
        return 3;
    }
    m_out << "allowed" << Qt::endl;
    return 0;
}

int CtlCommands::login(const QStringList& args) {
    const auto user = UserAccounts::verifyLogin(m_context.data().main(), args[0], args[1]);
    if (!user) {
        m_out << QStringLiteral("密码错误,请重新输入密码") << Qt::endl;
        return 1;
    }
    m_out << "ok" << Qt::endl;
    return 0;
}

int CtlCommands::unscramble(const QStringList& args) {
    if (args.size() != 1) {
        return wrongUse();
    }
    m_out << UnscrambleSetting(args[0]) << Qt::endl;
    return 0;
}

int CtlCommands::scramble(const QStringList& args) {
    if (args.size() != 1) {
        return wrongUse();
    }
    m_out << ScrambleSetting(args[0]) << Qt::endl;
    return 0;
}

namespace {
// The records import and export move, by the word the command takes, with
// the list window whose commands they stand for.
const QMap<QString, QPair<MasterKind, QString>>& masterKinds() {
    static const QMap<QString, QPair<MasterKind, QString>> kinds{
        {QStringLiteral("customers"), {MasterKind::Customers, QStringLiteral("Form_Client_List")}},
        {QStringLiteral("suppliers"), {MasterKind::Suppliers, QStringLiteral("Form_Provider_List")}},
        {QStringLiteral("goods"), {MasterKind::Goods, QStringLiteral("base_goods_frm")}},
        {QStringLiteral("order-customers"), {MasterKind::OrderCustomers, QStringLiteral("Form_Order_Customer_List")}}};
    return kinds;
}
}  // namespace

int CtlCommands::importRecords(const QStringList& args, const QString& bookName) {
    const QMap<QString, QPair<MasterKind, QString>>& kinds = masterKinds();
    QStringList positional;
    QString group;
    bool checkOnly = false;
    bool createClasses = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--group" && i + 1 < args.size()) {
            group = args[++i];
        } else if (args[i] == "--check") {
            checkOnly = true;
        } else if (args[i] == "--create-classes") {
            createClasses = true;
        } else if (args[i].startsWith("--")) {
            return wrongUse();
        } else {
            positional << args[i];
        }
    }
    if (positional.size() != 2 || !kinds.contains(positional[0])) {
        return wrongUse();
    }
    const auto [kind, form] = kinds.value(positional[0]);
    openBook(bookName);
    CtlDocuments documents(m_context, m_out, m_err, m_userName);
    if (!documents.actingUserMay(QStringLiteral("Action_Import"), form)) {
        return 3;
    }
    // Read only once the user may import: a large file costs time.
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(positional[1]);
    Database& db = m_context.data().main();
    MasterImport importer(db, m_context.clock(), m_context.CurrentUser.UserName, kind);
    PermissionChecker permissions(db, m_context.CurrentUser);
    importer.setSeesCost(CostProfitRight::heldBy(permissions));
    if (createClasses && kind != MasterKind::Goods) {
        throw UserError(QStringLiteral("--create-classes 只用于导入商品"));
    }
    importer.setCreatesClasses(createClasses);
    if (!group.isEmpty()) {
        const QString groups = MasterColumns::groupTable(kind);
        // By its ID, else by its name, which must be one group's only.
        QVariant id =
            db.scalar(QStringLiteral("select id from %1 where CAST(id AS VARCHAR(20))=:g").arg(groups), {{"g", group}});
        if (id.isNull()) {
            if (db.scalar(QStringLiteral("select count(*) from %1 where Class_name=:g").arg(groups), {{"g", group}})
                    .toInt() > 1) {
                throw UserError(QStringLiteral("有多个类别叫[%1]，请用类别的编号").arg(group));
            }
            id = db.scalar(QStringLiteral("select min(id) from %1 where Class_name=:g").arg(groups), {{"g", group}});
        }
        if (id.isNull()) {
            throw UserError(QStringLiteral("找不到类别: %1").arg(group));
        }
        importer.setTargetGroup(id);
    } else {
        importer.setTargetGroup(1);
    }
    if (sheet.rows.isEmpty()) {
        throw UserError(QStringLiteral("文件中没有内容"));
    }
    const QStringList header = sheet.rows.first();
    const QStringList mapping = importer.guessMapping(header);
    if (std::all_of(mapping.cbegin(), mapping.cend(), [](const QString& f) { return f.isEmpty(); })) {
        throw UserError(QStringLiteral("文件的第一行没有认得出的列标题（例如 %1）。请检查第一行是否是列标题，"
                                       "以及文件的编码是否正确。")
                            .arg(importer.fieldCaptions(importer.importableFields().value(0)).value(0)));
    }
    // Columns left out are said, so that nothing is dropped unnoticed.
    for (const QString& note : importer.leftOutColumns(sheet, mapping)) {
        m_err << note << Qt::endl;
    }
    const MasterImport::Plan plan = importer.check(sheet, mapping);
    for (const MasterImport::Refusal& r : plan.refused) {
        m_err << QStringLiteral("第 %1 行: %2").arg(r.rowNumber).arg(r.reason) << Qt::endl;
    }
    for (const QString& made : plan.newClasses) {
        m_err << (checkOnly ? QStringLiteral("将新建商品分类: %1") : QStringLiteral("新建商品分类: %1")).arg(made)
              << Qt::endl;
    }
    const int written = checkOnly ? 0 : importer.write(plan);
    m_out << (checkOnly ? int(plan.accepted.size()) : written) << Qt::endl;
    // Every row refused, or none below the captions, is a failure a
    // script should see.
    if (plan.accepted.isEmpty()) {
        m_err << (plan.refused.isEmpty() ? QStringLiteral("文件中没有可导入的行") : QStringLiteral("没有可以导入的行"))
              << Qt::endl;
        return 1;
    }
    return 0;
}

int CtlCommands::exportRecords(const QStringList& args, const QString& bookName) {
    const QMap<QString, QPair<MasterKind, QString>>& kinds = masterKinds();
    if (args.size() != 2 || !kinds.contains(args[0])) {
        return wrongUse();
    }
    const auto [kind, form] = kinds.value(args[0]);
    openBook(bookName);
    // 导出 of the list; the purchase price with the right to see costs.
    CtlDocuments documents(m_context, m_out, m_err, m_userName);
    if (!documents.actingUserMay(QStringLiteral("Action_Export"), form)) {
        return 3;
    }
    PermissionChecker permissions(m_context.data().main(), m_context.CurrentUser);
    m_out << MasterExport(m_context.data().main()).write(kind, args[1], CostProfitRight::heldBy(permissions))
          << Qt::endl;
    return 0;
}

int CtlCommands::backup(const QString& command, const QStringList& args, const QString& bookName) {
    const QString fileOption = command == "backup" ? QStringLiteral("--out") : QStringLiteral("--from");
    QString book = bookName;
    QString outFile;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == fileOption && i + 1 < args.size() && outFile.isEmpty()) {
            outFile = args[++i];
        } else if (!args[i].startsWith(QLatin1String("--")) && book == bookName && !args[i].isEmpty()) {
            book = args[i];
        } else {
            return wrongUse();
        }
    }
    if (outFile.isEmpty()) {
        m_err << QStringLiteral("%1 needs %2 FILE").arg(command, fileOption) << Qt::endl;
        return 2;
    }
    openBook(book);
    // The rights of 备份账本 and 恢复账本 in the main window.
    const QString action =
        command == "restore" ? QStringLiteral("Action_RestoreBook") : QStringLiteral("Action_BackupBook");
    if (!CtlDocuments(m_context, m_out, m_err, m_userName).actingUserMay(action, QStringLiteral("main_frm"))) {
        return 3;
    }
    if (command == "restore") {
        // The file name the book was saved to first.
        m_out << BookRestore(m_context).restore(book, outFile) << Qt::endl;
        return 0;
    }
    const qint64 bytes = BookBackup(m_context).backup(book, outFile);
    m_out << bytes << Qt::endl;
    return 0;
}

int CtlCommands::createBook(const QStringList& args) {
    QString name;
    QString from;
    QString description = BookCreator::defaultDescription();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--from" && i + 1 < args.size()) {
            from = args[++i];
        } else if (args[i] == "--description" && i + 1 < args.size()) {
            description = args[++i];
        } else if (name.isNull()) {
            name = args[i];
        } else {
            return wrongUse();
        }
    }
    if (name.isNull() || from.isEmpty()) {
        return wrongUse();
    }
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    // The source book is the current one, so that its counter names the new
    // file, as in the log-in dialog.
    openBook(from);
    const auto source = AccountBooks(m_context.data().system()).findByName(from);
    const AccountBookRow row = BookCreator(m_context).create(name, description, source ? &*source : nullptr);
    m_out << row.ID << '\t' << row.AccountBookName << '\t' << row.FilePath << Qt::endl;
    return 0;
}

int CtlCommands::report(const QStringList& args, const QString& bookName) {
    QString templateName;
    QString sql;
    QString rowsFile;
    QString outFile;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--sql" && i + 1 < args.size()) {
            sql = args[++i];
        } else if (args[i] == "--rows" && i + 1 < args.size()) {
            rowsFile = args[++i];
        } else if (args[i] == "--out" && i + 1 < args.size()) {
            outFile = args[++i];
        } else if (templateName.isEmpty()) {
            templateName = args[i];
        } else {
            return wrongUse();
        }
    }
    if (templateName.isEmpty() || outFile.isEmpty() || sql.isEmpty() == rowsFile.isEmpty()) {
        return wrongUse();
    }
    QString folder;
    const ReportTemplate tmpl = loadTemplate(templateName, &folder);
    ReportRows rows;
    if (!rowsFile.isEmpty()) {
        QString error;
        if (!ReportRows::fromTsv(rowsFile, &rows, &error)) {
            throw UserError(error);
        }
    } else {
        openBook(bookName);
        // A statement of the user's own reads whatever the book holds, the
        // costs and profits included.
        CtlDocuments documents(m_context, m_out, m_err, m_userName);
        if (!documents.actingUserMay(QStringLiteral("Action_QueryReport"), QStringLiteral("olvendctl")) ||
            !documents.actingUserMay(CostProfitRight::actionName(), CostProfitRight::formName())) {
            return 3;
        }
        rows = readOnlyRows(sql);
    }
    writeReport(tmpl, folder, rows, outFile);
    return 0;
}

ReportTemplate CtlCommands::loadTemplate(const QString& templateName, QString* folder) {
    // A path, or the name of a template in Report/ or built into the program.
    QString templatePath = templateName;
    if (!QFileInfo::exists(templatePath) && !QFileInfo::exists(templatePath + ".rmf")) {
        templatePath = m_context.paths().reportFile(templateName);
    }
    ReportTemplate tmpl;
    QString error;
    const auto loaded = ReportTemplate::load(templatePath, &tmpl, &error);
    if (loaded == ReportTemplate::LoadResult::Failed) {
        throw UserError(error);
    }
    if (loaded == ReportTemplate::LoadResult::Missing) {
        throw UserError(QStringLiteral("找不到报表模板: %1").arg(templateName));
    }
    *folder = QFileInfo(templatePath).absolutePath();
    return tmpl;
}

void CtlCommands::writeReport(const ReportTemplate& tmpl, const QString& folder, const ReportRows& rows,
                              const QString& outFile) {
    QString error;
    PreparedReport prepared;
    ReportPreparer preparer(tmpl, folder);
    if (!preparer.prepare(rows, &prepared, &error, m_context.clock().today())) {
        throw UserError(error);
    }
    if (!ReportExporter::byExtension(prepared, outFile, &error)) {
        throw UserError(error);
    }
    m_out << prepared.pages.size() << Qt::endl;
}

// The printouts of the documents, as their report windows show them. The
// messages go to stderr.
int CtlCommands::print(const QStringList& args, const QString& bookName) {
    QStringList positional;
    QString outFile;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) {
            outFile = args[++i];
        } else {
            positional.append(args[i]);
        }
    }
    if (!positional.isEmpty() && positional[0] == "prices") {
        return printPrices(positional.mid(1), outFile, bookName);
    }
    static const QMap<QString, DocumentPrintouts::Kind> kinds{{"quotation", DocumentPrintouts::Kind::Quotation},
                                                              {"warning", DocumentPrintouts::Kind::QuotationWarning},
                                                              {"purchase", DocumentPrintouts::Kind::PurchaseOrder},
                                                              {"receipt", DocumentPrintouts::Kind::Receipt},
                                                              {"order", DocumentPrintouts::Kind::Order}};
    if (positional.size() != 2 || !kinds.contains(positional[0]) || outFile.isEmpty()) {
        return wrongUse();
    }
    const DocumentPrintouts::Kind kind = kinds.value(positional[0]);
    const QString& key = positional[1];
    openBook(bookName);
    // The right of the command that prints it in its window.
    static const QMap<DocumentPrintouts::Kind, QPair<QString, QString>> rights{
        {DocumentPrintouts::Kind::Quotation, {"Action_print", "Form_Quotation_List"}},
        {DocumentPrintouts::Kind::QuotationWarning, {"Action4", "Form_Quotation_List"}},
        {DocumentPrintouts::Kind::PurchaseOrder, {"Action2", "Form_Quotation_List"}},
        {DocumentPrintouts::Kind::Receipt, {"Action3", "Form_Receipt"}},
        {DocumentPrintouts::Kind::Order, {"Action_print", "frm_GainBill_list"}}};
    const auto right = rights.value(kind);
    CtlDocuments documents(m_context, m_out, m_err, m_userName);
    if (!documents.actingUserMay(right.first, right.second)) {
        return 3;
    }
    // The purchase order shows what the goods cost.
    if (kind == DocumentPrintouts::Kind::PurchaseOrder &&
        !documents.actingUserMay(CostProfitRight::actionName(), CostProfitRight::formName())) {
        return 3;
    }
    DocumentPrintouts printouts(m_context.data().main());
    const QString missing = printouts.missingText(kind, key);
    if (!missing.isEmpty()) {
        throw UserError(missing);
    }
    QString folder;
    const ReportTemplate tmpl = loadTemplate(DocumentPrintouts::templateName(kind), &folder);
    writeReport(tmpl, folder, printouts.rows(kind, key), outFile);
    return 0;
}

int CtlCommands::printPrices(const QStringList& codes, const QString& outFile, const QString& bookName) {
    if (outFile.isEmpty()) {
        return wrongUse();
    }
    openBook(bookName);
    if (!CtlDocuments(m_context, m_out, m_err, m_userName)
             .actingUserMay(QStringLiteral("Action_Print"), QStringLiteral("Base_CustomerPrice_Frm"))) {
        return 3;
    }
    PriceSheetPrintout printout(m_context.data().main());
    const ReportRows rows = printout.rows(codes);
    if (!printout.missingCodes().isEmpty()) {
        throw UserError(QStringLiteral("找不到客户: %1").arg(printout.missingCodes().join(QStringLiteral(", "))));
    }
    QString folder;
    const ReportTemplate tmpl = loadTemplate(PriceSheetPrintout::templateName(), &folder);
    writeReport(tmpl, folder, rows, outFile);
    return 0;
}

ReportRows CtlCommands::readOnlyRows(const QString& sql) {
    Database& db = m_context.data().main();
    // The statement may only read: the connection refuses writes meanwhile.
    if (db.isAccess()) {
        db.query("PRAGMA query_only = ON");
        try {
            QSqlQuery q = db.query(sql);
            ReportRows rows = ReportRows::fromQuery(q);
            db.query("PRAGMA query_only = OFF");
            return rows;
        } catch (...) {
            db.query("PRAGMA query_only = OFF");
            throw;
        }
    }
    // One statement only: a "commit; ..." would end the read-only
    // transaction and go on writing.
    ServerStatement::requireSingle(db, sql);
    db.query("BEGIN READ ONLY");
    try {
        QSqlQuery q = db.query(sql);
        ReportRows rows = ReportRows::fromQuery(q);
        db.query("ROLLBACK");
        return rows;
    } catch (...) {
        db.query("ROLLBACK");
        throw;
    }
}

int CtlCommands::render(const QStringList& args) {
    if (args.size() != 3 || args[1] != "--out") {
        return wrongUse();
    }
    PreparedReport prepared;
    QString error;
    if (!ReportFile::load(args[0], &prepared, &error) || !ReportExporter::byExtension(prepared, args[2], &error)) {
        throw UserError(error);
    }
    m_out << prepared.pages.size() << Qt::endl;
    return 0;
}

int CtlCommands::documents(const QString& command, const QStringList& args, const QString& bookName) {
    const bool orders = command == "order";
    if (orders ? !CtlOrders::wellFormed(args) : !CtlDocuments::wellFormed(command, args)) {
        return wrongUse();
    }
    openBook(bookName);
    if (orders) {
        return CtlOrders(m_context, m_out, m_err, m_userName).run(args);
    }
    return CtlDocuments(m_context, m_out, m_err, m_userName).run(command, args);
}

int CtlCommands::demo(const QStringList& args, const QString& bookName) {
    DemoData::Counts counts;
    int quotations = 0;
    int orders = 0;
    int payouts = 0;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const int n = args[i + 1].toInt(&ok);
        if (!ok || n < 0 || n > 10'000'000) {
            return wrongUse();
        }
        if (args[i] == "--customers") {
            counts.customers = n;
        } else if (args[i] == "--suppliers") {
            counts.suppliers = n;
        } else if (args[i] == "--goods") {
            counts.goods = n;
        } else if (args[i] == "--quotations") {
            quotations = n;
        } else if (args[i] == "--orders") {
            orders = n;
        } else if (args[i] == "--payouts") {
            payouts = n;
        } else {
            return wrongUse();
        }
    }
    if (args.size() % 2 != 0) {
        return wrongUse();
    }
    // The system's messages go to stderr, as for the other commands of the
    // book's documents.
    return fillDemo(counts, quotations, orders, payouts, bookName);
}

int CtlCommands::fillDemo(const DemoData::Counts& counts, int quotations, int orders, int payouts,
                          const QString& bookName) {
    openBook(bookName);
    // Each kind of record is added with the right of the command that adds
    // it in its window; quotations come with their receipts, order forms
    // with their work, ware-out and shipment forms.
    const struct {
        int count;
        QList<std::pair<const char*, const char*>> rights;
    } kinds[] = {
        {counts.customers, {{"Action_AddCustomer", "Form_Client_List"}}},
        {counts.suppliers, {{"Action_AddCustomer", "Form_Provider_List"}}},
        {counts.goods, {{"Action_AddGoods", "base_goods_frm"}}},
        {quotations, {{"Action_Add", "Form_Quotation_List"}, {"Action1", "Form_Quotation_List"}}},
        {orders,
         {{"Action_Add", "frm_GainBill_list"},
          {"Action_CreateWorkFormExecute", "frm_GainBill_list"},
          {"Action_CreateWareOutFormExecute", "frm_GainBill_list"},
          {"Action_CreateShipmentFormExecute", "frm_GainBill_list"}}},
        {payouts, {{"Action_Add", "frm_payout"}}},
    };
    CtlDocuments documents(m_context, m_out, m_err, m_userName);
    for (const auto& kind : kinds) {
        for (const auto& [action, form] : kind.rights) {
            if (kind.count > 0 && !documents.actingUserMay(QString::fromLatin1(action), QString::fromLatin1(form))) {
                return 3;
            }
        }
    }
    // What would refuse the order forms is checked before the customers,
    // goods and quotations are written.
    if (orders > 0) {
        DemoOrders::requireCodeLists(m_context.data().main());
    }
    DemoData::fill(m_context, counts);
    m_out << QStringLiteral("客户 %1, 供应商 %2, 商品 %3").arg(counts.customers).arg(counts.suppliers).arg(counts.goods)
          << Qt::endl;
    if (quotations > 0) {
        const DemoQuotations::Made made = DemoQuotations::fill(m_context, quotations);
        m_out << QStringLiteral("订货单 %1, 明细 %2, 收据 %3, 收据明细 %4")
                     .arg(made.quotations)
                     .arg(made.lines)
                     .arg(made.receipts)
                     .arg(made.receiptLines)
              << Qt::endl;
    }
    if (orders > 0) {
        const DemoOrders::Made made = DemoOrders::fill(m_context, orders);
        m_out << QStringLiteral("订单 %1, 货品 %2, 工作单 %3, 出仓单 %4, 出货单 %5, 新客户 %6")
                     .arg(made.orders)
                     .arg(made.rows)
                     .arg(made.workForms)
                     .arg(made.wareOutForms)
                     .arg(made.shipmentForms)
                     .arg(made.customers)
              << Qt::endl;
    }
    if (payouts > 0) {
        const DemoPayouts::Made made = DemoPayouts::fill(m_context, payouts);
        m_out << QStringLiteral("支出 %1, 运输费 %2, 工资 %3, 日杂费 %4, 汇款 %5, 合计 %6")
                     .arg(made.payouts)
                     .arg(made.ofKind[0])
                     .arg(made.ofKind[1])
                     .arg(made.ofKind[2])
                     .arg(made.ofKind[3])
                     .arg(made.amount)
              << Qt::endl;
    }
    return 0;
}
