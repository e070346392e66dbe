#include "reports/engine/report_rows.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

#include "platform/errors.h"
#include "platform/file_problem.h"

int ReportRows::fieldIndex(const QString& name) const {
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

ReportRows ReportRows::fromQuery(QSqlQuery& query) {
    ReportRows out;
    const QSqlRecord r = query.record();
    for (int i = 0; i < r.count(); ++i) {
        out.fields.append(r.fieldName(i));
    }
    while (query.next()) {
        QVector<QVariant> row(out.fields.size());
        for (int i = 0; i < row.size(); ++i) {
            row[i] = query.value(i);
        }
        out.rows.append(row);
    }
    if (query.lastError().isValid()) {
        // The database ended the rows with an error: those read are not all.
        throw DbError(QStringLiteral("读取数据时出错，数据不完整，没有生成报表"), query.lastError().text(),
                      query.lastQuery());
    }
    return out;
}

QString ReportRows::tsvEscaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        switch (ch.unicode()) {
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            default:
                // Other control characters (a terminal would obey them)
                // as \uXXXX.
                if (ch.category() == QChar::Other_Control) {
                    out += QStringLiteral("\\u") + QString::number(ch.unicode(), 16).rightJustified(4, u'0');
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

namespace {
QString unescaped(const QString& cell) {
    if (!cell.contains('\\')) {
        return cell;
    }
    QString out;
    out.reserve(cell.size());
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\' || i + 1 == cell.size()) {
            out += cell[i];
            continue;
        }
        const QChar next = cell[++i];
        if (next == 't') {
            out += '\t';
        } else if (next == 'n') {
            out += '\n';
        } else if (next == 'r') {
            out += '\r';
        } else if (next == 'u' && i + 4 < cell.size()) {
            bool ok = false;
            const uint code = QStringView(cell).sliced(i + 1, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 4;
            } else {
                out += next;
            }
        } else {
            out += next;
        }
    }
    return out;
}

// A cell as the value it stands for when it is one (see the header);
// null when it is text.
QVariant typed(const QString& cell) {
    static const QRegularExpression whole(QStringLiteral("^-?(0|[1-9][0-9]{0,17})$"));
    static const QRegularExpression fraction(QStringLiteral("^-?(0|[1-9][0-9]*)\\.[0-9]+$"));
    static const QRegularExpression date(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}( [0-9]{2}:[0-9]{2}:[0-9]{2})?$"));
    if (whole.match(cell).hasMatch()) {
        return cell == QLatin1String("-0") ? QVariant() : QVariant(cell.toLongLong());
    }
    if (fraction.match(cell).hasMatch()) {
        QString digits = cell;
        digits.remove('-').remove('.');
        while (digits.startsWith('0')) {
            digits.remove(0, 1);
        }
        while (digits.endsWith('0')) {
            digits.chop(1);
        }
        return digits.size() <= 15 ? QVariant(cell.toDouble()) : QVariant();
    }
    if (date.match(cell).hasMatch()) {
        if (cell.size() == 10) {
            const QDate d = QDate::fromString(cell, QStringLiteral("yyyy-MM-dd"));
            return d.isValid() ? QVariant(d) : QVariant();
        }
        const QDateTime d = QDateTime::fromString(cell, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        // Wall-clock, as the books keep dates.
        return d.isValid() ? QVariant(QDateTime(d.date(), d.time(), Qt::UTC)) : QVariant();
    }
    return {};
}
}  // namespace

QString ReportRows::tsvCell(const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        return {};
    }
    switch (v.typeId()) {
        case QMetaType::QDate:
            return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                            : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        case QMetaType::Double:
        case QMetaType::Float:
            if (std::isfinite(v.toDouble())) {
                // To 15 significant digits, as a spreadsheet shows it, and
                // without an exponent.
                const double shown = QString::number(v.toDouble(), 'g', 15).toDouble();
                return QString::number(shown, 'f', QLocale::FloatingPointShortest);
            }
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return v.toString();
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        default:
            break;
    }
    const QString text = v.toString();
    const QString escaped = tsvEscaped(text);
    // A text that would read as a number or a date keeps its first
    // character behind a backslash.
    return typed(escaped).isValid() ? '\\' + escaped : escaped;
}

QVariant ReportRows::fromTsvCell(const QString& cell) {
    if (cell.isEmpty()) {
        return {};
    }
    const QVariant value = typed(cell);
    return value.isValid() ? value : QVariant(unescaped(cell));
}

bool ReportRows::fromTsv(const QString& path, ReportRows* out, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("无法读取[%1]: %2").arg(QDir::toNativeSeparators(path), FileProblem::reading(f));
        }
        return false;
    }
    ReportRows rows;
    bool header = true;
    while (!f.atEnd()) {
        QString line = QString::fromUtf8(f.readLine());
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        if (header) {
            if (line.startsWith(QChar(0xFEFF))) {
                line.remove(0, 1);
            }
            for (const QString& name : line.split('\t')) {
                rows.fields.append(unescaped(name));
            }
            header = false;
            continue;
        }
        if (line.isEmpty()) {
            continue;
        }
        const QStringList cells = line.split('\t');
        QVector<QVariant> row(rows.fields.size());
        for (int i = 0; i < row.size(); ++i) {
            row[i] = fromTsvCell(cells.value(i));
        }
        rows.rows.append(row);
    }
    if (rows.fields.isEmpty() || (rows.fields.size() == 1 && rows.fields[0].isEmpty())) {
        if (error) {
            *error = QStringLiteral("[%1]没有标题行").arg(QDir::toNativeSeparators(path));
        }
        return false;
    }
    *out = rows;
    return true;
}

bool ReportRows::toTsv(const QString& path, QString* error) const {
    QSaveFile file(path);
    const auto failed = [&] {
        if (error) {
            *error = QStringLiteral("无法写入[%1]: %2").arg(QDir::toNativeSeparators(path), FileProblem::writing(file));
        }
        return false;
    };
    if (!file.open(QIODevice::WriteOnly)) {
        return failed();
    }
    QStringList names;
    for (const QString& f : fields) {
        names << tsvEscaped(f);
    }
    QByteArray text = names.join('\t').toUtf8() + '\n';
    for (const auto& row : rows) {
        QStringList cells;
        for (const QVariant& v : row) {
            cells << tsvCell(v);
        }
        text += cells.join('\t').toUtf8() + '\n';
        if (text.size() > 1024 * 1024) {
            file.write(text);
            text.clear();
        }
    }
    file.write(text);
    if (!file.commit()) {
        return failed();
    }
    return true;
}
