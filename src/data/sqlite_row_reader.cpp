#include "data/sqlite_row_reader.h"

#include <sqlite3.h>

#include <QSqlDriver>
#include <QSqlQuery>
#include <QUtf8StringView>

#include "data/database.h"
#include "data/driver_library.h"

namespace {
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

// The driver's library reports the same build as the one linked here.
bool sameSqliteBuild(Database& db) {
    try {
        const QVariant source = db.scalar(QStringLiteral("select sqlite_source_id()"));
        return source.toString() == QString::fromUtf8(sqlite3_sourceid());
    } catch (const DbError&) {
        return false;
    }
}

bool g_assumeSeparateLibrary = false;
}  // namespace

void SqliteRowReader::assumeSeparateLibrary(bool on) {
    g_assumeSeparateLibrary = on;
}

bool SqliteRowReader::driverSharesLibrary(Database& db) {
    if (!db.isAccess() || g_assumeSeparateLibrary) {
        return false;
    }
    static const bool shared = [&db] {
        const QSqlDriver* driver = db.qdb().driver();
        return DriverLibrary::resolvesLikeUs(driver, "sqlite3_libversion",
                                             reinterpret_cast<const void*>(&sqlite3_libversion)) &&
               sameSqliteBuild(db);
    }();
    return shared;
}

QStringList SqliteRowReader::declaredTypes(Database& db, const QString& sql) {
    if (!driverSharesLibrary(db)) {
        return {};
    }
    struct Connection {
        sqlite3* handle = nullptr;
        ~Connection() { sqlite3_close(handle); }
    } own;
    const QByteArray path = db.location().toUtf8();
    if (sqlite3_open_v2(path.constData(), &own.handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        return {};
    }
    sqlite3_busy_timeout(own.handle, 2000);
    Statement s;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(own.handle, text.constData(), int(text.size()), &s.stmt, nullptr) != SQLITE_OK) {
        return {};
    }
    QStringList types;
    for (int i = 0; i < sqlite3_column_count(s.stmt); ++i) {
        const char* declared = sqlite3_column_decltype(s.stmt, i);
        types.append(declared ? QString::fromUtf8(declared) : QString());
    }
    return types;
}

namespace {
// What the connection's last failure means, told as the driver's failures
// are.
DbError failureOf(Database& db, sqlite3* connection, const QString& sql) {
    return db.sqliteFailure(sqlite3_extended_errcode(connection), QString::fromUtf8(sqlite3_errmsg(connection)),
                            sqlite3_system_errno(connection), sql);
}

// The driver's connection, when this program may use it.
sqlite3* driverConnection(Database& db) {
    if (!db.isAccess() || !db.directReads() || !SqliteRowReader::driverSharesLibrary(db)) {
        return nullptr;
    }
    const QVariant handle = db.qdb().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}
}  // namespace

QByteArray SqliteRowReader::committedFile(Database& db) {
    sqlite3* connection = driverConnection(db);
    if (!connection || !sqlite3_get_autocommit(connection)) {
        return {};
    }
    const char* file = sqlite3_db_filename(connection, "main");
    return file ? QByteArray(file) : QByteArray();
}

bool SqliteRowReader::describe(Database& db, const QString& sql, Result* out) {
    sqlite3* connection = driverConnection(db);
    if (!connection) {
        return false;
    }
    Statement s;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &s.stmt, nullptr) != SQLITE_OK) {
        throw failureOf(db, connection, sql);
    }
    out->names.clear();
    out->declaredTypes.clear();
    for (int i = 0; i < sqlite3_column_count(s.stmt); ++i) {
        out->names.append(QString::fromUtf8(sqlite3_column_name(s.stmt, i)));
        const char* declared = sqlite3_column_decltype(s.stmt, i);
        out->declaredTypes.append(declared ? QString::fromUtf8(declared) : QString());
    }
    return true;
}

bool SqliteRowReader::readAll(Database& db, const QString& sql, const QVariantMap& params, Result* out) {
    sqlite3* connection = driverConnection(db);
    if (!connection) {
        return false;
    }
    Statement s;
    const QByteArray text = sql.toUtf8();
    db.countStatement();
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &s.stmt, nullptr) != SQLITE_OK) {
        throw failureOf(db, connection, sql);
    }
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QByteArray name = (it.key().startsWith(':') ? it.key() : ':' + it.key()).toUtf8();
        const int index = sqlite3_bind_parameter_index(s.stmt, name.constData());
        if (index == 0) {
            continue;
        }
        const QVariant v = db.toDbValue(it.value());
        if (v.isNull() || !v.isValid()) {
            sqlite3_bind_null(s.stmt, index);
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::UInt ||
                   v.typeId() == QMetaType::ULongLong) {
            sqlite3_bind_int64(s.stmt, index, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            sqlite3_bind_double(s.stmt, index, v.toDouble());
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(s.stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else {
            const QByteArray t = v.toString().toUtf8();
            sqlite3_bind_text(s.stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
    }
    const int columns = sqlite3_column_count(s.stmt);
    Result r;
    for (int i = 0; i < columns; ++i) {
        r.names.append(QString::fromUtf8(sqlite3_column_name(s.stmt, i)));
        const char* declared = sqlite3_column_decltype(s.stmt, i);
        r.declaredTypes.append(declared ? QString::fromUtf8(declared) : QString());
    }
    r.rows = ColumnStore(columns);
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(s.stmt, i)) {
                case SQLITE_INTEGER:
                    r.rows.appendInteger(i, sqlite3_column_int64(s.stmt, i));
                    break;
                case SQLITE_FLOAT:
                    r.rows.appendReal(i, sqlite3_column_double(s.stmt, i));
                    break;
                case SQLITE_TEXT:
                    r.rows.appendText(i, QUtf8StringView(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, i)),
                                                         sqlite3_column_bytes(s.stmt, i)));
                    break;
                case SQLITE_BLOB:
                    r.rows.appendBlob(i, QByteArrayView(static_cast<const char*>(sqlite3_column_blob(s.stmt, i)),
                                                        sqlite3_column_bytes(s.stmt, i)));
                    break;
                default:
                    r.rows.appendNull(i);
                    break;
            }
        }
        r.rows.endRow();
    }
    if (rc != SQLITE_DONE) {
        throw failureOf(db, connection, sql);
    }
    r.rows.finish();
    *out = std::move(r);
    return true;
}
