#pragma once

#include <QList>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSqlQuery;

// The rows a report is prepared from: a snapshot, so the query can go.
//
// As a tab-separated file (what `stats --out x.tsv` writes and `report
// --rows` reads): a header line of field names, then one line per row.
// Backslash, tab, line breaks and other control characters are written
// "\\", "\t", "\n", "\r", "\uXXXX"; a backslash before any other
// character stands for that character. A cell is read as a whole number
// when it is one ("-12", no leading zeros, at most 18 digits), as a
// number with a fraction when it is one of at most 15 significant digits
// ("3420.5"), as a date when it is yyyy-MM-dd (with HH:mm:ss), as nothing
// when empty, and as text otherwise: "00001" and an account number of 19
// digits stay texts. A text that would read as a number or a date is
// written behind a backslash ("\12"), so that what is written is read back
// as it was.
struct ReportRows {
    QStringList fields;
    QList<QVector<QVariant>> rows;

    int fieldIndex(const QString& name) const;
    static ReportRows fromQuery(QSqlQuery& query);
    // A tab-separated file with a header line; false with a message.
    static bool fromTsv(const QString& path, ReportRows* out, QString* error);
    // Written whole or not at all; false with a message.
    bool toTsv(const QString& path, QString* error) const;

    // One cell as the file holds it, and back.
    static QString tsvCell(const QVariant& value);
    static QVariant fromTsvCell(const QString& cell);
    // A text with its tabs, line breaks, backslashes and control
    // characters escaped, as every tab-separated output writes it.
    static QString tsvEscaped(const QString& text);
};
