// The commands of the menu "数据库", driven through the real main window with
// scripted dialogs; the files are checked with plain SQLite.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <tuple>
#include <vector>

#include "platform/database.h"
#include "storage/drawingdb.h"
#include "support/mainwindow_fixture.h"
#include "support/sqlite_peek.h"

namespace {

using PointRow = std::tuple<float, float, float, bool>;
using LineRow = std::tuple<float, float, float, float, float, float, bool, float, float>;

const char* const kSaveData = "mnuSaveDatasourceFile2";
const char* const kSaveAdo = "mnuSaveDatasourceFileForAdo";
const char* const kOpenData = "mnuOpenDatasourceFile";
const char* const kOpenAdo = "mnuOpenDatasourceFileForAdo";

class DatabaseCommands : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    void Run(const char* item, const QString& file) {
        dialog->fileAnswers.push_back(file);
        QAction* action = form->MenuItem(item);
        ASSERT_TRUE(action) << item;
        action->trigger();
    }
    // The hidden fill can't be chosen from the menu.
    void RunHiddenFill(const QString& file) {
        dialog->fileAnswers.push_back(file);
        form->mnuSaveDatasourceFile_Click();
    }

    void ClearDrawing() {
        form->pntArray.Clear();
        form->lineArray.Clear();
    }

    // Numbers that need more than 7 digits, exponent forms, fractions below 1
    // and negatives; selection flags set, so that a load shows they aren't stored.
    void AddSample() {
        AddPointRecord(1, 0.5f, -3.0f)->IsSelect = true;
        AddPointRecord(2, 12.5f, -4.0f);
        AddPointRecord(5, -0.25f, 1.2345678f);
        AddPointRecord(3, 1e-05f, 12345678.0f);
        AddLineRecord(1, 0.5f, -3.0f, 12.5f, -0.25f, 255.0f)->IsSelect = true;
        AddLineRecord(2, -4.0f, 0.0f, 1.2345678f, 12345678.0f, 16777215.0f);
        AddLineRecord(7, 0.0f, 0.0f, 10.0f, 10.0f, 65280.0f);
    }
    static std::vector<PointRow> SamplePoints() {
        return {{1, 0.5f, -3, false}, {2, 12.5f, -4, false}, {5, -0.25f, 1.2345678f, false}, {3, 1e-05f, 12345678, false}};
    }
    static std::vector<LineRow> SampleLines() {
        return {{1, 0.5f, -3, 12.5f, -0.25f, 255, false, 0, 0},
                {2, -4, 0, 1.2345678f, 12345678, 16777215, false, 0, 0},
                {7, 0, 0, 10, 10, 65280, false, 0, 0}};
    }

    std::vector<PointRow> Points() const {
        std::vector<PointRow> rows;
        for (const auto& p : form->pntArray) rows.emplace_back(p->pntNO, p->X, p->Y, p->IsSelect);
        return rows;
    }
    std::vector<LineRow> Lines() const {
        std::vector<LineRow> rows;
        for (const auto& l : form->lineArray)
            rows.emplace_back(l->ID, l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, l->color, l->IsSelect, l->sp.pntNO, l->ep.pntNO);
        return rows;
    }

    // A new database with both empty tables, made through the engine.
    void MakeEmptyDatabase(const QString& file) {
        std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file.toStdString(), dbLangGeneral);
        ASSERT_TRUE(db);
        CreateDrawingTables(*db);
        db->Close();
    }

    QTemporaryDir dir;
};

TEST_F(DatabaseCommands, MenuItemsCarryTheirCaptionsAndTheFillStaysHidden) {
    const std::pair<const char*, const char*> items[] = {{kOpenData, "打开数据库文件(Data)"},
                                                        {"mnuSaveDatasourceFile", "保存数据库文件2(Data)"},
                                                        {kSaveData, "保存数据库文件(Data)"},
                                                        {kOpenAdo, "打开数据库文件(Ado)"},
                                                        {kSaveAdo, "保存数据库文件(ADO)"}};
    for (const auto& [name, caption] : items) {
        ASSERT_TRUE(form->MenuItem(name)) << name;
        EXPECT_EQ(form->MenuItem(name)->text(), QString::fromUtf8(caption));
    }
    QAction* hidden = form->MenuItem("mnuSaveDatasourceFile");
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_FALSE(hidden->isEnabled());
    // Disabled, so triggering it does nothing; the handler itself still works.
    dialog->fileAnswers.push_back(Path("x.mdb"));
    hidden->trigger();
    EXPECT_EQ(dialog->opens, 0);
}

