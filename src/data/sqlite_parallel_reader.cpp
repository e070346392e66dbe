#include "data/sqlite_parallel_reader.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QUtf8StringView>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "data/database.h"

namespace {
// Rows handed over at a time: large enough that the two threads seldom
// wait for each other, small enough that the keeping starts at once.
constexpr int kRowsPerBatch = 2048;
// Batches waiting at most: the reading waits when the keeping lags, so the
// values are not held twice over.
constexpr size_t kBatchesWaiting = 8;

// How a value travels in a batch: its kind, then (numbers) eight bytes or
// (texts, blobs) a four-byte length and the bytes.
enum Tag : char { TagNull, TagInteger, TagReal, TagText, TagBlob };

// Why the reading thread stopped, as SQLite told it.
struct Failure {
    QString text;
    int code = 0;
    int systemErrno = 0;
};

struct Parameter {
    QByteArray name;  // ":name"
    QVariant value;   // as the database takes it
};

// What the reading thread and the keeping thread share.
class Handover {
public:
    enum class End { Done, Failed, Unavailable };

    // Waits while enough batches wait, unless the reading is stopped.
    void push(QByteArray batch) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_space.wait(lock, [this] { return m_batches.size() < kBatchesWaiting || m_stop; });
            m_batches.push_back(std::move(batch));
        }
        m_ready.notify_one();
    }
    void finish(End end, const Failure& failure = {}) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
            m_end = end;
            m_failure = failure;
        }
        m_ready.notify_one();
    }
    // The next batch; false when there is none any more.
    bool pop(QByteArray* batch) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_batches.empty() || m_done; });
        if (m_batches.empty()) {
            return false;
        }
        *batch = std::move(m_batches.front());
        m_batches.pop_front();
        lock.unlock();
        m_space.notify_one();
        return true;
    }
    void stop() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_space.notify_one();
    }
    bool stopped() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_stop;
    }
    End end(Failure* failure) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        *failure = m_failure;
        return m_end;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_space;
    std::deque<QByteArray> m_batches;
    bool m_done = false;
    bool m_stop = false;
    End m_end = End::Done;
    Failure m_failure;
};

