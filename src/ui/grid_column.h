#pragma once

#include <QColor>
#include <QString>
#include <memory>

#include "data/lookup_list.h"

// One column of a data grid: which field, under which caption, how wide and
// how its values are shown.
struct GridColumn {
    QString field;
    QString caption;
    int width = 90;
    bool visible = true;
    bool editable = false;
    QString format;                      // display format: "0.00", "#,##0.00", "YYYY-MM-DD"
    std::shared_ptr<LookupList> lookup;  // shows codes by their names
    bool highlight = false;              // drawn in the shared highlight style

    // The background of highlighted columns.
    static QColor highlightBackground() { return QColor(0xFE, 0xD5, 0x47); }

    static GridColumn make(const QString& field, const QString& caption, int width = 90) {
        GridColumn c;
        c.field = field;
        c.caption = caption;
        c.width = width;
        return c;
    }
    GridColumn& hidden() {
        visible = false;
        return *this;
    }
    GridColumn& withFormat(const QString& f) {
        format = f;
        return *this;
    }
    GridColumn& withLookup(std::shared_ptr<LookupList> l) {
        lookup = std::move(l);
        return *this;
    }
    GridColumn& asEditable(bool on = true) {
        editable = on;
        return *this;
    }
    GridColumn& highlighted() {
        highlight = true;
        return *this;
    }
};

// A footer summary: the count of rows or the sum of a column, written into a
// text whose number pattern ("0", "0.00", "#,##0.00") takes the value, as in
// "共 0 个货品" or "合计:0.00".
struct FooterSummary {
    enum class Kind { Count, Sum };
    QString field;  // the column it stands under
    Kind kind = Kind::Count;
    QString text;

    static FooterSummary count(const QString& field, const QString& text) { return {field, Kind::Count, text}; }
    static FooterSummary sum(const QString& field, const QString& text) { return {field, Kind::Sum, text}; }
    // The text with its number pattern replaced by the value.
    QString render(double value) const;
};
