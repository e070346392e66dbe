// The JSON files of olvendctl's quotation and order commands, parsed as
// QuotationFile and OrderFile parse them against the book's columns.

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <functional>

#include "data/field_def.h"
#include "harness.h"
#include "platform/errors.h"
#include "tools/json_fields.h"
#include "tools/order_file.h"
#include "tools/quotation_file.h"

namespace {

// The columns of one table as schema/book_tables.sql declares them.
QList<FieldDef> columnsOf(const QString& table) {
    static const QString schema = [] {
        QFile f(Fuzz::schemaFolder() + QStringLiteral("/book_tables.sql"));
        if (!f.open(QIODevice::ReadOnly)) {
            Fuzz::broken("cannot read the schema", f.fileName());
        }
        return QString::fromUtf8(f.readAll());
    }();
    const auto m = QRegularExpression(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 \\(").arg(table)).match(schema);
    const qsizetype end = schema.indexOf(QStringLiteral("\n);"), m.capturedEnd());
    static const QRegularExpression column(QStringLiteral(R"(^\s*(\w+)\s+([A-Za-z@]+(?:\(\d+(?:,\d+)?\))?))"));
    QList<FieldDef> out;
    for (const QString& line : schema.mid(m.capturedEnd(), end - m.capturedEnd()).split('\n')) {
        const auto c = column.match(line);
        if (c.hasMatch()) {
            const bool id = c.captured(2) == QLatin1String("@ID@");
            out.append(FieldDef::fromDeclaredType(c.captured(1), id ? QStringLiteral("INTEGER") : c.captured(2)));
            out.last().primaryKey = out.last().autoIncrement = id;
        }
    }
    if (!m.hasMatch() || out.size() < 5) {
        Fuzz::broken("the table's columns are not in the schema", table);
    }
    return out;
}

// Each name of parsed values once (the file has no name twice), and each
// one `allowed` takes.
void checkNames(const QuotationFile::Values& values, const std::function<bool(const QString&)>& allowed) {
    QSet<QString> seen;
    for (const auto& [name, value] : values) {
        FUZZ_CHECK(!seen.contains(name.toLower()), QStringLiteral("[%1] taken twice").arg(name));
        FUZZ_CHECK(allowed(name), name);
        seen.insert(name.toLower());
    }
}

// A column of the table that the program does not fill itself.
std::function<bool(const QString&)> fileColumn(const QList<FieldDef>& columns, const QStringList& programFields) {
    return [&columns, programFields](const QString& name) {
        return JsonFields::listed(programFields, name).isEmpty() &&
               std::any_of(columns.begin(), columns.end(), [&name](const FieldDef& f) { return f.name == name; });
    };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QList<FieldDef> quotationHead = columnsOf("Quotation_Head");
    static const QList<FieldDef> orderHead = columnsOf("Dusmere_Order_Form_head");
    static const QList<FieldDef> orderRows = columnsOf("Dusmere_Order_Form_Detail");
    const QByteArray json = Fuzz::bytes(data, size);
    bool isObject = false;
    try {
        const QJsonObject root = JsonFields::parseObject(json, QStringLiteral("input.json"));
        isObject = true;
        // Qt keeps the last of two members of one name; parseObject refuses
        // those, so every name of the text is a member.
        FUZZ_CHECK(QJsonDocument::fromJson(json).object() == root, QString());
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }
    try {
        const QuotationFile q = QuotationFile::parse(json, QStringLiteral("quotation.json"), quotationHead);
        FUZZ_CHECK(isObject, QStringLiteral("a quotation read from what is no object"));
        checkNames(q.head(), fileColumn(quotationHead, QuotationFile::programFields()));
        QSet<QString> goods;
        for (const QuotationFile::Line& line : q.lines()) {
            FUZZ_CHECK(!line.goodsNo.trimmed().isEmpty(), QStringLiteral("a line without goods"));
            FUZZ_CHECK(!goods.contains(line.goodsNo), QStringLiteral("goods [%1] twice").arg(line.goodsNo));
            goods.insert(line.goodsNo);
            checkNames(line.fields, [](const QString& name) { return QuotationFile::lineFields().contains(name); });
        }
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }
    try {
        const OrderFile o = OrderFile::parse(json, QStringLiteral("order.json"), orderHead, orderRows);
        FUZZ_CHECK(isObject, QStringLiteral("an order read from what is no object"));
        checkNames(o.head(), fileColumn(orderHead, OrderFile::programHeadFields()));
        for (const OrderFile::Values& row : o.rows()) {
            checkNames(row, fileColumn(orderRows, OrderFile::programRowFields()));
        }
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }
    return 0;
}
