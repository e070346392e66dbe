// Report expressions as templates write them: the first line is parsed as
// one expression, the whole input as a text with [expression] placeholders;
// both are evaluated against a few fixed rows, and the rest of the input
// serves as a display format.

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QVariant>
#include <cmath>
#include <limits>

#include "harness.h"
#include "reports/engine/report_expression.h"

namespace {

// Rows of the kinds a book gives: numbers, text, dates, nulls, and text
// that reads as a number.
QList<QHash<QString, QVariant>> fixedRows() {
    QList<QHash<QString, QVariant>> rows;
    rows.append({{"qty", 3.0},
                 {"price", 12.5},
                 {"total_price", 37.5},
                 {"goods_name", QStringLiteral("铝合金门")},
                 {"billday", QDate(2024, 3, 1)},
                 {"order_date", QDateTime(QDate(2024, 3, 1), QTime(9, 30))},
                 {"remark", QVariant()},
                 {"subject", QStringLiteral("0")},
                 {"id", qlonglong(9007199254740993LL)},
                 {"ispay", true}});
    rows.append({{"qty", -0.5},
                 {"price", 1e300},
                 {"total_price", QStringLiteral(" 42 ")},
                 {"goods_name", QString()},
                 {"billday", QStringLiteral("2024-02-29")},
                 {"order_date", QStringLiteral("2024-02-29 23:59:59")},
                 {"remark", QStringLiteral("[备注]")},
                 {"subject", 3},
                 {"id", qlonglong(-1)},
                 {"ispay", false}});
    rows.append({{"qty", std::nan("")},
                 {"price", 0.0},
                 {"total_price", -1e-9},
                 {"goods_name", QStringLiteral("nan")},
                 {"billday", QDate()},
                 {"order_date", QDateTime()},
                 {"remark", QStringLiteral("1e400")},
                 {"subject", QVariant()},
                 {"id", std::numeric_limits<qlonglong>::min()},
                 {"ispay", QVariant()}});
    return rows;
}

QVariant aggregateValue(const ReportExpression::Aggregate& a) {
    if (a.function == QLatin1String("count")) {
        return qlonglong(7);
    }
    if (a.function == QLatin1String("avg")) {
        return QVariant();  // no numbers
    }
    return a.function == QLatin1String("sum") ? 1234567.891 : -3.25;
}

void evaluateEverywhere(const ReportExpression& e, const QString& format) {
    static const QList<QHash<QString, QVariant>> rows = fixedRows();
    for (int r = 0; r < rows.size(); ++r) {
        ReportExpression::Context ctx;
        ctx.field = [r](const QString& f) { return rows[r].value(f.toLower()); };
        ctx.aggregate = aggregateValue;
        ctx.page = r + 1;
        ctx.pages = static_cast<int>(rows.size());
        ctx.today = QDate(2024, 12, 31);
        const QVariant v = e.evaluate(ctx);
        formatReportValue(v, format);
        formatReportValue(v, QString());
        for (const auto& a : e.aggregates()) {
            // The preparer accumulates each aggregate's argument row by row.
            ReportExpression::evaluateNode(a.argument, ctx);
            FUZZ_CHECK(a.function == "sum" || a.function == "count" || a.function == "avg" || a.function == "min" ||
                           a.function == "max",
                       a.function);
        }
    }
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
            FUZZ_CHECK(a.id == id, QStringLiteral("aggregate ids are not numbered in order"));
            ++id;
        }
        evaluateEverywhere(e, format);
    }

    ReportText t;
    QString why;
    if (t.parse(text, &why, 0)) {
        static const QList<QHash<QString, QVariant>> rows = fixedRows();
        ReportExpression::Context ctx;
        ctx.field = [](const QString& f) { return rows[0].value(f.toLower()); };
        ctx.aggregate = aggregateValue;
        ctx.today = QDate(2024, 12, 31);
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
