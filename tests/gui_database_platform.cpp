// The database layer on its own: the engine, the data controls and their
// recordsets, the connection text, and what comes back from the Access reader.
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <random>

#include "platform/accessreader.h"
#include "platform/database.h"
#include "platform/rowstream.h"
#include "storage/drawingdb.h"
#include "support/sqlite_peek.h"

namespace {

using Kind = DbError::Kind;
using Rows = std::vector<std::vector<DbValue>>;

template <class F>
std::optional<Kind> KindOf(F&& f) {
    try {
        f();
    } catch (const DbError& e) {
        return e.kind();
    }
    return std::nullopt;
}

class DatabaseLayer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString QPath(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    std::string Path(const char* name) const { return QPath(name).toStdString(); }

    // Appends rows (ID, X, Y) through a data control to PointTable, which the
    // engine makes first when the file is new.
    std::string AddPoints(const char* name, const Rows& rows = {}) {
        const std::string file = Path(name);
        if (!QFileInfo::exists(QPath(name))) {
            std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral);
            std::unique_ptr<TableDef> t = db->CreateTableDef("PointTable");
            for (const auto& [field, type] : {std::pair<const char*, int>{"ID", dbInteger}, {"X", dbText}, {"Y", dbText}})
                t->Fields.Append(t->CreateField(field, type));
            db->TableDefs.Append(*t);
            db->Close();
        }
        Data data;
        data.DatabaseName = file;
        data.RecordSource = "select * from PointTable";
        data.Refresh();
        for (const auto& row : rows) {
            data.Recordset().AddNew();
            for (std::size_t i = 0; i < row.size(); ++i) data.Recordset().SetField(int(i), row[i]);
            data.Recordset().Update();
        }
        return file;
    }
    static std::unique_ptr<Data> Open(const std::string& file, const char* source, bool readOnly = false) {
        auto data = std::make_unique<Data>();
        data->DatabaseName = file;
        data->RecordSource = source;
        data->ReadOnly = readOnly;
        return data;
    }

    QTemporaryDir dir;
};

TEST_F(DatabaseLayer, TheEngineMakesNewFilesOnly) {
    const std::string file = AddPoints("new.mdb");
    EXPECT_TRUE(FileBytes(QPath("new.mdb")).startsWith(QByteArray("SQLite format 3\0", 16)));
    WriteBytes(QPath("taken.mdb"), "not mine");
    auto create = [](const std::string& name, const char* locale = dbLangGeneral) {
        return KindOf([&] { DBEngine::Workspaces(0).CreateDatabase(name, locale); });
    };
    EXPECT_EQ(create(Path("taken.mdb")), Kind::Exists);
    EXPECT_EQ(create(file), Kind::Exists);
    EXPECT_EQ(FileBytes(QPath("taken.mdb")), "not mine");
    EXPECT_EQ(create(Path("a.mdb"), ";LANGID=0x0804;CP=936;COUNTRY=0"), Kind::Usage);
    EXPECT_EQ(create(Path("no/such/dir/a.mdb")), Kind::Engine);
    EXPECT_EQ(create(""), Kind::Missing);
    EXPECT_FALSE(QFileInfo::exists(QPath("a.mdb")));
    EXPECT_EQ(KindOf([] { DBEngine::Workspaces(1); }), Kind::Usage);
    const TableDef t("T");
    EXPECT_EQ(KindOf([&] { t.CreateField("A", 4); }), Kind::Usage);
    EXPECT_EQ(KindOf([&] { t.CreateField("", dbText); }), Kind::Usage);
    // Other programs writing to the file are held to the 16-bit range too.
    int rc = SQLITE_OK;
    Peek(QPath("new.mdb"), "insert into PointTable values (40000, '1', '2')", &rc);
    EXPECT_EQ(rc, SQLITE_CONSTRAINT);
}