void bindAll(sqlite3_stmt* stmt, const std::vector<Parameter>& params) {
    for (const Parameter& p : params) {
        const int index = sqlite3_bind_parameter_index(stmt, p.name.constData());
        if (index == 0) {
            continue;
        }
        const QVariant& v = p.value;
        const int type = v.typeId();
        if (v.isNull() || !v.isValid()) {
            sqlite3_bind_null(stmt, index);
        } else if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
                   type == QMetaType::ULongLong) {
            sqlite3_bind_int64(stmt, index, v.toLongLong());
        } else if (type == QMetaType::Double || type == QMetaType::Float) {
            sqlite3_bind_double(stmt, index, v.toDouble());
        } else if (type == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else {
            const QByteArray t = v.toString().toUtf8();
            sqlite3_bind_text(stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
    }
}

// A batch being written: values go straight into the bytes, which grow
// only now and then, so writing a value costs a copy and no call.
class BatchWriter {
public:
    explicit BatchWriter(qsizetype capacity) { m_bytes.resize(capacity); }
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;
    BatchWriter(BatchWriter&&) = default;
    BatchWriter& operator=(BatchWriter&&) = default;

    void tag(char t) { *room(1) = t; }
    template <class T>
    void number(T value) {
        std::memcpy(room(sizeof value), &value, sizeof value);
    }
    void bytes(const void* data, qint32 size) {
        char* at = room(qsizetype(sizeof size) + size);
        std::memcpy(at, &size, sizeof size);
        if (size > 0) {
            std::memcpy(at + sizeof size, data, size_t(size));
        }
    }
    qsizetype size() const { return m_used; }
    // The bytes written; the writer is empty afterwards.
    QByteArray take() {
        m_bytes.truncate(m_used);
        m_used = 0;
        return std::move(m_bytes);
    }

private:
    // Where the next n bytes go; valid until the next call.
    char* room(qsizetype n) {
        if (m_used + n > m_bytes.size()) {
            m_bytes.resize(std::max(m_bytes.size() * 2, m_used + n));
        }
        char* at = m_bytes.data() + m_used;
        m_used += n;
        return at;
    }
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// The reading thread: every row of the statement, in batches. When its own
// connection cannot be had, or the statement reads other columns on it
// than on the program's connection (the book changed in between), it says
// so and reads nothing.
void readRows(const QByteArray& path, const QByteArray& sql, const std::vector<Parameter>& params, int columns,
              Handover& handover) {
    sqlite3* connection = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(path.constData(), &connection, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK ||
        sqlite3_busy_timeout(connection, 10000) != SQLITE_OK ||
        sqlite3_prepare_v2(connection, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK ||
        sqlite3_column_count(stmt) != columns) {
        sqlite3_finalize(stmt);
        sqlite3_close(connection);
        handover.finish(Handover::End::Unavailable);
        return;
    }
    Failure failure;
    {
        bindAll(stmt, params);
        BatchWriter batch(64 * 1024);
        int rows = 0;
        int rc = SQLITE_OK;
        while (!handover.stopped() && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            for (int i = 0; i < columns; ++i) {
                switch (sqlite3_column_type(stmt, i)) {
                    case SQLITE_INTEGER:
                        batch.tag(TagInteger);
                        batch.number(static_cast<qint64>(sqlite3_column_int64(stmt, i)));
                        break;
                    case SQLITE_FLOAT:
                        batch.tag(TagReal);
                        batch.number(sqlite3_column_double(stmt, i));
                        break;
                    case SQLITE_TEXT: {
                        const unsigned char* text = sqlite3_column_text(stmt, i);
                        batch.tag(TagText);
                        batch.bytes(text, sqlite3_column_bytes(stmt, i));
                        break;
                    }
                    case SQLITE_BLOB: {
                        const void* blob = sqlite3_column_blob(stmt, i);
                        batch.tag(TagBlob);
                        batch.bytes(blob, sqlite3_column_bytes(stmt, i));
                        break;
                    }
                    default:
                        batch.tag(TagNull);
                        break;
                }
            }
            if (++rows == kRowsPerBatch) {
                // The next batch is about as long: it is made that long at once.
                const qsizetype size = batch.size();
                handover.push(batch.take());
                batch = BatchWriter(size + size / 8);
                rows = 0;
            }
        }
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            failure = {QString::fromUtf8(sqlite3_errmsg(connection)), sqlite3_extended_errcode(connection),
                       sqlite3_system_errno(connection)};
        }
        if (rows > 0) {
            handover.push(batch.take());
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(connection);
    handover.finish(failure.code == 0 ? Handover::End::Done : Handover::End::Failed, failure);
}

// Keeps the rows of one batch.
void keepRows(const QByteArray& batch, int columns, ColumnStore& rows) {
    const char* at = batch.constData();
    const char* const end = at + batch.size();
    while (at < end) {
        for (int i = 0; i < columns; ++i) {
            const char tag = *at++;
            switch (tag) {
                case TagInteger: {
                    qint64 v = 0;
                    std::memcpy(&v, at, sizeof v);
                    at += sizeof v;
                    rows.appendInteger(i, v);
                    break;
                }
                case TagReal: {
                    double v = 0;
                    std::memcpy(&v, at, sizeof v);
                    at += sizeof v;
                    rows.appendReal(i, v);
                    break;
                }
                case TagText:
                case TagBlob: {
                    qint32 size = 0;
                    std::memcpy(&size, at, sizeof size);
                    at += sizeof size;
                    if (tag == TagText) {
                        rows.appendText(i, QUtf8StringView(at, size));
                    } else {
                        // An empty blob reads as SQLite gives it: no bytes at all.
                        rows.appendBlob(i, size == 0 ? QByteArrayView() : QByteArrayView(at, size));
                    }
                    at += size;
                    break;
                }
                default:
                    rows.appendNull(i);
                    break;
            }
        }
        rows.endRow();
    }
}
}  // namespace

bool SqliteParallelReader::readAll(Database& db, const QString& sql, const QVariantMap& params,
                                   SqliteRowReader::Result* out) {
    if (!db.isAccess() || !db.directReads() || db.transactionDepth() > 0) {
        return false;
    }
    const QByteArray file = SqliteRowReader::committedFile(db);
    if (file.isEmpty()) {
        return false;  // a book in memory, or a connection inside a transaction
    }
    // The statement is checked, and its columns named, on the program's own
    // connection first: a faulty statement fails as any other would.
    SqliteRowReader::Result r;
    if (!SqliteRowReader::describe(db, sql, &r)) {
        return false;
    }
    std::vector<Parameter> bound;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        bound.push_back({(it.key().startsWith(':') ? it.key() : ':' + it.key()).toUtf8(), db.toDbValue(it.value())});
    }
    const int columns = static_cast<int>(r.names.size());
    r.rows = ColumnStore(columns);

    Handover handover;
    std::thread reader(readRows, file, sql.toUtf8(), std::cref(bound), columns, std::ref(handover));
    // The reading thread is stopped and waited for however this ends.
    struct Join {
        std::thread& thread;
        Handover& handover;
        ~Join() {
            handover.stop();
            QByteArray rest;
            while (handover.pop(&rest)) {
            }
            thread.join();
        }
    } join{reader, handover};
    QByteArray batch;
    while (handover.pop(&batch)) {
        keepRows(batch, columns, r.rows);
    }
    Failure failure;
    switch (handover.end(&failure)) {
        case Handover::End::Unavailable:
            return false;
        case Handover::End::Failed:
            throw db.sqliteFailure(failure.code, failure.text, failure.systemErrno, sql);
        case Handover::End::Done:
            break;
    }
    r.rows.finish();
    *out = std::move(r);
    return true;
}
