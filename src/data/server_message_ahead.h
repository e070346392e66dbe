#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

// A message sent to a PostgreSQL server without waiting for its answer:
// the server works on it while the program goes on (a list's count and
// sums, and the end of the transaction that keeps its cursor's rows, while
// its first rows already show). Its answer is read as it comes, and all of
// it before the connection carries anything else.
class ServerMessageAhead {
public:
    // What one statement of the message gave.
    struct Result {
        bool ok = false;
        QString commandTag;
        QList<QVariant> firstRow;  // texts; null where the server said null
        QString error;
    };

    // Sends `text` on `connection` (a libpq PGconn*); null when libpq
    // would not take it (then nothing was sent).
    static std::shared_ptr<ServerMessageAhead> send(void* connection, const QString& text);
    ServerMessageAhead(const ServerMessageAhead&) = delete;
    ServerMessageAhead& operator=(const ServerMessageAhead&) = delete;

    // Reads what has arrived, never waiting; true once the whole answer is
    // in.
    bool ready();
    // Waits for the rest of the answer.
    void collect();
    // Asks the server to stop working on the message (the answer still has
    // to be read; it then ends in an error). Harmless once it has finished.
    void cancel();
    // The connection is closing: its answer is never read.
    void abandon();
    bool collected() const { return m_connection == nullptr; }
    // The connection failed before the whole answer came.
    bool connectionLost() const { return m_lost; }
    const QList<Result>& results() const { return m_results; }

private:
    explicit ServerMessageAhead(void* connection) : m_connection(connection) {}
    // Takes one result; false at the end of the answer.
    bool take(void* result);
    void finish();

    void* m_connection;
    QList<Result> m_results;
    bool m_lost = false;
};
