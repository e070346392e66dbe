#pragma once

#include <QString>
#include <QStringList>

class AppContext;
class Database;

// Ten years of a busy company's quotations in the current book, made
// reproducibly from a fixed seed: quotations dated evenly from ten years
// before today up to today, each with 5 to 50 lines for the book's goods,
// freight and deposit on some; most with their deposit receipt, up to two
// payment receipts and the receipt lines. Numbers take the program's form
// (BJ/AA + yyMMdd + four digits a day) and never repeat a number the book
// holds or its counters issued. Rows are written with prepared statements,
// one transaction per batch; the totals the triggers keep are checked
// against the lines and receipts at the end.
class DemoQuotations {
public:
    struct Made {
        int quotations = 0;
        qint64 lines = 0;
        int receipts = 0;
        qint64 receiptLines = 0;
    };
    // A book with fewer goods receives demo goods first.
    static constexpr int kMinGoods = 200;
    static constexpr int kBatch = 1000;

    // Throws UserError when a day would need more than 9999 numbers and when
    // the kept totals differ from the lines and receipts afterwards.
    static Made fill(AppContext& context, int quotations);

    // Quotation numbers whose kept totals (Quotation_Sum) differ from the
    // sums over their lines and receipts or from their head's freight and
    // discount, and quotation heads without a totals row.
    static QStringList driftedTotals(Database& db);
};
