// The menu "数据库" of the real main window: our own and genuine Access drawing
// databases saved and loaded, bad files refused; then the layer below.
#include <QLabel>
#include <QPushButton>
#include <sys/stat.h>

#include <cfloat>
#include <functional>
#include <random>

#include "storage/drawingdb.h"
#include "support/database_fixture.h"
#include "support/file_helpers.h"

namespace {

// Numbers that need more than 7 digits, exponent forms, fractions and negatives.
const std::vector<Row> kSample = {{1, 0.5f, -3}, {2, 12.5f, -4}, {5, -0.25f, 1.2345678f}, {3, 1e-05f, 12345678},
                                  {1, 0.5f, -3, 12.5f, -0.25f, 255}, {2, -4, 0, 1.2345678f, 12345678, 16777215},
                                  {7, 0, 0, 10, 10, 65280}};

using Databases = DatabaseWindowTest;

TEST_F(Databases, EverySaveRouteLoadsBackThroughEveryLoadRouteUnderAnyNameAndACancelChangesNothing) {
    SetDrawing(kSample);
    form->pFileName = "kept.mdb";
    for (const char* item : {kOpenData, kOpenAdo, kSaveData, kSaveAdo, "fill"}) {
        dialog->Filter.clear();
        Run(item, std::nullopt);
        EXPECT_EQ(dialog->Filter, "Access 文件(*.mdb)|*.mdb") << item;
    }
    EXPECT_TRUE(dialog->opens == 3 && dialog->saves == 2 && messages->shown.isEmpty() && Entries().isEmpty());
    EXPECT_TRUE(Drawing() == kSample && form->pFileName == "kept.mdb");
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {kSaveData, kOpenData, "图形 一.mdb"}, {kSaveData, kOpenAdo, "a;b.mdb"},        {kSaveAdo, kOpenData, " \"odd.mdb"},
        {kSaveAdo, kOpenAdo, "  'odd;n.mdb"},  {"fill", kOpenData, "filled.mdb"}, {"fill", kOpenAdo, " \"\" x.mdb"}};
    for (const auto& [save, load, name] : cases) {
        SCOPED_TRACE(name);
        const QString file = Path(QString::fromUtf8(name));
        const bool fill = save == std::string("fill");
        if (fill) Peek(file, kDrawingTables);
        SetDrawing(kSample);
        form->pFileName = "kept.mdb";
        Run(save, file);
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        EXPECT_TRUE(Drawing() == kSample && form->pFileName == (fill ? "kept.mdb" : file.toStdString()));
        // Each table keeps its own number forms, for other programs to read.
        EXPECT_EQ(Peek(file, "select ID, typeof(ID), X, Y, typeof(Y) from PointTable"),
                  (PeekRows{{"1", "integer", "0.5", "-3", "text"}, {"2", "integer", "12.5", "-4", "text"},
                            {"5", "integer", "-0.25", "1.2345678", "text"}, {"3", "integer", "1E-05", "1.2345678E+07", "text"}}));
        EXPECT_EQ(Peek(file, "select ID, X1, Y1, X2, Y2, Color, typeof(Color) from LineTable"),
                  (PeekRows{{"1", " .5", "-3", " 12.5", "-.25", "255.0", "real"},
                            {"2", "-4", " 0", " 1.2345678", " 1.2345678E+07", "16777215.0", "real"},
                            {"7", " 0", " 0", " 10", " 10", "65280.0", "real"}}));

        SetDrawing({{99, 40, 40}});
        form->Refresh();
        form->lastPntNO = form->lastLineID = 42;
        Run(load, file);
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        EXPECT_EQ(Drawing(), kSample);
        EXPECT_TRUE(form->lastPntNO == 5 && form->lastLineID == 7);  // the largest numbers loaded
        // The data-control load names the current database; the ADO load doesn't.
        EXPECT_EQ(form->pFileName, load == kOpenData ? file.toStdString() : fill ? "kept.mdb" : file.toStdString());
        EXPECT_EQ(PixelAtWorld(40, 40), Background());
        EXPECT_GT(Count(QColor(0, 255, 0), QRect(Px(5, 5) - QPoint(1, 1), QSize(3, 3))), 0);  // the green line
    }
}

