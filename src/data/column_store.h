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

    const QVariant& value(int row, int column) const {
        const Column& c = m_columns[column];
        return c.distinct[c.index[row]];
    }
    QVector<QVariant> row(int row) const;
    // Number of distinct values a column holds.
    int distinctCount(int column) const { return static_cast<int>(m_columns[column].distinct.size()); }
    // Replaces every distinct value of a column by convert(value).
    void convertColumn(int column, const std::function<QVariant(const QVariant&)>& convert);

private:
    struct Column {
        QVector<QVariant> distinct;
        // QList grows by realloc, so a long column is not copied page by page.
        QList<quint32> index;
        qint64 nullIndex = -1;
    };
    // What finding an equal value needs while building. Integers and reals
    // are compared by their bits and texts by their UTF-8 bytes, without
    // touching the QVariants.
    struct Finder {
        // Open addressing: (hash << 32) | (distinct index + 1), 0 = empty.
        std::vector<quint64> probe;
        std::vector<quint64> keys;     // per distinct value: bits, or text offset
        std::vector<quint32> lengths;  // per distinct value: text length, or a kind
        QByteArray texts;
        // A column whose values are nearly all different (keys, codes) stops
        // looking for equal values.
        bool unique = false;
        bool checked = false;
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
