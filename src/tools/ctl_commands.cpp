#include "tools/ctl_commands.h"

#include <QSqlQuery>

#include "admin/book_backup.h"
#include "admin/book_creator.h"
#include "admin/book_restore.h"
#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "data/numbering.h"
#include "data/permission_checker.h"
#include "data/setting_scrambler.h"
#include "data/user_accounts.h"
#include "demo/demo_data.h"
#include "demo/demo_orders.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "platform/errors.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_documents.h"
#include "tools/ctl_orders.h"
#include "tools/ctl_payouts.h"
#include "tools/ctl_prices.h"
#include "tools/ctl_records.h"
#include "tools/ctl_reports.h"

namespace {
const QString kUsageHead = QStringLiteral(
    "usage: olvendctl [--home DIR] [--today YYYY-MM-DD] [--book NAME] [--user NAME] COMMAND ...\n"
    "       olvendctl [--home DIR] --version\n");
}  // namespace

CtlCommands::CtlCommands(AppContext& context, QTextStream& out, QTextStream& err)
    : m_session(context, out, err), m_context(context), m_out(out), m_err(err) {}

// Every command: its name, its lines of the usage, and what runs it.
const QList<CtlCommands::Command>& CtlCommands::commands() {
    static const QList<Command> list{
        {QStringLiteral("init"),
         QStringLiteral("  init                              prepare an empty program folder\n"), &CtlCommands::init},
        {QStringLiteral("books"),
         QStringLiteral("  books                             list the account books (ID, name, file)\n"),
         &CtlCommands::books},
        {QStringLiteral("next-code"),
         QStringLiteral("  next-code TABLE FIELD [--propose] [--count N]\n"
                        "                                    issue the next code (or propose a code-list value)\n"),
         &CtlCommands::nextCode},
        {QStringLiteral("check-permission"),
         QStringLiteral("  check-permission USER ACTION FORM may USER run ACTION of window FORM\n"),
         &CtlCommands::checkPermission},
        {QStringLiteral("login"),
         QStringLiteral("  login USER PASSWORD               check a log-in against the book\n"), &CtlCommands::login},
        {QStringLiteral("create-book"),
         QStringLiteral("  create-book NAME --from BOOK [--description TEXT]\n"
                        "                                    a new account book copied from BOOK\n"),
         &CtlCommands::createBook},
        {QStringLiteral("import"),
         QStringLiteral(
             "  import customers|suppliers|goods|order-customers FILE [--group NAME|ID] [--check] [--create-classes]\n"
             "                                    the file's rows checked as the editors check them; refused rows\n"
             "                                    on stderr, the accepted written in one transaction (--check: none);\n"
             "                                    --create-classes: goods classes the file names by a path that does\n"
             "                                    not exist (门窗/五金) are made in that transaction\n"),
         &CtlCommands::importRecords},
        {QStringLiteral("export"),
         QStringLiteral(
             "  export customers|suppliers|goods|order-customers FILE\n"
             "                                    the records with the columns their list shows, to .xlsx or .csv\n"),
         &CtlCommands::exportRecords},
        {QStringLiteral("backup"),
         QStringLiteral(
             "  backup [BOOK] --out FILE          a copy of the book (default: the current one) taken while it\n"
             "                                    is in use, checked before it is written; prints its size\n"),
         &CtlCommands::backup},
        {QStringLiteral("restore"),
         QStringLiteral(
             "  restore [BOOK] --from FILE        replace the book's data by a backup's (checked first) in one\n"
             "                                    transaction; the book is first copied aside (the name is printed)\n"),
         &CtlCommands::backup},
        {QStringLiteral("report"),
         QStringLiteral(
             "  report TEMPLATE (--sql \"SELECT ...\" | --rows FILE.tsv) --out FILE\n"
             "                                    prepare a report and write it (.pdf .xlsx .htm .jpg .rmp)\n"),
         &CtlCommands::report},
        {QStringLiteral("render"), QStringLiteral("  render FILE.rmp --out FILE        convert a prepared report\n"),
         &CtlCommands::render},
        {QStringLiteral("print"),
         QStringLiteral(
             "  print quotation|warning|purchase BILLNO --out FILE\n"
             "                                    print a quotation: 订货单, its warning style or 采购单\n"
             "  print receipt RECEIPTNO --out FILE\n"
             "                                    print a receipt (收款收据)\n"
             "  print order CODE --out FILE       print an order form (收款收据); all write .pdf .xlsx .htm .jpg .rmp\n"
             "  print prices [CUSTOMER...] --out FILE\n"
             "                                    print customers' price sheets, one each (none: the standard "
             "sheet)\n"),
         &CtlCommands::print},
        {QStringLiteral("demo"),
         QStringLiteral(
             "  demo [--customers N] [--suppliers N] [--goods N] [--quotations N] [--orders N] [--payouts N]\n"
             "                                    fill the book with sample customers, suppliers, goods,\n"
             "                                    quotations with their receipts, order forms with their\n"
             "                                    work, ware-out and shipment forms, and payouts of the four kinds\n"),
         &CtlCommands::demo},
        {QStringLiteral("quotation"),
         QStringLiteral(
             "  quotation new FILE.json           save a quotation from a JSON file; prints its number\n"
             "  quotation show BILLNO             the quotation's row of the list as name=value lines\n"
             "  quotation delete BILLNO           delete a quotation with its lines and receipts\n"
             "  quotation state BILLNO 0|1        put a quotation and its receipts out of (0) or in (1) force\n"),
         &CtlCommands::documents},
        {QStringLiteral("receipts"),
         QStringLiteral(
             "  receipts BILLNO                   the quotation's receipts and receipt lines (made the first\n"
             "                                    time), tab-separated\n"),
         &CtlCommands::documents},
        {QStringLiteral("order"),
         QStringLiteral(
             "  order new FILE.json               save an order form from a JSON file; prints its code\n"
             "  order show CODE                   the order's head as name=value lines, an empty line, then its\n"
             "                                    goods rows, tab-separated under a header line\n"
             "  order delete CODE                 delete an order form with its goods rows and derived forms\n"
             "  order generate work|wareout|shipment CODE [--yes]\n"
             "                                    make the order's work, ware-out or shipment forms; forms made\n"
             "                                    before are replaced only with --yes\n"),
         &CtlCommands::orders},
        {QStringLiteral("payout"),
         QStringLiteral(
             "  payout add KIND DATE AMOUNT [--remark TEXT]\n"
             "                                    add a payout (KIND 0 运输费, 1 工资, 2 日杂费, 3 or 4 汇款, or\n"
             "                                    the name; DATE YYYY-MM-DD; AMOUNT whole units); prints its id\n"
             "  payout list KIND [--from D] [--to D]\n"
             "                                    the payouts of a kind, both days included, tab-separated\n"),
         &CtlCommands::payouts},
        {QStringLiteral("stats"),
         QStringLiteral(
             "  stats income|payout|profit [--from D] [--to D] [--kind K] [--remark R] --out FILE\n"
             "                                    income, payout or profit statistics (.pdf .xlsx .htm .jpg .rmp,\n"
             "                                    or .tsv: the rows the report is made from); --kind and\n"
             "                                    --remark filter payouts (全部: no filter; an empty remark:\n"
             "                                    payouts without one)\n"),
         &CtlCommands::payouts},
        {QStringLiteral("statement"),
         QStringLiteral(
             "  statement CUSTOMER... [--from D] [--to D] --out FILE\n"
             "                                    customers' statements (客户对账单), one each; a customer by code,\n"
             "                                    or by the name typed on quotations without a record (.pdf .xlsx\n"
             "                                    .htm .jpg .rmp, or .tsv: a line per quotation or receipt)\n"),
         &CtlCommands::statement},
        {QStringLiteral("receivables"),
         QStringLiteral(
             "  receivables [--as-of D] --out FILE\n"
             "                                    receivables by age (应收账款账龄) on a day (default today); .tsv:\n"
             "                                    a line per customer, the overpaid (预收/多收) apart and negative\n"),
         &CtlCommands::receivables},
        {QStringLiteral("prices"),
         QStringLiteral(
             "  prices show [CUSTOMER]            a customer's price table (none: the standard table) as\n"
             "                                    name=value lines; a customer's first opening makes its table\n"
             "  prices set [CUSTOMER] FIELD=VALUE...\n"
             "                                    change cells (whole numbers, empty clears) and remarks, then\n"
             "                                    save; nothing is written when any value is refused\n"
             "  prices reset CUSTOMER             the customer's table from the standard one\n"),
         &CtlCommands::prices},
        {QStringLiteral("unscramble"),
         QStringLiteral("  unscramble TEXT                   read a scrambled server setting\n"),
         &CtlCommands::scramble},
        {QStringLiteral("scramble"),
         QStringLiteral("  scramble TEXT                     write a server setting in scrambled form\n"),
         &CtlCommands::scramble},
        {QStringLiteral("use-server"),
         QStringLiteral("  use-server HOST PORT DATABASE USER [--password TEXT]\n"
                        "                                    keep the books on a PostgreSQL server from now on\n"),
         &CtlCommands::useServer},
    };
    return list;
}