TEST_F(Databases, RefusedSavesLeaveEveryFileAsItWas) {
    WriteBytes(Path("text.mdb"), "1 1 12.5 -4\r\n");
    Peek(Path("db.mdb"), std::string(kDrawingTables) + "insert into PointTable values (8, '1', '2');");
    Copy("drawing-2000.mdb");
    const QStringList files = Entries();
    std::vector<QByteArray> before;
    for (const QString& name : files) before.push_back(FileBytes(Path(name)));
    SetDrawing(kSample);
    form->pFileName = "kept.mdb";
    auto refused = [&](const char* item, const QString& name, const char* reason) {
        Run(item, Path(name));
        EXPECT_EQ(messages->details, QStringList{Path(name) + "\n" + QString::fromUtf8(reason)}) << item;
        EXPECT_EQ(messages->shown, QStringList{"保存失败"});
        ClearMessages();
    };
    for (const QString& name : files) {
        refused(kSaveData, name, "文件已存在");
        refused(kSaveAdo, name, "文件已存在");
    }
    refused("fill", "drawing-2000.mdb", "Access 文件只能读取，不能写入");
    // A number outside 16 bits fails the whole save and names its record.
    AddPointRecord(-32769, 0, 0);
    refused(kSaveData, "low.mdb", "PointTable 第 5 行：字段 ID 的值 -32769 超出 -32768 到 32767 的范围");
    form->pntArray.Remove(5);
    AddLineRecord(40000, 1, 1, 2, 2, 255);
    refused(kSaveAdo, "high.mdb", "LineTable 第 4 行：字段 ID 的值 40000 超出 -32768 到 32767 的范围");
    refused("fill", "db.mdb", "LineTable 第 4 行：字段 ID 的值 40000 超出 -32768 到 32767 的范围");
    for (int i = 0; i < files.size(); ++i) EXPECT_EQ(FileBytes(Path(files[i])), before[std::size_t(i)]) << i;
    // The disk fills up part way: nothing made on the way is left.
    SetDrawing({});
    for (int i = 1; i <= 20000; ++i) AddPointRecord(float(i % 30000), 1.5f, 2.5f);
    {
        testfiles::FileSizeLimit limit(64 * 1024);
        Run(kSaveData, Path("big.mdb"));
    }
    EXPECT_TRUE(messages->shown == QStringList{"保存失败"} && form->pFileName == "kept.mdb");
    EXPECT_EQ(Entries(), files);
}

TEST_F(Databases, BadFilesFailToLoadThroughBothRoutesAndChangeNothing) {
    const std::string untyped = "create table PointTable (ID, X, Y); create table LineTable (ID, X1, Y1, X2, Y2, Color);";
    const std::string tables = std::string(kDrawingTables) + "insert into ";
    const std::pair<std::string, const char*> made[] = {
        {"create table PointTable (ID, X, Y)", "缺少表 LineTable"},
        {"create table PointTable (ID, X); create table LineTable (ID)", "表 PointTable 缺少列 Y"},
        {tables + "PointTable values (1, '1', '2'), (2, null, '2')", "PointTable 第 2 行的 X 是空值"},
        {tables + "LineTable values (1, '1', '2', '3', ' 1E+39', 255)", "LineTable 第 1 行的 Y2 超出单精度浮点数的范围"},
        {tables + "LineTable values (1, '1', '2', '3', '4', 1e300)", "LineTable 第 1 行的 Color 超出单精度浮点数的范围"},
        {untyped + "insert into PointTable values (1, '1', '2'), ('7xyz', '1', '2')", "PointTable 第 2 行的 ID 不是数字（“7xyz”）"},
        {untyped + "insert into LineTable values (1, '1', '2', '3', '4', '')", "LineTable 第 1 行的 Color 不是数字（“”）"},
        {"create view PointTable as with recursive c(i) as (select 1 union all select i + 1 from c) "
         "select i as ID, i as X, i as Y from c; create table LineTable (ID)", "PointTable 不是数据表（是视图）"},
        {"create virtual table PointTable using fts5(ID, X, Y); create table LineTable (ID)", "PointTable 不是数据表（是虚拟表）"},
    };
    std::vector<std::pair<QString, QString>> cases;
    for (const auto& [sql, reason] : made) {
        cases.emplace_back(Path(QString("made%1.mdb").arg(cases.size())), QString::fromUtf8(reason));
        Peek(cases.back().first, sql);
    }
    // Our own database, damaged: cut short by a byte or a page, its header
    // alone, a page size that can't be, two rows swapped on their page.
    SetDrawing(kSample);
    Run(kSaveData, Path("whole.mdb"));
    const QByteArray whole = FileBytes(Path("whole.mdb"));
    QByteArray badSize = whole, swapped = whole;
    badSize[16] = 3;
    swapped.replace(4096 + 8, 4, whole.mid(4096 + 10, 2) + whole.mid(4096 + 8, 2));
    const std::tuple<const char*, QByteArray, const char*> damaged[] = {
        {"cut1.mdb", whole.chopped(1), "数据库文件不完整（被截断）"}, {"cut4096.mdb", whole.chopped(4096), "数据库文件不完整（被截断）"},
        {"head.mdb", whole.left(20), "数据库文件不完整（被截断）"},   {"size.mdb", badSize, "不是数据库文件或文件已损坏"},
        {"swapped.mdb", swapped, "数据库文件已损坏：On tree page 2 cell 0: Rowid 2 out of order"},
        {"empty.mdb", "", "不是数据库文件"}};
    for (const auto& [name, bytes, reason] : damaged) {
        WriteBytes(Path(name), bytes);
        cases.emplace_back(Path(name), QString::fromUtf8(reason));
    }
    ASSERT_EQ(::mkfifo(Path("pipe.mdb").toUtf8().constData(), 0600), 0);
    cases.insert(cases.end(), {{Path("pipe.mdb"), "不是数据库文件"},
                               {Path("missing.mdb"), "文件不存在"}, {Copy("null-2000.mdb"), "PointTable 第 2 行的 X 是空值"},
                               {Copy("no-linetable-2000.mdb"), "缺少表 LineTable"}, {Copy("other-1997.mdb"), "缺少表 PointTable"}});
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray before = QFileInfo(file).isFile() ? FileBytes(file) : QByteArray();  // a pipe's reading would wait
        for (const char* load : {kOpenData, kOpenAdo}) ExpectFailedLoad(load, file, reason);
        EXPECT_EQ(QFileInfo(file).isFile() ? FileBytes(file) : QByteArray(), before);
    }
    EXPECT_FALSE(QFileInfo::exists(Path("missing.mdb")));
}

