#include "reports/price_sheet_printout.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"
#include "data/price_sheet_layout.h"
#include "reports/document_printouts.h"

namespace {
// Codes bound per statement: well below what either engine takes.
constexpr int kCodesPerStatement = 500;
}  // namespace

PriceSheetPrintout::PriceSheetPrintout(Database& db) : m_db(db) {}

ReportRows PriceSheetPrintout::rows(const QStringList& customerCodes) {
    m_missing.clear();
    const QStringList& fields = PriceSheetLayout::fieldNames();
    ReportRows out;
    out.fields = QStringList{QStringLiteral("Corp_code"), QStringLiteral("Customer_name"), QStringLiteral("Sheet_Note"),
                             QStringLiteral("Customer_Line")};
    out.fields += fields;

    // The company's particulars, the same beside every sheet.
    QSqlQuery company =
        m_db.query(QStringLiteral("SELECT c.* FROM (SELECT 1 AS one) AS x ") + DocumentPrintouts::companyJoin());
    QVector<QVariant> companyValues;
    const QSqlRecord companyRecord = company.record();
    const bool haveCompany = company.next();
    for (int i = 0; i < companyRecord.count(); ++i) {
        out.fields.append(companyRecord.fieldName(i));
        companyValues.append(haveCompany ? company.value(i) : QVariant());
    }

    auto tableValues = [&fields](QSqlQuery& q) {
        QVector<QVariant> values(fields.size());
        for (int i = 0; i < fields.size(); ++i) {
            values[i] = PriceSheetLayout::readValue(fields[i], q.value(i + 1));
        }
        return values;
    };
    auto sheet = [&](const QString& code, const QString& name, const QString& note, const QVector<QVariant>& values) {
        // The sheet's line under its title names the customer; the
        // standard sheet has its note only.
        const QString line =
            code.isEmpty() ? QString() : QStringLiteral("客户名称: %1    客户编号: %2").arg(name, code);
        QVector<QVariant> row{code, name, note, line};
        row += values;
        row += companyValues;
        out.rows.append(row);
    };

    QVector<QVariant> standard(fields.size());
    {
        QSqlQuery q = m_db.query(PriceSheetLayout::selectStatement(PriceSheetLayout::standardTable()) +
                                 QStringLiteral(" LIMIT 1"));
        if (q.next()) {
            standard = tableValues(q);
        }
    }
    if (customerCodes.isEmpty()) {
        sheet(QString(), QString(), standardNote(), standard);
        return out;
    }

    // Each customer once, in the order given.
    QStringList codes;
    QSet<QString> seen;
    for (const QString& c : customerCodes) {
        if (!seen.contains(c)) {
            seen.insert(c);
            codes.append(c);
        }
    }
    QHash<QString, QVector<QVariant>> tables;
    QHash<QString, QString> names;
    for (qsizetype from = 0; from < codes.size(); from += kCodesPerStatement) {
        QVariantList chunk;
        for (const QString& c : codes.mid(from, kCodesPerStatement)) {
            chunk.append(c);
        }
        QVariantMap params;
        const QString in = Database::bindList(QStringLiteral("c"), chunk, &params);
        QSqlQuery t = m_db.query(PriceSheetLayout::selectStatement(PriceSheetLayout::customerTable()) +
                                     QStringLiteral(" where Corp_code in (%1)").arg(in),
                                 params);
        while (t.next()) {
            const QString code = t.value(0).toString();
            // A customer with two rows (made outside the program) prints
            // the first.
            if (!tables.contains(code)) {
                tables.insert(code, tableValues(t));
            }
        }
        QSqlQuery n = m_db.query(
            QStringLiteral("select Corp_code, Corp_name from Client where Corp_code in (%1)").arg(in), params);
        while (n.next()) {
            names.insert(n.value(0).toString(), n.value(1).toString());
        }
    }
    for (const QString& code : codes) {
        const auto table = tables.constFind(code);
        if (table != tables.constEnd()) {
            sheet(code, names.value(code), QString(), table.value());
        } else if (names.contains(code)) {
            sheet(code, names.value(code), standardPricesNote(), standard);
        } else {
            m_missing.append(code);
        }
    }
    return out;
}
