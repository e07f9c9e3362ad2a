// The database layer on its own: engine, data controls, recordsets.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

#include "platform/database.h"
#include "storage/drawingdb.h"
#include "support/sqlite_peek.h"

namespace {

using Kind = DbError::Kind;

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

    // A new database with PointTable (ID, X, Y) made through the engine.
    std::string MakePointDatabase(const char* name) {
        const std::string file = Path(name);
        std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral);
        EXPECT_TRUE(db);
        std::unique_ptr<TableDef> t = db->CreateTableDef("PointTable");
        t->Fields.Append(t->CreateField("ID", dbInteger));
        t->Fields.Append(t->CreateField("X", dbText));
        t->Fields.Append(t->CreateField("Y", dbText));
        db->TableDefs.Append(*t);
        db->Close();
        return file;
    }

    // Appends rows through a data control; each row is ID, X, Y.
    void AddPoints(const std::string& file, const std::vector<std::vector<DbValue>>& rows) {
        Data data;
        data.DatabaseName = file;
        data.RecordSource = "select * from PointTable";
        data.Refresh();
        Recordset& rs = data.Recordset();
        for (const auto& row : rows) {
            rs.AddNew();
            for (std::size_t i = 0; i < row.size(); ++i) rs.SetField(static_cast<int>(i), row[i]);
            rs.Update();
        }
    }

    QTemporaryDir dir;
};

TEST_F(DatabaseLayer, CreateDatabaseMakesAnEmptySqliteFileThatOpensAgain) {
    const std::string file = Path("new.mdb");
    std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral);
    ASSERT_TRUE(db);
    db->Close();
    EXPECT_TRUE(FileBytes(QPath("new.mdb")).startsWith(QByteArray("SQLite format 3\0", 16)));

    Data data;
    data.DatabaseName = file;
    data.RecordSource = "select name from sqlite_master";
    data.Refresh();
    EXPECT_EQ(data.Recordset().RecordCount(), 0);
    EXPECT_TRUE(data.Recordset().Eof());
}

TEST_F(DatabaseLayer, CreateDatabaseRefusesAnExistingFileAndLeavesItAlone) {
    WriteBytes(QPath("taken.mdb"), "not mine\r\n");
    EXPECT_EQ(KindOf([&] { DBEngine::Workspaces(0).CreateDatabase(Path("taken.mdb"), dbLangGeneral); }), Kind::Exists);
    EXPECT_EQ(FileBytes(QPath("taken.mdb")), QByteArray("not mine\r\n"));

    const std::string db = MakePointDatabase("points.mdb");
    AddPoints(db, {{1, "1", "2"}});
    const QByteArray before = FileBytes(QPath("points.mdb"));
    EXPECT_EQ(KindOf([&] { DBEngine::Workspaces(0).CreateDatabase(db, dbLangGeneral); }), Kind::Exists);
    EXPECT_EQ(FileBytes(QPath("points.mdb")), before);
}

TEST_F(DatabaseLayer, CreateDatabaseRefusesOtherLocalesAndUnreachablePlaces) {
    EXPECT_EQ(KindOf([&] { DBEngine::Workspaces(0).CreateDatabase(Path("a.mdb"), ";LANGID=0x0804;CP=936;COUNTRY=0"); }),
              Kind::Usage);
    EXPECT_FALSE(QFileInfo::exists(QPath("a.mdb")));
    EXPECT_EQ(KindOf([&] { DBEngine::Workspaces(0).CreateDatabase(Path("no/such/dir/a.mdb"), dbLangGeneral); }),
              Kind::Engine);
    EXPECT_EQ(KindOf([&] { DBEngine::Workspaces(0).CreateDatabase("", dbLangGeneral); }), Kind::Missing);
    EXPECT_EQ(KindOf([&] { DBEngine::Workspaces(1); }), Kind::Usage);
}

