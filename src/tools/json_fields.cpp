#include "tools/json_fields.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSet>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "data/field_def.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/file_problem.h"

namespace {
// Where a parse error lies, counted as an editor counts: line and column
// from 1.
std::pair<int, int> lineAndColumn(const QByteArray& text, int offset) {
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((text[i] & 0xC0) != 0x80) {  // one column per character, not per UTF-8 byte
            ++column;
        }
    }
    return {line, column};
}

// Why the JSON reader stopped, in the user's words.
QString parseErrorText(QJsonParseError::ParseError error) {
    switch (error) {
        case QJsonParseError::UnterminatedObject:
            return QStringLiteral("对象缺少结尾的 }");
        case QJsonParseError::MissingNameSeparator:
            return QStringLiteral("字段名后缺少冒号 :");
        case QJsonParseError::UnterminatedArray:
            return QStringLiteral("数组缺少结尾的 ]");
        case QJsonParseError::MissingValueSeparator:
            return QStringLiteral("缺少分隔的逗号 ,");
        case QJsonParseError::IllegalValue:
            return QStringLiteral("有不合法的值");
        case QJsonParseError::TerminationByNumber:
            return QStringLiteral("文件在数字处意外结束");
        case QJsonParseError::IllegalNumber:
            return QStringLiteral("有不合法的数字");
        case QJsonParseError::IllegalEscapeSequence:
            return QStringLiteral("反斜杠 \\ 后有不合法的字符");
        case QJsonParseError::IllegalUTF8String:
            return QStringLiteral("有不是 UTF-8 编码的文字，请以 UTF-8 保存文件");
        case QJsonParseError::UnterminatedString:
            return QStringLiteral("文字缺少结尾的引号 \"");
        case QJsonParseError::MissingObject:
            return QStringLiteral("逗号后缺少内容");
        case QJsonParseError::DeepNesting:
            return QStringLiteral("嵌套的层次太多");
        case QJsonParseError::DocumentTooLarge:
            return QStringLiteral("文件太大");
        case QJsonParseError::GarbageAtEnd:
            return QStringLiteral("结尾有多余的内容");
        case QJsonParseError::NoError:
            break;
    }
    return QStringLiteral("格式错误");
}

// The text of the JSON string that starts at `at` (its opening quote),
// escapes decoded; `at` is left on its closing quote. The text is known to
// be valid JSON.
QString readString(const QByteArray& json, qsizetype& at) {
    QString text;
    QByteArray plain;  // UTF-8 bytes since the last escape
    qsizetype i = at + 1;
    for (; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
            plain.append(json[i]);
            continue;
        }
        text += QString::fromUtf8(plain);
        plain.clear();
        if (++i >= json.size()) {
            break;
        }
        switch (json[i]) {
            case 'b':
                text += QChar(u'\b');
                break;
            case 'f':
                text += QChar(u'\f');
                break;
            case 'n':
                text += QChar(u'\n');
                break;
            case 'r':
                text += QChar(u'\r');
                break;
            case 't':
                text += QChar(u'\t');
                break;
            case 'u':
                // One UTF-16 unit; a surrogate pair comes as two escapes
                // and joins in the text.
                text += QChar(static_cast<char16_t>(json.mid(i + 1, 4).toUShort(nullptr, 16)));
                i += 4;
                break;
            default:  // " \ /
                text += QLatin1Char(json[i]);
        }
    }
    at = i;
    return text + QString::fromUtf8(plain);
}

// Qt's reader keeps only the last of two members of an object with the
// same name, so a field written twice would silently lose its first value.
// Walks the text (valid JSON) tracking the open objects and arrays and the
// names each object holds; the first name repeated in its object, with the
// offset of its opening quote.
std::optional<std::pair<QString, qsizetype>> firstRepeatedName(const QByteArray& json) {
    struct Open {
        bool object;
        bool nameNext;  // in an object: the next string is a member's name
        QSet<QString> names;
    };
    QList<Open> open;
    for (qsizetype i = 0; i < json.size(); ++i) {
        switch (json[i]) {
            case '{':
                open.append({true, true, {}});
                break;
            case '[':
                open.append({false, false, {}});
                break;
            case '}':
            case ']':
                if (!open.isEmpty()) {
                    open.removeLast();
                }
                break;
            case ',':
                if (!open.isEmpty() && open.last().object) {
                    open.last().nameNext = true;
                }
                break;
            case '"': {
                const qsizetype start = i;
                const QString text = readString(json, i);
                if (!open.isEmpty() && open.last().nameNext) {
                    open.last().nameNext = false;
                    if (open.last().names.contains(text)) {
                        return std::pair{text, start};
                    }
                    open.last().names.insert(text);
                }
                break;
            }
            default:
                break;
        }
    }
    return std::nullopt;
}
}  // namespace

