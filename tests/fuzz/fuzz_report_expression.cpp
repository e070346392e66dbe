// Report expressions: the first line parsed as one, the whole input as a
// text with [expression] placeholders, both evaluated against fixed rows
// with the rest of the input as a display format.

#include <QDate>
#include <QDateTime>
#include <QVariant>
#include <cmath>
#include <limits>

#include "harness.h"
#include "reports/engine/report_expression.h"

namespace {

// Rows of the kinds a book gives: numbers, text, dates, nulls, and text
// that reads as a number.
const QStringList kFields{"qty",        "price",  "total_price", "goods_name", "billday",
                          "order_date", "remark", "subject",     "id",         "ispay"};
const QList<QVariantList> kRows{
    {3.0, 12.5, 37.5, QStringLiteral("铝合金门"), QDate(2024, 3, 1), QDateTime(QDate(2024, 3, 1), QTime(9, 30)),
     QVariant(), QStringLiteral("0"), qlonglong(9007199254740993LL), true},
    {-0.5, 1e300, QStringLiteral(" 42 "), QString(), QStringLiteral("2024-02-29"),
     QStringLiteral("2024-02-29 23:59:59"), QStringLiteral("[备注]"), 3, qlonglong(-1), false},
    {std::nan(""), 0.0, -1e-9, QStringLiteral("nan"), QDate(), QDateTime(), QStringLiteral("1e400"), QVariant(),
     std::numeric_limits<qlonglong>::min(), QVariant()}};

ReportExpression::Context contextOf(int row) {
    ReportExpression::Context ctx;
    ctx.field = [row](const QString& f) { return kRows[row].value(kFields.indexOf(f.toLower())); };
    // The row's columns too, as the preparer offers them: a field keeps the
    // column it found and reads every row by it.
    ctx.row = &kRows[row];
    ctx.columnOf = [](const QString& f) { return static_cast<int>(kFields.indexOf(f.toLower())); };
    // count 7, avg of no numbers, sum a large amount, min and max a small one.
    ctx.aggregate = [](const ReportExpression::Aggregate& a) {
        return a.function == "count" ? QVariant(qlonglong(7))
               : a.function == "avg" ? QVariant()
                                     : QVariant(a.function == "sum" ? 1234567.891 : -3.25);
    };
    ctx.page = row + 1;
    ctx.pages = static_cast<int>(kRows.size());
    ctx.today = QDate(2024, 12, 31);
    return ctx;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(Fuzz::bytes(data, size));
    const qsizetype newline = text.indexOf('\n');
    const QString first = newline < 0 ? text : text.left(newline);
    const QString format = newline < 0 ? QString() : text.mid(newline + 1).left(64);
    ReportExpression e;
    QString error;
    const bool parsed = e.parse(first, &error, 5);
    FUZZ_CHECK(parsed || !error.isEmpty(), QStringLiteral("refused without a message: %1").arg(first));
    if (parsed) {
        int id = 5;
        for (const auto& a : e.aggregates()) {
            FUZZ_CHECK(a.id == id++, QStringLiteral("aggregate ids are not numbered in order"));
            FUZZ_CHECK(QStringList({"sum", "count", "avg", "min", "max"}).contains(a.function), a.function);
        }
        for (int r = 0; r < kRows.size(); ++r) {
            const ReportExpression::Context ctx = contextOf(r);
            const QVariant v = e.evaluate(ctx);
            formatReportValue(v, format);
            formatReportValue(v, QString());
            for (const auto& a : e.aggregates()) {
                // The preparer accumulates each aggregate's argument row by
                // row.
                ReportExpression::evaluateNode(a.argument, ctx);
            }
        }
    }
    ReportText t;
    QString why;
    if (t.parse(text, &why, 0)) {
        const ReportExpression::Context ctx = contextOf(0);
        t.evaluate(ctx, format);
        QVariant single;
        t.singleValue(ctx, &single);
        t.usesPageCount();
        const auto aggregates = t.aggregates();
        for (size_t i = 0; i < aggregates.size(); ++i) {
            FUZZ_CHECK(aggregates[i].id == static_cast<int>(i), QStringLiteral("aggregate ids of a text repeat"));
        }
        if (t.isStatic()) {
            // Without placeholders the text is itself, "[[" written as "[".
            QString literal;
            for (qsizetype i = 0; i < text.size(); ++i) {
                literal += text.at(i);
                if (text.at(i) == '[' && i + 1 < text.size() && text.at(i + 1) == '[') {
                    ++i;
                }
            }
            FUZZ_CHECK(t.evaluate(ctx, format) == literal, QStringLiteral("static text changed: %1").arg(text));
        }
    } else {
        FUZZ_CHECK(!why.isEmpty(), QStringLiteral("text refused without a message"));
    }
    // Amounts in capital numerals for numbers the input spells.
    bool ok = false;
    const double amount = first.trimmed().toDouble(&ok);
    if (ok) {
        chineseCapitalAmount(amount);
    }
    return 0;
}
