#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// One section of a price sheet: its letter and the rows and columns of its
// cells. A cell is named by the letter, the row (1 or 2) and the column
// (01 to 04): A101, D204.
struct PriceSection {
    QChar letter;
    int rows = 1;
    int columns = 3;

    QString cellName(int row, int column) const;
    QString remarkField() const { return QString(letter) + QStringLiteral("_Remark"); }
};

// The layout of a price sheet as the book's two price tables hold it: the
// sections, their cells and remarks, and how a row is read. Reports print
// sheets from it; the price table edits them.
class PriceSheetLayout {
public:
    static QString standardTable() { return QStringLiteral("base_Dusmere_Price_Table"); }
    static QString customerTable() { return QStringLiteral("base_Dusmere_Customer_price_Table"); }

    static const QVector<PriceSection>& sections();
    // A101 … E203, in reading order.
    static const QStringList& cellNames();
    // A_Remark … E_Remark, All_Remark.
    static const QStringList& remarkNames();
    // Every field but Corp_code, in the tables' order.
    static const QStringList& fieldNames();
    // The field as written (A101, All_Remark) for a name in any case, or
    // empty when the tables have no such field.
    static QString fieldByName(const QString& name);
    static bool isCell(const QString& field);
    // How messages name a field: a cell by its code (A101), a remark as the
    // sheet shows it (A区说明, 总说明).
    static QString fieldLabel(const QString& field);

    static constexpr int kCellDigits = 18;
    static constexpr int kMaxRemarkLength = 4000;

    // The statement that reads a table's rows: Corp_code, then
    // fieldNames() (cells as whole numbers).
    static QString selectStatement(const QString& table);
    // A value as read by selectStatement(), as the table holds it.
    static QVariant readValue(const QString& field, const QVariant& stored);
};
