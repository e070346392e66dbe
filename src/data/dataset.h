#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <vector>

#include "data/column_store.h"
#include "data/field_def.h"
#include "platform/errors.h"

class Database;
class ServerRowStream;

// The in-memory cursor documents are edited in. Rows keep their original
// values and a state; changes are made with edit()/append(), setValue() and
// post(), and reach the database only through applyUpdates(), all in one
// transaction (or at once after each post in auto-apply mode).
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum class RowStatus { Unchanged, Modified, Inserted, Deleted };

    explicit Dataset(Database& db, QObject* parent = nullptr);
    ~Dataset() override;

    Database& database() const { return m_db; }

    // The table that changes are written to, and its key fields (by default
    // the table's primary key).
    void setUpdateTable(const QString& table, const QStringList& keyFields = {});
    QString updateTable() const { return m_table; }
    // Opens the rows of a statement; columns of the update table take their
    // definitions from the table.
    void open(const QString& sql, const QVariantMap& params = {});
    // setUpdateTable(table) and open("select * from table").
    void openTable(const QString& table, const QString& orderBy = {});
    // Runs the last statement again; cached changes are dropped.
    void refresh();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    const QList<FieldDef>& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const;
    FieldDef& field(const QString& name);
    void setDisplayFormat(const QString& field, const QString& format);
    // How messages name a field ("默认单价"); kept when the rows are read again.
    void setCaption(const QString& field, const QString& caption);
    // The field whose value names a row in messages (a code); the key
    // fields when not set.
    void setRecordLabelField(const QString& field) { m_labelField = field; }

    // Rows in view: not deleted, and matching the master row when linked.
    int rowCount() const { return static_cast<int>(m_visible.size()); }
    bool isEmpty() const { return m_visible.isEmpty(); }
    int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    void first() { setCurrentRow(0); }
    void last() { setCurrentRow(rowCount() - 1); }
    void next();
    void prior();
    bool eof() const { return m_eof; }

    // The current row's value, including an unposted edit.
    QVariant value(const QString& field) const;
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const;
    QString displayText(int row, int column) const;
    RowStatus rowStatus(int row) const;
    // The value of a row as last read or written.
    QVariant originalValue(int row, const QString& field) const;

    // Sets a field of the current row; starts an edit when browsing.
    void setValue(const QString& field, const QVariant& value);
    // A grid cell's edit: moves to the row, sets the value and posts it; on
    // a refusal the edit is dropped and the error passed on.
    void editCell(int row, int column, const QVariant& value);
    void edit();
    void append();
    // A new row kept only once something is typed into it: posting it as
    // it was made (presets only) drops it, as cancel does.
    void appendDraft(const QVariantMap& presets);
    // The row being edited is a draft nothing was typed into yet.
    bool holdsUntouchedDraft() const;
    void post();
    void cancel();
    void deleteCurrent();
    // Deletes rows by their view index.
    void deleteRows(QList<int> rows);
    bool locate(const QString& field, const QVariant& value, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    // Cached changes, or an edit not yet posted.
    bool hasChanges() const;
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    // Writes every cached change in one transaction. On failure nothing is
    // written and the cached changes stay as they were. Inside a
    // transaction that the caller holds, the rows show as saved at once
    // (new keys included, so the caller can go on with them); should that
    // transaction roll back, the dataset returns to its cached changes, and
    // afterApply is only emitted once the outermost transaction commits.
    void applyUpdates();
    // Drops every cached change.
    void cancelUpdates();
    // Inside the caller's write transaction: throws DbError (RecordChanged)
    // when the rows of the dataset's statement are no longer what was read
    // (another user changed or deleted one, or added one). A save of a
    // whole document runs it on the head and the lines, so that it never
    // mixes its edits with another workstation's.
    void checkUnchangedElsewhere();
    void setAutoApply(bool on) { m_autoApply = on; }
    bool autoApply() const { return m_autoApply; }

    // The dirty mark windows keep on a dataset.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // Shows only the rows whose detailField equals masterField of the
    // master's current row; new rows take that value.
    void setMaster(Dataset* master, const QString& masterField, const QString& detailField);

public:
    // A check run inside the transaction of every write of the cached
    // changes, before the rows are written; it throws to refuse the write.
    void setWriteGuard(std::function<void()> guard) { m_writeGuard = std::move(guard); }
    // Long lists of an embedded book are read on two cores (what is
    // committed only; inside a transaction they are read as usual).
    void setReadInParallel(bool on) { m_readInParallel = on; }

    // Long lists of a server book, read outside a transaction, show their
    // first `firstRows` rows at once; readMoreRows() appends the rest, a
    // part at a time, from the rows as they were when the read began
    // (0: every row at once).
    void setReadInParts(int firstRows) { m_firstRows = firstRows; }
    // Columns whose sums over every row are read with the first rows.
    void setSummedFields(const QStringList& fields) { m_summed = fields; }
    // Rows are still to be read.
    bool hasMoreRows() const { return m_stream != nullptr; }
    // Whether the next part can be read without waiting for the server
    // (never waits).
    bool nextPartReady() const;
    // Reading stopped before the last row (the connection was lost).
    bool readStoppedShort() const { return m_stoppedShort; }
    // The rows read from the database by the last open (rows added or
    // deleted since not counted).
    int rowsRead() const { return m_store.rowCount(); }
    // The rows the statement gave, counted when the read began; -1 when
    // the rows were not read in parts, or the count has not come yet.
    qint64 expectedRowCount() const { return m_expectedRows; }
    // The sum of a summed field over every row the statement gave; null
    // when not known.
    QVariant expectedSum(const QString& field) const;
    // Appends up to `rows` more rows (rowsAppended). When reading fails,
    // the rows read stay, reading stops (readStoppedShort) and a DbError
    // saying the list is incomplete is thrown.
    int readMoreRows(int rows);
    // Reads every row still to come, as what works on the whole list
    // (an export) needs; refuses a list whose reading stopped short.
    void readRemainingRows();

signals:
    void fieldChanged(const QString& field);
    void currentRowChanged(int row);
    void stateChanged(Dataset::State state);
    void aboutToReset();
    void resetDone();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    // Any row's values may have changed; rows stayed where they were.
    void valuesRefreshed();
    // Rows read in a later part were appended: `count` view rows from
    // `first` on.
    void rowsAppended(int first, int count);
    // The last part was read, or reading stopped short.
    void readingEnded();
    void beforePost();
    void afterPost();
    // The cached changes are in the database for good.
    void afterApply();
    // A number typed into a field was rounded to what the field keeps
    // (500.5 into whole units is 501).
    void valueRounded(const QString& field, double typed, double kept);
    // A write at once after a post failed; the changes are still held
    // (the owner may drop them). The failure is passed on after this.
    void autoApplyFailed();

private:
    enum class Status { Unchanged, Modified, Inserted, Deleted, Discarded };
    // A row as read keeps its values in the store (stored >= 0, values
    // empty); a row that is changed or new holds its own values.
    struct Row {
        QVector<QVariant> values;
        QVector<QVariant> original;
        int stored = -1;
        Status status = Status::Unchanged;
    };

    int requireField(const QString& name) const;
    Row& currentRowData();
    const Row* rowAt(int viewRow) const;
    QVariant cell(const Row& row, int column) const;
    QVector<QVariant> cells(const Row& row) const;
    // Gives a row read from the store its own copy of the values.
    void materialize(Row& row) const;
    void setState(State s);
    void rebuildView();
    // Fills m_visible with the rows that are shown.
    void collectVisible();
    // The rows take their saved state after a write.
    // `defaults`: what the book filled into columns a new row left empty.
    void acceptWritten(const QHash<int, QVariant>& newKeys, const QHash<int, QVector<QVariant>>& defaults);
    // What the rows were before a write inside the caller's transaction.
    struct Snapshot {
        std::vector<Row> rows;
        QVector<int> visible;
        int current = -1;
        quint64 generation = 0;
    };
    void restore(const Snapshot& snapshot);
    bool matchesMaster(const Row& row) const;
    QVariant masterValue() const;
    void onMasterMoved();
    void checkLengths(const QVector<QVariant>& values) const;
    // The same failure of a write of `row` told with the field and the
    // record it concerns.
    DbError explain(const DbError& e, const Row& row) const;
    QString recordLabel(const Row& row) const;
    // The key fields: those set, else the table's primary key.
    void requireKeyFields();
    // Sets the pinyin initials of the rows to be written from their names;
    // false when the dataset does not hold the initials and the names.
    bool deriveNameInitials();
    void writeChanges(QHash<int, QVariant>* newKeys, QHash<int, QVector<QVariant>>* defaults);
    void readDefaults(const QHash<int, QVariant>& newKeys, QHash<int, QVector<QVariant>>* defaults);
    // The stored rows that a save writes over must be the rows as read.
    void checkWrittenRowsUnchanged();
    // What a row's values were when read (or last written).
    QVector<QVariant> baseline(const Row& row) const;
    DbError changedElsewhere(const Row& row, const QStringList& fields) const;
    QVariantMap keyParams(const Row& row, const QString& prefix) const;
    QString keyWhere(const QString& prefix) const;
    void afterChangeMaybeApply();

    Database& m_db;
    QString m_table;
    QStringList m_keyFields;
    QString m_sql;
    QVariantMap m_params;
    QList<FieldDef> m_fields;
    QHash<QString, int> m_fieldIndex;  // lower-case name -> column
    ColumnStore m_store;
    std::vector<Row> m_rows;
    QVector<int> m_visible;
    int m_current = -1;
    bool m_eof = true;
    State m_state = State::Inactive;
    QVector<QVariant> m_buffer;
    int m_editRow = -1;         // index into m_rows of the row being edited
    QVector<QVariant> m_draft;  // the values a draft row was made with
    quint64 m_generation = 0;   // counts the reads that replaced every row
    // The read (m_generation) whose rows checkUnchangedElsewhere found as read
    // and locked inside the transaction still open: a write in it need not
    // read them again. 0 for none.
    quint64 m_lockedUnchanged = 0;
    bool m_autoApply = false;
    int m_tag = 0;
    QString m_labelField;
    QPointer<Dataset> m_master;
    QString m_masterField;
    int m_detailColumn = -1;
    std::function<void()> m_writeGuard;
    bool m_readInParallel = false;
    int m_firstRows = 0;
    QStringList m_summed;
    std::unique_ptr<ServerRowStream> m_stream;
    // Takes the stream's count and sums once they have come.
    void takeTotalsOf(ServerRowStream& stream);
    static constexpr int kRemainingPartRows = 20000;
    bool m_stoppedShort = false;
    qint64 m_expectedRows = -1;
    QHash<QString, double> m_expectedSums;
};
