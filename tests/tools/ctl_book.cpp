#include "tools/ctl_book.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/data_module.h"
#include "data/database.h"
#include "data/permission_checker.h"
#include "documents/document_fixture.h"

CtlBook::CtlBook() {
    program.connect(TestBooks::currentEngine());
}

Database& CtlBook::db() {
    return program.context().data().main();
}

QString CtlBook::file(const QString& name, const QByteArray& text) {
    const QString path = folder() + '/' + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

CtlCall::Result CtlBook::ctl(const QStringList& args) {
    return CtlCall::run(folder(), QStringLiteral("2006-06-25"), args);
}

QString CtlBook::run(const QStringList& args) {
    QString text = CtlCall::transcript(args, ctl(args));
    const qsizetype out = args.indexOf(QStringLiteral("--out"));
    if (out >= 0 && out + 1 < args.size()) {
        text += QFile::exists(args[out + 1]) ? QStringLiteral("= written\n") : QStringLiteral("= not written\n");
    }
    return text.replace(folder(), QStringLiteral("<home>"));
}

QString CtlBook::runAll(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += run(QString(line).replace(QStringLiteral("<home>"), folder()).split(' '));
    }
    return text;
}

QString CtlBook::saved(const QString& command, const QByteArray& json) {
    const CtlCall::Result r = ctl({command, QStringLiteral("new"), file(command + QStringLiteral(".json"), json)});
    if (r.code != 0) {
        qFatal("%s not saved: %s", qPrintable(command), qPrintable(r.err));
    }
    return r.out.trimmed();
}

QStringList CtlBook::state() {
    QStringList out;
    for (const QString& table :
         QStringLiteral("Quotation_Head Quotation_Detail Quotation_Sum Receipt_Head Receipt_Detail "
                        "Dusmere_Order_Form_head Dusmere_Order_Form_Detail Dusmere_Work_Form_Head "
                        "Dusmere_Work_Form_Detail Dusmere_Ware_Out_Form_Head Dusmere_Ware_Out_Form_Detail "
                        "Dusmere_Shipment_Form_Head Dusmere_Shipment_Form_Detail payout base_Dusmere_Price_Table "
                        "base_Dusmere_Customer_price_Table Client customer_provider customer_group goods "
                        "Sys_ID_Autoincrement")
             .split(' ')) {
        QStringList rows = CtlBooks::dump(db(), table);
        rows.sort();
        out << table << rows;
    }
    return out;
}

void CtlBook::grantClerk(const QStringList& rights) {
    if (CtlBooks::rows(db(), QStringLiteral("Sys_user where User_name='李四'")) == 0) {
        db().execute(
            "insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    }
    db().execute("delete from Sys_user_Operation where User_name='业务组'");
    for (const QString& right : rights) {
        const QVariantMap names{{"f", right.section('/', 0, 0).toLower()}, {"a", right.section('/', 1).toLower()}};
        const QString where =
            QStringLiteral("from Sys_Operation_Table where LOWER(Form_Name)=:f and LOWER(Action_Name)=:a");
        if (db().scalar("select count(*) " + where, names).toInt() != 1) {
            qFatal("no right %s", qPrintable(right));
        }
        db().execute("insert into Sys_user_Operation (User_name, Action_id) select '业务组', id " + where, names);
    }
}

QStringList CtlBook::needsEach(const QStringList& rights, const QStringList& args, CtlCall::Result* last) {
    QStringList wrong;
    const qsizetype at = args.indexOf(QStringLiteral("--out"));
    const QString out = at >= 0 ? args.value(at + 1) : QString();
    const QStringList before = state();
    for (qsizetype i = 0; i < rights.size(); ++i) {
        QStringList granted = rights;
        granted.removeAt(i);
        grantClerk(granted);
        const CtlCall::Result r = asClerk(args);
        if (r.code != 3 || r.err != PermissionChecker::refusalText() + '\n' || !r.out.isEmpty() || state() != before ||
            (!out.isEmpty() && QFile::exists(out))) {
            wrong << QStringLiteral("without %1: exit %2, %3%4").arg(rights[i]).arg(r.code).arg(r.out, r.err);
        }
    }
    grantClerk(rights);
    const CtlCall::Result r = asClerk(args);
    if (r.code != 0 || !r.err.isEmpty()) {
        wrong << QStringLiteral("with all: exit %1, %2").arg(r.code).arg(r.err);
    }
    if (last) {
        *last = r;
    }
    return wrong;
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

int CtlBooks::rows(Database& db, const QString& table) {
    return db.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
}
