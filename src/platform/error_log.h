#pragma once

#include <QString>
#include <functional>

// The program's error log ("olvend.log" in the program's folder): each
// failure shown to a user is appended with the time, the user, the book,
// the text shown and its technical details.
class ErrorLog {
public:
    explicit ErrorLog(const QString& file) : m_file(file) {}
    const QString& file() const { return m_file; }

    // Who is working, asked at each entry (user name, book name).
    void setSource(std::function<QString()> user, std::function<QString()> book);
    // Appends an entry; false when the file cannot be written. Never throws:
    // a log that fails must not fail what the user was doing.
    bool append(const QString& text, const QString& details) noexcept;

private:
    QString m_file;
    std::function<QString()> m_user;
    std::function<QString()> m_book;
};
