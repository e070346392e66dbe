#include "data/field_def.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlQuery>
#include <cfloat>
#include <cmath>
#include <limits>

#include "data/database.h"

namespace {
// Rounds the shortest decimal text of a value (the digits it reads back
// as) half away from zero, so that large numbers keep the digits they were
// written with.
double roundDecimalText(double value, int scale) {
    const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const int dot = static_cast<int>(text.indexOf('.'));
    if (dot < 0 || text.size() - dot - 1 <= scale) {
        return value;
    }
    const bool negative = text.startsWith('-');
    QString digits = text.mid(negative ? 1 : 0, dot - (negative ? 1 : 0)) + text.mid(dot + 1, scale);
    if (text.at(dot + 1 + scale) >= QLatin1Char('5')) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0 && digits.at(i) == QLatin1Char('9'); --i) {
            digits[i] = QLatin1Char('0');
        }
        if (i < 0) {
            digits.prepend(QLatin1Char('1'));
        } else {
            digits[i] = QChar(digits.at(i).unicode() + 1);
        }
    }
    if (scale > 0) {
        digits.insert(digits.size() - scale, QLatin1Char('.'));
    }
    const double rounded = digits.toDouble();
    return negative ? -rounded : rounded;
}

// Whether a whole number converts to a 64-bit integer: finite and within
// [-2^63, 2^63).
bool fitsWholeNumber(double value) {
    return std::isfinite(value) && value >= -9223372036854775808.0 && value < 9223372036854775808.0;
}
}  // namespace

double roundHalfAwayFromZero(double value, int scale) {
    static const double powers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double p = scale >= 0 && scale < 10 ? powers[scale] : std::pow(10.0, scale);
    const double x = value * p;
    if (!std::isfinite(x)) {
        return value;
    }
    if (std::fabs(x) >= 2147483648.0 && scale >= 0) {
        // Here the nudge below would be worth whole units of the last place.
        return roundDecimalText(value, scale);
    }
    // A tiny nudge away from zero so that 2.675 (stored as 2.67499999...)
    // rounds as written.
    const double r = std::round(x + std::copysign(std::fabs(x) * 8 * DBL_EPSILON, x));
    return r / p;
}

QString formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return QString::number(value);
    }
    if (decimals < 0) {
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    }
    const double rounded = roundHalfAwayFromZero(value, decimals);
    QString text = QString::number(rounded, 'f', QLocale::FloatingPointShortest);
    const int dot = static_cast<int>(text.indexOf('.'));
    const int have = dot < 0 ? 0 : static_cast<int>(text.size()) - dot - 1;
    if (have > decimals) {
        text = QString::number(rounded, 'f', decimals);
    } else if (decimals > 0) {
        text += (dot < 0 ? QStringLiteral(".") : QString()) + QString(decimals - have, QLatin1Char('0'));
    }
    if (text.startsWith('-') && !text.contains(QRegularExpression(QStringLiteral("[1-9]")))) {
        text.remove(0, 1);
    }
    return text;
}

QString FieldDef::rangeError(const QVariant& value) const {
    if (type == Type::Integer) {
        if (value.isNull() || !isNumericValue(value) || value.typeId() == QMetaType::LongLong ||
            fitsWholeNumber(value.toDouble())) {
            return {};
        }
        return QStringLiteral("[%1]的数值超出范围：整数须在 %2 到 %3 之间")
            .arg(label())
            .arg(std::numeric_limits<qlonglong>::min())
            .arg(std::numeric_limits<qlonglong>::max());
    }
    if (type != Type::Decimal || precision <= 0 || scale < 0 || scale > precision || value.isNull() ||
        !isNumericValue(value)) {
        return {};
    }
    const int digits = precision - scale;
    const double magnitude = std::fabs(value.toDouble());
    if (std::isfinite(magnitude) && magnitude < std::pow(10.0, digits)) {
        return {};
    }
    QString text = QStringLiteral("[%1]的数值超出范围：整数部分最多%2位").arg(label()).arg(digits);
    if (scale > 0) {
        text += QStringLiteral("，小数最多%1位").arg(scale);
    }
    return text;
}

