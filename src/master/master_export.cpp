#include "master/master_export.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"
#include "data/field_def.h"
#include "data/lookup_list.h"
#include "master/goods_catalog.h"
#include "platform/spreadsheet_writer.h"

QList<MasterColumn> MasterExport::columns(MasterKind kind, bool seesCost) {
    QList<MasterColumn> out;
    for (const MasterColumn& c : MasterColumns::listed(kind)) {
        if (!c.cost || seesCost) {
            out << c;
        }
    }
    // The class a goods is in, by name, so that a file taken to another
    // book puts each goods back into its class.
    if (kind == MasterKind::Goods) {
        out << MasterColumn{QStringLiteral("Goods_class"), QStringLiteral("商品分类"), 90,
                            MasterColumn::Shows::ClassName};
    }
    return out;
}

QList<QVariantList> MasterExport::rows(MasterKind kind, bool seesCost, const QList<qint64>& ids) {
    const QList<MasterColumn> cols = columns(kind, seesCost);
    LookupList units;
    LookupList suppliers;
    if (kind == MasterKind::Goods) {
        units.load(m_db, GoodsCatalog::unitLookupSql());
        suppliers.load(m_db, GoodsCatalog::supplierLookupSql());
    }
    // A class by its path below the top class ("门窗/五金"), which an import
    // finds again, or makes, in another book; the top class by its name.
    QHash<qint64, QString> classNames;
    if (kind == MasterKind::Goods) {
        QHash<qint64, QPair<QString, qint64>> classes;  // id -> name, parent
        QSqlQuery q = m_db.query(QStringLiteral("select id, Class_name, Parent_id from goods_group"));
        while (q.next()) {
            classes.insert(q.value(0).toLongLong(), {q.value(1).toString(), q.value(2).toLongLong()});
        }
        for (auto it = classes.cbegin(); it != classes.cend(); ++it) {
            QStringList path{it.value().first};
            qint64 parent = it.value().second;
            // Up to the top class, whose name is left out; a loop ends it.
            for (int depth = 0; classes.contains(parent) && classes.value(parent).second != -1 && depth < 100;
                 ++depth) {
                path.prepend(classes.value(parent).first);
                parent = classes.value(parent).second;
            }
            classNames.insert(it.key(), path.join('/'));
        }
    }
    // Each field read once (the customers show one telephone twice); `at`
    // is each column's place in the statement.
    QStringList fields;
    QList<int> at;
    for (const MasterColumn& c : cols) {
        int i = 0;
        while (i < fields.size() && fields[i].compare(c.field, Qt::CaseInsensitive) != 0) {
            ++i;
        }
        if (i == fields.size()) {
            fields << Database::checkIdentifier(c.field);
        }
        at << 1 + i;
    }
    const QString idField = kind == MasterKind::Goods ? QStringLiteral("id") : QStringLiteral("ID");
    QSqlQuery q = m_db.query(QStringLiteral("select %1, %2 from %3 order by %4")
                                 .arg(idField, fields.join(QStringLiteral(", ")), MasterColumns::table(kind),
                                      MasterColumns::codeField(kind)));
    QHash<qint64, QVariantList> byId;
    QList<QVariantList> inCodeOrder;
    FieldDef date;
    date.type = FieldDef::Type::DateTime;
    while (q.next()) {
        QVariantList row;
        for (int k = 0; k < cols.size(); ++k) {
            const MasterColumn& c = cols[k];
            const QVariant v = q.value(at[k]);
            switch (c.shows) {
                case MasterColumn::Shows::UnitName:
                    row << (v.isNull() ? QVariant() : QVariant(units.contains(v) ? units.text(v) : v.toString()));
                    break;
                case MasterColumn::Shows::SupplierName:
                    row << (v.isNull() ? QVariant()
                                       : QVariant(suppliers.contains(v) ? suppliers.text(v) : v.toString()));
                    break;
                case MasterColumn::Shows::Number:
                    row << (v.isNull() || v.toString().isEmpty() ? QVariant() : QVariant(v.toDouble()));
                    break;
                case MasterColumn::Shows::Date: {
                    const QDateTime d = date.normalize(v).toDateTime();
                    row << (d.isValid() ? QVariant(d.date()) : QVariant());
                    break;
                }
                case MasterColumn::Shows::ClassName:
                    row << (v.isNull() ? QVariant() : QVariant(classNames.value(v.toLongLong())));
                    break;
                case MasterColumn::Shows::Text:
                    row << (v.isNull() ? QVariant() : QVariant(v.toString()));
                    break;
            }
        }
        if (ids.isEmpty()) {
            inCodeOrder << row;
        } else {
            byId.insert(q.value(0).toLongLong(), row);
        }
    }
    if (ids.isEmpty()) {
        return inCodeOrder;
    }
    QList<QVariantList> out;
    for (const qint64 id : ids) {
        const auto it = byId.constFind(id);
        if (it != byId.constEnd()) {
            out << it.value();
        }
    }
    return out;
}

int MasterExport::write(MasterKind kind, const QString& file, bool seesCost, const QList<qint64>& ids) {
    QStringList header;
    QList<SpreadsheetWriter::Column> layout;
    for (const MasterColumn& c : columns(kind, seesCost)) {
        header << c.caption;
        // As wide as the list shows it; texts (codes, telephones, names)
        // kept as texts by whatever spreadsheet opens the file.
        layout << SpreadsheetWriter::Column{
            c.width, c.shows != MasterColumn::Shows::Number && c.shows != MasterColumn::Shows::Date};
    }
    const QList<QVariantList> data = rows(kind, seesCost, ids);
    SpreadsheetWriter::write(file, header, data, MasterColumns::recordWord(kind), layout);
    return int(data.size());
}
