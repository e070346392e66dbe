#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

#include "reports/engine/report_format.h"

// An expression of a report text: field values, arithmetic, comparisons,
// aggregates (sum, count, avg, min, max), page numbers, today, display
// formats and amounts in Chinese capital numerals. Nulls and division by
// zero give a null value (empty text), never an error.
class ReportExpression {
public:
    struct Node;
    // An aggregate as written in an expression; the preparer accumulates
    // its argument over the rows and answers it by its id.
    struct Aggregate {
        int id = 0;
        QString function;  // sum, count, avg, min, max
        QString scope;     // "", "group", "page" or "report" as written
        const Node* argument = nullptr;
    };

    struct Context {
        std::function<QVariant(const QString& field)> field;
        // A quicker way to a field that is a column of the row: the row's
        // values, and the column of a name (-1: none, `field` answers it).
        // A parsed field asks its column once and keeps it, so an
        // expression is read with the columns of one set of rows only.
        const QVector<QVariant>* row = nullptr;
        std::function<int(const QString& field)> columnOf;
        std::function<QVariant(const Aggregate& aggregate)> aggregate;
        int page = 1;
        int pages = 1;  // -1: not known yet
        QDate today;
    };

    ReportExpression();
    ~ReportExpression();
    ReportExpression(ReportExpression&&) noexcept;
    ReportExpression& operator=(ReportExpression&&) noexcept;

    // Parses; false with a message on a syntax error. Aggregate ids are
    // numbered from `firstAggregateId`.
    bool parse(const QString& text, QString* error, int firstAggregateId = 0);
    // The expression that reads one field, whatever its name.
    static ReportExpression ofField(const QString& name);
    QVariant evaluate(const Context& context) const;
    // Evaluates an aggregate's argument (for the preparer's accumulation).
    static QVariant evaluateNode(const Node* node, const Context& context);
    // A text that two arguments share exactly when they are written alike
    // (spaces and letter case of keywords aside).
    static QString nodeKey(const Node* node);

    const std::vector<Aggregate>& aggregates() const { return m_aggregates; }
    bool usesPageCount() const { return m_usesPages; }
    bool isEmpty() const { return !m_root; }

private:
    std::unique_ptr<Node> m_root;
    std::vector<Aggregate> m_aggregates;
    bool m_usesPages = false;
};

// A text with [expression] placeholders ("[[" writes a bracket).
class ReportText {
public:
    bool parse(const QString& text, QString* error, int firstAggregateId = 0);
    // The text that is one field's value, whatever the field's name.
    static ReportText ofField(const QString& name);
    // The text with every placeholder's value, formatted by `format` (or
    // by a format() inside the placeholder).
    QString evaluate(const ReportExpression::Context& context, const QString& format) const;
    // When the text is exactly one placeholder, its value (for exports that
    // keep numbers as numbers).
    bool singleValue(const ReportExpression::Context& context, QVariant* value) const;
    bool usesPageCount() const;
    bool isStatic() const;
    std::vector<ReportExpression::Aggregate> aggregates() const;

private:
    struct Part {
        QString literal;
        std::shared_ptr<ReportExpression> expression;
    };
    std::vector<Part> m_parts;
};
