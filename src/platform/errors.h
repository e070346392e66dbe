#pragma once

#include <QString>
#include <stdexcept>

// Base of the errors the program raises: each carries a text meant for the
// user, shown as it stands by the action manager or the command-line tool.
class OlvendError : public std::runtime_error {
public:
    explicit OlvendError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A database failure: says which statement on which book failed and what
// the driver reported.
class DbError : public OlvendError {
public:
    DbError(const QString& message, const QString& driverText = {}, const QString& statement = {})
        : OlvendError(driverText.isEmpty() ? message : message + ": " + driverText),
          m_driverText(driverText),
          m_statement(statement) {}
    const QString& driverText() const { return m_driverText; }
    const QString& statement() const { return m_statement; }

private:
    QString m_driverText;
    QString m_statement;
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
