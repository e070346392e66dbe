#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

struct FieldDef;
class OrderFormDocument;
class ScriptedPrompter;

// An order form written as a JSON object: head fields named as the columns
// of Dusmere_Order_Form_head, and `rows`, an array of goods rows, each an
// object named as the columns of Dusmere_Order_Form_Detail. The file is
// read and its names checked before anything reaches the book; the values
// then go into an order through the document and the goods-row editor, so
// the window's defaults, computations and refusals apply.
class OrderFile {
public:
    using Values = QList<std::pair<QString, QVariant>>;

    // Reads and checks a file against the columns of the two tables;
    // throws UserError naming the fault (not JSON, unknown or doubled
    // names, a field the program fills itself, a date that is none, a
    // number an integer column cannot take whole).
    static OrderFile read(const QString& path, const QList<FieldDef>& headColumns, const QList<FieldDef>& rowColumns);
    // The same for the text of a file; `source` names it in messages.
    static OrderFile parse(const QByteArray& json, const QString& source, const QList<FieldDef>& headColumns,
                           const QList<FieldDef>& rowColumns);

    // Head fields the program fills on every new order; a file that gives
    // one is refused.
    static QStringList programHeadFields() {
        return {"ID", "Order_Form_Code", "User_name", "Order_Date", "IsDelete", "isPigeonhole"};
    }
    // Row fields the program fills (the row's key and its order's code).
    static QStringList programRowFields() { return {"ID", "Head_Code"}; }

    // Fills an order started with load(New), as the windows fill one: the
    // head fields as typed, the paid mark through its tick box, the
    // customer through the customer list (its particulars fill what the
    // file left empty); then each row through the goods-row editor in New
    // mode (a row without Goods_Code keeps the code drawn for it), its
    // goods name first (the name's defaults), the other fields in the
    // table's order and the amount last, so that a given amount wins over
    // price times quantity. False when the customer is not in the book
    // (the document told it through the prompter); throws UserError for a
    // value the document refuses, a coded value its code list does not
    // offer and a row the editor refuses (the message names the row).
    bool applyTo(OrderFormDocument& doc, ScriptedPrompter& prompter) const;

    const Values& head() const { return m_head; }
    const QList<Values>& rows() const { return m_rows; }

private:
    Values m_head;
    QList<Values> m_rows;
};
