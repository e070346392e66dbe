#pragma once

#include <QDate>
#include <QFontMetricsF>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>
#include <algorithm>
#include <cfloat>
#include <memory>
#include <vector>

#include "reports/engine/report_preparer.h"

// What a report preparer keeps while it prepares one report: the template's
// items and bands compiled for the rows, the totals, and where on which
// page it is. Shared by the preparer's files only.

inline constexpr double kMm = PreparedReport::kDotsPerMm;
// The most lines, texts and pictures one prepared report may hold.
inline constexpr qint64 kMaxPrimitives = 20'000'000;

// One argument of the aggregates as a row gave it, read once for every
// scope that sums it.
struct ReportPreparer::ArgumentValue {
    enum class Kind { Null, NotNumber, Number };
    int row = -1;
    Kind kind = Kind::Null;
    double number = 0;
};

struct ReportPreparer::CompiledItem {
    const ReportItem* item = nullptr;
    ReportText text;
    ReportFontStyle font;
    bool usesPages = false;
    // Filled while one report is prepared (the items are compiled anew for
    // each): the font's place in the prepared report, and for a wrapping
    // text its metrics and the height each text measured, since a column
    // repeats its texts down a long report.
    mutable int fontIndex = -1;
    mutable std::unique_ptr<QFontMetricsF> metrics;
    mutable QHash<QString, double> heights;
    mutable double wordHeight = -1;  // of any text that is one plain word
    // For one-line texts made smaller to fit: the font's widest character,
    // each character's width and the width each text measured.
    mutable double widestCharacter = -1;
    mutable QHash<char16_t, double> characterWidths;
    mutable int numbersAddUp = -1;  // whether numbers measure as their characters (-1: not asked yet)
    mutable QHash<QString, double> widths;
    // The value a text of one expression showed last and its text: a
    // column repeats a value row after row (a day, a name).
    mutable QVariant lastValue;
    mutable QString lastText;
};

struct ReportPreparer::CompiledBand {
    ReportBand band;
    int level = -1;  // group level for group bands
    int groupFieldIndex = -1;
    bool hasWrap = false;
    std::vector<CompiledItem> items;
};

// The sums of one argument over the rows of a scope: every function an
// aggregate may ask (count, sum, avg, min, max) is kept at once, so that
// aggregates over the same argument share one.
struct ReportPreparer::Accumulator {
    double sum = 0;
    qint64 count = 0;
    qint64 numbers = 0;
    double min = DBL_MAX;
    double max = -DBL_MAX;

    // A row's value as its slot read it: null, a value that is no number,
    // or a number.
    void add(ArgumentValue::Kind kind, double d) {
        if (kind == ArgumentValue::Kind::Null) {
            return;
        }
        ++count;
        if (kind == ArgumentValue::Kind::Number) {
            ++numbers;
            sum += d;
            min = std::min(min, d);
            max = std::max(max, d);
        }
    }
    QVariant result(const QString& function) const {
        if (function == QLatin1String("count")) {
            return count;
        }
        if (function == QLatin1String("sum")) {
            return sum;
        }
        if (numbers == 0) {
            return {};
        }
        if (function == QLatin1String("avg")) {
            return sum / numbers;
        }
        return function == QLatin1String("min") ? min : max;
    }
};

struct ReportPreparer::State {
    const ReportRows* rows = nullptr;
    PreparedReport* out = nullptr;
    QDate today;
    QHash<QString, int> fieldIndex;
    // Field names as the expressions write them -> column (-1: a parameter).
    mutable QHash<QString, int> nameIndex;
    double pageWidth = 0, pageHeight = 0;
    double left = 0, top = 0, contentWidth = 0, bottomLimit = 0;
    double y = 0, contentTop = 0, pageHeaderY = 0;
    bool bodyOnPage = false;
    int column = 0;
    double rowHeight = 0;
    double columnWidth = 0;
    int bandInstance = 0;
    // The sums of the report, its page and each group level, by argument
    // slot; each scope adds only the slots its aggregates read.
    std::vector<Accumulator> report, page;
    std::vector<std::vector<Accumulator>> group;
    // Each argument slot's value and the row it was read for: the sums of
    // the report, its page and its groups read one row alike.
    std::vector<ArgumentValue> arguments;
    int lastRow = -1;
    QVector<int> groupFieldIndex;  // the column of each group level's field
    QVector<int> groupStart;       // the first row of each level's current group
    int next = 0;                  // the next row to place
    struct Deferred {
        int page;
        int primitive;
        const CompiledItem* item;
        int row;
        QHash<int, QVariant> aggregates;
    };
    QList<Deferred> deferred;
    // The finished pages as last shown, and how many deferred texts they
    // have had filled with "…".
    PreparedReport soFar;
    int soFarDeferred = 0;
    QHash<QString, int> images;
    qint64 primitives = 0;
};
