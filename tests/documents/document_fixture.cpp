#include "document_fixture.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include "data/dataset.h"
#include "demo/demo_quotations.h"
#include "documents/quotation_document.h"

namespace DocumentFixture {

void addGoods(Database& db, const QString& code, const QString& name, const QString& size, const QString& unit,
              const QVariant& defaultQty, const QVariant& defaultPrice, const QVariant& defaultTotal,
              const QVariant& purchasePrice) {
    const QVariantMap params{{"c", code},         {"n", name},           {"s", size},         {"u", unit},
                             {"q", defaultQty},   {"p", defaultPrice},   {"t", defaultTotal}, {"pp", purchasePrice},
                             {"cc", "F-" + code}, {"pic", code + ".jpg"}};
    db.query(
        "insert into goods (code, Goods_name, Goods_size, Goods_unit, Default_Qty, Default_price, "
        "Default_TotalPrice, purchase_price, Corp_Goods_Code, PicturePath) "
        "values (:c, :n, :s, :u, :q, :p, :t, :pp, :cc, :pic)",
        params);
}

void failWhen(Database& db, const QString& table, const QString& event, const QString& condition) {
    const QString name = "t_fail_" + table.toLower();
    if (db.isAccess()) {
        db.query(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 WHEN %4 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                     .arg(name, event, table, condition));
    } else {
        db.query(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF %2 THEN "
                                "RAISE EXCEPTION 'refused'; END IF; IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; "
                                "RETURN NEW; END $$")
                     .arg(name, condition));
        db.query(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()")
                     .arg(name, event, table));
    }
}

void stopFailing(Database& db, const QString& table) {
    const QString name = "t_fail_" + table.toLower();
    if (db.isAccess()) {
        db.query("DROP TRIGGER " + name);
    } else {
        db.query(QStringLiteral("DROP TRIGGER %1 ON %2").arg(name, table));
        db.query(QStringLiteral("DROP FUNCTION %1()").arg(name));
    }
}

int count(Database& db, const QString& sql, const QVariantMap& params) {
    return db.scalar(sql, params).toInt();
}

QStringList drifted(Database& db) {
    return DemoQuotations::driftedTotals(db);
}

QString text(const QVariant& value) {
    if (value.isNull()) {
        return QStringLiteral("null");
    }
    switch (value.typeId()) {
        case QMetaType::QDateTime:
            return value.toTime().msecsSinceStartOfDay() == 0 ? value.toDate().toString(Qt::ISODate)
                                                              : value.toDateTime().toString(Qt::ISODate);
        case QMetaType::QDate:
            return value.toDate().toString(Qt::ISODate);
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(value.toDouble() + 0.0, 'g', 15);  // -0 reads as 0
        default:
            return value.toString();
    }
}

QString values(const Dataset& rows, const QStringList& fields, int row) {
    QStringList out;
    for (const QString& f : fields) {
        out << text(row < 0 ? rows.value(f) : rows.value(row, f));
    }
    return out.join('|');
}

QString values(const QVariantMap& map, const QStringList& fields) {
    QStringList out;
    for (const QString& f : fields) {
        out << text(map.value(f));
    }
    return out.join('|');
}

QString read(Database& db, const QString& sql, const QVariantMap& params) {
    QStringList out;
    QSqlQuery q = db.query(sql, params);
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i) {
            row << text(q.value(i));
        }
        out << row.join('|');
    }
    return out.join("; ");
}

}  // namespace DocumentFixture

QString DocumentFixture::storedQuotation(Book& b, int lines) {
    QStringList codes;
    for (int i = 1; i <= lines; ++i) {
        codes.append(QString("G%1").arg(i));
        if (count(b.db(), "select count(*) from goods where code=:c", {{"c", codes.last()}}) == 0) {
            addGoods(b.db(), codes.last(), QString("货品%1").arg(i), "S", "UN001", i, double(i), double(i * i), 0.5);
        }
    }
    return storedQuotation(b.db(), b.clock, b.prompter, codes);
}

QString DocumentFixture::storedQuotation(Database& db, Clock& clock, Prompter& prompter, const QStringList& codes,
                                         const QString& hotel) {
    QuotationDocument doc(db, clock, prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Rummery", hotel);
    doc.addGoods(codes);
    if (!doc.save()) {
        qFatal("the quotation was not saved");
    }
    return doc.billNo();
}

QString DocumentFixture::receiptSample(Database& db, Clock& clock, ScriptedPrompter& prompter, double freight,
                                       double discount) {
    addGoods(db, "A", "门锁", "大", "UN001");
    addGoods(db, "B", "合页", "4寸", "UN002");
    addGoods(db, "C", "合页", "4寸", "UN002");
    QuotationDocument doc(db, clock, prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Add_ClientName", "王先生");
    doc.head().setValue("earnest", 500);
    doc.head().setValue("Freight", freight);
    if (discount != 0) {
        doc.head().setValue("preferential", discount);
    }
    doc.head().setValue("Remark", "尾款月底");
    doc.addGoods({"A", "B", "C"});
    const double qty[] = {2, 1, 3};
    const double price[] = {10, 5, 7};
    for (int r = 0; r < 3; ++r) {
        doc.lines().setCurrentRow(r);
        doc.lines().setValue("QTY", qty[r]);
        doc.lines().setValue("Price", price[r]);
        doc.lines().post();
    }
    if (!doc.save()) {
        qFatal("the quotation was not saved: %s", qPrintable(prompter.lastText()));
    }
    return doc.billNo();
}
