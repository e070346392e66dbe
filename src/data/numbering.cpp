#include "data/numbering.h"

#include <optional>

#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>

#include "data/database.h"
#include "platform/clock.h"
#include "platform/errors.h"

namespace {
constexpr int kCorpCodeMax = 99999;
constexpr qlonglong kWrappingMax = 999999;

QString notDefinedInDatabase(const QString& t, const QString& f) {
    return QStringLiteral("字段[%1.%2]的数据库中的自增值没有定义").arg(t, f);
}
QString noRule(const QString& t, const QString& f) {
    return QStringLiteral("字段[%1.%2]的自增值函数没有定义").arg(t, f);
}
QString exhausted(const QString& t, const QString& f, const QString& last) {
    return QStringLiteral("字段[%1.%2]的编号已用完(最后编号 %3)，不能再生成新的编号").arg(t, f, last);
}
qlonglong toInteger(const QString& digits) {
    static const QRegularExpression re("^[0-9]+$");
    if (!re.match(digits).hasMatch() || digits.size() > 18) {
        throw UserError(QStringLiteral("'%1' 不是有效的整数").arg(digits));
    }
    return digits.toLongLong();
}
}  // namespace

Numbering::Numbering(Database& db, const Clock& clock) : m_db(db), m_clock(clock) {}

const Numbering::Rule* Numbering::findRule(const QString& table, const QString& field) {
    static const Rule rules[] = {
        {"receipt_head", "billno", RuleKind::Daily, "AA", 4},
        {"quotation_head", "billno", RuleKind::Daily, "BJ", 4},
        {"dusmere_order_form_head", "order_form_code", RuleKind::Daily, "AA", 4},
        {"ware_out_bill_head", "bill_auto_no", RuleKind::Daily, "CK", 4},
        {"exchange_bill_head", "bill_auto_no", RuleKind::Daily, "DB", 4},
        {"modify_price_head", "bill_auto_no", RuleKind::Daily, "DJ", 4},
        {"check_bill_head", "bill_auto_no", RuleKind::Daily, "PD", 4},
        {"dusmere_shipment_form_head", "shipment_form_code", RuleKind::Daily, "", 4},
        {"dusmere_ware_out_form_head", "ware_out_form_code", RuleKind::Daily, "", 4},
        {"dusmere_work_form_head", "work_form_code", RuleKind::Daily, "", 4},
        {"customer_provider", "corp_code", RuleKind::CorpCode, "", 5},
        {"dusmere_order_form_detail", "goods_code", RuleKind::Wrapping, "", 0},
        {"unit", "unit_code", RuleKind::Running, "UN", 3},
        {"goods", "code", RuleKind::Running, "SP", 8},
        {"accountbook", "databasename", RuleKind::Running, "UserAccountBook", 3},
    };
    for (const Rule& r : rules) {
        if (table == QLatin1String(r.table) && field == QLatin1String(r.field)) {
            return &r;
        }
    }
    return nullptr;
}

QString Numbering::IncrementPadded(const QString& Digits, int Width) {
    const QString next = QString::number(toInteger(Digits) + 1);
    if (next.size() >= Width) {
        return next;
    }
    return QString(Width - next.size(), '0') + next;
}

QString Numbering::GetAutoIncrementID(const QString& TableName, const QString& FieldName, bool CodeListMode) {
    const QString table = TableName.toLower();
    const QString field = FieldName.toLower();
    const Rule* rule = findRule(table, field);
    const QString select =
        QStringLiteral("select CurrID from Sys_ID_Autoincrement where tablename=:tablename and fieldname=:fieldname");
    const QVariantMap keys{{"tablename", table}, {"fieldname", field}};

    if (CodeListMode) {
        // A proposal only: nothing is locked or written.
        QSqlQuery q = m_db.query(select, keys);
        const QString stored = q.next() ? q.value(0).toString() : QString();
        QString result = codeListValue(TableName, FieldName);
        if (rule) {
            result = nextCode(*rule, stored, TableName, FieldName);
        }
        return result;
    }

    // Inside a caller's write the number is part of that write: its failure
    // undoes the caller's write anyway, and a savepoint of its own would
    // cost two more round trips to a server.
    std::optional<WriteTransaction> tx;
    if (m_db.transactionDepth() == 0) {
        tx.emplace(m_db);
    }
    const std::shared_ptr<QSqlQuery> qStatement = m_db.prepared(select + m_db.dialect().lockRowsSuffix());
    QSqlQuery& q = *qStatement;
    m_db.run(q, keys);
    if (!q.next()) {
        q.finish();
        throw UserError(notDefinedInDatabase(TableName, FieldName));
    }
    const QString stored = q.value(0).toString();
    q.finish();
    if (!rule) {
        throw UserError(noRule(TableName, FieldName));
    }
    const QString result = nextCode(*rule, stored, TableName, FieldName);
    // The row is locked: the update goes with the caller's next statement.
    m_db.executeWithNext(
        "update Sys_ID_Autoincrement set CurrID=:CurrID  where tablename=:tablename and fieldname=:fieldname",
        {{"CurrID", result}, {"tablename", table}, {"fieldname", field}});
    if (tx) {
        tx->commit();
    }
    return result;
}

