#pragma once

#include <QList>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSqlQuery;

// The rows a report is prepared from: a snapshot, so the query can go.
struct ReportRows {
    QStringList fields;
    QList<QVector<QVariant>> rows;

    int fieldIndex(const QString& name) const;
    static ReportRows fromQuery(QSqlQuery& query);
    // A tab-separated file with a header line; false with a message.
    static bool fromTsv(const QString& path, ReportRows* out, QString* error);
};