TEST_F(DatabaseCommands, EachCommandAsksWithTheAccessFilterInItsDialogKind) {
    struct Case {
        const char* item;
        bool save;
    } cases[] = {{kOpenData, false}, {kOpenAdo, false}, {kSaveData, true}, {kSaveAdo, true}};
    for (const Case& c : cases) {
        const int opens = dialog->opens, saves = dialog->saves;
        form->CommonDialog1->Filter = "MYD 绘制文件(*.myd)|*.myd";
        Run(c.item, Path(QString("f%1.mdb").arg(opens + saves)));
        EXPECT_EQ(form->CommonDialog1->Filter, "Access 文件(*.mdb)|*.mdb") << c.item;
        EXPECT_EQ(dialog->opens - opens, c.save ? 0 : 1) << c.item;
        EXPECT_EQ(dialog->saves - saves, c.save ? 1 : 0) << c.item;
    }
    const int opens = dialog->opens;
    RunHiddenFill(Path("f0.mdb"));
    EXPECT_EQ(dialog->opens, opens + 1);
    EXPECT_EQ(form->CommonDialog1->Filter, "Access 文件(*.mdb)|*.mdb");
}

TEST_F(DatabaseCommands, EverySaveRouteLoadsBackThroughEveryLoadRoute) {
    int n = 0;
    for (const char* save : {kSaveData, kSaveAdo, "hidden"}) {
        for (const char* load : {kOpenData, kOpenAdo}) {
            SCOPED_TRACE(std::string(save) + " then " + load);
            const QString file = Path(QString("round%1.mdb").arg(++n));
            ClearDrawing();
            AddSample();
            if (std::string(save) == "hidden") {
                MakeEmptyDatabase(file);
                RunHiddenFill(file);
            } else {
                Run(save, file);
            }
            ASSERT_TRUE(messages->shown.isEmpty()) << messages->shown.join("|").toStdString();
            // Saving leaves the drawing alone.
            EXPECT_EQ(Points().size(), 4u);
            EXPECT_TRUE(form->pntArray.Item(1)->IsSelect);

            ClearDrawing();
            AddPointRecord(99, 1, 1);
            form->lastPntNO = 42;
            form->lastLineID = 42;
            form->addPntMode = true;
            Run(load, file);
            ASSERT_TRUE(messages->shown.isEmpty()) << messages->shown.join("|").toStdString();
            EXPECT_EQ(Points(), SamplePoints());
            EXPECT_EQ(Lines(), SampleLines());
            // The counters pass the largest loaded number, so no number is handed out twice.
            EXPECT_EQ(form->lastPntNO, 5.0f);
            EXPECT_EQ(form->lastLineID, 7.0f);
            EXPECT_TRUE(form->addPntMode);
        }
    }
}