const CtlCommands::Command* CtlCommands::find(const QString& name) {
    for (const Command& c : commands()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

QString CtlCommands::usage() {
    QString text = kUsageHead + QStringLiteral("commands:\n");
    for (const Command& c : commands()) {
        text += c.usage;
    }
    return text + QStringLiteral(
                      "--user NAME: whom quotation, receipts, order, payout, prices, print, statement, receivables, "
                      "import and export act as "
                      "(default: the last user logged in, else admin)\n");
}

QString CtlCommands::usage(const QString& command) {
    const Command* c = find(command);
    return c ? kUsageHead + c->usage : usage();
}

int CtlCommands::run(const QStringList& arguments, const QString& bookName) {
    const QString command = arguments.value(0);
    const Command* entry = find(command);
    if (!entry) {
        m_err << usage();
        return 2;
    }
    m_session.setBookName(bookName);
    try {
        // Lets a test see the boundary meet an allocation that fails.
        if (qEnvironmentVariable("OLVENDCTL_TEST_FAIL_ALLOCATION") == command) {
            throw std::bad_alloc();
        }
        const int code = (this->*entry->handler)(command, arguments.mid(1));
        if (code == CtlSession::kWrongUse) {
            m_err << usage(command);
            return 2;
        }
        return code;
    } catch (const std::bad_alloc&) {
        m_err << outOfMemoryText() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        // The one boundary of every command: what the logic said before it
        // stopped, then the failure, on stderr; exit code 1.
        m_session.flushMessages();
        m_err << userTextOf(e) << Qt::endl;
        return 1;
    } catch (...) {
        m_err << QStringLiteral("操作失败：程序内部错误") << Qt::endl;
        return 1;
    }
}

QString CtlCommands::outOfMemoryText() {
    return QStringLiteral("内存不足，命令没有完成");
}

int CtlCommands::init(const QString&, const QStringList& args) {
    if (!args.isEmpty()) {
        return CtlSession::kWrongUse;
    }
    if (!FirstStart::run(m_context)) {
        m_out << QStringLiteral("程序目录已经初始化: %1").arg(m_context.paths().programFolder()) << Qt::endl;
        return 0;
    }
    m_out << QStringLiteral("已初始化: %1").arg(m_context.SettingsFile.readString("db", "path")) << Qt::endl;
    return 0;
}

int CtlCommands::books(const QString&, const QStringList& args) {
    if (!args.isEmpty()) {
        return CtlSession::kWrongUse;
    }
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    for (const AccountBookRow& row : AccountBooks(m_context.data().openSystem()).offered()) {
        m_out << row.ID << '\t' << row.AccountBookName << '\t' << row.FilePath << Qt::endl;
    }
    return 0;
}

int CtlCommands::nextCode(const QString&, const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {"--propose"}, {"--count"}) || a.words().size() != 2) {
        return CtlSession::kWrongUse;
    }
    const bool propose = a.has("--propose");
    const QStringList& names = a.words();
    const int count = a.has("--count") ? a.value("--count").toInt() : 1;
    if (count < 1) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    // A code issued outside its window is a right of olvendctl's own (no
    // window gives it): a counter moved on leaves a gap in the numbers.
    if (!m_session.actingUserMay(QStringLiteral("Action_IssueCode"), QStringLiteral("olvendctl"))) {
        return 3;
    }
    Numbering numbering(m_context.data().main(), m_context.clock());
    for (int i = 0; i < count; ++i) {
        m_out << numbering.GetAutoIncrementID(names[0], names[1], propose) << Qt::endl;
    }
    return 0;
}

