#include "tools/json_fields.h"

#include <QFile>
#include <QJsonDocument>
#include <utility>

#include "data/field_def.h"
#include "platform/errors.h"

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
}  // namespace

namespace JsonFields {

QJsonObject readObject(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw UserError(QStringLiteral("无法读取文件[%1]：%2").arg(path, file.errorString()));
    }
    return parseObject(file.readAll(), path);
}

QJsonObject parseObject(const QByteArray& json, const QString& source) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        const auto [line, column] = lineAndColumn(json, error.offset);
        throw UserError(QStringLiteral("文件[%1]不是有效的 JSON：第%2行第%3列附近有错误（%4）")
                            .arg(source, QString::number(line), QString::number(column), error.errorString()));
    }
    if (!doc.isObject()) {
        throw UserError(QStringLiteral("文件[%1]的内容必须是一个 JSON 对象 {…}").arg(source));
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
        case QJsonValue::String:
            return value.toVariant();
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
    if (column.type == FieldDef::Type::DateTime && !value.toString().trimmed().isEmpty() &&
        column.normalize(value).isNull()) {
        throw UserError(
            QStringLiteral("%1不是日期：%2（请写成 yyyy-MM-dd 或 yyyy-MM-dd HH:mm:ss）").arg(what, value.toString()));
    }
}

}  // namespace JsonFields
