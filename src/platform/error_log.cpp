#include "platform/error_log.h"

#include <QDateTime>
#include <QFile>

void ErrorLog::setSource(std::function<QString()> user, std::function<QString()> book) {
    m_user = std::move(user);
    m_book = std::move(book);
}

bool ErrorLog::append(const QString& text, const QString& details) noexcept {
    try {
        const QString user = m_user ? m_user() : QString();
        const QString book = m_book ? m_book() : QString();
        QString entry =
            QStringLiteral("%1  用户: %2  账本: %3\n%4\n")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     user.isEmpty() ? QStringLiteral("-") : user, book.isEmpty() ? QStringLiteral("-") : book, text);
        if (!details.isEmpty()) {
            entry += details + '\n';
        }
        entry += '\n';
        QFile file(m_file);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            return false;
        }
        const QByteArray bytes = entry.toUtf8();
        return file.write(bytes) == bytes.size();
    } catch (...) {
        return false;
    }
}
