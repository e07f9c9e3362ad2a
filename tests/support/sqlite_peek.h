#pragma once
// Looks into database files with plain SQLite, past the editor's own layer.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

struct PeekCell {
    int type = SQLITE_NULL;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_NULL
    std::string text;
    double number = 0.0;
};
using PeekRows = std::vector<std::vector<PeekCell>>;

// Runs `sql` on the file (which SQLite creates when missing) and returns its rows.
inline PeekRows Peek(const QString& file, const char* sql) {
    PeekRows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << file.toStdString();
        sqlite3_close(db);
        return rows;
    }
    const char* tail = sql;
    while (tail && *tail) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, tail, -1, &stmt, &tail) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db) << " in: " << sql;
            break;
        }
        if (!stmt) break;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::vector<PeekCell> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                PeekCell cell;
                cell.type = sqlite3_column_type(stmt, i);
                cell.number = sqlite3_column_double(stmt, i);
                if (const unsigned char* t = sqlite3_column_text(stmt, i)) cell.text = reinterpret_cast<const char*>(t);
                row.push_back(cell);
            }
            rows.push_back(row);
        }
        if (rc != SQLITE_DONE) ADD_FAILURE() << sqlite3_errmsg(db) << " in: " << sql;
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

inline int PeekCount(const QString& file, const char* table) {
    const PeekRows rows = Peek(file, (std::string("select count(*) from ") + table).c_str());
    return rows.empty() ? -1 : static_cast<int>(rows[0][0].number);
}

inline QByteArray FileBytes(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline void WriteBytes(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
