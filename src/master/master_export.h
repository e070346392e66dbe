#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "master/master_columns.h"

class Database;

// Writes customers, suppliers or goods to a spreadsheet (.xlsx or .csv) with
// the columns their list shows, under the list's captions: units and
// suppliers by name, prices as numbers, dates as dates, and for goods
// their class by its path ("门窗/五金") after the list's columns. A workbook
// gives each column the list's width and keeps texts as texts. The purchase price goes
// only to those with the right to see costs.
class MasterExport {
public:
    explicit MasterExport(Database& db) : m_db(db) {}

    // The records with these ids, in this order (empty: every record, by
    // code). Returns how many were written; throws UserError when the file
    // cannot be written, leaving nothing there.
    int write(MasterKind kind, const QString& file, bool seesCost, const QList<qint64>& ids = {});

    static QList<MasterColumn> columns(MasterKind kind, bool seesCost);
    QList<QVariantList> rows(MasterKind kind, bool seesCost, const QList<qint64>& ids = {});

private:
    Database& m_db;
};
