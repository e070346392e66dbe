#include "tools/ctl_documents.h"

#include <algorithm>

#include <QSqlQuery>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "data/permission_checker.h"
#include "data/schema_names.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "documents/receipt_book.h"
#include "platform/errors.h"
#include "reports/engine/report_rows.h"
#include "tools/ctl_session.h"
#include "tools/quotation_file.h"

namespace {
// The windows whose actions each command stands for.
const QString kListForm = QStringLiteral("Form_Quotation_List");
const QString kEditForm = QStringLiteral("Form_Quotation_Edit");
}  // namespace

CtlDocuments::CtlDocuments(CtlSession& session)
    : m_session(session), m_context(session.context()), m_out(session.out()), m_prompter(session.prompter()) {}

bool CtlDocuments::wellFormed(const QString& command, const QStringList& args) {
    if (command == "receipts") {
        return args.size() == 1;
    }
    if (command != "quotation" || args.isEmpty()) {
        return false;
    }
    const QString sub = args.first();
    if (sub == "new" || sub == "show" || sub == "delete") {
        return args.size() == 2;
    }
    return sub == "state" && args.size() == 3 && (args[2] == "0" || args[2] == "1");
}

int CtlDocuments::run(const QString& command, const QStringList& args) {
    if (command == "receipts") {
        return receipts(args[0]);
    }
    const QString sub = args[0];
    if (sub == "new") {
        return newQuotation(args[1]);
    }
    if (sub == "show") {
        return showQuotation(args[1]);
    }
    if (sub == "delete") {
        return deleteQuotation(args[1]);
    }
    return setState(args[1], args[2]);
}

void CtlDocuments::requireQuotation(const QString& billNo) {
    if (m_context.data()
            .main()
            .scalar("select count(*) from Quotation_Head where BillNo=:b", {{"b", billNo}})
            .toInt() == 0) {
        throw UserError(QStringLiteral("订货单[%1]不存在").arg(billNo));
    }
}

// The file's quotation is started, filled and saved as the editor does it,
// all in one transaction: a refused file leaves the book as it was, the
// number counter included.
int CtlDocuments::newQuotation(const QString& path) {
    m_session.becomeActingUser();
    // Starting a quotation, adding its goods and saving it are three
    // actions of the windows.
    if (!m_session.allowed("Action_Add", kListForm) || !m_session.allowed("Action_AddGoods", kEditForm) ||
        !m_session.allowed("Action_Save", kEditForm)) {
        return 3;
    }
    Database& db = m_context.data().main();
    const QuotationFile file = QuotationFile::read(path, TableSchema::columns(db, "Quotation_Head"));
    // A purchase price is what the goods cost: only those who may see it
    // may give it.
    const bool givesCost = std::any_of(file.lines().cbegin(), file.lines().cend(), [](const QuotationFile::Line& l) {
        return std::any_of(l.fields.cbegin(), l.fields.cend(), [](const auto& field) {
            return field.first.compare(QLatin1String("purchase_Price"), Qt::CaseInsensitive) == 0;
        });
    });
    if (givesCost && !m_session.allowed(CostProfitRight::actionName(), CostProfitRight::formName())) {
        return 3;
    }
    // The document outlives the transaction, which hands its rows back to
    // it when it rolls back.
    QuotationDocument doc(db, m_context.clock(), m_prompter, m_context.CurrentUser.UserName);
    WriteTransaction tx(db);
    doc.load(QuotationDocument::New);
    if (!file.applyTo(doc) || !doc.save()) {
        m_session.flushMessages();
        return 1;
    }
    tx.commit();
    m_session.flushMessages();
    m_out << doc.billNo() << Qt::endl;
    return 0;
}

int CtlDocuments::showQuotation(const QString& billNo) {
    m_session.becomeActingUser();
    // The quotation's row of the list that 订货单管理 opens.
    if (!m_session.allowed("Action21", "main_frm")) {
        return 3;
    }
    // The costs and profits only for those with the right to see them;
    // for the others they are left out, not shown empty.
    Database& db = m_context.data().main();
    PermissionChecker permissions(db, m_context.CurrentUser);
    const QString columns =
        CostProfitRight::heldBy(permissions) ? QStringLiteral("*") : CostProfitRight::quotationColumnsWithoutCost(db);
    Dataset row(db);
    row.open(QStringLiteral("select %1 from Query_Quotation_Head_list where BillNo=:b").arg(columns), {{"b", billNo}});
    if (row.isEmpty()) {
        throw UserError(QStringLiteral("订货单[%1]不存在").arg(billNo));
    }
    for (int c = 0; c < row.fields().size(); ++c) {
        const FieldDef& f = row.fields()[c];
        m_out << SchemaNames::inRelation(QStringLiteral("Query_Quotation_Head_list"), f.name) << '='
              << escaped(plainText(f, row.value(0, c))) << '\n';
    }
    m_out.flush();
    return 0;
}

int CtlDocuments::deleteQuotation(const QString& billNo) {
    m_session.becomeActingUser();
    if (!m_session.allowed("Action1_delete", kListForm)) {
        return 3;
    }
    requireQuotation(billNo);
    QuotationList(m_context.data().main(), m_prompter).removeNow({billNo});
    return m_session.flushMessages() ? 1 : 0;
}

int CtlDocuments::setState(const QString& billNo, const QString& state) {
    m_session.becomeActingUser();
    // 单据生效 and 单据失效 of the list.
    if (!m_session.allowed(state == "1" ? "Action5" : "Action6", kListForm)) {
        return 3;
    }
    requireQuotation(billNo);
    const bool done = QuotationList(m_context.data().main(), m_prompter).setInForce(billNo, state == "1");
    return m_session.flushMessages() || !done ? 1 : 0;
}

int CtlDocuments::receipts(const QString& billNo) {
    m_session.becomeActingUser();
    // 收据 of the list opens the receipts, which makes the deposit receipt
    // and the lines the first time.
    if (!m_session.allowed("Action1", kListForm)) {
        return 3;
    }
    ReceiptBook book(m_context.data().main(), m_context.clock(), m_prompter, m_context.CurrentUser.UserName);
    book.open(billNo);
    if (m_session.flushMessages()) {
        return 1;
    }
    printRows(m_out, book.receipts(), {"BillNo", "BillType", "TotalPrice", "keyin_User", "keyin_Date", "remark"});
    printRows(m_out, book.lines(),
              {"GoodsClassName", "GoodsClassSize", "GoodsClassUnit", "QTY", "Price", "Total_Price"});
    return 0;
}

void CtlDocuments::printRows(QTextStream& out, Dataset& rows, const QStringList& columns) {
    out << columns.join('\t') << '\n';
    QList<int> indexes;
    for (const QString& name : columns) {
        const int c = rows.fieldIndex(name);
        if (c < 0) {
            throw UserError(QStringLiteral("[%1]中没有字段[%2]").arg(rows.updateTable(), name));
        }
        indexes.append(c);
    }
    for (int r = 0; r < rows.rowCount(); ++r) {
        QStringList cells;
        for (int c : indexes) {
            cells.append(escaped(plainText(rows.fields()[c], rows.value(r, c))));
        }
        out << cells.join('\t') << '\n';
    }
    out.flush();
}

QString CtlDocuments::escaped(const QString& text) {
    return ReportRows::tsvEscaped(text);
}

QString CtlDocuments::plainText(const FieldDef& field, const QVariant& value) {
    FieldDef plain = field;
    plain.displayFormat.clear();  // no thousands separators, dates in full
    return plain.displayText(value);
}