namespace JsonFields {

QByteArray readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw UserError(QStringLiteral("无法读取文件[%1]：%2").arg(path, FileProblem::reading(file)));
    }
    QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw UserError(QStringLiteral("无法读取文件[%1]：%2").arg(path, FileProblem::reading(file)));
    }
    return text;
}

QJsonObject parseObject(const QByteArray& json, const QString& source) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        const auto [line, column] = lineAndColumn(json, error.offset);
        throw UserError(QStringLiteral("文件[%1]不是有效的 JSON：第%2行第%3列附近有错误（%4）")
                            .arg(source, QString::number(line), QString::number(column), parseErrorText(error.error)));
    }
    if (!doc.isObject()) {
        throw UserError(QStringLiteral("文件[%1]的内容必须是一个 JSON 对象 {…}").arg(source));
    }
    if (const auto repeated = firstRepeatedName(json)) {
        const auto [line, column] = lineAndColumn(json, static_cast<int>(repeated->second));
        throw UserError(QStringLiteral("文件[%1]中的字段[%2]重复（第%3行第%4列）：同一个 {…} 中每个字段只能写一次")
                            .arg(source, repeated->first, QString::number(line), QString::number(column)));
    }
    return doc.object();
}

QVariant scalar(const QJsonValue& value, const QString& what) {
    switch (value.type()) {
        case QJsonValue::Null:
            return QVariant();
        case QJsonValue::Bool:
            return value.toBool() ? 1 : 0;
        case QJsonValue::Double:
            return value.toVariant();
        case QJsonValue::String: {
            // Tab, line feed and carriage return are text; other control
            // characters are not (a server refuses U+0000 with a database
            // error, a terminal obeys the others).
            const QString text = value.toString();
            for (const QChar ch : text) {
                if (ch.category() == QChar::Other_Control && ch != u'\t' && ch != u'\n' && ch != u'\r') {
                    throw UserError(
                        QStringLiteral("%1中有控制字符 U+%2：文字中除制表符、换行和回车外不能有控制字符")
                            .arg(what, QString::number(ch.unicode(), 16).rightJustified(4, u'0').toUpper()));
                }
            }
            return text;
        }
        default:
            throw UserError(QStringLiteral("%1的值必须是文字、数字或 null").arg(what));
    }
}

const FieldDef* findColumn(const QList<FieldDef>& columns, const QString& name) {
    for (const FieldDef& f : columns) {
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &f;
        }
    }
    return nullptr;
}

QString listed(const QStringList& names, const QString& name) {
    for (const QString& n : names) {
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            return n;
        }
    }
    return {};
}

void requireDate(const FieldDef& column, const QVariant& value, const QString& what) {
    if (column.type != FieldDef::Type::DateTime || value.toString().trimmed().isEmpty()) {
        return;
    }
    const QVariant date = column.normalize(value);
    if (date.isNull()) {
        throw UserError(
            QStringLiteral("%1不是日期：%2（请写成 yyyy-MM-dd 或 yyyy-MM-dd HH:mm:ss）").arg(what, value.toString()));
    }
    if (!HeldDates::holds(date.toDateTime().date())) {
        throw UserError(QStringLiteral("%1的日期 %2 超出范围：%3").arg(what, value.toString(), HeldDates::rangeText()));
    }
}

void requireInteger(const FieldDef& column, const QVariant& value, const QString& what) {
    if (column.type != FieldDef::Type::Integer || value.isNull() || value.toString().trimmed().isEmpty()) {
        return;
    }
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok) {
        return;
    }
    constexpr double kMin = std::numeric_limits<qint32>::min();
    constexpr double kMax = std::numeric_limits<qint32>::max();
    if (std::isfinite(number) && number == std::trunc(number) && number >= kMin && number <= kMax) {
        return;
    }
    throw UserError(QStringLiteral("%1必须是 %2 到 %3 之间的整数，不能是\"%4\"")
                        .arg(what, QString::number(qint64(kMin)), QString::number(qint64(kMax)), value.toString()));
}

QVariant fieldValue(const FieldDef& column, const QJsonValue& value, const QString& what) {
    const QVariant v = scalar(value, what);
    requireDate(column, v, what);
    requireInteger(column, v, what);
    return v;
}

}  // namespace JsonFields
