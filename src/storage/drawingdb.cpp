#include "storage/drawingdb.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "model/numtext.h"
#include "storage/mydfile.h"
#include "platform/database.h"

namespace {

struct Column {
    const char* name;
    int type;
};
constexpr Column kPointColumns[] = {{"ID", dbInteger}, {"X", dbText}, {"Y", dbText}};
constexpr Column kLineColumns[] = {{"ID", dbInteger}, {"X1", dbText}, {"Y1", dbText},
                                   {"X2", dbText},    {"Y2", dbText}, {"Color", dbDouble}};

std::string Where(const char* table, int row) { return std::string(table) + " 第 " + std::to_string(row) + " 行"; }

int Require(const Recordset& rs, const char* table, const char* column) {
    const int index = rs.FieldIndex(column);
    if (index < 0) throw DbError(DbError::Kind::NoField, std::string("表 ") + table + " 缺少列 " + column);
    if (!rs.FieldReadable(index))
        throw DbError(DbError::Kind::TypeMismatch, std::string("表 ") + table + " 的列 " + column + " 不是数字或文本");
    return index;
}

// A number for the drawing. ID and Color take the value converted to a
// number: a number as it is, a text only when it is wholly a number. The
// coordinates read a text by the leading-number rule. An empty value, or one
// that a 32-bit float can't hold, is an error.
float Cell(const Recordset& rs, int index, const char* table, const char* column, int row, bool whole) {
    const DbValue& value = rs.Fields(index);
    if (value.IsEmpty()) throw DbError(DbError::Kind::Null, Where(table, row) + "的 " + column + " 是空值");
    double number;
    if (value.IsNumber()) {
        number = value.Number();
    } else if (whole) {
        if (!WholeNumberText(value.Text(), number))
            throw DbError(DbError::Kind::TypeMismatch,
                          Where(table, row) + "的 " + column + " 不是数字（“" + value.Text() + "”）");
    } else {
        const NumberRead read = ReadNumber(value.Text());
        number = read.fits ? read.value : HUGE_VAL;
    }
    if (!(std::fabs(number) <= FLT_MAX))
        throw DbError(DbError::Kind::OutOfRange, Where(table, row) + "的 " + column + " 超出单精度浮点数的范围");
    return static_cast<float>(number);
}

void OpenSource(DataSourceControl& control, const char* source) {
    control.RecordSource = source;
    control.Refresh();
}

LoadedDrawing ReadTables(DataSourceControl& control) {
    LoadedDrawing drawing;

    OpenSource(control, kPointSource);
    {
        Recordset& rs = control.Recordset();
        const int id = Require(rs, "PointTable", "ID"), x = Require(rs, "PointTable", "X"),
                  y = Require(rs, "PointTable", "Y");
        drawing.points.Reserve(static_cast<std::size_t>(rs.RecordCount()));
        int row = 1;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++row) {
            auto p = std::make_shared<CPoint>();
            p->pntNO = Cell(rs, id, "PointTable", "ID", row, true);
            p->X = Cell(rs, x, "PointTable", "X", row, false);
            p->Y = Cell(rs, y, "PointTable", "Y", row, false);
            drawing.points.Add(std::move(p));
        }
    }

    OpenSource(control, kLineSource);
    {
        Recordset& rs = control.Recordset();
        int index[6];
        for (int i = 0; i < 6; ++i) index[i] = Require(rs, "LineTable", kLineColumns[i].name);
        drawing.lines.Reserve(static_cast<std::size_t>(rs.RecordCount()));
        int row = 1;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++row) {
            auto l = std::make_shared<CLine>();
            // ID and Color are numbers; the four coordinates are texts.
            auto cell = [&](int i) {
                return Cell(rs, index[i], "LineTable", kLineColumns[i].name, row, i == 0 || i == 5);
            };
            l->ID = cell(0);
            l->sp.X = cell(1);
            l->sp.Y = cell(2);
            l->ep.X = cell(3);
            l->ep.Y = cell(4);
            l->color = cell(5);
            drawing.lines.Add(std::move(l));
        }
    }
    control.Close();
    return drawing;
}

// Names the record that failed, so the message says where.
[[noreturn]] void Rethrow(const DbError& e, const char* table, int row) {
    throw DbError(e.kind(), Where(table, row) + "：" + e.what());
}

