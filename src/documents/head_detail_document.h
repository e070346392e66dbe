#pragma once

#include <QString>
#include <functional>
#include <memory>

class Clock;
class Database;
class Dataset;
class Prompter;

// A document with one head row and its lines, held in two datasets until
// saved: what every such document does alike. It saves head and lines in
// one transaction after its own checks, refuses a save over another
// workstation's (offering to read the document again), counts as saved
// only once the outermost transaction commits, drops its changes, and asks
// the unsaved-changes question. What differs is left to the document: its
// checks, what it writes with a save, what follows a save, and how its
// lines are read.
class HeadDetailDocument {
public:
    enum Mode { New = 2, Existing = 3, Copy = 5 };

    HeadDetailDocument(const HeadDetailDocument&) = delete;
    HeadDetailDocument& operator=(const HeadDetailDocument&) = delete;
    virtual ~HeadDetailDocument();

    int mode() const { return m_mode; }
    Dataset& head() { return *m_head; }
    // The head's key (the quotation's or the order's number); empty before
    // one is drawn.
    QString key() const;
    // Whether the document is stored in the book (saved at least once).
    bool isStored() const;
    // Head or lines hold changes not yet saved.
    virtual bool isModified() const = 0;
    // Shows the first fault in the document's own order; false when invalid.
    virtual bool validate() = 0;
    // Validates, then writes head and lines in one transaction. False when
    // invalid or changed on another workstation meanwhile (nothing written);
    // a failed write throws with every edit kept.
    bool save();
    // Before closing and printing: true when the caller may go on. `save`
    // is how the caller saves (through its permission check); by default
    // save() itself.
    bool settleChanges(const std::function<bool()>& save = {});
    // Drops every change and reads the stored head again (a new document
    // that was never saved is left empty).
    void discardChanges();
    // Drops every change and reads the document and its lines again.
    virtual void reload();

    static QString unsavedQuestion() { return QStringLiteral("该收据已修改但还未保存，是否要保存？"); }

protected:
    // `headTable` and `linesTable` are written; `keyField` is the head's
    // key, `noun` names the document in messages ("订货单").
    HeadDetailDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName,
                       const QString& headTable, const QString& keyField, const QString& linesTable,
                       const QString& noun);

    // Empties the head's fields that still hold what a customer record gave
    // them (field, value as filled in), when the document turns to another
    // customer: what was typed stays.
    void clearParticulars(const QList<QPair<QString, QString>>& given);
    // Ends the edits of rows still being typed before the checks.
    virtual void postPendingEdits() = 0;
    // Inside the save's transaction, after the checks that nobody changed
    // the stored rows, before they are written.
    virtual void beforeWrite() {}
    // Reads the lines of the head now open.
    virtual void openLines() = 0;
    // Once the save is committed: `wasNew` when the document was not stored
    // before.
    virtual void afterSaved(bool wasNew) { (void)wasNew; }

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    QString m_userName;
    int m_mode = New;
    std::unique_ptr<Dataset> m_head;
    std::unique_ptr<Dataset> m_lines;

private:
    void markSaved();

    QString m_headTable;
    QString m_keyField;
    QString m_linesTable;
    QString m_noun;
    // Expires with the document, for work left until a transaction ends.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
