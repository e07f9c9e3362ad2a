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
// and returns the rows they give as texts (NULL as "null").
inline PeekRows Peek(const QString& file, const std::string& sql) {
    PeekRows rows;
    sqlite3* db = nullptr;
    char* error = nullptr;
    auto collect = [](void* out, int n, char** values, char**) {
        auto& row = static_cast<PeekRows*>(out)->emplace_back();
        for (int i = 0; i < n; ++i) row.emplace_back(values[i] ? values[i] : "null");
        return 0;
    };
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.c_str(), collect, &rows, &error) != SQLITE_OK)
        ADD_FAILURE() << (error ? error : sqlite3_errmsg(db)) << " in: " << sql;
    sqlite3_free(error);
    sqlite3_close(db);
    return rows;
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
