#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "data/column_store.h"
#include "data/field_def.h"

class Database;

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
};
