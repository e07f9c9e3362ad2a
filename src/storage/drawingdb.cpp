#include "storage/drawingdb.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>

#include "model/numtext.h"
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

// A number for the drawing: numbers as they are, texts by the leading-number
// rule. An empty value, or one that a 32-bit float can't hold, is an error.
float Cell(const Recordset& rs, int index, const char* table, const char* column, int row) {
    const DbValue& value = rs.Fields(index);
    if (value.IsEmpty()) throw DbError(DbError::Kind::Null, Where(table, row) + "的 " + column + " 是空值");
    bool fits;
    float number;
    if (value.IsNumber()) {
        const double d = value.Number();
        fits = std::fabs(d) <= FLT_MAX;
        number = static_cast<float>(d);
    } else {
        const NumberRead read = ReadNumber(value.Text());
        fits = read.fits;
        number = read.value;
    }
    if (!fits) throw DbError(DbError::Kind::OutOfRange, Where(table, row) + "的 " + column + " 超出单精度浮点数的范围");
    return number;
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
            p->pntNO = Cell(rs, id, "PointTable", "ID", row);
            p->X = Cell(rs, x, "PointTable", "X", row);
            p->Y = Cell(rs, y, "PointTable", "Y", row);
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
            auto cell = [&](int i) { return Cell(rs, index[i], "LineTable", kLineColumns[i].name, row); };
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

template <std::size_t N>
void MakeTable(Database& db, const char* name, const Column (&columns)[N]) {
    std::unique_ptr<TableDef> table = db.CreateTableDef(name);
    for (const Column& c : columns) table->Fields.Append(table->CreateField(c.name, c.type));
    db.TableDefs.Append(*table);
}

}  // namespace

std::string AdoConnectionText(const std::string& file) {
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
    const bool needsQuotes =
        file.find(';') != std::string::npos || (!file.empty() && (file.front() == '"' || file.front() == '\''));
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
    std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral);
    if (!db) return false;
    try {
        CreateDrawingTables(*db);
        db->Close();  // the engine and the control never hold the file at once
        FillDrawing(route, file, points, lines);
    } catch (...) {
        db.reset();
        std::remove(file.c_str());
        throw;
    }
    return true;
}
