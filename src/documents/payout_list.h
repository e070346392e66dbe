#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

#include "data/payout_kind.h"

class Database;
class Dataset;
class Prompter;

// The payouts of one kind in the list's dataset, where the editor also
// adds and changes them; deleting by id after the question.
class PayoutList {
public:
    PayoutList(Database& db, Prompter& prompter, int kind);
    ~PayoutList();
    PayoutList(const PayoutList&) = delete;
    PayoutList& operator=(const PayoutList&) = delete;

    const PayoutKind& kind() const { return m_kind; }
    // The remarks written for this kind of payout, the most recent first,
    // each once; at most `most`.
    QStringList recentRemarks(int most = 200) const;
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
