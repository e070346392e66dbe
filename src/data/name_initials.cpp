#include "data/name_initials.h"

#include <QSet>
#include <QSqlQuery>

#include "data/database.h"
#include "data/sql_dialect.h"
#include "platform/pinyin_initials.h"

const QList<NameInitials::Source>& NameInitials::sources() {
    static const QList<Source> list{
        {QStringLiteral("goods"), QStringLiteral("id"), QStringLiteral("code"), {QStringLiteral("Goods_name")}},
        // A customer is found by its person and its establishment (酒楼).
        {QStringLiteral("Client"),
         QStringLiteral("ID"),
         QStringLiteral("Corp_code"),
         {QStringLiteral("Linkman_name"), QStringLiteral("Corp_name")}},
        {QStringLiteral("Provider"),
         QStringLiteral("ID"),
         QStringLiteral("Corp_code"),
         {QStringLiteral("provider_name"), QStringLiteral("provider_Corp_Name")}},
        {QStringLiteral("customer_provider"),
         QStringLiteral("id"),
         QStringLiteral("corp_code"),
         {QStringLiteral("Corp_name"), QStringLiteral("boss_name")}},
    };
    return list;
}

const NameInitials::Source* NameInitials::sourceOf(const QString& table) {
    for (const Source& s : sources()) {
        if (s.table.compare(table, Qt::CaseInsensitive) == 0) {
            return &s;
        }
    }
    return nullptr;
}

QString NameInitials::valueOf(const QStringList& names) {
    // Each name's customary initials first, so that a long name's other
    // readings never crowd out the next name; then the other readings.
    QStringList customary;
    QStringList others;
    for (const QString& name : names) {
        const QStringList variants = PinyinInitials::variants(name);
        customary << variants.value(0);
        others << variants.mid(1);
    }
    QStringList words;
    QSet<QString> seen;
    int length = -1;
    for (const QString& word : customary + others) {
        if (word.isEmpty() || seen.contains(word) || length + 1 + word.size() > kWidth) {
            continue;
        }
        seen.insert(word);
        words.append(word);
        length += 1 + word.size();
    }
    return words.join(' ');
}

QString NameInitials::typed(const QString& text) {
    // Initials are letters, with digits and spaces among them; anything
    // else (an ideograph, a mark such as % or -) makes the text a name or a
    // code to be found as it stands.
    bool letter = false;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || !(c.isLetterOrNumber() || c == ' ')) {
            return {};
        }
        letter = letter || c.isLetter();
    }
    return letter ? text.toLower().remove(' ') : QString();
}

bool NameInitials::matches(const QString& stored, const QString& typedInitials) {
    // The start of a word: at the start or after a space (no text is made
    // per call: lists match every row with it).
    if (typedInitials.isEmpty()) {
        return false;
    }
    for (qsizetype at = stored.indexOf(typedInitials); at >= 0; at = stored.indexOf(typedInitials, at + 1)) {
        if (at == 0 || stored.at(at - 1) == QLatin1Char(' ')) {
            return true;
        }
    }
    return false;
}

namespace {
QString selectNames(const NameInitials::Source& s) {
    return QStringLiteral("select %1, %2 from %3").arg(s.key, s.names.join(','), s.table);
}

QString valueOfRow(const QSqlQuery& q, int names) {
    QStringList texts;
    for (int i = 0; i < names; ++i) {
        texts << q.value(1 + i).toString();
    }
    return NameInitials::valueOf(texts);
}
}  // namespace

int NameInitials::fillMissing(Database& db, const QString& table) {
    const Source* s = sourceOf(table);
    if (!s) {
        return 0;
    }
    // Read first, write after: a server streams its rows, and one
    // connection cannot write while it reads.
    QList<QPair<QVariant, QString>> found;
    QSqlQuery q = db.query(selectNames(*s) + QStringLiteral(" where %1 is null").arg(column()));
    while (q.next()) {
        found.append({q.value(0), valueOfRow(q, s->names.size())});
    }
    q.finish();
    if (found.isEmpty()) {
        return 0;
    }
    WriteTransaction tx(db);
    const auto update = db.prepared(QStringLiteral("update %1 set %2=:v where %3=:k").arg(s->table, column(), s->key));
    for (const auto& [key, value] : found) {
        db.run(*update, {{"v", value}, {"k", key}});
    }
    tx.commit();
    return found.size();
}

int NameInitials::fillMissing(Database& db) {
    int n = 0;
    for (const Source& s : sources()) {
        n += fillMissing(db, s.table);
    }
    return n;
}

QString NameInitials::prefixCondition(const Database& db, const QString& expression, const QString& text,
                                      const QString& prefix, QVariantMap& params) {
    // The range lets an index in byte order find the prefix; LIKE checks it
    // exactly (the range alone would take the next code point's rows).
    QString next = text;
    next[next.size() - 1] = QChar(next.back().unicode() + 1);
    params.insert(prefix + "lo", text);
    params.insert(prefix + "hi", next);
    QString pattern = likeContainsPattern(text);
    pattern.chop(1);
    params.insert(prefix + "like", pattern.mid(1) + '%');
    const QString ordered = db.dialect().byteOrder(expression);
    return QStringLiteral("(%1 >= :%2lo and %1 < :%2hi and %3 like :%2like escape '!')")
        .arg(ordered, prefix, expression);
}

void NameInitials::createIndexes(Database& db) {
    // Each index carries the code, so that finding codes by initials or by
    // the first name reads the index alone, not the whole table.
    const bool server = db.dialect().kind() == SqlDialect::Kind::Postgres;
    for (const Source& s : sources()) {
        const QString name = s.table.toLower();
        const QString initials = server ? '(' + db.dialect().byteOrder(column()) + ')' : column();
        db.query(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_initials ON %2 (%3, %4)")
                     .arg(name, s.table, initials, s.code));
        db.query(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_name_code ON %2 (%3, %4)")
                     .arg(name, s.table, s.names.first(), s.code));
        if (server) {
            db.query(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_code_bytes ON %2 ((%3))")
                         .arg(name, s.table, db.dialect().byteOrder(s.code)));
        }
    }
}
