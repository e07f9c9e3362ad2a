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
// A file name that would end the value early (a ";" in it, or a quote as its
// first character after any blanks) is put in double quotes, so that
// Adodc::DataSourceOf gives back that very name.
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
// it and fills it through `route`. Refuses a name that exists. Returns false
// when the engine hands back no database. The file is built under a hidden
// name beside `file` and takes its name only when complete; when a step
// fails, the hidden file is removed and the error rethrown, so a failed or
// interrupted save never leaves a database under `file`.
bool CreateAndFillDrawing(DbRoute route, const std::string& file, const PointList& points, const LineList& lines);
