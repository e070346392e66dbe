#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "master/master_columns.h"
#include "platform/spreadsheet_reader.h"

class Clock;
class Database;

// Puts customers, suppliers or goods from a spreadsheet into the book. The
// file's columns are matched to fields by their captions (those the lists
// and the editors use, or the field names); every row is checked with the
// editors' rules before anything is written: a code taken by the
// numbering rules when the row has none, a code already in the book or
// twice in the file refused, and so is one that differs from such a code
// only by leading zeros (a spreadsheet program reads "00001" as 1); units
// and suppliers found by name, goods classes by name or by path; numbers
// read as numbers, texts within their columns' sizes, the apostrophe that
// guards formula-like text in a CSV export taken off. The accepted rows
// are then written in one transaction, with the classes they need made
// first when asked: all of them, or none.
class MasterImport {
public:
    struct Refusal {
        int rowNumber = 0;  // as the spreadsheet numbers it
        QString reason;
    };
    struct Plan {
        QList<QVariantMap> accepted;  // field -> value, ready to write
        QList<int> acceptedRowNumbers;
        QList<Refusal> refused;
        // Goods classes the write makes first, by path ("门窗/五金"), when
        // missing classes are made (setCreatesClasses).
        QStringList newClasses;
    };

    MasterImport(Database& db, const Clock& clock, const QString& userName, MasterKind kind);

    // The group (customers, suppliers) or class (goods) new records go into
    // unless a goods row names its class. A group with child groups is
    // refused (UserError); a class with sub-classes takes no goods, so
    // goods rows that name no class are refused then.
    void setTargetGroup(const QVariant& groupId);
    // Whether the purchase price may be read (the right to see costs).
    void setSeesCost(bool sees) { m_seesCost = sees; }
    // Whether a goods class the file names by a path that does not exist
    // ("门窗/五金", from the top class down) is made by the write, in its
    // transaction, rather than the row refused.
    void setCreatesClasses(bool creates) { m_createsClasses = creates; }
    bool createsClasses() const { return m_createsClasses; }
    MasterKind kind() const { return m_kind; }

    // For each column of `header`, the field it fills, or empty when none:
    // by caption or field name, without regard to case or spaces; a field
    // is filled from its first column only.
    QStringList guessMapping(const QStringList& header) const;
    // Why a column of this caption that no field takes is not imported:
    // the purchase price without the right to see costs, or no field of
    // that name; empty for the list's columns the program fills itself
    // (录入员, 录入日期), which an export writes and an import leaves.
    QString unusedColumnNote(const QString& caption) const;
    // What is said of the columns `mapping` leaves out that hold something
    // a user may miss: a caption of no field (see unusedColumnNote), one
    // whose field a column before it fills with other values, a column without
    // a caption that holds text. A column the user chose to leave is not
    // named.
    QStringList leftOutColumns(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping) const;
    // The captions a field is known by, the first the one to show.
    QStringList fieldCaptions(const QString& field) const;
    // The fields a file may fill, in the order the list shows them.
    QStringList importableFields() const;

    // Checks the rows after the header (the sheet's first row) against the
    // book as it is now; writes nothing.
    Plan check(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping);
    // The same with the codes, units, suppliers and classes the last check
    // read from the book, for a preview whose mapping changes.
    Plan checkAgain(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping);
    // Writes the accepted rows in one transaction, drawing the codes left
    // empty; returns how many. Throws when the book refuses: nothing is
    // written then.
    int write(const Plan& plan);

private:
    struct Field {
        QString name;
        QStringList captions;
        enum Kind { Text, Number, Unit, Supplier, Class } kind = Text;
        bool cost = false;
    };
    QList<Field> fields() const;
    // Empty when the row may go in; else why not. `record` gets the values.
    QString checkRow(const QStringList& cells, const QStringList& mapping, QVariantMap& record);
    // The class a goods row names by name or by path: its id in `record`,
    // or the path of classes still to make; empty when it may go in.
    QString checkClass(const QString& text, QVariantMap& record);
    // The existing code that `code` differs from only by leading zeros.
    static QString withoutLeadingZeros(const QString& code);
    void loadLookups();
    Plan checkRows(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping);

    Database& m_db;
    const Clock& m_clock;
    QString m_userName;
    MasterKind m_kind;
    bool m_seesCost = false;
    QVariant m_targetGroup;
    // Lower-case keys.
    QHash<QString, QStringList> m_unitByName;  // name or code -> codes
    QHash<QString, QStringList> m_suppliers;   // code, company, person, "company(person)" -> codes
    QHash<QString, QVariantList> m_classes;    // name -> ids
    QHash<QString, qint64> m_classChildren;    // parent id + '|' + name -> id
    QSet<qint64> m_leafClasses;
    QSet<qint64> m_classesWithGoods;
    qint64 m_rootClass = 1;
    bool m_createsClasses = false;
    QSet<QString> m_codesInBook;
    QHash<QString, QString> m_codesByNumber;  // code without leading zeros -> code
    bool m_lookupsLoaded = false;
    QHash<QString, int> m_textSizes;  // field (lower case) -> characters
    QList<Field> m_fields;            // fields() for the check under way
};
