#include "tools/ctl_orders.h"

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "data/schema_names.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_list.h"
#include "platform/errors.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_documents.h"
#include "tools/order_file.h"

namespace {
// The windows whose actions each command stands for.
const QString kListForm = QStringLiteral("frm_GainBill_list");
const QString kEditForm = QStringLiteral("frm_GainBill");
const QString kGoodsForm = QStringLiteral("Dusmere_Order_Form_GoodsEdit_Frm");

}  // namespace

CtlOrders::CtlOrders(CtlSession& session)
    : m_session(session),
      m_context(session.context()),
      m_out(session.out()),
      m_err(session.err()),
      m_prompter(session.prompter()) {}

bool CtlOrders::wellFormed(const QStringList& args) {
    if (args.isEmpty()) {
        return false;
    }
    const QString sub = args.first();
    if (sub == "new" || sub == "show" || sub == "delete") {
        return args.size() == 2;
    }
    if (sub != "generate") {
        return false;
    }
    CtlArguments a;
    return a.parse(args, {"--yes"}) && a.words().size() == 3 && DerivedFormTables::named(a.word(1)) != nullptr;
}

int CtlOrders::run(const QStringList& args) {
    const QString sub = args[0];
    if (sub == "new") {
        return newOrder(args[1]);
    }
    if (sub == "show") {
        return show(args[1]);
    }
    if (sub == "delete") {
        return remove(args[1]);
    }
    CtlArguments a;
    a.parse(args, {"--yes"});
    return generate(a.word(1), a.word(2), a.has("--yes"));
}

bool CtlOrders::allowed(const QList<std::pair<QString, QString>>& actions) {
    for (const auto& [action, form] : actions) {
        if (!m_session.actingUserMay(action, form)) {
            return false;
        }
    }
    return true;
}

void CtlOrders::requireOrder(const QString& code) {
    if (m_context.data()
            .main()
            .scalar("select count(*) from Dusmere_Order_Form_head where Order_Form_Code=:c", {{"c", code}})
            .toInt() == 0) {
        throw UserError(QStringLiteral("订货单[%1]不存在").arg(code));
    }
}

// The file's order is started, filled and saved as the windows do it, all
// in one transaction: a refused file leaves the book as it was, the
// counters of order numbers and goods codes included.
int CtlOrders::newOrder(const QString& path) {
    // Adding an order in the list, adding its goods and saving it are three
    // actions of the windows.
    if (!allowed({{"Action_Add", kListForm}, {"Action_AddGoods", kEditForm}, {"Action_Save", kEditForm}})) {
        return 3;
    }
    Database& db = m_context.data().main();
    const OrderFile file = OrderFile::read(path, TableSchema::columns(db, "Dusmere_Order_Form_head"),
                                           TableSchema::columns(db, "Dusmere_Order_Form_Detail"));
    // Each goods row is saved in the goods-row window: the last by 保存并退出,
    // each one before it by 增加下个商品, which saves it and starts the next.
    if (!file.rows().isEmpty() && !allowed({{"Action_SaveAndExit", kGoodsForm}})) {
        return 3;
    }
    if (file.rows().size() > 1 && !allowed({{"Action_AddGoods", kGoodsForm}})) {
        return 3;
    }
    // The document outlives the transaction, which hands its rows back to
    // it when it rolls back.
    OrderFormDocument doc(db, m_context.clock(), m_prompter, m_context.CurrentUser.UserName);
    WriteTransaction tx(db);
    doc.load(OrderFormDocument::New);
    if (!file.applyTo(doc, m_prompter) || !doc.save()) {
        m_session.flushMessages();
        return 1;
    }
    tx.commit();
    m_session.flushMessages();
    m_out << doc.code() << Qt::endl;
    return 0;
}

// The head as name=value lines, an empty line, then the goods rows under a
// header line of their column names.
int CtlOrders::show(const QString& code) {
    // The order as 编辑 of the list that 收据记录表 opens shows it.
    if (!allowed({{"Action1", "main_frm"}, {"Action_Edit", kListForm}})) {
        return 3;
    }
    requireOrder(code);
    OrderFormDocument doc(m_context.data().main(), m_context.clock(), m_prompter, m_context.CurrentUser.UserName);
    doc.load(OrderFormDocument::Existing, code);
    Dataset& head = doc.head();
    for (int c = 0; c < head.fields().size(); ++c) {
        const FieldDef& f = head.fields()[c];
        m_out << SchemaNames::inRelation(QStringLiteral("Dusmere_Order_Form_head"), f.name) << '='
              << CtlDocuments::escaped(CtlDocuments::plainText(f, head.value(0, c))) << '\n';
    }
    m_out << '\n';
    QStringList columns;
    for (const FieldDef& f : doc.rows().fields()) {
        columns.append(SchemaNames::inRelation(QStringLiteral("Dusmere_Order_Form_Detail"), f.name));
    }
    CtlDocuments::printRows(m_out, doc.rows(), columns);
    return 0;
}

int CtlOrders::remove(const QString& code) {
    if (!allowed({{"Action1_delete", kListForm}})) {
        return 3;
    }
    requireOrder(code);
    OrderFormList(m_context.data().main(), m_prompter).removeNow({code});
    m_session.flushMessages();
    return 0;
}

// The question whether to replace forms made before is answered by
// --yes: without it No, and nothing is written.
int CtlOrders::generate(const QString& kind, const QString& code, bool overwrite) {
    const DerivedFormTables* forms = DerivedFormTables::named(kind);
    if (!allowed({{forms->generateAction, kListForm}})) {
        return 3;
    }
    m_prompter.setNextAnswer(overwrite);
    OrderFormGenerator generator(m_context.data().main(), m_context.clock(), m_prompter,
                                 m_context.CurrentUser.UserName);
    const bool done = generator.create(forms->form, {code});
    const bool asked = m_prompter.pendingAnswers() == 0;
    if (done) {
        // "处理完毕,已成功生成…"
        m_out << m_prompter.lastText() << Qt::endl;
        m_prompter.clear();
        return 0;
    }
    m_session.flushMessages();
    if (asked && !overwrite) {
        m_err << QStringLiteral("未生成：已有的表单保持不变（要覆盖请加 --yes）") << Qt::endl;
    }
    return 1;
}
