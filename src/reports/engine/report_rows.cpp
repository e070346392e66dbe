#include "reports/engine/report_rows.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>

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
    return out;
}

bool ReportRows::fromTsv(const QString& path, ReportRows* out, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("无法读取[%1]: %2").arg(path, f.errorString());
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
            rows.fields = line.split('\t');
            header = false;
            continue;
        }
        if (line.isEmpty()) {
            continue;
        }
        const QStringList cells = line.split('\t');
        QVector<QVariant> row(rows.fields.size());
        for (int i = 0; i < row.size(); ++i) {
            const QString cell = cells.value(i);
            bool ok = false;
            const double d = cell.toDouble(&ok);
            // Numbers stay numbers, so that sums and formats apply.
            row[i] = cell.isEmpty() ? QVariant() : (ok ? QVariant(d) : QVariant(cell));
        }
        rows.rows.append(row);
    }
    if (rows.fields.isEmpty() || (rows.fields.size() == 1 && rows.fields[0].isEmpty())) {
        if (error) {
            *error = QStringLiteral("[%1]没有标题行").arg(path);
        }
        return false;
    }
    *out = rows;
    return true;
}