int CtlCommands::checkPermission(const QString&, const QStringList& args) {
    if (args.size() != 3) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    Database& db = m_context.data().main();
    QSqlQuery q = db.query("select user_name, password, User_Group from sys_user where user_name=:user_name",
                           {{"user_name", args[0]}});
    if (!q.next()) {
        throw UserError(QStringLiteral("找不到用户: %1").arg(args[0]));
    }
    UserRecord user{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    PermissionChecker checker(db, user);
    if (!checker.isAllowed(args[1], args[2])) {
        m_err << PermissionChecker::refusalText() << Qt::endl;
        return 3;
    }
    m_out << "allowed" << Qt::endl;
    return 0;
}

int CtlCommands::login(const QString&, const QStringList& args) {
    if (args.size() != 2) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    const auto user = UserAccounts::verifyLogin(m_context.data().main(), args[0], args[1]);
    if (!user) {
        throw UserError(QStringLiteral("密码错误,请重新输入密码"));
    }
    m_out << "ok" << Qt::endl;
    return 0;
}

int CtlCommands::scramble(const QString& command, const QStringList& args) {
    if (args.size() != 1) {
        return CtlSession::kWrongUse;
    }
    m_out << (command == "scramble" ? ScrambleSetting(args[0]) : UnscrambleSetting(args[0])) << Qt::endl;
    return 0;
}

int CtlCommands::useServer(const QString&, const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--password"}) || a.words().size() != 4) {
        return CtlSession::kWrongUse;
    }
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    bool isNumber = false;
    const int port = a.word(1).toInt(&isNumber);
    if (!isNumber || port < 1 || port > 65535) {
        throw UserError(QStringLiteral("端口必须是 1 到 65535 之间的数字: %1").arg(a.word(1)));
    }
    if (a.word(0).trimmed().isEmpty() || a.word(2).trimmed().isEmpty() || a.word(3).trimmed().isEmpty()) {
        throw UserError(QStringLiteral("服务器、数据库和用户名都不能为空"));
    }
    // Written here, scrambled as the program reads them: a scrambled text
    // may hold characters that do not survive being copied from a terminal.
    // Without --password the one kept stays.
    QList<std::pair<const char*, QString>> scrambled{{"Database", ScrambleSetting(a.word(2))},
                                                     {"Username", ScrambleSetting(a.word(3))}};
    if (a.has("--password")) {
        scrambled.append({"password", ScrambleSetting(a.value("--password"))});
    }
    for (const auto& [key, text] : scrambled) {
        // A line break would split the setting's line in two.
        if (text.contains('\n') || text.contains('\r') || text.contains(QChar(0))) {
            throw UserError(QStringLiteral("设置[%1]的值无法写入config.ini，请换一个").arg(QString::fromLatin1(key)));
        }
    }
    IniFile& ini = m_context.SettingsFile;
    ini.setString("SYS_Setting", "DBType", "POSTGRESQL");
    ini.setString("SQL_SERVER", "server", a.word(0).trimmed());
    ini.setString("SQL_SERVER", "port", QString::number(port));
    for (const auto& [key, text] : scrambled) {
        ini.setString("SQL_SERVER", QString::fromLatin1(key), text);
    }
    ini.save();
    m_out << QStringLiteral("已设置数据库服务器: %1@%2:%3/%4").arg(a.word(3), a.word(0)).arg(port).arg(a.word(2))
          << Qt::endl;
    return 0;
}