QString Numbering::codeListValue(const QString& table, const QString& field) {
    const QVariant max = m_db.scalar(
        "select max(cast(d.StatusValue as integer)) as  MaxValue from Sys_Status_Describe d , Sys_Status_Describe_head "
        "h  "
        "where  d.paramentName=h.paramentName and h.TableName=:TableName and h.FieldName=:FieldName",
        {{"TableName", table}, {"FieldName", field}});
    const QString text = max.isNull() ? QString() : max.toString();
    return QString::number(toInteger(text.isEmpty() ? QStringLiteral("0") : text) + 1);
}

QString Numbering::nextCode(const Rule& rule, const QString& stored, const QString& table, const QString& field) {
    const QString prefix = QString::fromLatin1(rule.prefix);
    switch (rule.kind) {
        case RuleKind::Daily: {
            const QString today = m_clock.today().toString("yyMMdd");
            const QString datePart = stored.mid(prefix.size(), 6);
            if (datePart != today) {
                return prefix + today + QStringLiteral("0001");
            }
            const QString counter = IncrementPadded(stored.mid(prefix.size() + 6, rule.width), rule.width);
            if (counter.size() > rule.width) {
                throw UserError(exhausted(table, field, stored));
            }
            return prefix + datePart + counter;
        }
        case RuleKind::Running: {
            const QString counter = IncrementPadded(stored.mid(prefix.size(), rule.width), rule.width);
            if (counter.size() > rule.width) {
                throw UserError(exhausted(table, field, stored));
            }
            return prefix + counter;
        }
        case RuleKind::Wrapping: {
            qlonglong n = toInteger(stored) + 1;
            if (n > kWrappingMax) {
                n = 1;
            }
            return QString::number(n);
        }
        case RuleKind::CorpCode:
            return nextCorpCode(stored, table, field);
    }
    return {};
}

// Customer and supplier codes run from 00001 to 99999 and then start again
// at the bottom. Since other tables refer to customers and suppliers by
// code, a code still held by a customer or supplier is passed over; when all
// are taken the request is refused.
QString Numbering::nextCorpCode(const QString& stored, const QString& table, const QString& field) {
    qlonglong n = toInteger(stored) + 1;
    if (n > kCorpCodeMax) {
        n = 1;
    }
    auto format = [](qlonglong v) { return QStringLiteral("%1").arg(v, 5, 10, QChar('0')); };
    const QString usedSql = QStringLiteral(
        "select corp_code from Client where corp_code=:c union all select corp_code from Provider where corp_code=:c "
        "union all select corp_code from customer_provider where corp_code=:c");
    if (!m_db.query(usedSql, {{"c", format(n)}}).next()) {
        return format(n);
    }
    QSet<QString> used;
    QSqlQuery all = m_db.query(
        "select corp_code from Client union select corp_code from Provider union select corp_code from "
        "customer_provider");
    while (all.next()) {
        used.insert(all.value(0).toString());
    }
    for (int tries = 0; tries < kCorpCodeMax; ++tries) {
        if (!used.contains(format(n))) {
            return format(n);
        }
        n = n >= kCorpCodeMax ? 1 : n + 1;
    }
    throw UserError(exhausted(table, field, stored));
}