TEST_F(DatabaseLayer, RecordsetReadsRowsInOrderByNameAndPosition) {
    const auto d = Open(AddPoints("p.mdb", {{3, " 1.5", "-2"}, {1, DbValue(), "x"}, {2, "7", 0.25}}), "select * from PointTable");
    Data& data = *d;
    data.Refresh();
    Recordset& rs = data.Recordset();
    ASSERT_EQ(rs.RecordCount(), 3);
    ASSERT_EQ(rs.FieldCount(), 3);
    EXPECT_EQ(rs.FieldName(2), "Y");
    EXPECT_EQ(rs.FieldIndex("x"), 1);  // names compare without case
    EXPECT_EQ(rs.FieldIndex("Z"), -1);
    EXPECT_EQ(rs.Fields("ID"), DbValue(3));
    EXPECT_EQ(rs.Fields("X"), DbValue(" 1.5"));
    rs.MoveNext();
    EXPECT_TRUE(rs.Fields("X").IsEmpty());
    EXPECT_EQ(rs.Fields("y"), DbValue("x"));
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(2), DbValue("0.25"));  // a number for a text field is kept as its text
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(KindOf([&] { rs.Fields(0); }), Kind::NoCurrentRecord);
    EXPECT_EQ(KindOf([&] { rs.MoveNext(); }), Kind::NoCurrentRecord);
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields(0), DbValue(3));
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(rs.Fields(0), DbValue(2));
    EXPECT_EQ(KindOf([&] { rs.SetAbsolutePosition(3); }), Kind::NoCurrentRecord);
    EXPECT_EQ(KindOf([&] { rs.Fields("Z"); }), Kind::NoField);
    EXPECT_EQ(KindOf([&] { rs.Fields(3); }), Kind::NoField);
    EXPECT_EQ(KindOf([&] { rs.Fields("X").Number(); }), Kind::TypeMismatch);
}

TEST_F(DatabaseLayer, IntegerFieldsHoldSixteenBits) {
    const std::string file =
        AddPoints("p.mdb", {{-32768}, {32767}, {2.5}, {3.5}, {-32768.5}, {"12"}, {" -7 "}, {"+9"}, {DbValue()}});
    for (const DbValue& bad : {DbValue(32768), DbValue(-32769), DbValue(32767.5), DbValue(40000.4)})
        EXPECT_EQ(KindOf([&] { AddPoints("p.mdb", {{bad}}); }), Kind::OutOfRange) << bad.Number();
    for (const char* bad : {"twelve", "7x", "", "-"}) EXPECT_EQ(KindOf([&] { AddPoints("p.mdb", {{bad}}); }), Kind::TypeMismatch);
    // Halves go to the even neighbour; a field not set stays empty.
    EXPECT_EQ(Peek(QString::fromStdString(file), "select group_concat(quote(ID)) from PointTable"),
              PeekRows{{"-32768,32767,2,4,-32768,12,-7,9,NULL"}});
}

TEST_F(DatabaseLayer, RecordSourcesOnlyReadAndTakeTheirParametersBound) {
    const std::string file = AddPoints("p.mdb", {{1, "10", "11"}, {2, "20", "21"}, {2, "22", "23"}});
    const QByteArray before = FileBytes(QPath("p.mdb"));
    const auto d = Open(file, "select * from PointTable where ID=?", true);
    Data& data = *d;
    auto count = [&](std::vector<DbValue> parameters) {
        data.Parameters = std::move(parameters);
        data.Refresh();
        return data.Recordset().RecordCount();
    };
    EXPECT_EQ(count({2}), 2);
    EXPECT_EQ(data.Recordset().Fields("X"), DbValue("20"));
    EXPECT_EQ(count({5}), 0);
    EXPECT_EQ(count({"2 or 1=1"}), 0);  // bound as a text, never pasted into the statement
    EXPECT_EQ(KindOf([&] { count({}); }), Kind::Usage);
    data.RecordSource = "select * from PointTable";
    data.Parameters = {};
    data.Refresh();
    EXPECT_EQ(KindOf([&] { data.Recordset().AddNew(); }), Kind::ReadOnly);

    data.ReadOnly = false;
    for (const char* source : {"delete from PointTable", "begin", "select * from PointTable; delete from PointTable", ""}) {
        data.RecordSource = source;
        EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Usage) << source;
    }
    data.RecordSource = "select ID from PointTable";
    data.Refresh();
    EXPECT_EQ(KindOf([&] { data.Recordset().AddNew(); }), Kind::Usage);
    EXPECT_EQ(KindOf([&] { data.Recordset().SetField(0, 1); }), Kind::Usage);
    EXPECT_EQ(KindOf([&] { data.Recordset().Update(); }), Kind::Usage);
    data.Close();
    EXPECT_EQ(FileBytes(QPath("p.mdb")), before);
}

