#pragma once
// Looks into database files with plain SQLite, past the editor's own layer.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

using PeekRows = std::vector<std::vector<std::string>>;

// Runs the statements of `sql` on the file, which SQLite makes when missing,
// and returns the rows they give as texts (NULL as "null"). `rc` gets
// SQLite's answer; without it, any failure fails the test.
inline PeekRows Peek(const QString& file, const std::string& sql, int* rc = nullptr) {
    PeekRows rows;
    sqlite3* db = nullptr;
    int result = sqlite3_open(file.toUtf8().constData(), &db);
    for (const char* tail = sql.c_str(); result == SQLITE_OK && *tail;) {
        sqlite3_stmt* stmt = nullptr;
        result = sqlite3_prepare_v2(db, tail, -1, &stmt, &tail);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            auto& row = rows.emplace_back();
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const unsigned char* text = sqlite3_column_text(stmt, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "null");
            }
        }
        if (stmt) result = sqlite3_finalize(stmt);
    }
    if (rc) *rc = result;
    else if (result != SQLITE_OK) ADD_FAILURE() << sqlite3_errmsg(db) << " in: " << sql;
    sqlite3_close(db);
    return rows;
}

inline std::string PeekCount(const QString& file, const char* table) {
    const PeekRows rows = Peek(file, std::string("select count(*) from ") + table);
    return rows.empty() ? "none" : rows[0][0];
}

inline QByteArray FileBytes(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteBytes(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