void WriteTables(DataSourceControl& control, const PointList& points, const LineList& lines) {
    control.BeginTrans();
    try {
        OpenSource(control, kPointSource);
        {
            Recordset& rs = control.Recordset();
            const int id = Require(rs, "PointTable", "ID"), x = Require(rs, "PointTable", "X"),
                      y = Require(rs, "PointTable", "Y");
            int row = 1;
            try {
                for (const auto& p : points) {
                    rs.AddNew();
                    rs.SetField(id, DbValue(static_cast<double>(p->pntNO)));
                    rs.SetField(x, DbValue(FileNumber(p->X)));
                    rs.SetField(y, DbValue(FileNumber(p->Y)));
                    rs.Update();
                    ++row;
                }
            } catch (const DbError& e) {
                Rethrow(e, "PointTable", row);
            }
        }

        OpenSource(control, kLineSource);
        {
            Recordset& rs = control.Recordset();
            int index[6];
            for (int i = 0; i < 6; ++i) index[i] = Require(rs, "LineTable", kLineColumns[i].name);
            int row = 1;
            try {
                for (const auto& l : lines) {
                    rs.AddNew();
                    rs.SetField(index[0], DbValue(static_cast<double>(l->ID)));
                    rs.SetField(index[1], DbValue(DbLineCoord(l->sp.X)));
                    rs.SetField(index[2], DbValue(DbLineCoord(l->sp.Y)));
                    rs.SetField(index[3], DbValue(DbLineCoord(l->ep.X)));
                    rs.SetField(index[4], DbValue(DbLineCoord(l->ep.Y)));
                    rs.SetField(index[5], DbValue(static_cast<double>(l->color)));
                    rs.Update();
                    ++row;
                }
            } catch (const DbError& e) {
                Rethrow(e, "LineTable", row);
            }
        }
        control.CommitTrans();
    } catch (...) {
        control.Close();  // rolls back
        throw;
    }
    control.Close();
}

// Gives the finished file its name, unless another file took the name meanwhile.
void MoveIntoPlace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno == EINVAL || errno == ENOSYS) {  // file systems without it: a link won't replace a file either
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return;
        }
    }
    if (errno == EEXIST) throw DbError(DbError::Kind::Exists, "文件已存在");
    throw DbError(DbError::Kind::Engine, std::string("无法给新文件命名（") + std::strerror(errno) + "）");
}

template <std::size_t N>
void MakeTable(Database& db, const char* name, const Column (&columns)[N]) {
    std::unique_ptr<TableDef> table = db.CreateTableDef(name);
    for (const Column& c : columns) table->Fields.Append(table->CreateField(c.name, c.type));
    db.TableDefs.Append(*table);
}

}  // namespace

std::string AdoConnectionText(const std::string& file) {
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
    // The reader skips blanks before it looks for an opening quote, so a
    // quote after leading blanks needs quoting as much as one in front.
    const std::size_t first = file.find_first_not_of(' ');
    const bool needsQuotes = file.find(';') != std::string::npos ||
                             (first != std::string::npos && (file[first] == '"' || file[first] == '\''));
    if (needsQuotes) {
        text += '"';
        for (char c : file) {
            text += c;
            if (c == '"') text += '"';
        }
        text += '"';
    } else {
        text += file;
    }
    return text + ";Persist Security Info=False";
}

LoadedDrawing LoadDrawing(DbRoute route, const std::string& file) {
    if (route == DbRoute::Data) {
        Data data;
        data.DatabaseName = file;
        return ReadTables(data);
    }
    Adodc ado;
    ado.ConnectionString = AdoConnectionText(file);
    return ReadTables(ado);
}

void FillDrawing(DbRoute route, const std::string& file, const PointList& points, const LineList& lines) {
    if (route == DbRoute::Data) {
        Data data;
        data.DatabaseName = file;
        WriteTables(data, points, lines);
        return;
    }
    Adodc ado;
    ado.ConnectionString = AdoConnectionText(file);
    WriteTables(ado, points, lines);
}

void CreateDrawingTables(Database& db) {
    MakeTable(db, "PointTable", kPointColumns);
    MakeTable(db, "LineTable", kLineColumns);
}

bool CreateAndFillDrawing(DbRoute route, const std::string& file, const PointList& points, const LineList& lines) {
    if (file.empty()) throw DbError(DbError::Kind::Missing, "没有文件名");
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(file, ec).type();
    // (A name that can't be looked at fails below, where the file is made.)
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none)
        throw DbError(DbError::Kind::Exists, "文件已存在");
    // Built under another name and renamed when complete: a crash, a kill or
    // a full disk part way never leaves a half-made database under the name.
    const std::string partial = TemporaryName(file);
    std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(partial, dbLangGeneral);
    if (!db) return false;
    try {
        CreateDrawingTables(*db);
        db->Close();  // the engine and the control never hold the file at once
        FillDrawing(route, partial, points, lines);
        MoveIntoPlace(partial, file);
    } catch (...) {
        db.reset();
        std::remove(partial.c_str());
        std::remove((partial + "-journal").c_str());
        throw;
    }
    SyncDirectoryOf(file);
    return true;
}
