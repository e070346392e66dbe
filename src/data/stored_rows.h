#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "data/field_def.h"

class Database;
class QSqlQuery;

// The rows of one table as the book holds them now, read by key, for
// telling whether anybody changed them since a dataset read them. Values
// are held in the order of the dataset's fields, normalized as a dataset
// reads them; columns that are not in the table stay empty.
class StoredRows {
public:
    StoredRows(Database& db, const QString& table, const QList<FieldDef>& fields, const QStringList& keyFields);

    // A row's key as one text (values of the key columns, in order).
    QString keyOf(const QVector<QVariant>& row) const;
    // Reads the rows with the keys of these rows. With `lock`, a server
    // keeps them for the rest of the transaction, so nobody changes them
    // between this check and the write.
    QHash<QString, QVector<QVariant>> read(const QList<QVector<QVariant>>& rows, bool lock) const;
    // The table's columns whose stored value is not the one read.
    QStringList differences(const QVector<QVariant>& asRead, const QVector<QVariant>& stored) const;
    // The keys of the rows a statement reads now.
    QSet<QString> keysOf(const QString& sql, const QVariantMap& params) const;
    // Both of the above at once: on a server in one round trip, where the
    // table has one key column and the rows fit one statement.
    QHash<QString, QVector<QVariant>> readWithKeysOf(const QList<QVector<QVariant>>& rows, bool lock,
                                                     const QString& sql, const QVariantMap& params,
                                                     QSet<QString>* keys) const;

private:
    // The statement that reads the rows from `from` on (one key column).
    QString selectByKey(const QList<QVector<QVariant>>& rows, int from, bool lock, QVariantMap* params) const;
    void collect(QSqlQuery& q, QHash<QString, QVector<QVariant>>* out) const;

    Database& m_db;
    QString m_table;
    QList<FieldDef> m_fields;
    QVector<int> m_keyColumns;
    QVector<int> m_tableColumns;
};
