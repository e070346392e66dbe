#pragma once

#include <QList>
#include <QString>

// What the opener's kind fixes: the payouts shown, the kind of new ones and
// the headings. The opener uses the kinds 0, 1, 2 and 4; remittances are
// kind 4 with subject "3". Any other kind shows every payout.
struct PayoutKind {
    int kind = -1;
    QString subject;  // empty: every payout, and new ones get no kind
    QString title;    // the list's title
    QString heading;  // the editor's heading

    // The kinds the lists are opened with, in the order the main window
    // and the statistics offer them.
    static const QList<PayoutKind>& all();
    static PayoutKind of(int kind);
    // The kind by its number (0, 1, 2, 4; also 3 for remittances, as the
    // subject reads) or its list title ("运输费", "工资", "日杂费", "汇款");
    // false when it is none of them.
    static bool parse(const QString& text, PayoutKind* out);
};