// ID and Color take whole numbers, coordinates the number a text starts with.
TEST_F(Databases, EveryReadableFileLoadsThroughBothRoutes) {
    Peek(Path("texts.mdb"), "create table PointTable (ID, X, Y); create table LineTable (ID, X1, Y1, X2, Y2, Color);"
                            "insert into PointTable values (1, '', 'abc'), (' 7 ', '3.5kg', '  -.25'), (3, ' 1E-05', '2D3'),"
                            "(4, 7.5, '1 2'); insert into LineTable values ('-2', ' .5', 'x', '1e1', ' 12.5', ' 65535 '),"
                            "('+3', '+1', '-0', '.5', '1e-45', 16777215);");
    const std::vector<Row> drawing = {{1, 12.5f, -4}, {2, 0.5f, -3}, {3, 100, 200}, {1, 12.5f, -4, 0.5f, -3, 65535},
                                      {2, 100, 200, -0.25f, 1e7f, 16711680}};
    const std::pair<QString, std::vector<Row>> cases[] = {
        {Path("texts.mdb"), {{1, 0, 0}, {7, 3.5f, -0.25f}, {3, 1e-5f, 2000}, {4, 7.5f, 12}, {-2, 0.5f, 0, 10, 12.5f, 65535},
                             {3, 1, 0, 0.5f, 1e-45f, 16777215}}},
        {Copy("drawing-2000.mdb"), drawing}, {Copy("drawing-2003.mdb"), drawing}, {Copy("drawing-2007.accdb"), drawing},
        {Copy("empty-2000.mdb"), {}},
        {Copy("texts-2000.mdb"), {{-32768, 0, 0}, {32767, 7.25f, 1500}, {5, 0, 2}, {5, FLT_MAX, FLT_TRUE_MIN},
                                  {7, 0.5f, -0.25f, 0, 0, 0}, {7, 1, 2, 3, 4, 16777215}}}};
    for (const auto& [file, rows] : cases) {
        for (const char* load : {kOpenData, kOpenAdo}) {
            SetDrawing({{8, 1, 2}});
            Run(load, file);
            ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
            EXPECT_EQ(Drawing(), rows) << file.toStdString() << " " << load;
        }
    }
    EXPECT_TRUE(std::signbit(form->pntArray.Item(3)->X));  // "-0" keeps its sign

    Run(kOpenAdo, Copy("max-2000.mdb"));  // the largest: every row, in table order
    const std::vector<Row> all = Drawing();
    ASSERT_EQ(all.size(), 2u * 32767);
    for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i][0], float(i % 32767 + 1)) << i;
    EXPECT_EQ(all[32767], (Row{1, 3219, -1313.875f, 2646, -220.5f, 13015840}));
}

