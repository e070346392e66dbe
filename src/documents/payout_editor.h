#pragma once

#include <QDate>
#include <QString>
#include <functional>

class PayoutList;
class Prompter;

// One payout edited in the list's rows: a new one (appended with today's
// date and the list's kind) or the current row. Saving writes the list's
// cached changes in one transaction; cancelling drops them, so a new payout
// never saved leaves nothing behind.
class PayoutEditor {
public:
    enum Mode { New = 2, Existing = 3 };

    PayoutEditor(PayoutList& list, Prompter& prompter, const QDate& today, int mode);

    int mode() const { return m_mode; }
    // A new payout, an edit in progress or cached changes not yet written.
    bool isChanged() const;

    // Shows what is missing or wrong; false when the payout is invalid.
    bool validate();
    // Writes a changed, valid payout; false when invalid. A failed write
    // throws with the payout still in the rows, to save again.
    bool save();
    // Drops the changes; a new payout is removed again.
    void cancel();
    // "保存并关闭": true when the window may close.
    bool saveAndClose();
    // "关闭" and the close box: asks about a changed payout; true when the
    // window may close. `save` is how the caller saves on Yes (through its
    // permission check); by default save() itself.
    bool close(const std::function<bool()>& save = {});
    // "增加下个商品": saves a changed payout (false when it is invalid) and
    // starts a new one.
    bool addNext();

    static QString closeQuestion() { return QStringLiteral("该货品内容已更改，是否要保存？"); }
    // Whole units; the largest amount the column takes on every engine with
    // room to sum a year of them.
    static constexpr qint64 kMaxAmount = 999999999;

private:
    PayoutList& m_list;
    Prompter& m_prompter;
    QDate m_today;
    int m_mode;
};