TEST_F(DatabaseCommands, StoredTextsAreTheNumberFormsOfEachTable) {
    AddSample();
    Run(kSaveData, Path("data.mdb"));
    Run(kSaveAdo, Path("ado.mdb"));
    ASSERT_TRUE(messages->shown.isEmpty());

    const PeekRows points = Peek(Path("data.mdb"), "select ID, typeof(ID), X, typeof(X), Y, typeof(Y) from PointTable");
    ASSERT_EQ(points.size(), 4u);
    const char* expected[4][3] = {
        {"1", "0.5", "-3"}, {"2", "12.5", "-4"}, {"5", "-0.25", "1.2345678"}, {"3", "1E-05", "1.2345678E+07"}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(points[i][0].text, expected[i][0]);
        EXPECT_EQ(points[i][1].text, "integer");
        EXPECT_EQ(points[i][2].text, expected[i][1]);
        EXPECT_EQ(points[i][3].text, "text");
        EXPECT_EQ(points[i][4].text, expected[i][2]);
        EXPECT_EQ(points[i][5].text, "text");
    }

    const PeekRows lines = Peek(Path("data.mdb"), "select ID, X1, Y1, X2, Y2, Color, typeof(Color) from LineTable");
    ASSERT_EQ(lines.size(), 3u);
    const char* texts[3][5] = {{"1", " .5", "-3", " 12.5", "-.25"},
                               {"2", "-4", " 0", " 1.2345678", " 1.2345678E+07"},
                               {"7", " 0", " 0", " 10", " 10"}};
    const double colours[3] = {255.0, 16777215.0, 65280.0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        for (int c = 0; c < 5; ++c) EXPECT_EQ(lines[i][c].text, texts[i][c]) << c;
        EXPECT_EQ(lines[i][5].number, colours[i]);
        EXPECT_EQ(lines[i][6].text, "real");
    }

    // Both routes store the very same rows.
    for (const char* sql : {"select *, typeof(ID) from PointTable", "select *, typeof(Color) from LineTable"}) {
        const PeekRows a = Peek(Path("data.mdb"), sql), b = Peek(Path("ado.mdb"), sql);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t r = 0; r < a.size(); ++r)
            for (std::size_t c = 0; c < a[r].size(); ++c) {
                EXPECT_EQ(a[r][c].text, b[r][c].text);
                EXPECT_EQ(a[r][c].type, b[r][c].type);
            }
    }
}

TEST_F(DatabaseCommands, EmptyDrawingMakesBothTablesWithoutRows) {
    for (const char* save : {kSaveData, kSaveAdo}) {
        SCOPED_TRACE(save);
        const QString file = Path(QString(save) + ".mdb");
        Run(save, file);
        ASSERT_TRUE(messages->shown.isEmpty());
        const PeekRows tables = Peek(file, "select name from sqlite_master where type = 'table' order by name");
        ASSERT_EQ(tables.size(), 2u);
        EXPECT_EQ(tables[0][0].text, "LineTable");
        EXPECT_EQ(tables[1][0].text, "PointTable");
        EXPECT_EQ(PeekCount(file, "PointTable"), 0);
        EXPECT_EQ(PeekCount(file, "LineTable"), 0);

        for (const char* load : {kOpenData, kOpenAdo}) {
            AddSample();
            form->lastPntNO = form->lastLineID = 9;
            Run(load, file);
            EXPECT_TRUE(messages->shown.isEmpty());
            EXPECT_EQ(form->pntArray.Count(), 0);
            EXPECT_EQ(form->lineArray.Count(), 0);
            EXPECT_EQ(form->lastPntNO, 0.0f);
            EXPECT_EQ(form->lastLineID, 0.0f);
        }
    }
}

TEST_F(DatabaseCommands, CurrentDatabaseFollowsEachCommand) {
    AddSample();
    const std::string before = "earlier.mdb";
    form->pFileName = before;

    Run(kSaveData, Path("data.mdb"));
    EXPECT_EQ(form->pFileName, Path("data.mdb").toStdString());

    Run(kSaveAdo, Path("ado.mdb"));
    EXPECT_EQ(form->pFileName, Path("ado.mdb").toStdString());

    RunHiddenFill(Path("data.mdb"));
    EXPECT_EQ(form->pFileName, Path("ado.mdb").toStdString());

    Run(kOpenAdo, Path("data.mdb"));
    EXPECT_EQ(form->pFileName, Path("ado.mdb").toStdString());

    Run(kOpenData, Path("data.mdb"));
    EXPECT_EQ(form->pFileName, Path("data.mdb").toStdString());
    EXPECT_TRUE(messages->shown.isEmpty());
}

TEST_F(DatabaseCommands, ChineseFileNamesWork) {
    AddSample();
    const QString file = Path("图形 一.mdb");
    Run(kSaveAdo, file);
    ClearDrawing();
    Run(kOpenData, file);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(Points(), SamplePoints());
    EXPECT_EQ(QString::fromStdString(form->pFileName), file);
}