TEST_F(DatabaseLayer, WhatIsNoDatabaseIsRefusedUntouchedAndNeverMade) {
    WriteBytes(QPath("text.mdb"), "1 1 12.5 -4\r\n");
    WriteBytes(QPath("empty.mdb"), "");
    WriteBytes(QPath("short.mdb"), QByteArray("SQLite format", 13));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mdb"));
    for (bool readOnly : {true, false}) {
        for (const char* name : {"text.mdb", "empty.mdb", "short.mdb", "folder.mdb"}) {
            const auto d = Open(Path(name), "select * from PointTable", readOnly);
            Data& data = *d;
            EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NotDatabase) << name;
        }
        const auto missing = Open(Path("missing.mdb"), "select * from PointTable", readOnly);
        EXPECT_EQ(KindOf([&] { missing->Refresh(); }), Kind::Missing);
        EXPECT_EQ(KindOf([&] { missing->BeginTrans(); }), Kind::Missing);
    }
    Adodc ado;
    ado.ConnectionString = AdoConnectionText(Path("missing.mdb"));
    ado.RecordSource = "select * from PointTable";
    EXPECT_EQ(KindOf([&] { ado.Refresh(); }), Kind::Missing);
    EXPECT_EQ(KindOf([&] { Open("", "select 1")->Refresh(); }), Kind::Missing);
    EXPECT_FALSE(QFileInfo::exists(QPath("missing.mdb")));
    EXPECT_EQ(FileBytes(QPath("text.mdb")), "1 1 12.5 -4\r\n");
    EXPECT_EQ(FileBytes(QPath("short.mdb")), "SQLite format");

    const auto d = Open(AddPoints("p.mdb"), "select * from LineTable");
    Data& data = *d;
    try {
        data.Refresh();
        ADD_FAILURE() << "no error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), Kind::NoTable);
        EXPECT_STREQ(e.what(), "缺少表 LineTable");
    }
    data.RecordSource = "select Color from PointTable";
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NoField);
}

TEST_F(DatabaseLayer, TransactionsCommitOrLeaveNothing) {
    const std::string file = AddPoints("p.mdb");
    auto addTwo = [](Data& data) {
        data.RecordSource = "select * from PointTable";
        data.Refresh();
        for (int i = 1; i <= 2; ++i) {
            data.Recordset().AddNew();
            data.Recordset().SetField("ID", i);
            data.Recordset().Update();
        }
    };
    for (int ending = 0; ending < 3; ++ending) {  // rolled back, gone without a commit, committed
        const auto d = Open(file, "");
        Data& data = *d;
        data.BeginTrans();
        addTwo(data);
        addTwo(data);  // a second Refresh stays inside the transaction
        if (ending == 0) data.Rollback();
        if (ending == 2) data.CommitTrans();
    }
    EXPECT_EQ(PeekCount(QPath("p.mdb"), "PointTable"), "4");
    const auto d = Open(file, "select * from PointTable");
    Data& data = *d;
    EXPECT_EQ(KindOf([&] { data.CommitTrans(); }), Kind::Usage);
    data.BeginTrans();
    data.DatabaseName = Path("other.mdb");
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Usage);
}

TEST_F(DatabaseLayer, AnEndlessReadStopsAtItsDeadlineOrWhenCancelled) {
    const std::chrono::milliseconds saved = DbReadTimeout();
    DbReadTimeout() = std::chrono::milliseconds(300);
    const auto d = Open(AddPoints("p.mdb"), "with recursive c(i) as (select 1 union all select i + 1 from c) select i from c where i < 0", true);
    Data& data = *d;
    try {
        data.Refresh();
        ADD_FAILURE() << "an endless read ended";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), Kind::Engine);
        EXPECT_STREQ(e.what(), "读取超过 0.3 秒，已停止");
    }
    DbReadTimeout() = saved;
    const std::atomic<bool> stop{true};
    const DbCancelScope scope(stop);
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Cancelled);
}

