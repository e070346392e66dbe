#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

#include "data/price_sheet_layout.h"

class Database;
class Prompter;

// A price table held in memory while it is edited: the book's standard
// table (base_Dusmere_Price_Table) or one customer's
// (base_Dusmere_Customer_price_Table). Cells are whole numbers of up to 18
// digits; remarks are text. Nothing reaches the book before save(), and
// every write (the first copy, save, the reset) is one transaction.
class PriceTable : public PriceSheetLayout {
public:
    PriceTable(Database& db, Prompter& prompter);

    // The standard table; a book without its row gets an empty one when it
    // is first saved.
    void openStandard();
    // A customer's table. The first opening copies the standard table for
    // the customer (and the standard row then carries the customer's code),
    // in one transaction. Throws UserError "请指定一个客户!" without a code,
    // and noSuchCustomerText() when the customer does not exist.
    void openCustomer(const QString& code, const QString& name = {});
    // Reads the table again; cached changes are dropped.
    void reload();

    bool isOpen() const { return m_open; }
    bool isStandard() const { return m_standard; }
    const QString& customerCode() const { return m_code; }
    const QString& customerName() const { return m_name; }
    // Corp_code as read: in the standard table, the customer last copied
    // from it.
    const QString& storedCode() const { return m_storedCode; }

    QVariant value(const QString& field) const;
    // Sets a field; a cell takes a whole number (or null), a remark text.
    // Throws UserError with the reason when the value is refused; the
    // field keeps its value then.
    void setValue(const QString& field, const QVariant& value);
    // A cell as typed: empty text clears it. Throws UserError as above.
    void setCellText(const QString& cell, const QString& text);
    // A cell's value as shown: "1200.00", empty for none.
    QString displayText(const QString& cell) const;
    // The whole number typed text stands for, or the reason it is refused.
    static QVariant parseCell(const QString& cell, const QString& text, QString* error);
    // Why a remark is refused, or empty.
    static QString remarkError(const QString& text);

    // Changes not yet saved.
    bool isModified() const;

    // "保存": writes the table in one transaction; the standard table's
    // Corp_code becomes empty, a customer's is the customer's code. Only the
    // fields changed here are written, so what another workstation changed
    // in other fields meanwhile stays (and shows afterwards); a field
    // changed on both sides is refused, as is a customer deleted meanwhile,
    // with nothing written. On failure the changes stay to save again.
    void save();
    // "获取默认值": asks, then replaces the customer's table by a copy of
    // the standard table; false when the user said no.
    bool resetToStandard();
    void resetToStandardNow();
    // The customer's table replaced by the standard one, without a
    // question and without opening it first; it is open afterwards.
    void resetCustomer(const QString& code);
    // "清空": every field but Corp_code emptied; nothing is written.
    void clear();
    // Drops the changes.
    void discard();
    // Before printing: a changed table is saved first when the user agrees
    // ("save" is how, by default save()); false stops the printing.
    bool settleBeforePrint(const std::function<bool()>& save = {});
    // "关闭": asks about changes (Yes saves, No drops them, Cancel goes back
    // to the editing); true when the window may close.
    bool close(const std::function<bool()>& save = {});

    static QString resetQuestion() {
        return QStringLiteral("该操作会获取单价表默认值，客户当前的单价表会覆盖，是否要继续操作？");
    }
    static QString printQuestion() { return QStringLiteral("该单价表已修改，打印前要先保存。是否要保存？"); }
    static QString closeQuestion() { return QStringLiteral("该单价表已修改，是否要保存？"); }
    static QString savedText() { return QStringLiteral("保存成功"); }
    static QString noCustomerText() { return QStringLiteral("请指定一个客户!"); }
    static QString customerGoneText(const QString& code);
    static QString noSuchCustomerText(const QString& code);
    static QString changedMeanwhileText(const QStringList& fields);

private:
    // Reads the row into m_values and m_saved; false when there is none.
    bool read();
    // Inside a write transaction: refuses, with `missingText`, a customer
    // that is not in Client; on a server its row stays locked meanwhile.
    void requireCustomer(const QString& missingText);
    // Inside a write transaction: a book without the standard row gets an
    // empty one.
    void ensureStandardRow();
    // Inside a write transaction: stamps the standard row with the
    // customer's code and copies it for the customer, column by column name.
    void copyStandardForCustomer();
    int index(const QString& field) const;

    Database& m_db;
    Prompter& m_prompter;
    bool m_open = false;
    bool m_standard = true;
    QString m_code;
    QString m_name;
    QString m_storedCode;
    QVector<QVariant> m_values;  // by fieldNames()
    QVector<QVariant> m_saved;
    // Fields set here since the last read or save: what a save writes over
    // the stored values (清空 sets them all).
    QVector<bool> m_touched;
};