TEST_F(DatabaseLayer, TableDefinitionsMakeTheirFieldsInOrderWithTheirTypes) {
    const std::string file = Path("schema.mdb");
    {
        std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral);
        CreateDrawingTables(*db);
        db->Close();
    }
    const PeekRows points = Peek(QPath("schema.mdb"), "select name, type from pragma_table_info('PointTable')");
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0][0].text, "ID");
    EXPECT_EQ(points[0][1].text, "SMALLINT");
    EXPECT_EQ(points[1][0].text, "X");
    EXPECT_EQ(points[1][1].text, "TEXT");
    EXPECT_EQ(points[2][0].text, "Y");
    EXPECT_EQ(points[2][1].text, "TEXT");
    const PeekRows lines = Peek(QPath("schema.mdb"), "select name, type from pragma_table_info('LineTable')");
    ASSERT_EQ(lines.size(), 6u);
    const char* names[] = {"ID", "X1", "Y1", "X2", "Y2", "Color"};
    const char* types[] = {"SMALLINT", "TEXT", "TEXT", "TEXT", "TEXT", "DOUBLE"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(lines[i][0].text, names[i]);
        EXPECT_EQ(lines[i][1].text, types[i]);
    }
    // No keys and no indexes.
    EXPECT_EQ(Peek(QPath("schema.mdb"), "select name from sqlite_master where type = 'index'").size(), 0u);

    std::unique_ptr<TableDef> t = std::make_unique<TableDef>("T");
    EXPECT_EQ(KindOf([&] { t->CreateField("A", 4); }), Kind::Usage);
    EXPECT_EQ(KindOf([&] { t->CreateField("", dbText); }), Kind::Usage);
}

TEST_F(DatabaseLayer, RecordsetReadsRowsInOrderByNameAndPosition) {
    const std::string file = MakePointDatabase("p.mdb");
    AddPoints(file, {{3, " 1.5", "-2"}, {1, DbValue(), "x"}, {2, "7", DbValue(0.25)}});

    Data data;
    data.DatabaseName = file;
    data.RecordSource = "select * from PointTable";
    data.Refresh();
    Recordset& rs = data.Recordset();
    ASSERT_EQ(rs.RecordCount(), 3);
    ASSERT_EQ(rs.FieldCount(), 3);
    EXPECT_EQ(rs.FieldName(0), "ID");
    EXPECT_EQ(rs.FieldName(2), "Y");
    EXPECT_EQ(rs.FieldIndex("x"), 1);  // names compare without case
    EXPECT_EQ(rs.FieldIndex("Z"), -1);

    EXPECT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields("ID"), DbValue(3));
    EXPECT_TRUE(rs.Fields(0).IsNumber());
    EXPECT_EQ(rs.Fields("X"), DbValue(" 1.5"));
    EXPECT_EQ(rs.Fields(2), DbValue("-2"));
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(0).Number(), 1.0);
    EXPECT_TRUE(rs.Fields("X").IsEmpty());
    EXPECT_EQ(rs.Fields("y").Text(), "x");
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("ID").Number(), 2.0);
    EXPECT_EQ(rs.Fields("Y"), DbValue("0.25"));  // a number for a text field is kept as its text
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(KindOf([&] { rs.Fields(0); }), Kind::NoCurrentRecord);
    EXPECT_EQ(KindOf([&] { rs.MoveNext(); }), Kind::NoCurrentRecord);
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields("ID").Number(), 3.0);
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(rs.Fields("ID").Number(), 2.0);
    EXPECT_EQ(rs.Value(1, 0).Number(), 1.0);
    EXPECT_EQ(KindOf([&] { rs.Fields("Z"); }), Kind::NoField);
    EXPECT_EQ(KindOf([&] { rs.Fields(3); }), Kind::NoField);
    EXPECT_EQ(KindOf([&] { rs.Fields("X").Number(); }), Kind::TypeMismatch);
}

