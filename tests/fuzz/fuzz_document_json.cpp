// The JSON files olvendctl reads for quotation and order commands, parsed
// as QuotationFile and OrderFile parse them against the columns of the
// book's tables (read from schema/book_tables.sql), before any of it
// reaches a book.

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include "data/field_def.h"
#include "harness.h"
#include "platform/errors.h"
#include "tools/json_fields.h"
#include "tools/order_file.h"
#include "tools/quotation_file.h"

namespace {

// The columns of one table as the schema declares them.
QList<FieldDef> columnsOf(const QString& schema, const QString& table) {
    const QRegularExpression start(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 \\(").arg(table));
    const auto m = start.match(schema);
    if (!m.hasMatch()) {
        Fuzz::broken("table not in the schema", table);
    }
    const qsizetype end = schema.indexOf(QStringLiteral("\n);"), m.capturedEnd());
    QList<FieldDef> out;
    static const QRegularExpression column(QStringLiteral(R"(^\s*(\w+)\s+([A-Za-z@]+(?:\(\d+(?:,\d+)?\))?))"));
    for (const QString& line : schema.mid(m.capturedEnd(), end - m.capturedEnd()).split('\n')) {
        const auto c = column.match(line);
        if (!c.hasMatch()) {
            continue;
        }
        const QString declared = c.captured(2) == QLatin1String("@ID@") ? QStringLiteral("INTEGER") : c.captured(2);
        FieldDef f = FieldDef::fromDeclaredType(c.captured(1), declared);
        f.primaryKey = f.autoIncrement = c.captured(2) == QLatin1String("@ID@");
        out.append(f);
    }
    if (out.size() < 5) {
        Fuzz::broken("too few columns read from the schema", table);
    }
    return out;
}

struct Tables {
    QList<FieldDef> quotationHead, orderHead, orderRows;
};

const Tables& tables() {
    static const Tables t = [] {
        QFile f(QStringLiteral(OLVEND_SCHEMA_DIR "/book_tables.sql"));
        if (!f.open(QIODevice::ReadOnly)) {
            Fuzz::broken("cannot read the schema", f.fileName());
        }
        const QString schema = QString::fromUtf8(f.readAll());
        return Tables{columnsOf(schema, "Quotation_Head"), columnsOf(schema, "Dusmere_Order_Form_head"),
                      columnsOf(schema, "Dusmere_Order_Form_Detail")};
    }();
    return t;
}

bool isColumn(const QList<FieldDef>& columns, const QString& name) {
    for (const FieldDef& f : columns) {
        if (f.name == name) {
            return true;
        }
    }
    return false;
}

// The names of a parsed object, each once: the file has no name twice.
void checkNamesOnce(const QList<std::pair<QString, QVariant>>& values) {
    QSet<QString> seen;
    for (const auto& [name, value] : values) {
        FUZZ_CHECK(!seen.contains(name.toLower()), QStringLiteral("[%1] taken twice").arg(name));
        seen.insert(name.toLower());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json = Fuzz::bytes(data, size);
    const Tables& t = tables();

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
        const QuotationFile q = QuotationFile::parse(json, QStringLiteral("quotation.json"), t.quotationHead);
        FUZZ_CHECK(isObject, QStringLiteral("a quotation read from what is no object"));
        checkNamesOnce(q.head());
        for (const auto& [name, value] : q.head()) {
            FUZZ_CHECK(isColumn(t.quotationHead, name), name);
            FUZZ_CHECK(JsonFields::listed(QuotationFile::programFields(), name).isEmpty(), name);
        }
        QSet<QString> goods;
        for (const QuotationFile::Line& line : q.lines()) {
            FUZZ_CHECK(!line.goodsNo.trimmed().isEmpty(), QStringLiteral("a line without goods"));
            FUZZ_CHECK(!goods.contains(line.goodsNo), QStringLiteral("goods [%1] twice").arg(line.goodsNo));
            goods.insert(line.goodsNo);
            checkNamesOnce(line.fields);
            for (const auto& [name, value] : line.fields) {
                FUZZ_CHECK(QuotationFile::lineFields().contains(name), name);
            }
        }
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }

    try {
        const OrderFile o = OrderFile::parse(json, QStringLiteral("order.json"), t.orderHead, t.orderRows);
        FUZZ_CHECK(isObject, QStringLiteral("an order read from what is no object"));
        checkNamesOnce(o.head());
        for (const auto& [name, value] : o.head()) {
            FUZZ_CHECK(isColumn(t.orderHead, name), name);
            FUZZ_CHECK(JsonFields::listed(OrderFile::programHeadFields(), name).isEmpty(), name);
        }
        for (const OrderFile::Values& row : o.rows()) {
            checkNamesOnce(row);
            for (const auto& [name, value] : row) {
                FUZZ_CHECK(isColumn(t.orderRows, name), name);
                FUZZ_CHECK(JsonFields::listed(OrderFile::programRowFields(), name).isEmpty(), name);
            }
        }
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }
    return 0;
}