TEST(ConnectionText, TheFileComesFromDataSourceAndReadsBackAsWritten) {
    const std::pair<const char*, const char*> cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\d\\a.mdb;Persist Security Info=False", "C:\\d\\a.mdb"},
        {"Persist Security Info=False; data source =/d/b.mdb", "/d/b.mdb"},
        {";;User ID=x;Data Source=\"/a;b/\"\"c\"\".mdb\";Mode=Read", "/a;b/\"c\".mdb"},
        {"Data Source='it''s.mdb'", "it's.mdb"},
        {"Data Source=\"open.mdb", "open.mdb"},
    };
    for (const auto& [text, file] : cases) EXPECT_EQ(Adodc::DataSourceOf(text), file) << text;
    EXPECT_EQ(KindOf([] { Adodc::DataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0"); }), Kind::Usage);
    EXPECT_EQ(AdoConnectionText("/d/drawing.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/drawing.mdb;Persist Security Info=False");
    const std::string alphabet[] = {" ", "\"", "'", ";", "=", "a", ".", "/", "\\", "\t", "中", "Data Source"};
    std::mt19937 rng(11);
    for (int run = 0; run < 20000; ++run) {
        std::string name;
        for (int n = int(rng() % 10); n > 0; --n) name += alphabet[rng() % std::size(alphabet)];
        ASSERT_EQ(Adodc::DataSourceOf(AdoConnectionText(name)), name) << AdoConnectionText(name);
    }
}

// The stream between the Access reader and the editor.
TEST(AccessRowStream, DecodesWhatTheReaderWritesAndRefusesAnythingElse) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* f = open_memstream(&buffer, &size);
    {
        rowstream::Writer w(f);
        w.Columns(3);
        w.Column(rowstream::kNumberColumn, "ID");
        w.Column(rowstream::kTextColumn, "名");
        w.Column(rowstream::kUnreadableColumn, "Pic");
        w.Row();
        w.Number(-32768);
        w.Text(" .5");
        w.Unreadable();
        w.Row();
        w.Null();
        w.Text("");
        w.Null();
        w.End(2);
    }
    std::fclose(f);
    const std::string stream(buffer, size);
    std::free(buffer);
    const AccessTable t = DecodeRowStream(stream, "T");
    EXPECT_EQ(t.names, (std::vector<std::string>{"ID", "名", "Pic"}));
    EXPECT_EQ(t.readable, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(t.rows, (Rows{{-32768, " .5", DbValue()}, {DbValue(), "", DbValue()}}));

    // Every cut-off stream, bytes after its end, and a wrong row count are refused.
    for (std::size_t n = 0; n < stream.size(); ++n) EXPECT_THROW(DecodeRowStream(stream.substr(0, n), "T"), DbError) << n;
    EXPECT_THROW(DecodeRowStream(stream + "R", "T"), DbError);
    std::string miscounted = stream;
    miscounted[miscounted.size() - 4] = 3;
    EXPECT_THROW(DecodeRowStream(miscounted, "T"), DbError);
    // Any single changed byte decodes or is refused; it never reads past the end.
    for (std::size_t i = 0; i < stream.size(); ++i) {
        std::string bad = stream;
        bad[i] = char(bad[i] ^ 0x5A);
        try {
            DecodeRowStream(bad, "T");
        } catch (const DbError&) {
        }
    }
}

// Tables made by hand hold other types: each reads as a number or a text, and
// is found by any case of its name; a condition compares numbers as numbers
// and texts as texts.
TEST(AccessTables, NumericTypesNamesInAnyCaseAndConditions) {
    Data data;
    data.DatabaseName = POINTLINE_TEST_DATA "/jet/other-1997.mdb";  // Jet 3
    data.ReadOnly = true;
    data.RecordSource = "select * from TABLE1";
    data.Refresh();
    Recordset& rs = data.Recordset();
    ASSERT_EQ(rs.RecordCount(), 2);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("a"), DbValue("abcdefg"));
    EXPECT_EQ(rs.Fields("C"), DbValue(2));          // Byte
    EXPECT_EQ(rs.Fields("D"), DbValue(222));        // Integer
    EXPECT_EQ(rs.Fields("E"), DbValue(333333333));  // Long Integer
    EXPECT_EQ(rs.Fields("F"), DbValue(444.555));    // Double
    EXPECT_EQ(rs.Fields("H"), DbValue(3.5));        // Currency
    EXPECT_EQ(rs.Fields("I"), DbValue(-1));         // Yes/No: Yes
    EXPECT_EQ(KindOf([&] { rs.AddNew(); }), Kind::ReadOnly);

    const std::tuple<const char*, DbValue, int> conditions[] = {
        {"select * from [Table1] where e = ?", 333333333, 1}, {"select * from Table1 where B=?", "b", 1},
        {"select * from Table1 where A = ?", 0, 0},
        {"select * from Table1 where d = ?", "222", 1}};
    for (const auto& [source, parameter, rows] : conditions) {
        data.RecordSource = source;
        data.Parameters = {parameter};
        data.Refresh();
        EXPECT_EQ(data.Recordset().RecordCount(), rows) << source;
    }
    EXPECT_EQ(data.Recordset().Fields(1), DbValue("hijklmnop"));
    // Only what the editor asks of these files.
    for (const char* other : {"select A from Table1 where e = ?", "select * from Table1 order by A", "delete from Table1"}) {
        data.RecordSource = other;
        EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Usage) << other;
    }
    data.RecordSource = "select * from Table1 where Z = ?";
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NoField);
}

}  // namespace
