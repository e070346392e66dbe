#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class Database;

// What the program knows of a column: its kind, size and scale, and how a
// grid shows it.
struct FieldDef {
    enum class Type { Integer, Decimal, Text, DateTime, Blob };

    QString name;
    Type type = Type::Text;
    int size = 0;       // characters, for text; 0 = unlimited
    int precision = 0;  // digits, for decimals
    int scale = 0;      // decimals, for decimals
    bool autoIncrement = false;
    bool primaryKey = false;
    bool inTable = true;  // false for columns a query adds (joins, sums)
    QString displayFormat;
    // How messages name the field ("默认单价"); the column name when empty.
    QString caption;

    QString label() const { return caption.isEmpty() ? name : caption; }
    // For a decimal of known precision or an integer: why a value (as
    // normalize() holds it) does not fit the column, or empty when it fits.
    // A column numeric(p,s) holds numbers below 10^(p-s) in magnitude; an
    // integer column what a 64-bit whole number holds.
    QString rangeError(const QVariant& value) const;

    // A value as the program holds it: whole numbers rounded half away from
    // zero (one beyond a 64-bit integer stays the number given, which
    // rangeError() refuses), decimals rounded to the scale, dates as
    // QDateTime, text as text.
    QVariant normalize(const QVariant& value) const;
    // A value as a grid shows it, honouring the display format
    // ("0.00", "#,##0.00", "YYYY-MM-DD").
    QString displayText(const QVariant& value) const;

    // A definition from a declared column type ("VARCHAR(50)", "NUMERIC(18,2)").
    static FieldDef fromDeclaredType(const QString& name, const QString& declared);
};

double roundHalfAwayFromZero(double value, int scale);
// Whether a value holds a number (not text that reads as one).
bool isNumericValue(const QVariant& value);
QString formatNumber(double value, const QString& format);
// A number in plain positional notation, never in exponent form: rounded to
// `decimals` places and padded with zeros to them. A negative `decimals`
// gives the shortest text that reads back as the same number.
QString formatFixed(double value, int decimals);
QString formatDateTime(const QDateTime& value, const QString& format);
// Whether two cell values are the same; null and invalid are one "nothing".
bool sameValue(const QVariant& a, const QVariant& b);
// The same, with an empty text also "nothing": what a cell editor leaves, or
// a remark typed and deleted again, is no change.
bool sameOrBlank(const QVariant& a, const QVariant& b);

// Column definitions read from the database's own catalogue, once per
// connection.
class TableSchema {
public:
    static QList<FieldDef> columns(Database& db, const QString& table);

private:
    static QList<FieldDef> read(Database& db, const QString& table);
};
