#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

// A statement of a raw connection (SQLite's C API on the book's file), the
// measure the benchmarks set the program's figures beside: run with text
// or number parameters, every column of every row read as its type asks.
class RawStatement {
public:
    RawStatement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "raw statement: %s\n%s\n", sqlite3_errmsg(db), sql);
            std::abort();
        }
    }
    ~RawStatement() { sqlite3_finalize(m_stmt); }
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;

    void bind(int index, const QByteArray& text) {
        sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }
    // A named parameter (":code").
    void bind(const char* name, const QByteArray& text) {
        const int index = sqlite3_bind_parameter_index(m_stmt, name);
        if (index == 0) {
            std::fprintf(stderr, "raw statement: no parameter %s\n", name);
            std::abort();
        }
        bind(index, text);
    }
    // Steps to the end, handing each row to `row` (the statement stands on
    // it); returns the rows read.
    template <typename F>
    int forEach(F row) {
        int rows = 0;
        while (sqlite3_step(m_stmt) == SQLITE_ROW) {
            row(m_stmt);
            ++rows;
        }
        sqlite3_reset(m_stmt);
        return rows;
    }
    // Steps to the end; returns the rows read.
    int readAll() {
        int rows = 0;
        const int columns = sqlite3_column_count(m_stmt);
        while (sqlite3_step(m_stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(m_stmt, c)) {
                    case SQLITE_INTEGER:
                        benchmark::DoNotOptimize(sqlite3_column_int64(m_stmt, c));
                        break;
                    case SQLITE_FLOAT:
                        benchmark::DoNotOptimize(sqlite3_column_double(m_stmt, c));
                        break;
                    case SQLITE_TEXT:
                        benchmark::DoNotOptimize(sqlite3_column_text(m_stmt, c));
                        break;
                    default:
                        break;
                }
            }
            ++rows;
        }
        sqlite3_reset(m_stmt);
        return rows;
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};