int CtlCommands::backup(const QString& command, const QStringList& args) {
    const QString fileOption = command == "backup" ? QStringLiteral("--out") : QStringLiteral("--from");
    CtlArguments a;
    if (!a.parse(args, {}, {fileOption}) || a.words().size() > 1 || (a.words().size() == 1 && a.word(0).isEmpty())) {
        return CtlSession::kWrongUse;
    }
    const QString book = a.words().isEmpty() ? m_session.bookName() : a.word(0);
    const QString outFile = a.value(fileOption);
    if (outFile.isEmpty()) {
        return CtlSession::kWrongUse;  // the command's usage line names the file option
    }
    m_session.openBook(book);
    // The rights of 备份账本 and 恢复账本 in the main window.
    const QString action =
        command == "restore" ? QStringLiteral("Action_RestoreBook") : QStringLiteral("Action_BackupBook");
    if (!m_session.actingUserMay(action, QStringLiteral("main_frm"))) {
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

int CtlCommands::createBook(const QString&, const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--from", "--description"}) || a.words().size() != 1 || a.value("--from").isEmpty()) {
        return CtlSession::kWrongUse;
    }
    const QString name = a.word(0);
    const QString from = a.value("--from");
    const QString description = a.has("--description") ? a.value("--description") : BookCreator::defaultDescription();
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    // The source book is the current one, so that its counter names the new
    // file, as in the log-in dialog.
    m_session.openBook(from);
    const auto source = AccountBooks(m_context.data().system()).findByName(from);
    const AccountBookRow row = BookCreator(m_context).create(name, description, source ? &*source : nullptr);
    m_out << row.ID << '\t' << row.AccountBookName << '\t' << row.FilePath << Qt::endl;
    return 0;
}

int CtlCommands::demo(const QString&, const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--customers", "--suppliers", "--goods", "--quotations", "--orders", "--payouts"}) ||
        !a.words().isEmpty()) {
        return CtlSession::kWrongUse;
    }
    // Each count a whole number from 0 to ten million; absent is none.
    bool wellFormed = true;
    auto count = [&](const char* option) {
        if (!a.has(QLatin1String(option))) {
            return 0;
        }
        bool ok = false;
        const int n = a.value(QLatin1String(option)).toInt(&ok);
        wellFormed = wellFormed && ok && n >= 0 && n <= 10'000'000;
        return n;
    };
    DemoData::Counts counts;
    counts.customers = count("--customers");
    counts.suppliers = count("--suppliers");
    counts.goods = count("--goods");
    const int quotations = count("--quotations");
    const int orders = count("--orders");
    const int payouts = count("--payouts");
    if (!wellFormed) {
        return CtlSession::kWrongUse;
    }
    // The system's messages go to stderr, as for the other commands of the
    // book's documents.
    return fillDemo(counts, quotations, orders, payouts);
}

