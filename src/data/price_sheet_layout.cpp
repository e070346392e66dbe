#include "data/price_sheet_layout.h"

#include <QHash>

QString PriceSection::cellName(int row, int column) const {
    return QStringLiteral("%1%2%3").arg(letter).arg(row).arg(column, 2, 10, QLatin1Char('0'));
}

const QVector<PriceSection>& PriceSheetLayout::sections() {
    static const QVector<PriceSection> all{{QLatin1Char('A'), 1, 3},
                                           {QLatin1Char('B'), 2, 3},
                                           {QLatin1Char('C'), 2, 3},
                                           {QLatin1Char('D'), 2, 4},
                                           {QLatin1Char('E'), 2, 3}};
    return all;
}

const QStringList& PriceSheetLayout::cellNames() {
    static const QStringList names = [] {
        QStringList out;
        for (const PriceSection& s : sections()) {
            for (int r = 1; r <= s.rows; ++r) {
                for (int c = 1; c <= s.columns; ++c) {
                    out.append(s.cellName(r, c));
                }
            }
        }
        return out;
    }();
    return names;
}

const QStringList& PriceSheetLayout::remarkNames() {
    static const QStringList names = [] {
        QStringList out;
        for (const PriceSection& s : sections()) {
            out.append(s.remarkField());
        }
        out.append(QStringLiteral("All_Remark"));
        return out;
    }();
    return names;
}

const QStringList& PriceSheetLayout::fieldNames() {
    static const QStringList names = [] {
        QStringList out;
        for (const PriceSection& s : sections()) {
            for (int r = 1; r <= s.rows; ++r) {
                for (int c = 1; c <= s.columns; ++c) {
                    out.append(s.cellName(r, c));
                }
            }
            out.append(s.remarkField());
        }
        out.append(QStringLiteral("All_Remark"));
        return out;
    }();
    return names;
}

QString PriceSheetLayout::fieldByName(const QString& name) {
    static const QHash<QString, QString> byLower = [] {
        QHash<QString, QString> out;
        for (const QString& f : fieldNames()) {
            out.insert(f.toLower(), f);
        }
        return out;
    }();
    return byLower.value(name.trimmed().toLower());
}

bool PriceSheetLayout::isCell(const QString& field) {
    const QString f = fieldByName(field);
    return !f.isEmpty() && !f.endsWith(QLatin1String("_Remark"));
}

QString PriceSheetLayout::fieldLabel(const QString& field) {
    const QString f = fieldByName(field);
    if (f == QLatin1String("All_Remark")) {
        return QStringLiteral("总说明");
    }
    if (f.endsWith(QLatin1String("_Remark"))) {
        return QStringLiteral("%1区说明").arg(f.left(1));
    }
    return f.isEmpty() ? field : f;
}

QString PriceSheetLayout::selectStatement(const QString& table) {
    // Cells are read as whole numbers: a server hands NUMERIC(18,0) over as
    // a double otherwise, which cannot hold 18 digits exactly.
    QStringList columns{QStringLiteral("Corp_code")};
    for (const QString& f : fieldNames()) {
        columns.append(isCell(f) ? QStringLiteral("CAST(%1 AS BIGINT) AS %1").arg(f) : f);
    }
    return QStringLiteral("select %1 from %2").arg(columns.join(QStringLiteral(", ")), table);
}

QVariant PriceSheetLayout::readValue(const QString& field, const QVariant& stored) {
    if (stored.isNull()) {
        return {};
    }
    return isCell(field) ? QVariant(stored.toLongLong()) : QVariant(stored.toString());
}
