#include "documents/order_form_list.h"

#include "data/database.h"
#include "data/dataset.h"
#include "data/derived_forms.h"
#include "data/order_form_revision.h"
#include "platform/prompter.h"

OrderFormList::OrderFormList(Database& db, Prompter& prompter)
    : m_db(db), m_prompter(prompter), m_rows(std::make_unique<Dataset>(db)) {
    // Every order of the book: on a server the newest show first, the rest
    // is read while the user works.
    m_rows->setReadInParts(kFirstRows);
}

OrderFormList::~OrderFormList() = default;

QString OrderFormList::listStatement() {
    return QStringLiteral(
               "select h.*,t.sum_price, %1 from Dusmere_Order_Form_head h left join (select Head_Code "
               ",sum(total_price) as sum_Price from Dusmere_Order_Form_Detail group by Head_Code) t on "
               "h.order_form_code=t.Head_Code")
        .arg(OrderFormRevision::orderNoteColumn(QStringLiteral("h")));
}

QString OrderFormList::serverListStatement() {
    // The same rows with each order's sum looked up by its code: the first
    // orders then come without the sums of all the others being made first.
    return QStringLiteral(
               "select h.*,(select sum(d.total_price) from Dusmere_Order_Form_Detail d where "
               "d.Head_Code=h.order_form_code) as sum_price, %1 from Dusmere_Order_Form_head h order by h.ID desc")
        .arg(OrderFormRevision::orderNoteColumn(QStringLiteral("h")));
}

void OrderFormList::open() {
    // The grid shows the newest order (the highest ID) first; a server
    // sends them in that order, so that its first part is what shows.
    m_rows->open(m_db.isAccess() ? listStatement() : serverListStatement());
    for (const char* f : {"sum_Price", "earnest", "preferential"}) {
        m_rows->setDisplayFormat(f, "0.00");
    }
    for (const char* f : {"Order_Date", "Send_Date", "Keyin_Date", "PayOver_Date"}) {
        m_rows->setDisplayFormat(f, "YYYY-MM-DD");
    }
}

void OrderFormList::refresh() {
    if (!m_rows->isOpen()) {
        open();
        return;
    }
    m_rows->refresh();
}

bool OrderFormList::remove(const QStringList& codes) {
    if (codes.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择收据"));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确定要删除吗？"))) {
        return false;
    }
    removeNow(codes);
    return true;
}

void OrderFormList::removeNow(const QStringList& codes) {
    if (codes.isEmpty()) {
        return;
    }
    QVariantMap params;
    QVariantList values;
    for (const QString& c : codes) {
        values.append(c);
    }
    const QString in = Database::bindList("c", values, &params);
    // The heads first: on a server their rows stay locked until the end, so
    // forms being made from one of these orders on another workstation are
    // either written before and deleted here, or find the order gone. The
    // work form rows go by the codes of these orders' work forms, before
    // those heads are deleted.
    WriteTransaction tx(m_db);
    m_db.execute(QStringLiteral("delete from Dusmere_Order_Form_head where Order_Form_Code in (%1)").arg(in), params);
    m_db.execute(QStringLiteral("delete from Dusmere_Order_Form_Detail where Head_Code in (%1)").arg(in), params);
    for (const DerivedFormTables& t : DerivedFormTables::all()) {
        m_db.execute(QStringLiteral("delete from %1 where %2 in (%3)").arg(t.rows, t.rowCode, t.headCodesOf(in)),
                     params);
        m_db.execute(QStringLiteral("delete from %1 where %2 in (%3)").arg(t.head, t.orderCode, in), params);
    }
    tx.commit();
}

bool OrderFormList::checkEditSelection(const QStringList& codes) {
    return m_prompter.requireOneSelected(codes.size(), QStringLiteral("请选择一份收据"),
                                         QStringLiteral("一次只能编辑一份收据"));
}

bool OrderFormList::checkPrintSelection(const QStringList& codes) {
    if (codes.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择订货单,可多选"));
        return false;
    }
    return true;
}
