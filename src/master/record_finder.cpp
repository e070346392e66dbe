#include "master/record_finder.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include "data/database.h"
#include "data/name_initials.h"
#include "data/sql_dialect.h"

RecordFinder::Setup RecordFinder::goods() {
    return {QStringLiteral("goods"),
            QStringLiteral("g"),
            QStringLiteral("code"),
            QStringLiteral("goods g left join unit u on u.unit_code=g.Goods_unit"),
            {QStringLiteral("g.code"), QStringLiteral("g.Goods_name"), QStringLiteral("g.Goods_size"),
             QStringLiteral("coalesce(u.Unit_name, g.Goods_unit)"), QStringLiteral("g.Default_price")},
            {QStringLiteral("g.Goods_name")}};
}

RecordFinder::Setup RecordFinder::customers() {
    return {QStringLiteral("Client"),
            QStringLiteral("c"),
            QStringLiteral("Corp_code"),
            QStringLiteral("Client c"),
            {QStringLiteral("c.Corp_code"), QStringLiteral("c.Linkman_name"), QStringLiteral("c.Corp_name"),
             QStringLiteral("c.Linkman_country"), QStringLiteral("c.LinkMan_Telephone")},
            {QStringLiteral("c.Linkman_name"), QStringLiteral("c.Corp_name"), QStringLiteral("c.LinkMan_Telephone"),
             QStringLiteral("c.LinkMan_mobile"), QStringLiteral("c.Linkman_foreign_telephone"),
             QStringLiteral("c.corp_Telephone")}};
}

RecordFinder::Setup RecordFinder::orderCustomers() {
    return {QStringLiteral("customer_provider"),
            QStringLiteral("c"),
            QStringLiteral("corp_code"),
            QStringLiteral("customer_provider c"),
            {QStringLiteral("c.corp_code"), QStringLiteral("c.Corp_name"), QStringLiteral("c.boss_name"),
             QStringLiteral("c.Corp_telephone"), QStringLiteral("c.Corp_address")},
            {QStringLiteral("c.Corp_name"), QStringLiteral("c.boss_name"), QStringLiteral("c.Corp_telephone"),
             QStringLiteral("c.Boss_mobile")}};
}

RecordFinder::RecordFinder(Database& db, Setup setup) : m_db(db), m_setup(std::move(setup)) {}

QList<QStringList> RecordFinder::find(const QString& typedText, int most) const {
    const QString text = typedText.trimmed();
    QList<QStringList> out;
    if (text.isEmpty() || most <= 0) {
        return out;
    }
    const QString code = m_setup.alias + '.' + m_setup.code;
    // One kind of match: its rows by code, those not found already, until
    // enough are found.
    // Each kind of match names its codes first, through the table's
    // indexes alone where it can; the rows shown are read once at the end.
    QStringList codes;
    QSet<QString> taken;
    const QString table = m_setup.table + ' ' + m_setup.alias;
    // A kind found by looking through every row (`scan`) reads the index
    // that holds the column and the code and sorts what it found: SQLite
    // would otherwise walk the codes in order and read each row, which is
    // quick when many match and slow when none does.
    const bool sqlite = m_db.dialect().kind() != SqlDialect::Kind::Postgres;
    auto take = [&](const QString& condition, const QVariantMap& params, bool scan = false) {
        if (codes.size() >= most) {
            return;
        }
        const QString order = scan && sqlite ? '+' + code : m_db.dialect().byteOrder(code);
        QSqlQuery q = m_db.query(QStringLiteral("select %1 from %2 where %3 order by %4 limit %5")
                                     .arg(code, table, condition, order)
                                     .arg(most),
                                 params);
        while (q.next() && codes.size() < most) {
            const QString found = q.value(0).toString();
            if (!taken.contains(found)) {
                taken.insert(found);
                codes.append(found);
            }
        }
    };

    // Codes are kept as typed; a clerk types them in either case.
    QStringList spellings{text};
    if (text.toUpper() != text) {
        spellings << text.toUpper();
    }
    {
        QVariantMap p;
        QStringList any;
        for (int i = 0; i < spellings.size(); ++i) {
            any << QStringLiteral("%1=:c%2").arg(code).arg(i);
            p.insert(QStringLiteral("c%1").arg(i), spellings[i]);
        }
        take(any.join(QStringLiteral(" or ")), p);
    }
    {
        QVariantMap p;
        QStringList any;
        for (int i = 0; i < spellings.size(); ++i) {
            any << NameInitials::prefixCondition(m_db, code, spellings[i], QStringLiteral("p%1").arg(i), p);
        }
        take(any.join(QStringLiteral(" or ")), p);
    }
    const QString initials = NameInitials::typed(text);
    if (!initials.isEmpty()) {
        QVariantMap p;
        const QString column = m_setup.alias + '.' + NameInitials::column();
        take(NameInitials::prefixCondition(m_db, column, initials, QStringLiteral("i"), p), p);
        take(column + QStringLiteral(" like :w"), {{"w", "% " + initials + '%'}}, true);
    }
    {
        // SQLite's LIKE ignores the case of Latin letters; a server's is
        // told to.
        const bool server = m_db.dialect().kind() == SqlDialect::Kind::Postgres;
        QStringList any;
        for (const QString& c : m_setup.contains) {
            any << (server ? QStringLiteral("lower(%1) like :t escape '!'") : QStringLiteral("%1 like :t escape '!'"))
                       .arg(c);
        }
        take(any.join(QStringLiteral(" or ")), {{"t", likeContainsPattern(server ? text.toLower() : text)}}, true);
    }
    if (codes.isEmpty()) {
        return out;
    }
    QVariantMap params;
    QStringList holders;
    for (int i = 0; i < codes.size(); ++i) {
        holders << QStringLiteral(":k%1").arg(i);
        params.insert(QStringLiteral("k%1").arg(i), codes[i]);
    }
    QSqlQuery q = m_db.query(QStringLiteral("select %1 from %2 where %3 in (%4)")
                                 .arg(m_setup.shown.join(','), m_setup.from, code, holders.join(',')),
                             params);
    QHash<QString, QStringList> rows;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < m_setup.shown.size(); ++i) {
            const bool price = m_setup.shown[i].endsWith(QLatin1String("price"), Qt::CaseInsensitive);
            row << (q.isNull(i) ? QString()
                    : price     ? QString::number(q.value(i).toDouble(), 'f', 2)
                                : q.value(i).toString());
        }
        rows.insert(row.first(), row);
    }
    for (const QString& c : codes) {
        if (rows.contains(c)) {
            out.append(rows.value(c));
        }
    }
    return out;
}
