#pragma once

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>

class Database;

// Document numbers of the program's daily form (prefix + yyMMdd + four
// digits) issued in bulk by the demo books: each day goes on after the
// highest number the book holds or its counter (Sys_ID_Autoincrement)
// issued, so a number is never given twice.
class DailyNumbers {
public:
    // Reads the numbers `field` of `table` holds and the pair's counter.
    DailyNumbers(Database& db, const QString& prefix, const QString& table, const QString& field);

    // The next number of the day; throws UserError when the day's 9999
    // numbers are used up.
    QString next(const QDate& day);
    // The last number issued for `day`, or empty when none was issued.
    QString lastIssued(const QDate& day) const;
    // Sets the counter to the last number issued for `today`, so that the
    // program's next number follows it; leaves it when none was issued.
    void settleCounter(Database& db, const QDate& today) const;

private:
    void seen(const QString& no);
    QString number(const QString& key, int n) const;

    QString m_prefix;
    QString m_table;
    QString m_field;
    QHash<QString, int> m_last;
    QSet<QString> m_issued;
};
