#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "data/column_store.h"
#include "data/field_def.h"

class Database;
class QSqlRecord;

// Runs a statement and returns its columns and rows for a Dataset. A column
// of the update table takes that table's definition (type, length, scale);
// any other column a definition from its declared or driver type. Values come
// back normalized to their columns.
class DatasetReader {
public:
    struct Result {
        QList<FieldDef> fields;
        ColumnStore rows;
    };
    // formats: display formats by lower-case column name, kept from an earlier open.
    // inParallel: a long list of an embedded book read on two cores.
    static Result read(Database& db, const QString& updateTable, const QString& sql, const QVariantMap& params,
                       const QHash<QString, QString>& formats, bool inParallel = false);
    // The columns of a server's result, defined as read() defines them.
    static QList<FieldDef> serverFields(const QSqlRecord& record, const QList<FieldDef>& tableFields,
                                        const QHash<QString, QString>& formats);

private:
    // A column as the list shows it: the update table's definition where
    // it has the column, else `guessed`; with its display format.
    static FieldDef finalField(FieldDef guessed, const QList<FieldDef>& tableFields,
                               const QHash<QString, QString>& formats);
};
