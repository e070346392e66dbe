#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

// A period of days with From and To both included, as every date filter and
// statistic takes it; either end may be open (no date).
struct Period {
    QDate from;
    QDate to;

    // Throws UserError when From lies after To.
    void check() const;
    static QString outOfOrderText();
    bool isOpen() const { return !from.isValid() && !to.isValid(); }
    // Whether a day lies in the period. A day that is no date lies only in
    // an open period.
    bool contains(const QDate& day) const;
    // The bounds of "column >= lower and column < upper" on the stored
    // dates and times: the start of From, and the start of the day after
    // To; null where the period is open (the last day a date can hold has
    // no day after it, so it is open there too).
    QVariant lowerBound() const;
    QVariant upperBound() const;
};