bool isNumericValue(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

namespace {
// Dates and times are wall-clock values without a zone: they are held with
// Qt::UTC time so that no time-zone lookup runs for each of them, and are
// written and read as the same wall-clock text.
QDateTime wallClock(const QDate& d, const QTime& t) {
    return QDateTime(d, t, Qt::UTC);
}

QDateTime parseDateTime(const QVariant& value) {
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime d = value.toDateTime();
        return d.isValid() ? wallClock(d.date(), d.time()) : QDateTime();
    }
    if (value.typeId() == QMetaType::QDate) {
        return value.toDate().isValid() ? wallClock(value.toDate(), QTime(0, 0)) : QDateTime();
    }
    const QString text = value.toString().trimmed();
    if (text.isEmpty()) {
        return {};
    }
    // Fast path for the stored form "yyyy-MM-dd HH:mm:ss" (or a bare date):
    // large lists parse many of these.
    auto digits = [&text](int from, int count, int* out) {
        int v = 0;
        for (int i = from; i < from + count; ++i) {
            const QChar c = text.at(i);
            if (c < '0' || c > '9') {
                return false;
            }
            v = v * 10 + (c.unicode() - '0');
        }
        *out = v;
        return true;
    };
    int y, mo, d, h = 0, mi = 0, se = 0;
    if ((text.size() == 10 || (text.size() == 19 && (text.at(10) == ' ' || text.at(10) == 'T'))) && text.at(4) == '-' &&
        text.at(7) == '-' && digits(0, 4, &y) && digits(5, 2, &mo) && digits(8, 2, &d) &&
        (text.size() == 10 ||
         (text.at(13) == ':' && text.at(16) == ':' && digits(11, 2, &h) && digits(14, 2, &mi) && digits(17, 2, &se)))) {
        const QDateTime fast = wallClock(QDate(y, mo, d), QTime(h, mi, se));
        if (fast.isValid()) {
            return fast;
        }
    }
    for (const char* f : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
                          "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
        const QDateTime d = QDateTime::fromString(text, QString::fromLatin1(f));
        if (d.isValid()) {
            return wallClock(d.date(), d.time());
        }
    }
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODateWithMs);
    return iso.isValid() ? wallClock(iso.date(), iso.time()) : QDateTime();
}
}  // namespace

QVariant FieldDef::normalize(const QVariant& value) const {
    if (value.isNull() || !value.isValid()) {
        return QVariant();
    }
    const int id = value.typeId();
    switch (type) {
        case Type::Integer: {
            if (id == QMetaType::LongLong) {
                return value;
            }
            if (id == QMetaType::Int) {
                return QVariant(static_cast<qlonglong>(value.toInt()));
            }
            if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()) {
                return QVariant();
            }
            bool ok = false;
            const double d = value.toDouble(&ok);
            if (!ok) {
                return QVariant();
            }
            const double whole = roundHalfAwayFromZero(d, 0);
            if (!fitsWholeNumber(whole)) {
                // Converting it would be undefined; kept as given, for
                // rangeError() to refuse.
                return QVariant(d);
            }
            return QVariant(static_cast<qlonglong>(whole));
        }
        case Type::Decimal: {
            if (id == QMetaType::Double) {
                return QVariant(roundHalfAwayFromZero(value.toDouble(), scale));
            }
            if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()) {
                return QVariant();
            }
            bool ok = false;
            const double d = value.toDouble(&ok);
            if (!ok) {
                return QVariant();
            }
            return QVariant(roundHalfAwayFromZero(d, scale));
        }
        case Type::DateTime: {
            const QDateTime d = parseDateTime(value);
            return d.isValid() ? QVariant(d) : QVariant();
        }
        case Type::Text:
            return id == QMetaType::QString ? value : QVariant(value.toString());
        case Type::Blob:
            return value;
    }
    return value;
}

QString formatNumber(double value, const QString& format) {
    const int dot = static_cast<int>(format.indexOf('.'));
    const int decimals = dot < 0 ? 0 : static_cast<int>(format.size() - dot - 1);
    QString text = formatFixed(value, decimals);
    // Decimal places written '#' show only when they are not zero
    // (quantities: "0.####" writes 2.5 as "2.5" and 4 as "4").
    const int optional = dot < 0 ? 0 : static_cast<int>(format.mid(dot + 1).count('#'));
    for (int i = 0; i < optional && text.endsWith('0'); ++i) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    if (format.contains(',')) {
        // Thousands separators in the whole part.
        const int sign = text.startsWith('-') ? 1 : 0;
        const int point = static_cast<int>(text.indexOf('.'));
        for (int i = (point < 0 ? static_cast<int>(text.size()) : point) - 3; i > sign; i -= 3) {
            text.insert(i, QLatin1Char(','));
        }
    }
    return text;
}

QString formatDateTime(const QDateTime& value, const QString& format) {
    QString qtFormat = format;
    qtFormat.replace("YYYY", "yyyy").replace("YY", "yy").replace("DD", "dd");
    return value.toString(qtFormat);
}

QString FieldDef::displayText(const QVariant& value) const {
    if (value.isNull() || !value.isValid()) {
        return {};
    }
    switch (type) {
        case Type::Integer:
        case Type::Decimal:
            if (!displayFormat.isEmpty()) {
                return formatNumber(value.toDouble(), displayFormat);
            }
            if (type == Type::Decimal) {
                return formatFixed(value.toDouble(), scale);
            }
            return isNumericValue(value) && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float
                       ? value.toString()
                       : formatFixed(value.toDouble(), 0);
        case Type::DateTime: {
            const QDateTime d = value.toDateTime();
            if (!displayFormat.isEmpty()) {
                return formatDateTime(d, displayFormat);
            }
            return d.time() == QTime(0, 0) ? d.toString("yyyy-MM-dd") : d.toString("yyyy-MM-dd HH:mm:ss");
        }
        default:
            return value.toString();
    }
}