// The Access reader crashing, hanging, exiting, talking nonsense or missing,
// and libmdb meeting a damaged file: each ends in "打开失败".
TEST_F(Databases, AFailingAccessReaderEndsInOpenFailedAndKeepsTheDrawing) {
    const QString file = Copy("drawing-2000.mdb");
    AccessReaderSetup().silence = std::chrono::milliseconds(300);
    const std::pair<const char*, const char*> faults[] = {
        {"crash", "意外终止（信号 11）"}, {"hang", "0.3 秒没有回答"}, {"garbage", "无法识别的数据"}, {"exit", "以代码 5 退出"}};
    for (const auto& [fault, reason] : faults) {
        AccessReaderSetup().testFault = fault;
        ExpectFailedLoad(fault[0] == 'h' ? kOpenData : kOpenAdo, file, QString::fromUtf8(reason));
    }
    AccessReaderSetup().testFault = "hang";
    AccessReaderSetup().silence = std::chrono::seconds(30);
    DbReadTimeout() = std::chrono::milliseconds(300);
    ExpectFailedLoad(kOpenAdo, file, "0.3 秒没有读完");
    AccessReaderSetup() = savedReader;
    AccessReaderSetup().program = Path("no-such-reader").toStdString();
    ExpectFailedLoad(kOpenData, file, "无法启动读取 Access 文件的程序");
    AccessReaderSetup() = savedReader;
    WriteBytes(Path("cut.mdb"), FileBytes(file).left(3 * 4096));
    ExpectFailedLoad(kOpenAdo, Path("cut.mdb"), "");
}

// A long read shows a window that lets the user cancel, which changes nothing.
TEST_F(Databases, ALongReadShowsAWindowThatCancelsIt) {
    AccessReaderSetup().testFault = "hang";
    DbReadTimeout() = AccessReaderSetup().silence = std::chrono::seconds(30);
    bool shown = false;
    std::function<void()> cancelWhenShown = [&] {
        QWidget* busy = QApplication::activeModalWidget();
        if (!busy || busy->objectName() != "BusyWindow") return QTimer::singleShot(50, cancelWhenShown);
        shown = true;
        EXPECT_EQ(busy->findChild<QLabel*>()->text(), "正在读取数据库…");
        QTimer::singleShot(400, [busy] {
            auto* cancel = busy->findChild<QPushButton*>("BusyCancel");
            QTest::mouseClick(cancel, Qt::LeftButton);
            EXPECT_TRUE(!cancel->isEnabled() && busy->findChild<QLabel*>()->text() == "正在取消…");
        });
    };
    cancelWhenShown();
    SetDrawing({{8, 1, 2}});
    form->pFileName = "kept.mdb";
    Run(kOpenData, Copy("drawing-2000.mdb"));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages->shown.isEmpty() && form->pFileName == "kept.mdb");
    EXPECT_EQ(Drawing(), (std::vector<Row>{{8, 1, 2}}));
}

// ---- the database layer below the menus ----

// Damaged copies of genuine Access files, aimed at what the reader follows (the
// header, table definitions and data pages): each loads or fails, the editor
// lives on, and the file is never written.
TEST(AccessRobustness, DamagedFilesEndInADrawingOrAFailure) {
    testfiles::TempDir dir;
    const QByteArray originals[] = {FileBytes(POINTLINE_TEST_DATA "/jet/drawing-2000.mdb"),
                                    FileBytes(POINTLINE_TEST_DATA "/jet/drawing-2007.accdb"),
                                    FileBytes(POINTLINE_TEST_DATA "/jet/texts-2000.mdb")};
    const AccessReaderSettings saved = AccessReaderSetup();
    AccessReaderSetup().silence = std::chrono::seconds(5);  // a reader that loops fails in seconds
    std::mt19937 rng(20240611);
    auto pick = [&rng](qsizetype n) { return qsizetype(rng() % quint64(n)); };
    int loaded = 0, failed = 0;
    for (int run = 0; run < 300; ++run) {
        QByteArray bytes = originals[run % 3];
        const qsizetype pages = bytes.size() / 4096;
        auto position = [&] {
            qsizetype page = 0;
            for (int tries = 0; tries < 20 && page == 0; ++tries)
                if (const qsizetype p = pick(pages); bytes[p * 4096] == 1 || bytes[p * 4096] == 2) page = p;
            return page * 4096 + pick(4096);
        };
        switch (run % 5) {
        case 0: for (int n = 1 + int(pick(4)); n > 0; --n) bytes[position()] ^= char(1 << pick(8)); break;
        case 1: for (int n = 1 + int(pick(8)); n > 0; --n) bytes[position()] = char(rng()); break;
        case 2: {  // a length, offset or count turned into an edge value
            const quint32 edges[] = {0, 1, 0x7F, 0xFF, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 4096, 4095};
            std::memcpy(bytes.data() + std::min(position() & ~1, bytes.size() - 4), &edges[pick(10)], pick(2) ? 2 : 4);
            break;
        }
        case 3: bytes.truncate(pick(bytes.size())); break;
        default: {  // a page wiped, or copied over another
            char* to = bytes.data() + pick(pages) * 4096;
            pick(2) ? (void)std::memset(to, 0, 4096) : (void)std::memcpy(to, bytes.constData() + pick(pages) * 4096, 4096);
        }
        }
        const QString file = QString::fromStdString(dir.File(QString("m%1.mdb").arg(run).toStdString()));
        WriteBytes(file, bytes);
        try {
            LoadDrawing(run % 2 ? DbRoute::Ado : DbRoute::Data, file.toStdString());
            ++loaded;
        } catch (const DbError&) {
            ++failed;
        }
        ASSERT_EQ(FileBytes(file), bytes) << run;
    }
    AccessReaderSetup() = saved;
    EXPECT_TRUE(loaded > 0 && failed > 0) << loaded << " loaded, " << failed << " failed";
}

