#include "support/ctl_book.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/data_module.h"
#include "data/database.h"
#include "documents/document_fixture.h"

CtlBook::CtlBook() {
    program.connect(TestBooks::currentEngine());
}

Database& CtlBook::db() {
    return program.context().data().main();
}

QString CtlBook::file(const QString& name, const QByteArray& text) {
    const QString path = program.folder() + '/' + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

CtlCall::Result CtlBook::ctl(const QStringList& args) {
    return CtlCall::run(program.folder(), QStringLiteral("2006-06-25"), args);
}

QString CtlBook::saved(const QString& command, const QByteArray& json) {
    const CtlCall::Result r = ctl({command, QStringLiteral("new"), file(command + QStringLiteral(".json"), json)});
    if (r.code != 0) {
        qFatal("%s not saved: %s", qPrintable(command), qPrintable(r.err));
    }
    return r.out.trimmed();
}

QuotationCtlBook::QuotationCtlBook() {
    DocumentFixture::addGoods(db(), "A", "门锁", "大", "UN001", 1, 10.0, 10.0, 6.0);
    DocumentFixture::addGoods(db(), "B", "合页", "4寸", "UN002", 1, 5.0, 5.0, 3.0);
    DocumentFixture::addGoods(db(), "C", "合页", "4寸", "UN002", 1, 7.0, 7.0, 4.0);
}

QString QuotationCtlBook::sample() {
    return saved(QStringLiteral("quotation"), R"({"earnest": 500, "Freight": 80, "lines": [{"GoodsNo": "A", "QTY": 2},
        {"GoodsNo": "B"}, {"GoodsNo": "C", "QTY": 3}]})");
}

QStringList CtlBooks::dump(Database& db, const QString& table, const QString& orderBy) {
    QStringList out;
    QSqlQuery q = db.query(QStringLiteral("select * from %1 order by %2").arg(table, orderBy));
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i) {
            cells.append(q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        }
        out.append(cells.join('|'));
    }
    return out;
}

const QStringList CtlBooks::kOrderTables{"Dusmere_Order_Form_head",    "Dusmere_Order_Form_Detail",
                                         "Dusmere_Work_Form_Head",     "Dusmere_Work_Form_Detail",
                                         "Dusmere_Ware_Out_Form_Head", "Dusmere_Ware_Out_Form_Detail",
                                         "Dusmere_Shipment_Form_Head", "Dusmere_Shipment_Form_Detail"};

QString CtlBooks::counter(Database& db, const QString& table) {
    return db.scalar("select CurrID from Sys_ID_Autoincrement where tablename=:t", {{"t", table}}).toString();
}

int CtlBooks::rows(Database& db, const QString& table) {
    return db.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
}