TEST_F(DatabaseLayer, IntegerFieldsHoldSixteenBitsOnly) {
    const std::string file = MakePointDatabase("p.mdb");
    AddPoints(file, {{-32768, "a", "b"}, {32767, "c", "d"}, {2.5, "e", "f"}, {3.5, "g", "h"}, {"12", "i", "j"}});
    EXPECT_EQ(KindOf([&] { AddPoints(file, {{32768, "x", "y"}}); }), Kind::OutOfRange);
    EXPECT_EQ(KindOf([&] { AddPoints(file, {{-32769, "x", "y"}}); }), Kind::OutOfRange);
    EXPECT_EQ(KindOf([&] { AddPoints(file, {{40000.4, "x", "y"}}); }), Kind::OutOfRange);
    EXPECT_EQ(KindOf([&] { AddPoints(file, {{"twelve", "x", "y"}}); }), Kind::TypeMismatch);

    const PeekRows rows = Peek(QString::fromStdString(file), "select ID, typeof(ID) from PointTable");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0][0].text, "-32768");
    EXPECT_EQ(rows[1][0].text, "32767");
    EXPECT_EQ(rows[2][0].text, "2");  // halves go to the even neighbour
    EXPECT_EQ(rows[3][0].text, "4");
    EXPECT_EQ(rows[4][0].text, "12");
    for (const auto& row : rows) EXPECT_EQ(row[1].text, "integer");
}

TEST_F(DatabaseLayer, OtherWritersAreHeldToTheSixteenBitRangeToo) {
    const std::string file = MakePointDatabase("p.mdb");
    const QString q = QString::fromStdString(file);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "insert into PointTable values (40000, '1', '2')", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(PeekCount(q, "PointTable"), 0);
}

TEST_F(DatabaseLayer, ParametersAreBoundToTheRecordSource) {
    const std::string file = MakePointDatabase("p.mdb");
    AddPoints(file, {{1, "10", "11"}, {2, "20", "21"}, {2, "22", "23"}});
    Data data;
    data.DatabaseName = file;
    data.ReadOnly = true;
    data.RecordSource = "select * from PointTable where ID=?";
    data.Parameters = {DbValue(2)};
    data.Refresh();
    EXPECT_EQ(data.Recordset().RecordCount(), 2);
    EXPECT_EQ(data.Recordset().Fields("X").Text(), "20");

    data.Parameters = {DbValue(5)};
    data.Refresh();
    EXPECT_EQ(data.Recordset().RecordCount(), 0);
    EXPECT_TRUE(data.Recordset().Eof());

    // A text is bound as a text, never pasted into the statement.
    data.Parameters = {DbValue("2 or 1=1")};
    data.Refresh();
    EXPECT_EQ(data.Recordset().RecordCount(), 0);

    data.Parameters = {};
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Usage);
}

TEST_F(DatabaseLayer, ReadOnlyControlNeverWrites) {
    const std::string file = MakePointDatabase("p.mdb");
    AddPoints(file, {{1, "10", "11"}});
    const QByteArray before = FileBytes(QString::fromStdString(file));
    Data data;
    data.DatabaseName = file;
    data.ReadOnly = true;
    data.RecordSource = "select * from PointTable";
    data.Refresh();
    EXPECT_EQ(KindOf([&] { data.Recordset().AddNew(); }), Kind::ReadOnly);
    data.Close();
    EXPECT_EQ(FileBytes(QString::fromStdString(file)), before);
}

TEST_F(DatabaseLayer, RecordSourceMustBeOneQuery) {
    const std::string file = MakePointDatabase("p.mdb");
    AddPoints(file, {{1, "10", "11"}});
    Data data;
    data.DatabaseName = file;
    for (const char* source : {"delete from PointTable", "begin", "select * from PointTable; delete from PointTable",
                               ""}) {
        data.RecordSource = source;
        EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Usage) << source;
    }
    EXPECT_EQ(PeekCount(QString::fromStdString(file), "PointTable"), 1);

    data.RecordSource = "select ID from PointTable";
    data.Refresh();
    EXPECT_EQ(KindOf([&] { data.Recordset().AddNew(); }), Kind::Usage);
    EXPECT_EQ(KindOf([&] { data.Recordset().Update(); }), Kind::Usage);
    EXPECT_EQ(KindOf([&] { data.Recordset().SetField(0, DbValue(1)); }), Kind::Usage);
}

