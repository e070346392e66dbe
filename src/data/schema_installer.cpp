#include "data/schema_installer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "data/database.h"
#include "data/name_initials.h"
#include "data/user_accounts.h"
#include "platform/errors.h"

// The schema scripts are compiled into the core library; a static library
// must register them itself.
static void registerSchemaResources() {
    Q_INIT_RESOURCE(schema);
}

namespace {
QString readResource(const QString& path) {
    static const bool registered = (registerSchemaResources(), true);
    Q_UNUSED(registered);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        throw DbError(QStringLiteral("缺少数据库结构文件: %1").arg(path));
    }
    return QString::fromUtf8(f.readAll());
}

const char* const kAutoKeyTables[][2] = {
    {"Sys_user", "id"},     {"Sys_Operation_Table", "id"}, {"Sys_Status_Describe", "id"}, {"customer_group", "id"},
    {"Client_group", "id"}, {"Provider_group", "id"},      {"goods_group", "id"},         {"unit", "id"},
    {"Sys_Corp", "id"},
};
}  // namespace

QStringList SchemaInstaller::statements(Database& db, const QString& resource) {
    const QString text = db.dialect().schemaText(readResource(resource));
    QStringList out;
    QString current;
    for (const QString& line : text.split('\n')) {
        const QString t = line.trimmed();
        if (t.startsWith("--") || t.isEmpty()) {
            continue;
        }
        current += line + '\n';
        if (t.endsWith(';')) {
            current = current.trimmed();
            current.chop(1);
            out.append(current);
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty()) {
        out.append(current.trimmed());
    }
    return out;
}

QStringList SchemaInstaller::blocks(Database& db, const QString& resource) {
    const QString text = db.dialect().schemaText(readResource(resource));
    QStringList out;
    QString current;
    for (const QString& line : text.split('\n')) {
        if (line.trimmed() == QLatin1String("/")) {
            if (!current.trimmed().isEmpty()) {
                out.append(current.trimmed());
            }
            current.clear();
        } else if (!(current.isEmpty() && line.trimmed().startsWith("--"))) {
            current += line + '\n';
        }
    }
    if (!current.trimmed().isEmpty()) {
        out.append(current.trimmed());
    }
    return out;
}

void SchemaInstaller::installTotals(Database& db) {
    const QString script = db.dialect().kind() == SqlDialect::Kind::Postgres ? ":/schema/book_totals_postgres.sql"
                                                                             : ":/schema/book_totals_sqlite.sql";
    WriteTransaction tx(db);
    for (const QString& s : blocks(db, script)) {
        db.query(s);
    }
    runScript(db, ":/schema/book_totals_rebuild.sql");
    tx.commit();
}

void SchemaInstaller::rebuildTotals(Database& db) {
    runScript(db, ":/schema/book_totals_rebuild.sql");
}

void SchemaInstaller::runScript(Database& db, const QString& resource) {
    for (const QString& s : statements(db, resource)) {
        db.query(s);
    }
    db.forgetColumns();
}

int SchemaInstaller::storedVersion(Database& db) {
    // Right after a server connection opened, it brought the version.
    if (const std::optional<int> version = db.takeVersionAtOpen()) {
        return *version;
    }
    if (!db.hasTable("schema_version")) {
        return 0;
    }
    return db.scalar("SELECT MAX(version) FROM schema_version").toInt();
}

void SchemaInstaller::writeVersion(Database& db, int version) {
    db.query("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    db.query("DELETE FROM schema_version");
    db.query("INSERT INTO schema_version (version) VALUES (:v)", {{"v", version}});
}

void SchemaInstaller::lockSchemaChanges(Database& db) {
    if (!db.isAccess()) {
        db.query(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey));
    }
}

void SchemaInstaller::ensureSystem(Database& db) {
    const int version = storedVersion(db);
    if (version > kSystemVersion) {
        throw DbError(QStringLiteral("系统数据库的版本(%1)比本程序新，请升级程序").arg(version));
    }
    if (version == kSystemVersion) {
        return;
    }
    WriteTransaction tx(db);
    lockSchemaChanges(db);
    if (storedVersion(db) == kSystemVersion) {
        return;  // another workstation made it meanwhile
    }
    runScript(db, ":/schema/system.sql");
    writeVersion(db, kSystemVersion);
    tx.commit();
}

void SchemaInstaller::installBook(Database& db) {
    WriteTransaction tx(db);
    runScript(db, ":/schema/book_tables.sql");
    runScript(db, ":/schema/book_views.sql");
    runScript(db, ":/schema/book_seed.sql");
    installTotals(db);
    installOperations(db);
    addNameInitials(db);
    for (const auto& t : kAutoKeyTables) {
        db.dialect().syncAutoKey(db, t[0], t[1]);
    }
    writeVersion(db, kBookVersion);
    tx.commit();
    UserAccounts::migratePlainPasswords(db);
}

void SchemaInstaller::ensureBook(Database& db, bool installWhenEmpty) {
    if (db.isAccess()) {
        upgradeBook(db, installWhenEmpty);
        return;
    }
    // Workstations that start on a new or older server database at the same
    // moment take turns: the first installs or upgrades it, the others wait
    // for its commit and then find the work done.
    if (storedVersion(db) == kBookVersion) {
        return;
    }
    WriteTransaction tx(db);
    lockSchemaChanges(db);
    upgradeBook(db, installWhenEmpty);
    tx.commit();
}

void SchemaInstaller::upgradeBook(Database& db, bool installWhenEmpty) {
    const int version = storedVersion(db);
    if (version == 0) {
        if (db.hasTable("Sys_user")) {
            // A book made before versions were recorded: add what is missing
            // up to version 2; the steps below take it further.
            WriteTransaction tx(db);
            runScript(db, ":/schema/book_tables.sql");
            runScript(db, ":/schema/book_views.sql");
            installTotals(db);
            writeVersion(db, 2);
            tx.commit();
        } else if (installWhenEmpty && db.tableNames().isEmpty()) {
            installBook(db);
        } else {
            throw db.error(QStringLiteral("不是有效的账本数据库(缺少用户表 Sys_user)"), QString());
        }
    } else if (version > kBookVersion) {
        throw db.error(QStringLiteral("的版本(%1)比本程序新，请升级程序").arg(version), QString());
    } else if (version < 2) {
        // Version 2 keeps each quotation's totals in Quotation_Sum.
        WriteTransaction tx(db);
        runScript(db, ":/schema/book_tables.sql");
        runScript(db, ":/schema/book_views.sql");
        installTotals(db);
        writeVersion(db, 2);
        tx.commit();
    }
    if (storedVersion(db) < 3) {
        // Version 3 drops the index of quotation lines by goods code, which
        // nothing reads and every saved line writes, and rounds the list's
        // amounts without going through text.
        // (The saved queries are made again by the last step below, once
        // the tables they read have their present shape.)
        WriteTransaction tx(db);
        db.query("DROP INDEX IF EXISTS ix_quotation_detail_goods");
        writeVersion(db, 3);
        tx.commit();
    }
    if (storedVersion(db) < 4) {
        // Version 4 keeps each quotation's freight and discount beside its
        // totals, with the amounts the list shows computed when a row is
        // written; the totals are computed afresh.
        WriteTransaction tx(db);
        db.query("DROP VIEW IF EXISTS Query_Quotation_Head_list");
        db.query("DROP TABLE IF EXISTS Quotation_Sum");
        runScript(db, ":/schema/book_tables.sql");
        installTotals(db);
        runScript(db, ":/schema/book_views.sql");
        writeVersion(db, 4);
        tx.commit();
    }
    if (storedVersion(db) < 5) {
        // Version 5 lists the commands that back up and restore a book.
        WriteTransaction tx(db);
        addMissingOperations(db);
        writeVersion(db, 5);
        tx.commit();
    }
    if (storedVersion(db) < 6) {
        // Version 6 lists the right to see purchase prices, costs and
        // profits and the command of a goods' price history, held by the
        // administrators' group as every new command, and finds a
        // customer's quotations newest first by its code or name.
        WriteTransaction tx(db);
        addMissingOperations(db);
        db.query("DROP INDEX IF EXISTS ix_quotation_head_client");
        db.query(
            "CREATE INDEX IF NOT EXISTS ix_quotation_head_client_date ON Quotation_Head (ClientNo, Keyin_Date, "
            "BillNo)");
        db.query(
            "CREATE INDEX IF NOT EXISTS ix_quotation_head_name_date ON Quotation_Head (Add_ClientName, "
            "Keyin_Date, BillNo)");
        writeVersion(db, 6);
        tx.commit();
    }
    if (storedVersion(db) < 7) {
        // Version 7 lists the commands that had none: the shipment-form
        // query of the main window, the customer and supplier groups, the
        // order list's 查看单据 and the printing of its work, ware-out and
        // shipment forms, and those of olvendctl that only it gives (issuing
        // a code, a report of a free query); the administrators' group holds
        // them.
        WriteTransaction tx(db);
        addMissingOperations(db);
        writeVersion(db, 7);
        tx.commit();
    }
    if (storedVersion(db) < 8) {
        // Version 8 counts each order's saves, and the forms made from an
        // order remember the count they were made at: forms made before the
        // order last changed say so. It also lists the commands of the order
        // forms' customers (订单客户管理), held by the administrators.
        WriteTransaction tx(db);
        addColumnIfMissing(db, "Dusmere_Order_Form_head", "Revision", "INTEGER DEFAULT 0");
        db.query("UPDATE Dusmere_Order_Form_head SET Revision = 0 WHERE Revision IS NULL");
        for (const char* table :
             {"Dusmere_Work_Form_Head", "Dusmere_Ware_Out_Form_Head", "Dusmere_Shipment_Form_Head"}) {
            addColumnIfMissing(db, table, "Order_Revision", "INTEGER");
        }
        addMissingOperations(db);
        writeVersion(db, 8);
        tx.commit();
    }
    if (storedVersion(db) < 9) {
        // Version 9 lists the customer statement and the receivables by
        // age of the main window, held by the administrators.
        WriteTransaction tx(db);
        addMissingOperations(db);
        writeVersion(db, 9);
        tx.commit();
    }
    if (storedVersion(db) < 10) {
        // Version 10 keeps the pinyin initials of the names of goods,
        // customers and suppliers, indexed, computed here for every record;
        // the saved queries of all goods columns are made again with them.
        WriteTransaction tx(db);
        addNameInitials(db);
        runScript(db, ":/schema/book_views.sql");
        writeVersion(db, 10);
        tx.commit();
    }
    // Later schema versions add their upgrade steps here, each in its own
    // transaction, followed by the saved queries recreated. Passwords still
    // kept as text are hashed at the next log-in, not here: opening a book
    // to read it never writes.
}

void SchemaInstaller::addNameInitials(Database& db) {
    for (const NameInitials::Source& s : NameInitials::sources()) {
        addColumnIfMissing(db, s.table, NameInitials::column(),
                           QStringLiteral("VARCHAR(%1)").arg(NameInitials::kWidth));
    }
    NameInitials::createIndexes(db);
    NameInitials::fillMissing(db);
}

void SchemaInstaller::addColumnIfMissing(Database& db, const QString& table, const QString& column,
                                         const QString& declaration) {
    db.forgetColumns();
    for (const FieldDef& f : TableSchema::columns(db, table)) {
        if (f.name.compare(column, Qt::CaseInsensitive) == 0) {
            return;
        }
    }
    db.query(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                 .arg(Database::checkIdentifier(table), Database::checkIdentifier(column), declaration));
    // What the connection knew of the table's columns is out of date.
    db.forgetColumns();
}

void SchemaInstaller::createBookFile(const QString& path, const QString& label) {
    if (QFileInfo::exists(path)) {
        throw DbError(QStringLiteral("账本文件已存在: %1").arg(path));
    }
    try {
        auto db = Database::openSqlite(path, label, {.mustExist = false});
        installBook(*db);
    } catch (...) {
        QFile::remove(path);
        QFile::remove(path + "-wal");
        QFile::remove(path + "-shm");
        throw;
    }
}

const QList<SchemaInstaller::ShippedOperation>& SchemaInstaller::shippedOperations() {
    static const QList<ShippedOperation> list = [] {
        QList<ShippedOperation> out;
        const QString text = readResource(":/schema/operations.txt");
        int window = -1;
        for (const QString& line : text.split('\n')) {
            if (line.trimmed().isEmpty() || line.trimmed().startsWith('#')) {
                continue;
            }
            const QStringList parts = line.split('|');
            ShippedOperation op;
            if (!line.startsWith(' ')) {
                op.formName = parts.value(0).trimmed().toLower();
                op.title = parts.value(1).trimmed();
                op.windowTitle = op.title;
                window = static_cast<int>(out.size());
            } else if (window >= 0) {
                const ShippedOperation& owner = out[window];
                op.formName = owner.formName;
                op.windowTitle = owner.windowTitle;
                op.actionName = parts.value(0).trimmed().toLower();
                op.title = parts.value(1).trimmed();
                op.parent = window;
                op.controlled = parts.value(2).trimmed().toInt() != 0;
            } else {
                continue;
            }
            out.append(op);
        }
        return out;
    }();
    return list;
}

bool SchemaInstaller::shippedAsControlled(const QString& actionName, const QString& formName) {
    const QString action = actionName.toLower();
    const QString form = formName.toLower();
    for (const ShippedOperation& op : shippedOperations()) {
        if (op.actionName == action && op.formName == form) {
            return op.controlled;
        }
    }
    return false;
}

void SchemaInstaller::addMissingOperations(Database& db) {
    auto idOf = [&db](const QString& form, const QString& action) {
        return db.scalar(QStringLiteral("select id from Sys_Operation_Table where LOWER(Form_Name)=:f and "
                                        "LOWER(COALESCE(Action_Name, ''))=:a"),
                         {{"f", form}, {"a", action.isEmpty() ? QString("") : action}});
    };
    for (const ShippedOperation& op : shippedOperations()) {
        if (idOf(op.formName, op.actionName).isValid()) {
            continue;
        }
        const int id = db.scalar(QStringLiteral("select COALESCE(MAX(id), 0) + 1 from Sys_Operation_Table")).toInt();
        QString parent = QStringLiteral("-1");
        if (!op.actionName.isEmpty()) {
            const QVariant window = idOf(op.formName, QString(""));
            parent = window.isValid() ? window.toString() : QStringLiteral("-1");
        }
        db.execute(QStringLiteral("INSERT INTO Sys_Operation_Table (id, Action_Name, Action_Title, Form_Name, "
                                  "Parent_Model, Parent_ID, isControl) VALUES (:id, :name, :title, :form, :model, "
                                  ":parent, :control)"),
                   {{"id", id},
                    {"name", op.actionName.isEmpty() ? QString("") : op.actionName},
                    {"title", op.title},
                    {"form", op.formName},
                    {"model", op.windowTitle},
                    {"parent", parent},
                    {"control", op.controlled ? 1 : 0}});
        db.execute(QStringLiteral("INSERT INTO Sys_user_Operation (User_name, Action_id) VALUES ('管理员组', :id)"),
                   {{"id", id}});
    }
}

void SchemaInstaller::installOperations(Database& db) {
    const QString insert = QStringLiteral(
        "INSERT INTO Sys_Operation_Table (id, Action_Name, Action_Title, Form_Name, Parent_Model, Parent_ID, "
        "isControl) VALUES (:id, :name, :title, :form, :model, :parent, :control)");
    const std::shared_ptr<QSqlQuery> qStatement = db.prepared(insert);
    QSqlQuery& q = *qStatement;
    const QList<ShippedOperation>& list = shippedOperations();
    // Ids follow the list from 1; an action's parent is its window's row.
    for (int i = 0; i < list.size(); ++i) {
        const ShippedOperation& op = list[i];
        db.run(q, {{"id", i + 1},
                   // A window's own row has an empty name, not a missing one.
                   {"name", op.actionName.isEmpty() ? QString("") : op.actionName},
                   {"title", op.title},
                   {"form", op.formName},
                   {"model", op.windowTitle},
                   {"parent", QString::number(op.parent < 0 ? -1 : op.parent + 1)},
                   {"control", op.controlled ? 1 : 0}});
    }
    q.finish();
    // The system group holds every right.
    db.query("INSERT INTO Sys_user_Operation (User_name, Action_id) SELECT '管理员组', id FROM Sys_Operation_Table");
}
