#pragma once

#include <QString>
#include <QVariant>
#include <memory>

class Database;

// The few places where SQLite and PostgreSQL need different text. The rest
// of the program writes one portable statement for both.
class SqlDialect {
public:
    enum class Kind { Sqlite, Postgres };
    virtual ~SqlDialect() = default;

    static std::unique_ptr<SqlDialect> create(Kind kind);

    virtual Kind kind() const = 0;
    // The embedded kind; the system's dialect rule asks this question.
    bool isAccess() const { return kind() == Kind::Sqlite; }
    virtual QString driverName() const = 0;

    // Schema text with its engine tokens replaced (@ID@: an auto-numbered key).
    virtual QString schemaText(const QString& text) const = 0;
    // Starts a transaction that will write: on SQLite it takes the write lock
    // at once, so two processes never both read a counter before either
    // writes it.
    virtual QString beginWriteStatement() const = 0;
    // Appended to a SELECT inside a write transaction to lock the rows read.
    virtual QString lockRowsSuffix() const = 0;
    // Whether an INSERT reports its new key through RETURNING rather than
    // through the driver's last insert id.
    virtual bool insertReturnsKey() const = 0;
    // A value as it is bound: dates and times go as wall-clock text in one
    // fixed form, so that they compare and sort as dates and no time zone
    // shifts them.
    QVariant toDbValue(const QVariant& value) const;
    // After rows were inserted with explicit keys, the next automatic key
    // must follow them.
    virtual void syncAutoKey(Database& db, const QString& table, const QString& column) const = 0;
    // The calendar day of a date-time column, for ordering and grouping by
    // day whatever the time of day.
    virtual QString dayOf(const QString& expression) const = 0;
    // The month of a date-time column as text 'yyyy-MM', for sums by month.
    virtual QString monthOf(const QString& expression) const = 0;
    // A text expression as it sorts: by code points on both engines, not by
    // a server's collation.
    virtual QString byteOrder(const QString& expression) const = 0;
};

// A LIKE pattern that finds `text` anywhere, with `%`, `_` and `!` matching
// themselves; the statement says ESCAPE '!'.
QString likeContainsPattern(const QString& text);

// The text form in which date-times are bound: wall-clock time, no zone.
QString wallClockText(const QDateTime& value);
