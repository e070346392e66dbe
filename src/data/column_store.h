#pragma once

#include <QByteArrayView>
#include <QUtf8StringView>
#include <QVariant>
#include <QVector>
#include <functional>
#include <vector>

// Rows as read from the database, kept by column: each column holds its
// distinct values once and a small index per row. Lists repeat most values
// down a column (units, suppliers, classes, clerks, dates, prices), so a
// large list takes a fraction of the memory of one QVariant per cell, and a
// value is converted once however many rows share it. Read-only once built.
class ColumnStore {
public:
    explicit ColumnStore(int columns = 0);

    int columnCount() const { return static_cast<int>(m_columns.size()); }
    int rowCount() const { return m_rows; }

    // Building, a row at a time: every column gets one value, then endRow().
    void appendNull(int column);
    void appendInteger(int column, qint64 value);
    void appendReal(int column, double value);
    void appendText(int column, QUtf8StringView text);
    void appendBlob(int column, QByteArrayView bytes);
    // Any value; integers, reals, texts and date-times are shared when equal.
    void append(int column, const QVariant& value);
    void endRow() { ++m_rows; }
    // Frees what building needed; values stay.
    void finish();

    QVariant value(int row, int column) const {
        const Column& c = m_columns[column];
        if (c.plainFrom < 0 || row < c.plainFrom) {
            return c.distinct[c.index[row]];
        }
        return plainValue(c, c.cells[row - c.plainFrom]);
    }
    QVector<QVariant> row(int row) const;
    // Number of distinct values a column holds (up to the row where it was
    // found to hold nearly all different values).
    int distinctCount(int column) const { return static_cast<int>(m_columns[column].distinct.size()); }
    // True when the column keeps its later rows as plain cells.
    bool keepsPlainCells(int column) const { return m_columns[column].plainFrom >= 0; }

    // Kinds of values a conversion gives back unchanged.
    enum Keep { KeepNothing = 0, KeepTexts = 1, KeepIntegers = 2, KeepEverything = 0xff };
    // Replaces every value of a column by convert(value): each distinct value
    // once, and each plain cell whose kind is not kept.
    void convertColumn(int column, const std::function<QVariant(const QVariant&)>& convert, int keep = KeepNothing);
    // The same for a column whose numbers all become reals: a plain cell
    // holding a number becomes numberToReal(number) without passing
    // through a QVariant, which is what a long column of amounts needs.
    void convertColumn(int column, const std::function<QVariant(const QVariant&)>& convert,
                       const std::function<double(double)>& numberToReal);

private:
    // A value of a column whose values are nearly all different (keys,
    // codes, names, amounts): numbers in place, texts as UTF-8 in the
    // column's text buffer, anything else in its list of other values. A
    // value is made when it is read, so a long list costs no QVariant or
    // QString per cell while it is read.
    enum class CellKind : quint8 { Null, Integer, Real, Text, Other };
    // Trivial, so that a long list of cells grows by realloc; Cell{} is
    // a null.
    struct Cell {
        quint64 payload;  // number bits, text offset or index of another value
        quint32 length;   // a text's length in bytes
        CellKind kind;
    };
    struct Column {
        QVector<QVariant> distinct;
        // QList grows by realloc, so a long column is not copied page by page.
        QList<quint32> index;
        qint64 nullIndex = -1;
        // Rows from plainFrom on are plain cells (-1: none are).
        int plainFrom = -1;
        QList<Cell> cells;
        QByteArray texts;
        QVector<QVariant> others;
    };
    static QVariant plainValue(const Column& c, const Cell& cell);
    void convertCells(int column, const std::function<QVariant(const QVariant&)>& convert, int keep,
                      const std::function<double(double)>* numberToReal);
    // Starts keeping plain cells when the column's first rows were nearly
    // all different; true when the column keeps them.
    bool plainFromHere(int column) {
        const Column& c = m_columns[column];
        return c.plainFrom >= 0 || (c.index.size() >= m_finders[column].nextCheck && checkPlain(column));
    }
    bool checkPlain(int column);
    void appendCell(int column, const QVariant& value);
    // What finding an equal value needs while building. Integers and reals
    // are compared by their bits and texts by their UTF-8 bytes, without
    // touching the QVariants.
    struct Finder {
        // Open addressing: (hash << 32) | (distinct index + 1), 0 = empty.
        std::vector<quint64> probe;
        std::vector<quint64> keys;     // per distinct value: bits, or text offset
        std::vector<quint32> lengths;  // per distinct value: text length, or a kind
        QByteArray texts;
        // Rows at which the share of different values is looked at next.
        qsizetype nextCheck = 4096;
        // The value of the row before: a value often repeats the one above.
        quint32 last = 0xffffffffu;
    };
    // Kinds of keyed values; a text's kind is its length in bytes.
    // Nulls, blobs and other values kept alone have a kind no lookup asks for.
    enum Kind : quint32 {
        IntegerKind = 0xffffffffu,
        RealKind = 0xfffffffeu,
        AloneKind = 0xfffffffdu,
        TimeKind = 0xfffffff0u
    };
    template <class Make>
    void appendKeyed(int column, quint64 key, QByteArrayView text, quint32 kind, Make make);
    void appendAlone(int column, QVariant value);
    quint32 addUnmatched(int column, QVariant value);
    static void grow(Finder& f);

    std::vector<Column> m_columns;
    std::vector<Finder> m_finders;
    int m_rows = 0;
};