// A data control on `file` that has run `source`.
std::unique_ptr<Data> Open(const std::string& file, const char* source, std::vector<DbValue> parameters = {}) {
    auto data = std::make_unique<Data>();
    data->DatabaseName = file;
    data->RecordSource = source;
    data->Parameters = std::move(parameters);
    data->Refresh();
    return data;
}

// A read that would never end stops at its deadline.
TEST(DatabaseLayer, AnEndlessReadStopsAtItsDeadline) {
    testfiles::TempDir dir;
    const std::string file = dir.File("plain.mdb");
    Peek(QString::fromStdString(file), kDrawingTables);
    const auto saved = DbReadTimeout();
    DbReadTimeout() = std::chrono::milliseconds(300);
    try {
        Open(file, "with recursive c(i) as (select 1 union all select i+1 from c) select i from c where i<0");
        ADD_FAILURE() << "an endless read ended";
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "读取超过 0.3 秒，已停止");
    }
    DbReadTimeout() = saved;
}

TEST(ConnectionText, TheFileComesFromDataSourceAndReadsBackAsWritten) {
    for (const auto& [text, file] : {std::pair{"User ID=x; data source =/d/b.mdb;Mode=Read", "/d/b.mdb"},
                                     {"Data Source='it''s.mdb'", "it's.mdb"}, {"Data Source=\"a.mdb", "a.mdb"}})
        EXPECT_EQ(Adodc::DataSourceOf(text), file) << text;
    const std::string alphabet[] = {" ", "\"", "'", ";", "=", "a", ".", "/", "\\", "\t", "中", "Data Source"};
    std::mt19937 rng(11);
    for (int run = 0; run < 20000; ++run) {
        std::string name;
        for (int n = int(rng() % 10); n > 0; --n) name += alphabet[rng() % std::size(alphabet)];
        ASSERT_EQ(Adodc::DataSourceOf(AdoConnectionText(name)), name) << AdoConnectionText(name);
    }
}

// Tables made by hand hold other types, read as numbers or texts, found by any
// case of their names; a condition compares numbers as numbers, texts as texts.
TEST(AccessTables, NumericTypesNamesInAnyCaseAndConditions) {
    const std::string file = POINTLINE_TEST_DATA "/jet/other-1997.mdb";  // Jet 3
    const auto data = Open(file, "select * from TABLE1");
    Recordset& rs = data->Recordset();
    rs.MoveNext();
    // Text, Byte, Integer, Long Integer, Double, Currency, Yes/No.
    for (const auto& [column, value] : {std::pair<const char*, DbValue>{"a", "abcdefg"}, {"C", 2}, {"D", 222},
                                        {"E", 333333333}, {"F", 444.555}, {"H", 3.5}, {"I", -1}})
        EXPECT_EQ(rs.Fields(column), value) << column;
    EXPECT_THROW(rs.AddNew(), DbError);  // read only
    for (const auto& [source, parameter, rows] :
         {std::tuple<const char*, DbValue, int>{"select * from [Table1] where e = ?", 333333333, 1},
          {"select * from Table1 where B=?", "b", 1}, {"select * from Table1 where A = ?", 0, 0},
          {"select * from Table1 where d = ?", "222", 1}})
        EXPECT_EQ(Open(file, source, {parameter})->Recordset().RecordCount(), rows) << source;
    for (const char* other : {"select * from Table1 where Z = ?", "select * from Table1 where E > ?", "select E from Table1"})
        EXPECT_THROW(Open(file, other, {1}), DbError) << other;
}

}  // namespace