int CtlCommands::fillDemo(const DemoData::Counts& counts, int quotations, int orders, int payouts) {
    m_session.openBook();
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
    for (const auto& kind : kinds) {
        for (const auto& [action, form] : kind.rights) {
            if (kind.count > 0 && !m_session.actingUserMay(QString::fromLatin1(action), QString::fromLatin1(form))) {
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

int CtlCommands::documents(const QString& command, const QStringList& args) {
    if (!CtlDocuments::wellFormed(command, args)) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    return CtlDocuments(m_session).run(command, args);
}

int CtlCommands::orders(const QString&, const QStringList& args) {
    if (!CtlOrders::wellFormed(args)) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    return CtlOrders(m_session).run(args);
}

int CtlCommands::payouts(const QString& command, const QStringList& args) {
    if (!CtlPayouts::wellFormed(command, args)) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    return CtlPayouts(m_session).run(command, args);
}

int CtlCommands::prices(const QString&, const QStringList& args) {
    if (!CtlPrices::wellFormed(args)) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    return CtlPrices(m_session).run(args);
}

int CtlCommands::importRecords(const QString&, const QStringList& args) {
    return CtlRecords(m_session).importRecords(args);
}

int CtlCommands::exportRecords(const QString&, const QStringList& args) {
    return CtlRecords(m_session).exportRecords(args);
}

int CtlCommands::report(const QString&, const QStringList& args) {
    return CtlReports(m_session).report(args);
}

int CtlCommands::statement(const QString&, const QStringList& args) {
    return CtlReports(m_session).statement(args);
}

int CtlCommands::receivables(const QString&, const QStringList& args) {
    return CtlReports(m_session).receivables(args);
}

int CtlCommands::render(const QString&, const QStringList& args) {
    return CtlReports(m_session).render(args);
}

int CtlCommands::print(const QString&, const QStringList& args) {
    return CtlReports(m_session).print(args);
}
