#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

class Database;
class Dataset;
class Prompter;

// What the opener's kind fixes: the payouts shown, the kind of new ones and
// the headings. The opener uses the kinds 0, 1, 2 and 4; remittances are
// kind 4 with subject "3". Any other kind shows every payout.
struct PayoutKind {
    int kind = -1;
    QString subject;  // empty: every payout, and new ones get no kind
    QString title;    // the list's title
    QString heading;  // the editor's heading

    static PayoutKind of(int kind);
    // The kind by its number (0, 1, 2, 4; also 3 for remittances, as the
    // subject reads) or its list title ("运输费", "工资", "日杂费", "汇款");
    // false when it is none of them.
    static bool parse(const QString& text, PayoutKind* out);
};

// The payouts of one kind in the list's dataset, where the editor also
// adds and changes them; deleting by id after the question.
class PayoutList {
public:
    PayoutList(Database& db, Prompter& prompter, int kind);
    ~PayoutList();
    PayoutList(const PayoutList&) = delete;
    PayoutList& operator=(const PayoutList&) = delete;

    const PayoutKind& kind() const { return m_kind; }
    void open();
    // Reads the rows again; cached changes are dropped.
    void refresh();
    Dataset& rows() { return *m_rows; }
    const Dataset& rows() const { return *m_rows; }

    // Appends a new payout of today with the list's kind to the batch.
    void addRow(const QDate& today);

    // Whether the selection can be edited (exactly one row); false with the
    // system's message otherwise.
    bool checkEditSelection(int selected);
    // Asks, then deletes the rows with these ids in one statement; false
    // when nothing was selected or the user said no.
    bool remove(const QVariantList& ids);
    void removeNow(const QVariantList& ids);

    static QString deleteQuestion() { return QStringLiteral("确定要删除吗？"); }

private:
    Database& m_db;
    Prompter& m_prompter;
    PayoutKind m_kind;
    std::unique_ptr<Dataset> m_rows;
};
