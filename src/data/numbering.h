#pragma once

#include <QString>

class Clock;
class Database;

// Document and master-record codes. For each numbered (table, field) pair
// the last code issued is kept in Sys_ID_Autoincrement; the next code is
// derived from it by the pair's rule and stored in the same write
// transaction, so two workstations never receive the same code.
class Numbering {
public:
    Numbering(Database& db, const Clock& clock);

    // Issues the next code (codeListMode false) or proposes the next value
    // of a code list without recording anything (codeListMode true).
    QString GetAutoIncrementID(const QString& TableName, const QString& FieldName, bool CodeListMode);

    // Digits plus one, left-padded with '0' to Width; a longer value is
    // returned whole. Throws UserError when Digits is not a decimal number.
    static QString IncrementPadded(const QString& Digits, int Width);

private:
    enum class RuleKind { Daily, Running, CorpCode, Wrapping };
    struct Rule {
        const char* table;
        const char* field;
        RuleKind kind;
        const char* prefix;
        int width;
    };
    static const Rule* findRule(const QString& table, const QString& field);
    QString nextCode(const Rule& rule, const QString& stored, const QString& table, const QString& field);
    QString nextCorpCode(const QString& stored, const QString& table, const QString& field);
    QString codeListValue(const QString& table, const QString& field);

    Database& m_db;
    const Clock& m_clock;
};