FieldDef FieldDef::fromDeclaredType(const QString& name, const QString& declared) {
    FieldDef f;
    f.name = name;
    static const QRegularExpression re(R"(^\s*([A-Za-z ]+?)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*$)");
    const auto m = re.match(declared);
    const QString base = m.hasMatch() ? m.captured(1).toUpper() : declared.toUpper();
    const int a = m.captured(2).toInt();
    const int b = m.captured(3).toInt();
    if (base.contains("INT") || base == "SERIAL" || base == "BIGSERIAL") {
        f.type = FieldDef::Type::Integer;
    } else if (base.contains("NUMERIC") || base.contains("DECIMAL")) {
        f.type = FieldDef::Type::Decimal;
        f.precision = a;
        f.scale = b;
    } else if (base.contains("REAL") || base.contains("DOUBLE") || base.contains("FLOAT")) {
        f.type = FieldDef::Type::Decimal;
        f.scale = 6;
    } else if (base.contains("TIMESTAMP") || base.contains("DATE") || base.contains("TIME")) {
        f.type = FieldDef::Type::DateTime;
    } else if (base.contains("BLOB") || base.contains("BYTEA")) {
        f.type = FieldDef::Type::Blob;
    } else {
        f.type = FieldDef::Type::Text;
        f.size = (base.contains("CHAR")) ? a : 0;
    }
    return f;
}

QList<FieldDef> TableSchema::columns(Database& db, const QString& table) {
    Database::checkIdentifier(table);
    if (const QList<FieldDef>* known = db.knownColumns(table)) {
        return *known;
    }
    QList<FieldDef> out = read(db, table);
    db.rememberColumns(table, out);
    return out;
}

QList<FieldDef> TableSchema::read(Database& db, const QString& table) {
    QList<FieldDef> out;
    if (db.isAccess()) {
        QSqlQuery q = db.query(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (q.next()) {
            FieldDef f = FieldDef::fromDeclaredType(q.value(1).toString(), q.value(2).toString());
            f.primaryKey = q.value(5).toInt() > 0;
            f.autoIncrement = f.primaryKey && f.type == FieldDef::Type::Integer;
            out.append(f);
        }
        return out;
    }
    // The columns and whether each is of the primary key, in one statement.
    QSqlQuery q = db.query(
        "select c.column_name, c.data_type, c.character_maximum_length, c.numeric_precision, c.numeric_scale, "
        "c.is_identity, c.column_default, exists (select 1 from information_schema.table_constraints t "
        "join information_schema.key_column_usage k on k.constraint_name = t.constraint_name "
        "and k.table_schema = t.table_schema where t.constraint_type = 'PRIMARY KEY' and "
        "t.table_schema = c.table_schema and t.table_name = c.table_name and k.column_name = c.column_name) "
        "from information_schema.columns c where c.table_schema = current_schema() and c.table_name = :t "
        "order by c.ordinal_position",
        {{"t", table.toLower()}});
    while (q.next()) {
        const QString type = q.value(1).toString();
        FieldDef f;
        f.name = q.value(0).toString();
        if (type.contains("int")) {
            f.type = FieldDef::Type::Integer;
        } else if (type == "numeric" || type.contains("double") || type == "real") {
            f.type = FieldDef::Type::Decimal;
            // Floating columns report binary digits: only numeric has a
            // decimal precision to keep to.
            f.precision = type == "numeric" ? q.value(3).toInt() : 0;
            f.scale = type == "numeric" ? q.value(4).toInt() : 6;
        } else if (type.contains("timestamp") || type == "date") {
            f.type = FieldDef::Type::DateTime;
        } else if (type == "bytea") {
            f.type = FieldDef::Type::Blob;
        } else {
            f.type = FieldDef::Type::Text;
            f.size = q.value(2).toInt();
        }
        f.autoIncrement = q.value(5).toString() == "YES" || q.value(6).toString().startsWith("nextval");
        f.primaryKey = f.autoIncrement || q.value(7).toBool();
        out.append(f);
    }
    return out;
}

bool sameValue(const QVariant& a, const QVariant& b) {
    const bool an = a.isNull() || !a.isValid();
    const bool bn = b.isNull() || !b.isValid();
    if (an || bn) {
        return an == bn;
    }
    return a == b;
}

bool sameOrBlank(const QVariant& a, const QVariant& b) {
    auto blank = [](const QVariant& v) {
        return v.isNull() || !v.isValid() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
    };
    return (blank(a) && blank(b)) || sameValue(a, b);
}
