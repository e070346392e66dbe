#include "documents/payout_list.h"

#include <QSqlQuery>

#include <QDate>

#include "data/database.h"
#include "data/dataset.h"
#include "platform/prompter.h"

PayoutList::PayoutList(Database& db, Prompter& prompter, int kind)
    : m_db(db), m_prompter(prompter), m_kind(PayoutKind::of(kind)), m_rows(std::make_unique<Dataset>(db)) {}

PayoutList::~PayoutList() = default;

void PayoutList::open() {
    m_rows->setUpdateTable(QStringLiteral("payout"), {QStringLiteral("id")});
    if (m_kind.subject.isEmpty()) {
        m_rows->open(QStringLiteral("select * from payout"));
    } else {
        m_rows->open(QStringLiteral("select * from payout where subject=:subject"), {{"subject", m_kind.subject}});
    }
    m_rows->setDisplayFormat("paytime", "YYYY-MM-DD");
    m_rows->setCaption("paytime", QStringLiteral("发生日期"));
    // A payout has no number: messages name it by its day.
    m_rows->setRecordLabelField(QStringLiteral("paytime"));
    m_rows->setCaption("subject", QStringLiteral("支出类型"));
    m_rows->setCaption("totalprice", QStringLiteral("支出金额"));
    m_rows->setCaption("remark", QStringLiteral("支出备注"));
}

void PayoutList::refresh() {
    if (!m_rows->isOpen()) {
        open();
        return;
    }
    m_rows->refresh();
}

void PayoutList::addRow(const QDate& today) {
    m_rows->append();
    m_rows->setValue("paytime", today.startOfDay());
    if (!m_kind.subject.isEmpty()) {
        m_rows->setValue("subject", m_kind.subject);
    }
    m_rows->post();
    m_rows->setTag(1);
}

QStringList PayoutList::recentRemarks(int most) const {
    QVariantMap params;
    QString kind;
    if (!m_kind.subject.isEmpty()) {
        kind = QStringLiteral(" and subject=:subject");
        params.insert(QStringLiteral("subject"), m_kind.subject);
    }
    QSqlQuery q = m_db.query(QStringLiteral("select remark from payout where remark is not null and remark<>''%1 "
                                            "group by remark order by max(paytime) desc, max(id) desc limit %2")
                                 .arg(kind)
                                 .arg(most),
                             params);
    QStringList out;
    while (q.next()) {
        out << q.value(0).toString();
    }
    return out;
}

bool PayoutList::checkEditSelection(int selected) {
    return m_prompter.requireOneSelected(selected, QStringLiteral("请选择一条记录"),
                                         QStringLiteral("一次只能编辑一条记录"));
}

bool PayoutList::remove(const QVariantList& ids) {
    if (ids.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择要删除的记录"));
        return false;
    }
    if (!m_prompter.askYesNo(deleteQuestion())) {
        return false;
    }
    removeNow(ids);
    return true;
}

void PayoutList::removeNow(const QVariantList& ids) {
    if (ids.isEmpty()) {
        return;
    }
    QVariantMap params;
    const QString in = Database::bindList(QStringLiteral("id"), ids, &params);
    WriteTransaction tx(m_db);
    m_db.execute(QStringLiteral("delete from payout where id in(%1)").arg(in), params);
    tx.commit();
}
