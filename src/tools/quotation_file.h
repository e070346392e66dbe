#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

struct FieldDef;
class QuotationDocument;

// A quotation written as a JSON object: head fields named as the columns
// of Quotation_Head, and `lines`, an array of objects with GoodsNo and
// optionally QTY, Price, purchase_Price, Total_Price and Remark. The file
// is read and its names checked before anything reaches the book; the
// values are then put into a quotation through the document itself, so
// the editor's defaults, computations and refusals apply.
class QuotationFile {
public:
    using Values = QList<std::pair<QString, QVariant>>;
    struct Line {
        QString goodsNo;
        Values fields;  // in the order they are set: QTY, Price, purchase_Price, Total_Price, Remark
    };

    // Reads and checks a file against the head table's columns; throws
    // UserError naming the fault (not JSON, an unknown or doubled name, a
    // field the program fills itself, a line without goods or a goods code
    // given twice).
    static QuotationFile read(const QString& path, const QList<FieldDef>& headColumns);
    // The same for the text of a file; `source` names it in messages.
    static QuotationFile parse(const QByteArray& json, const QString& source, const QList<FieldDef>& headColumns);

    // Fields the program fills on every new quotation; a file that gives
    // one is refused.
    static QStringList programFields() { return {"id", "BillNo", "Keyin_User", "Keyin_Date", "state"}; }
    // The line fields a file may give, in the order they are set.
    static QStringList lineFields() { return {"QTY", "Price", "purchase_Price", "Total_Price", "Remark"}; }

    // Fills a quotation started with load(New): the head fields, then one
    // line per goods through addGoods, then each line's given fields. False
    // when a goods code is not in the book (the document names it through
    // its prompter); throws UserError for a value the document refuses (the
    // message names the line).
    bool applyTo(QuotationDocument& doc) const;

    const Values& head() const { return m_head; }
    const QList<Line>& lines() const { return m_lines; }

private:
    Values m_head;
    QList<Line> m_lines;
};