TEST_F(DatabaseLayer, MissingFilesAreReportedAndNeverCreated) {
    for (bool readOnly : {true, false}) {
        Data data;
        data.DatabaseName = Path("missing.mdb");
        data.ReadOnly = readOnly;
        data.RecordSource = "select * from PointTable";
        EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Missing);
        EXPECT_EQ(KindOf([&] { data.BeginTrans(); }), Kind::Missing);
    }
    Adodc ado;
    ado.ConnectionString = AdoConnectionText(Path("missing.mdb"));
    ado.RecordSource = "select * from PointTable";
    EXPECT_EQ(KindOf([&] { ado.Refresh(); }), Kind::Missing);
    EXPECT_FALSE(QFileInfo::exists(QPath("missing.mdb")));

    Data noName;
    noName.RecordSource = "select * from PointTable";
    EXPECT_EQ(KindOf([&] { noName.Refresh(); }), Kind::Missing);
}

TEST_F(DatabaseLayer, FilesThatAreNotDatabasesAreRefusedUntouched) {
    WriteBytes(QPath("text.mdb"), "1 1 12.5 -4\r\n2 1 0 0 10 10  255\r\n");
    WriteBytes(QPath("empty.mdb"), "");
    WriteBytes(QPath("short.mdb"), QByteArray("SQLite format", 13));
    for (const char* name : {"text.mdb", "empty.mdb", "short.mdb"}) {
        const QByteArray before = FileBytes(QPath(name));
        for (bool readOnly : {true, false}) {
            Data data;
            data.DatabaseName = Path(name);
            data.ReadOnly = readOnly;
            data.RecordSource = "select * from PointTable";
            EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NotDatabase) << name;
        }
        EXPECT_EQ(FileBytes(QPath(name)), before) << name;
    }
    // A directory is no database either.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mdb"));
    Data data;
    data.DatabaseName = Path("folder.mdb");
    data.RecordSource = "select 1";
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NotDatabase);
}

TEST_F(DatabaseLayer, DamagedDatabaseIsReportedAsNotADatabase) {
    const std::string file = MakePointDatabase("p.mdb");
    QByteArray bytes = FileBytes(QString::fromStdString(file));
    ASSERT_GT(bytes.size(), 100);
    for (int i = 16; i < bytes.size(); ++i) bytes[i] = char(0xA5);  // header text kept, the rest garbage
    WriteBytes(QString::fromStdString(file), bytes);
    Data data;
    data.DatabaseName = file;
    data.RecordSource = "select * from PointTable";
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NotDatabase);
}

TEST_F(DatabaseLayer, MissingTablesAndColumnsAreErrors) {
    const std::string file = MakePointDatabase("p.mdb");
    Data data;
    data.DatabaseName = file;
    data.RecordSource = "select * from LineTable";
    try {
        data.Refresh();
        ADD_FAILURE() << "no error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), Kind::NoTable);
        EXPECT_NE(std::string(e.what()).find("LineTable"), std::string::npos);
    }
    data.RecordSource = "select Color from PointTable";
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::NoField);
}

TEST_F(DatabaseLayer, TransactionsCommitOrLeaveNothing) {
    const std::string file = MakePointDatabase("p.mdb");
    const QString q = QString::fromStdString(file);
    auto addTwo = [](Data& data) {
        data.RecordSource = "select * from PointTable";
        data.Refresh();
        for (int i = 1; i <= 2; ++i) {
            data.Recordset().AddNew();
            data.Recordset().SetField("ID", DbValue(i));
            data.Recordset().Update();
        }
    };
    {
        Data data;
        data.DatabaseName = file;
        data.BeginTrans();
        addTwo(data);
        data.Rollback();
    }
    EXPECT_EQ(PeekCount(q, "PointTable"), 0);
    {
        Data data;
        data.DatabaseName = file;
        data.BeginTrans();
        addTwo(data);
    }  // gone without a commit
    EXPECT_EQ(PeekCount(q, "PointTable"), 0);
    {
        Data data;
        data.DatabaseName = file;
        data.BeginTrans();
        addTwo(data);
        addTwo(data);  // a second Refresh stays inside the transaction
        data.CommitTrans();
    }
    EXPECT_EQ(PeekCount(q, "PointTable"), 4);

    Data data;
    data.DatabaseName = file;
    data.BeginTrans();
    data.DatabaseName = Path("other.mdb");
    data.RecordSource = "select * from PointTable";
    EXPECT_EQ(KindOf([&] { data.Refresh(); }), Kind::Usage);
}

