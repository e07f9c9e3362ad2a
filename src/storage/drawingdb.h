#pragma once
// The drawing database: PointTable (ID, X, Y) and LineTable (ID, X1, Y1, X2,
// Y2, Color), reached through the data control or the ADO control of the
// platform layer. No widgets here; every failure is thrown as a DbError.

#include <string>

#include "model/store.h"

class Database;

inline constexpr const char* kPointSource = "select * from PointTable";
inline constexpr const char* kLineSource = "select * from LineTable";

enum class DbRoute { Data, Ado };

struct LoadedDrawing {
    PointList points;
    LineList lines;
};

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<file>;Persist Security Info=False".
// A file name that would end the value early (a ";" in it, or a leading
// quote) is put in double quotes so that the control opens that very file.
std::string AdoConnectionText(const std::string& file);

// Reads both tables, in their stored order, into new collections. An empty
// value, or a number too large for a 32-bit float, in any column that is read
// fails the whole load.
LoadedDrawing LoadDrawing(DbRoute route, const std::string& file);

// Appends one row per point and one row per line to the tables of an existing
// database, all in one transaction: when any row fails, nothing is appended.
void FillDrawing(DbRoute route, const std::string& file, const PointList& points, const LineList& lines);

// Creates PointTable and LineTable, with their fields in order, in a new database.
void CreateDrawingTables(Database& db);

// Creates a new database file through the engine, makes the tables, closes
// it and fills it through `route`. Returns false when the engine hands back
// no database. When a step after the creation fails, the new file is removed
// again (it is ours: creation refuses any existing file) and the error is
// rethrown, so a failed save leaves nothing behind.
bool CreateAndFillDrawing(DbRoute route, const std::string& file, const PointList& points, const LineList& lines);
