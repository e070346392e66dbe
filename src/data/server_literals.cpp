#include "data/server_literals.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QTime>
#include <charconv>
#include <cmath>

#include "platform/errors.h"

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

bool startsName(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

QString quoted(const QString& text) {
    if (text.contains(QChar(0))) {
        // The server keeps no such character, and the statement's text would
        // end at it.
        throw UserError(QStringLiteral("内容中含有不能保存的空字符(NUL)，请删除后再试"));
    }
    QString out;
    out.reserve(text.size() + 2);
    out += u'\'';
    for (const QChar c : text) {
        out += c;
        if (c == u'\'') {
            out += u'\'';
        }
    }
    out += u'\'';
    return out;
}

// Where the quoted text, comment or dollar-quoted body starting at `i` ends
// (one past it); `i` itself when nothing of the kind starts there.
qsizetype skipOpaque(const QString& sql, qsizetype i) {
    const qsizetype n = sql.size();
    const QChar c = sql[i];
    const QChar next = i + 1 < n ? sql[i + 1] : QChar();
    if (c == u'\'' || c == u'"') {
        // E'...' strings take backslash escapes.
        const bool escapes =
            c == u'\'' && i > 0 && (sql[i - 1] == u'e' || sql[i - 1] == u'E') && (i < 2 || !isNameChar(sql[i - 2]));
        qsizetype j = i + 1;
        while (j < n) {
            if (escapes && sql[j] == u'\\') {
                j += 2;
                continue;
            }
            if (sql[j] == c) {
                if (j + 1 < n && sql[j + 1] == c) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    }
    if (c == u'-' && next == u'-') {
        const qsizetype end = sql.indexOf(u'\n', i);
        return end < 0 ? n : end + 1;
    }
    if (c == u'/' && next == u'*') {
        int depth = 0;
        qsizetype j = i;
        while (j + 1 < n) {
            if (sql[j] == u'/' && sql[j + 1] == u'*') {
                ++depth;
                j += 2;
            } else if (sql[j] == u'*' && sql[j + 1] == u'/') {
                j += 2;
                if (--depth == 0) {
                    return j;
                }
            } else {
                ++j;
            }
        }
        return n;
    }
    if (c == u'$' && (i == 0 || !isNameChar(sql[i - 1]))) {
        // $tag$ ... $tag$, where the tag is empty or a name (not $1).
        qsizetype j = i + 1;
        if (j < n && startsName(sql[j])) {
            while (j < n && isNameChar(sql[j])) {
                ++j;
            }
        }
        if (j < n && sql[j] == u'$') {
            const QString tag = sql.mid(i, j - i + 1);
            const qsizetype end = sql.indexOf(tag, j + 1);
            return end < 0 ? n : end + tag.size();
        }
    }
    return i;
}

}  // namespace

bool ServerLiterals::isNull(const QVariant& v) {
    if (v.isNull()) {
        return true;
    }
    switch (v.typeId()) {
        case QMetaType::QString:
            return v.toString().isNull();
        case QMetaType::QByteArray:
            return v.toByteArray().isNull();
        case QMetaType::QDate:
            return !v.toDate().isValid();
        case QMetaType::QTime:
            return !v.toTime().isValid();
        case QMetaType::QDateTime:
            return !v.toDateTime().isValid();
        default:
            return false;
    }
}

QString ServerLiterals::literal(const QVariant& v) {
    if (isNull(v)) {
        return QStringLiteral("NULL");
    }
    // Numbers are quoted as well: a quoted literal takes its type from where
    // it stands, as a statement's parameter does (5 compared with a text
    // column stays a text comparison), and a minus sign stays inside it.
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::SChar:
            return quoted(QString::number(v.toLongLong()));
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            return quoted(QString::number(v.toULongLong()));
        case QMetaType::Float:
        case QMetaType::Double: {
            const double d = v.toDouble();
            if (std::isnan(d)) {
                return QStringLiteral("'NaN'");
            }
            if (std::isinf(d)) {
                return d < 0 ? QStringLiteral("'-Infinity'") : QStringLiteral("'Infinity'");
            }
            // The shortest text that reads back as the same number.
            if (v.typeId() == QMetaType::Float) {
                char text[32];
                const auto end = std::to_chars(text, text + sizeof text, v.toFloat()).ptr;
                return quoted(QString::fromLatin1(text, end - text));
            }
            return quoted(QString::number(d, 'g', QLocale::FloatingPointShortest));
        }
        case QMetaType::QByteArray:
            return QStringLiteral("'\\x") + QString::fromLatin1(v.toByteArray().toHex()) + u'\'';
        case QMetaType::QDate:
            return quoted(v.toDate().toString(Qt::ISODate));
        case QMetaType::QTime:
            return quoted(v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")));
        case QMetaType::QDateTime:
            return quoted(v.toDateTime().toString(Qt::ISODateWithMs));
        default:
            return quoted(v.toString());
    }
}

namespace {

// A literal never joins a word before it ("e:v" must not become an E''
// string, "x:v" a bit string).
void separate(QString& out) {
    if (!out.isEmpty() && isNameChar(out.back())) {
        out += u' ';
    }
}

// `sql` with each placeholder outside quotes, comments and `::` casts
// replaced by what `value` gives for it: a `:name` is given its name and a
// `?` an empty one (`?` counts as a placeholder unless `named`).
template <class Value>
QString substitute(const QString& sql, bool named, Value value) {
    QString out;
    out.reserve(sql.size() + 64);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype skipped = skipOpaque(sql, i);
        if (skipped > i) {
            out += QStringView(sql).mid(i, skipped - i);
            i = skipped;
            continue;
        }
        const QChar c = sql[i];
        if (!named && c == u'?') {
            separate(out);
            out += value(QString());
            ++i;
            continue;
        }
        if (c != u':') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < n && sql[i + 1] == u':') {
            out += QStringLiteral("::");
            i += 2;
            continue;
        }
        if (i + 1 >= n || !startsName(sql[i + 1])) {
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < n && isNameChar(sql[end])) {
            ++end;
        }
        separate(out);
        out += value(sql.mid(i + 1, end - i - 1));
        i = end;
    }
    return out;
}

}  // namespace

QString ServerLiterals::inlined(const QString& sql, const QVariantMap& params) {
    return substitute(sql, true, [&params](const QString& name) {
        auto it = params.constFind(name);
        if (it == params.cend()) {
            it = params.constFind(u':' + name);
        }
        return it == params.cend() ? QStringLiteral("NULL") : literal(*it);
    });
}

QString ServerLiterals::inlinedInOrder(const QString& sql, const QVariantList& values) {
    // Each `?` takes the next value; a name takes the next one the first
    // time it appears, and the same one again after that.
    QHash<QString, int> positions;
    int next = 0;
    return substitute(sql, false, [&](const QString& name) {
        if (name.isEmpty()) {
            return literal(values.value(next++));
        }
        auto it = positions.constFind(name);
        if (it == positions.cend()) {
            it = positions.insert(name, next++);
        }
        return literal(values.value(*it));
    });
}
