#include "data/dataset_reader.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"
#include "data/sqlite_parallel_reader.h"
#include "data/sqlite_row_reader.h"

namespace {
FieldDef guessField(const QSqlField& f) {
    FieldDef d;
    d.name = f.name();
    d.inTable = false;
    switch (f.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            d.type = FieldDef::Type::Integer;
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            d.type = FieldDef::Type::Decimal;
            d.scale = 2;
            break;
        case QMetaType::QDateTime:
        case QMetaType::QDate:
            d.type = FieldDef::Type::DateTime;
            break;
        case QMetaType::QByteArray:
            d.type = FieldDef::Type::Blob;
            break;
        default:
            d.type = FieldDef::Type::Text;
            break;
    }
    return d;
}

// An expression column has no declared type: it takes the first row's.
FieldDef expressionField(const QString& name, const ColumnStore& rows, int column) {
    FieldDef def;
    def.name = name;
    if (rows.rowCount() > 0) {
        const QVariant v = rows.value(0, column);
        def.type = v.typeId() == QMetaType::LongLong ? FieldDef::Type::Integer
                   : v.typeId() == QMetaType::Double ? FieldDef::Type::Decimal
                                                     : FieldDef::Type::Text;
        def.scale = def.type == FieldDef::Type::Decimal ? 2 : 0;
    }
    return def;
}
}  // namespace

FieldDef DatasetReader::finalField(FieldDef def, const QList<FieldDef>& tableFields,
                                   const QHash<QString, QString>& formats) {
    const QString name = def.name;
    def.inTable = false;
    for (const FieldDef& t : tableFields) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) {
            def = t;
            def.name = name;
            break;
        }
    }
    def.displayFormat = formats.value(name.toLower(), def.displayFormat);
    return def;
}

QList<FieldDef> DatasetReader::serverFields(const QSqlRecord& record, const QList<FieldDef>& tableFields,
                                            const QHash<QString, QString>& formats) {
    QList<FieldDef> out;
    for (int i = 0; i < record.count(); ++i) {
        out.append(finalField(guessField(record.field(i)), tableFields, formats));
    }
    return out;
}

DatasetReader::Result DatasetReader::read(Database& db, const QString& updateTable, const QString& sql,
                                          const QVariantMap& params, const QHash<QString, QString>& formats,
                                          bool inParallel) {
    QList<FieldDef> tableFields;
    if (!updateTable.isEmpty()) {
        tableFields = TableSchema::columns(db, updateTable);
    }
    // Embedded books are read straight from SQLite; servers through the driver.
    SqliteRowReader::Result raw;
    const bool direct = (inParallel && SqliteParallelReader::readAll(db, sql, params, &raw)) ||
                        SqliteRowReader::readAll(db, sql, params, &raw);
    QSqlQuery q;
    QSqlRecord rec;
    if (!direct) {
        q = db.query(sql, params);
        rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            raw.names.append(rec.fieldName(i));
        }
        // The SQLite driver reports most declared types as text; take them
        // as the direct reader does, so both paths agree.
        raw.declaredTypes = SqliteRowReader::declaredTypes(db, sql);
        if (raw.declaredTypes.size() != raw.names.size()) {
            raw.declaredTypes.clear();
        }
    }

    const int n = raw.names.size();
    if (!direct) {
        raw.rows = ColumnStore(n);
        while (q.next()) {
            for (int i = 0; i < n; ++i) {
                raw.rows.append(i, q.value(i));
            }
            raw.rows.endRow();
        }
        if (q.lastError().isValid()) {
            // A value the server could not compute ends the rows early:
            // those read are not the whole result.
            throw db.failure(q.lastError(), sql);
        }
        raw.rows.finish();
    }

    Result out;
    for (int i = 0; i < n; ++i) {
        const QString name = raw.names[i];
        FieldDef def;
        if (raw.declaredTypes.isEmpty()) {
            def = guessField(rec.field(i));
        } else if (raw.declaredTypes[i].isEmpty()) {
            def = expressionField(name, raw.rows, i);
        } else {
            def = FieldDef::fromDeclaredType(name, raw.declaredTypes[i]);
            def.name = name;
        }
        out.fields.append(finalField(def, tableFields, formats));
    }
    out.rows = std::move(raw.rows);
    // Each distinct value of a column is converted once; values that
    // normalizing gives back unchanged are not touched.
    for (int i = 0; i < n; ++i) {
        const FieldDef& f = out.fields[i];
        if (f.type == FieldDef::Type::Decimal) {
            const int scale = f.scale;
            out.rows.convertColumn(
                i, [&f](const QVariant& v) { return f.normalize(v); },
                [scale](double d) { return roundHalfAwayFromZero(d, scale); });
            continue;
        }
        const int keep = f.type == FieldDef::Type::Text      ? ColumnStore::KeepTexts
                         : f.type == FieldDef::Type::Integer ? ColumnStore::KeepIntegers
                         : f.type == FieldDef::Type::Blob    ? ColumnStore::KeepEverything
                                                             : ColumnStore::KeepNothing;
        out.rows.convertColumn(
            i, [&f](const QVariant& v) { return f.normalize(v); }, keep);
    }
    return out;
}