TEST_F(DatabaseLayer, ReadingAFileKeepsTheLocksOfAnotherConnectionOnIt) {
    if (QStandardPaths::findExecutable("sqlite3").isEmpty()) GTEST_SKIP() << "no sqlite3 shell";
    const std::string file = MakePointDatabase("p.mdb");
    Data writer;
    writer.DatabaseName = file;
    writer.BeginTrans();
    writer.RecordSource = "select * from PointTable";
    writer.Refresh();
    writer.Recordset().AddNew();
    writer.Recordset().SetField("ID", DbValue(1));
    writer.Recordset().Update();  // holds the write lock until the commit

    Data reader;
    reader.DatabaseName = file;
    reader.ReadOnly = true;
    reader.RecordSource = "select * from PointTable";
    reader.Refresh();
    EXPECT_EQ(reader.Recordset().RecordCount(), 0);
    reader.Close();

    // Another program still can't start writing.
    QProcess other;
    other.start("sqlite3", {QString::fromStdString(file), "begin immediate;"});
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_NE(other.exitCode(), 0) << other.readAllStandardError().toStdString();

    writer.CommitTrans();
    EXPECT_EQ(PeekCount(QString::fromStdString(file), "PointTable"), 1);
}

TEST_F(DatabaseLayer, RowsWithoutAValueAreStoredEmpty) {
    const std::string file = MakePointDatabase("p.mdb");
    Data data;
    data.DatabaseName = file;
    data.RecordSource = "select * from PointTable";
    data.Refresh();
    data.Recordset().AddNew();
    data.Recordset().SetField("x", DbValue("5"));
    data.Recordset().Update();
    const PeekRows rows = Peek(QString::fromStdString(file), "select typeof(ID), X, typeof(Y) from PointTable");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].text, "null");
    EXPECT_EQ(rows[0][1].text, "5");
    EXPECT_EQ(rows[0][2].text, "null");
}

TEST_F(DatabaseLayer, AdoTakesTheFileFromDataSourceOnly) {
    EXPECT_EQ(Adodc::DataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\d\\a.mdb;Persist Security Info=False"),
              "C:\\d\\a.mdb");
    EXPECT_EQ(Adodc::DataSourceOf("Persist Security Info=False; data source =/d/b.mdb"), "/d/b.mdb");
    EXPECT_EQ(Adodc::DataSourceOf(";;User ID=x;Data Source=\"/a;b/\"\"c\"\".mdb\";Mode=Read"), "/a;b/\"c\".mdb");
    EXPECT_EQ(Adodc::DataSourceOf("Data Source='it''s.mdb'"), "it's.mdb");
    EXPECT_EQ(KindOf([] { Adodc::DataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0"); }), Kind::Usage);
    EXPECT_EQ(KindOf([] { Adodc::DataSourceOf(""); }), Kind::Usage);

    EXPECT_EQ(AdoConnectionText("/d/drawing.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/drawing.mdb;Persist Security Info=False");
    for (const char* file : {"/d/it's.mdb", "/d/a;b.mdb", "\"q\".mdb", "'q'.mdb", " lead.mdb"})
        EXPECT_EQ(Adodc::DataSourceOf(AdoConnectionText(file)), file);
}

TEST_F(DatabaseLayer, AdoControlReadsAndAppendsLikeTheDataControl) {
    const std::string file = MakePointDatabase("p.mdb");
    Adodc ado;
    ado.ConnectionString = AdoConnectionText(file);
    ado.RecordSource = "select * from PointTable";
    ado.Refresh();
    ado.Recordset().AddNew();
    ado.Recordset().SetField("ID", DbValue(7));
    ado.Recordset().SetField("X", DbValue(" .5"));
    ado.Recordset().SetField("Y", DbValue("-3"));
    ado.Recordset().Update();
    ado.Refresh();
    ASSERT_EQ(ado.Recordset().RecordCount(), 1);
    EXPECT_EQ(ado.Recordset().Fields("X").Text(), " .5");
    EXPECT_EQ(ado.Recordset().Fields("ID").Number(), 7.0);
}

}  // namespace