TEST_F(DatabaseCommands, AdoOpensTheChosenFileEvenWithASemicolonInItsName) {
    MakeEmptyDatabase(Path("a"));  // what "Data Source=.../a;b.mdb" would name if cut at the ";"
    AddSample();
    Run(kSaveAdo, Path("a;b.mdb"));
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(PeekCount(Path("a;b.mdb"), "PointTable"), 4);
    EXPECT_EQ(PeekCount(Path("a"), "PointTable"), 0);
    ClearDrawing();
    Run(kOpenAdo, Path("a;b.mdb"));
    EXPECT_EQ(Points(), SamplePoints());
}

TEST_F(DatabaseCommands, CancelledDialogChangesNothing) {
    AddSample();
    form->pFileName = "kept.mdb";
    form->lastPntNO = 11;
    const auto points = Points();
    const auto first = form->pntArray.Item(1);
    for (const char* item : {kOpenData, kOpenAdo, kSaveData, kSaveAdo}) {
        dialog->fileAnswers.push_back(std::nullopt);
        form->MenuItem(item)->trigger();
    }
    dialog->fileAnswers.push_back(std::nullopt);
    form->mnuSaveDatasourceFile_Click();
    EXPECT_EQ(dialog->opens + dialog->saves, 5);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(Points(), points);
    EXPECT_EQ(form->pntArray.Item(1), first);
    EXPECT_EQ(form->lastPntNO, 11.0f);
    EXPECT_EQ(form->pFileName, "kept.mdb");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(DatabaseCommands, SavingOverAnExistingFileIsRefusedAndLeavesItUnchanged) {
    WriteBytes(Path("text.mdb"), "1 1 12.5 -4\r\n");
    MakeEmptyDatabase(Path("db.mdb"));
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Path("db.mdb").toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "insert into PointTable values (8, '1', '2')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    AddSample();
    form->pFileName = "kept.mdb";
    for (const char* save : {kSaveData, kSaveAdo}) {
        for (const char* name : {"text.mdb", "db.mdb"}) {
            SCOPED_TRACE(std::string(save) + " " + name);
            const QByteArray before = FileBytes(Path(name));
            messages->shown.clear();
            messages->details.clear();
            Run(save, Path(name));
            ASSERT_EQ(messages->shown.size(), 1);
            EXPECT_EQ(messages->shown[0], "保存失败");
            EXPECT_EQ(messages->details[0], Path(name) + "\n文件已存在");
            EXPECT_EQ(FileBytes(Path(name)), before);
            EXPECT_EQ(form->pFileName, "kept.mdb");
        }
    }
}

TEST_F(DatabaseCommands, NumberOutsideSixteenBitsFailsTheWholeSave) {
    AddSample();
    AddLineRecord(40000, 1, 1, 2, 2, 255);  // the last row: everything before it would fit
    form->pFileName = "kept.mdb";
    for (const char* save : {kSaveData, kSaveAdo}) {
        SCOPED_TRACE(save);
        messages->shown.clear();
        messages->details.clear();
        const QString file = Path(QString(save) + ".mdb");
        Run(save, file);
        ASSERT_EQ(messages->shown.size(), 1);
        EXPECT_EQ(messages->shown[0], "保存失败");
        EXPECT_TRUE(messages->details[0].startsWith(file)) << messages->details[0].toStdString();
        EXPECT_TRUE(messages->details[0].contains("40000"));
        // The new file goes again, so the same name can be used once the drawing is fixed.
        EXPECT_FALSE(QFileInfo::exists(file));
        EXPECT_EQ(form->pFileName, "kept.mdb");
    }
    EXPECT_EQ(form->lineArray.Count(), 4);

    // Into an existing database: not one row of the fill stays.
    MakeEmptyDatabase(Path("existing.mdb"));
    messages->shown.clear();
    messages->details.clear();
    RunHiddenFill(Path("existing.mdb"));
    ASSERT_EQ(messages->shown.size(), 1);
    EXPECT_EQ(messages->shown[0], "保存失败");
    EXPECT_EQ(PeekCount(Path("existing.mdb"), "PointTable"), 0);
    EXPECT_EQ(PeekCount(Path("existing.mdb"), "LineTable"), 0);

    // A point number below the range fails the same way.
    form->lineArray.Remove(4);
    AddPointRecord(-32769, 0, 0);
    messages->shown.clear();
    messages->details.clear();
    Run(kSaveData, Path("low.mdb"));
    ASSERT_EQ(messages->shown.size(), 1);
    EXPECT_EQ(messages->shown[0], "保存失败");
    EXPECT_TRUE(messages->details[0].contains("-32769"));
    EXPECT_FALSE(QFileInfo::exists(Path("low.mdb")));
}

TEST_F(DatabaseCommands, FillRunTwiceStoresEveryRecordTwice) {
    AddSample();
    Run(kSaveData, Path("twice.mdb"));
    form->pFileName = "kept.mdb";
    RunHiddenFill(Path("twice.mdb"));
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(PeekCount(Path("twice.mdb"), "PointTable"), 8);
    EXPECT_EQ(PeekCount(Path("twice.mdb"), "LineTable"), 6);
    EXPECT_EQ(form->pFileName, "kept.mdb");

    ClearDrawing();
    Run(kOpenAdo, Path("twice.mdb"));
    std::vector<PointRow> points = SamplePoints();
    points.insert(points.end(), points.begin(), points.end());
    std::vector<LineRow> lines = SampleLines();
    lines.insert(lines.end(), lines.begin(), lines.end());
    EXPECT_EQ(Points(), points);
    EXPECT_EQ(Lines(), lines);
    EXPECT_EQ(form->lastPntNO, 8.0f);  // the count passes the largest number 5
}

TEST_F(DatabaseCommands, FillOfAFileThatIsNoDatabaseFailsAndLeavesItAlone) {
    AddSample();
    for (const char* name : {"text.mdb", "empty.mdb", "missing.mdb"}) {
        SCOPED_TRACE(name);
        if (std::string(name) == "text.mdb") WriteBytes(Path(name), "2 1 0 0 10 10  255\r\n");
        if (std::string(name) == "empty.mdb") WriteBytes(Path(name), "");
        const QByteArray before = FileBytes(Path(name));
        messages->shown.clear();
        messages->details.clear();
        RunHiddenFill(Path(name));
        ASSERT_EQ(messages->shown.size(), 1);
        EXPECT_EQ(messages->shown[0], "保存失败");
        EXPECT_TRUE(messages->details[0].startsWith(Path(name)));
        EXPECT_EQ(FileBytes(Path(name)), before);
    }
    EXPECT_FALSE(QFileInfo::exists(Path("missing.mdb")));
}

// Each bad file, through both load routes: a message, and the drawing, the
// counters and the current database exactly as before.
TEST_F(DatabaseCommands, FailedLoadLeavesEverythingAsItWas) {
    auto exec = [](const QString& file, const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    WriteBytes(Path("text.mdb"), "1 1 12.5 -4\r\n2 1 0 0 10 10  255\r\n");
    WriteBytes(Path("empty.mdb"), "");
    exec(Path("nolines.mdb"), "create table PointTable (ID smallint, X text, Y text); insert into PointTable values (1, '1', '2')");
    exec(Path("noy.mdb"), "create table PointTable (ID smallint, X text); create table LineTable (ID smallint, X1 text, "
                          "Y1 text, X2 text, Y2 text, Color double)");
    MakeEmptyDatabase(Path("nullx.mdb"));
    exec(Path("nullx.mdb"), "insert into PointTable values (1, '1', '2'); insert into PointTable values (2, null, '2')");
    MakeEmptyDatabase(Path("nullcolor.mdb"));
    exec(Path("nullcolor.mdb"), "insert into LineTable values (1, '1', '2', '3', '4', null)");
    MakeEmptyDatabase(Path("nullid.mdb"));
    exec(Path("nullid.mdb"), "insert into PointTable values (null, '1', '2')");
    MakeEmptyDatabase(Path("huge.mdb"));
    exec(Path("huge.mdb"), "insert into LineTable values (1, '1', '2', '3', ' 1E+39', 255)");
    MakeEmptyDatabase(Path("hugecolor.mdb"));
    exec(Path("hugecolor.mdb"), "insert into LineTable values (1, '1', '2', '3', '4', 1e300)");

    AddSample();
    form->pFileName = "kept.mdb";
    form->lastPntNO = 21;
    form->lastLineID = 22;
    const auto points = Points();
    const auto lines = Lines();
    const auto firstPoint = form->pntArray.Item(1);
    const auto firstLine = form->lineArray.Item(1);

    const std::pair<const char*, const char*> cases[] = {
        {"text.mdb", "不是数据库文件"},
        {"empty.mdb", "不是数据库文件"},
        {"missing.mdb", "文件不存在"},
        {"nolines.mdb", "缺少表 LineTable"},
        {"noy.mdb", "表 PointTable 缺少列 Y"},
        {"nullx.mdb", "PointTable 第 2 行的 X 是空值"},
        {"nullcolor.mdb", "LineTable 第 1 行的 Color 是空值"},
        {"nullid.mdb", "PointTable 第 1 行的 ID 是空值"},
        {"huge.mdb", "LineTable 第 1 行的 Y2 超出单精度浮点数的范围"},
        {"hugecolor.mdb", "LineTable 第 1 行的 Color 超出单精度浮点数的范围"},
    };
    for (const char* load : {kOpenData, kOpenAdo}) {
        for (const auto& [name, reason] : cases) {
            SCOPED_TRACE(std::string(load) + " " + name);
            const QByteArray before = FileBytes(Path(name));
            messages->shown.clear();
            messages->details.clear();
            Run(load, Path(name));
            ASSERT_EQ(messages->shown.size(), 1);
            EXPECT_EQ(messages->shown[0], "打开失败");
            EXPECT_EQ(messages->details[0], Path(name) + "\n" + QString::fromUtf8(reason));
            EXPECT_EQ(Points(), points);
            EXPECT_EQ(Lines(), lines);
            EXPECT_EQ(form->pntArray.Item(1), firstPoint);
            EXPECT_EQ(form->lineArray.Item(1), firstLine);
            EXPECT_EQ(form->lastPntNO, 21.0f);
            EXPECT_EQ(form->lastLineID, 22.0f);
            EXPECT_EQ(form->pFileName, "kept.mdb");
            EXPECT_EQ(FileBytes(Path(name)), before);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Path("missing.mdb")));
}

TEST_F(DatabaseCommands, CoordinateTextsAreReadByTheirLeadingNumber) {
    MakeEmptyDatabase(Path("texts.mdb"));
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Path("texts.mdb").toUtf8().constData(), &db), SQLITE_OK);
        const char* sql =
            "insert into PointTable values (1, '', 'abc');"
            "insert into PointTable values (2, '3.5kg', '  -.25');"
            "insert into PointTable values (3, ' 1E-05', '2D3');"
            "insert into PointTable values (4, 7.5, '1 2');"  // a number in the text column, and inner blanks
            "insert into LineTable values (5, ' .5', '-3', 'x1', ' 12.5', 65535);";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    Run(kOpenData, Path("texts.mdb"));
    ASSERT_TRUE(messages->shown.isEmpty()) << messages->shown.join("|").toStdString();
    const std::vector<PointRow> points = {
        {1, 0, 0, false}, {2, 3.5f, -0.25f, false}, {3, 1e-05f, 2000, false}, {4, 7.5f, 12, false}};
    EXPECT_EQ(Points(), points);
    const std::vector<LineRow> lines = {{5, 0.5f, -3, 0, 12.5f, 65535, false, 0, 0}};
    EXPECT_EQ(Lines(), lines);
}

TEST_F(DatabaseCommands, LoadRepaintsTheDrawingArea) {
    const QColor pointColour(255, 0, 244);
    AddPointRecord(1, -50, -50);
    Run(kSaveData, Path("one.mdb"));
    ClearDrawing();
    AddPointRecord(1, 50, 50);
    form->Refresh();
    ASSERT_EQ(PixelAtWorld(50, 50), pointColour);
    ASSERT_NE(PixelAtWorld(-50, -50), pointColour);

    Run(kOpenAdo, Path("one.mdb"));
    EXPECT_EQ(PixelAtWorld(-50, -50), pointColour);
    EXPECT_EQ(PixelAtWorld(50, 50), Background());
}

}  // namespace
