#pragma once

#include <QString>
#include <stdexcept>

// Base of the errors the program raises: each carries a text meant for the
// user, shown as it stands by the action manager or the command-line tool,
// and technical details (a statement, a driver's text) that a message box
// shows only on request and the error log keeps.
class OlvendError : public std::runtime_error {
public:
    explicit OlvendError(const QString& message, const QString& details = {})
        : std::runtime_error((details.isEmpty() ? message : message + '\n' + details).toStdString()),
          m_message(message),
          m_details(details) {}
    const QString& message() const { return m_message; }
    const QString& details() const { return m_details; }

private:
    QString m_message;
    QString m_details;
};

// A database failure. The message says in the user's words what went wrong
// and what to do; the details say which statement on which book failed and
// what the driver reported.
class DbError : public OlvendError {
public:
    // What the database refused, as far as the program can tell.
    enum class Kind {
        Other,
        Duplicate,       // a unique index already holds the value
        NumberTooLarge,  // a number beyond its column's digits
        Reference,       // a foreign key does not match
        MissingValue,    // a required column left empty
        RecordChanged,   // another user deleted or changed the record
        Busy,            // another program holds the book locked
        ConnectionLost,  // the server cannot be reached any more
        ReadOnly,        // the book's file (or its folder) cannot be written
        DiskFull,        // the disk, or the room the book may take, is full
        Damaged,         // the book's file is not sound
        FileError,       // the book's file could not be read or written
        NotPermitted,    // the server's user lacks the privilege
    };

    DbError(const QString& message, const QString& driverText = {}, const QString& statement = {},
            Kind kind = Kind::Other, const QString& details = {})
        : OlvendError(message, details.isEmpty() ? joinDetails(statement, driverText) : details),
          m_driverText(driverText),
          m_statement(statement),
          m_kind(kind) {}
    const QString& driverText() const { return m_driverText; }
    const QString& statement() const { return m_statement; }
    Kind kind() const { return m_kind; }
    // The same failure told in other words; the details stay.
    DbError withMessage(const QString& message) const {
        return DbError(message, m_driverText, m_statement, m_kind, details());
    }

    static QString joinDetails(const QString& statement, const QString& driverText) {
        QString out;
        if (!statement.isEmpty()) {
            out = QStringLiteral("SQL: ") + statement.simplified();
        }
        if (!driverText.isEmpty()) {
            out += (out.isEmpty() ? QString() : QStringLiteral("\n")) + driverText;
        }
        return out;
    }

private:
    QString m_driverText;
    QString m_statement;
    Kind m_kind;
};

// A business rule refused the request; the message is the system's own text.
class UserError : public OlvendError {
public:
    using OlvendError::OlvendError;
};

// The text a user is shown for anything thrown: the program's own errors as
// they stand; other failures (a library's, in English) under a Chinese lead
// that says it is an internal fault, with their text after it.
inline QString userTextOf(const std::exception& e) {
    if (const auto* own = dynamic_cast<const OlvendError*>(&e)) {
        return own->message();
    }
    return QStringLiteral("操作失败：程序内部错误（%1）").arg(QString::fromLocal8Bit(e.what()));
}

// What a user need not read about anything thrown: the program's own
// errors' details; for other failures their own text.
inline QString detailsOf(const std::exception& e) {
    if (const auto* own = dynamic_cast<const OlvendError*>(&e)) {
        return own->details();
    }
    return QString::fromLocal8Bit(e.what());
}
