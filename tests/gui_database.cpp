// The menu "数据库" of the real main window: drawing databases of our own and
// genuine Access files saved and loaded, and every kind of bad file refused
// without harm to the drawing.
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <sys/stat.h>

#include <cfloat>
#include <csignal>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <random>

#include "platform/process.h"
#include "storage/drawingdb.h"
#include "support/database_fixture.h"
#include "support/file_helpers.h"

namespace {

// Numbers that need more than 7 digits, exponent forms, fractions and negatives.
const std::vector<Row> kSample = {{1, 0.5f, -3},
                                  {2, 12.5f, -4},
                                  {5, -0.25f, 1.2345678f},
                                  {3, 1e-05f, 12345678},
                                  {1, 0.5f, -3, 12.5f, -0.25f, 255},
                                  {2, -4, 0, 1.2345678f, 12345678, 16777215},
                                  {7, 0, 0, 10, 10, 65280}};

using Databases = DatabaseWindowTest;

TEST_F(Databases, EachCommandAsksForAnAccessFileInItsDialogAndACancelChangesNothing) {
    SetDrawing(kSample);
    form->pFileName = "kept.mdb";
    const auto first = form->pntArray.Item(1);
    for (const char* item : {kOpenData, kOpenAdo, kSaveData, kSaveAdo, "fill"}) {
        SCOPED_TRACE(item);
        const int opens = dialog->opens, saves = dialog->saves;
        dialog->Filter = "MYD 绘制文件(*.myd)|*.myd";
        dialog->fileAnswers.push_back(std::nullopt);
        if (item == std::string("fill")) form->mnuSaveDatasourceFile_Click();
        else form->MenuItem(item)->trigger();
        EXPECT_EQ(dialog->Filter, "Access 文件(*.mdb)|*.mdb");
        const bool save = item == kSaveData || item == kSaveAdo;
        EXPECT_EQ(dialog->opens - opens, save ? 0 : 1);
        EXPECT_EQ(dialog->saves - saves, save ? 1 : 0);
    }
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(Drawing(), kSample);
    EXPECT_EQ(form->pntArray.Item(1), first);
    EXPECT_EQ(form->pFileName, "kept.mdb");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(Databases, EverySaveRouteLoadsBackThroughEveryLoadRouteUnderAnyName) {
    const struct {
        const char* save;  // null: the fill of a database made beforehand
        const char* load;
        const char* name;
    } cases[] = {{kSaveData, kOpenData, "图形 一.mdb"}, {kSaveData, kOpenAdo, "a;b.mdb"},
                 {kSaveAdo, kOpenData, " \"odd.mdb"},    {kSaveAdo, kOpenAdo, "  'odd;name.mdb"},
                 {nullptr, kOpenData, "filled.mdb"},      {nullptr, kOpenAdo, " \"\" x.mdb"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Path(QString::fromUtf8(c.name));
        SetDrawing(kSample);
        form->pFileName = "kept.mdb";
        if (c.save) {
            Run(c.save, file);
        } else {
            Peek(file, kDrawingTables);
            Fill(file);
        }
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        EXPECT_EQ(Drawing(), kSample);
        EXPECT_EQ(form->pFileName, c.save ? file.toStdString() : "kept.mdb");

        SetDrawing({{99, 40, 40}});
        form->Refresh();
        form->lastPntNO = form->lastLineID = 42;
        form->pFileName = "kept.mdb";
        form->addPntMode = true;
        Run(c.load, file);
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        EXPECT_EQ(Drawing(), kSample);
        EXPECT_EQ(form->lastPntNO, 5.0f);  // the largest number loaded, not the count
        EXPECT_EQ(form->lastLineID, 7.0f);
        EXPECT_TRUE(form->addPntMode);
        // The data-control load names the current database; the ADO load doesn't.
        EXPECT_EQ(form->pFileName, c.load == kOpenData ? file.toStdString() : "kept.mdb");
        EXPECT_EQ(PixelAtWorld(40, 40), Background());
        EXPECT_TRUE(NearWorld(5, 5, QColor(0, 255, 0)));
    }
}

TEST_F(Databases, StoredTextsAreTheNumberFormsOfEachTable) {
    SetDrawing(kSample);
    Run(kSaveData, Path("data.mdb"));
    Run(kSaveAdo, Path("ado.mdb"));
    const PeekRows points = {{"1", "integer", "0.5", "text", "-3", "text"},
                             {"2", "integer", "12.5", "text", "-4", "text"},
                             {"5", "integer", "-0.25", "text", "1.2345678", "text"},
                             {"3", "integer", "1E-05", "text", "1.2345678E+07", "text"}};
    const PeekRows lines = {{"1", " .5", "-3", " 12.5", "-.25", "255.0", "real"},
                            {"2", "-4", " 0", " 1.2345678", " 1.2345678E+07", "16777215.0", "real"},
                            {"7", " 0", " 0", " 10", " 10", "65280.0", "real"}};
    for (const QString& file : {Path("data.mdb"), Path("ado.mdb")}) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(Peek(file, "select ID, typeof(ID), X, typeof(X), Y, typeof(Y) from PointTable"), points);
        EXPECT_EQ(Peek(file, "select ID, X1, Y1, X2, Y2, Color, typeof(Color) from LineTable"), lines);
        EXPECT_EQ(Peek(file, "select group_concat(name || ' ' || type, ', ') from pragma_table_info('LineTable')"),
                  PeekRows{{"ID SMALLINT, X1 TEXT, Y1 TEXT, X2 TEXT, Y2 TEXT, Color DOUBLE"}});
        EXPECT_EQ(Peek(file, "select group_concat(name || ' ' || type, ', ') from pragma_table_info('PointTable')"),
                  PeekRows{{"ID SMALLINT, X TEXT, Y TEXT"}});
    }
}

TEST_F(Databases, RefusedSavesLeaveEveryFileAsItWas) {
    WriteBytes(Path("text.mdb"), "1 1 12.5 -4\r\n");
    Peek(Path("db.mdb"), std::string(kDrawingTables) + "insert into PointTable values (8, '1', '2');");
    const QString access = Copy("drawing-2000.mdb");
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    std::vector<QByteArray> before;
    for (const QString& name : files) before.push_back(FileBytes(Path(name)));
    SetDrawing(kSample);
    form->pFileName = "kept.mdb";
    auto expectRefused = [&](const QString& file, const char* reason) {
        EXPECT_EQ(messages->shown, QStringList{"保存失败"});
        EXPECT_EQ(messages->details, QStringList{file + "\n" + QString::fromUtf8(reason)});
        ClearMessages();
    };
    for (const char* save : {kSaveData, kSaveAdo}) {
        for (const QString& name : files) {
            Run(save, Path(name));
            expectRefused(Path(name), "文件已存在");
        }
    }
    Fill(access);
    expectRefused(access, "Access 文件只能读取，不能写入");
    Fill(Path("text.mdb"));
    expectRefused(Path("text.mdb"), "不是数据库文件");
    Fill(Path("missing.mdb"));
    expectRefused(Path("missing.mdb"), "文件不存在");

    // A number outside 16 bits fails the whole save and names its record.
    AddPointRecord(-32769, 0, 0);
    Run(kSaveData, Path("low.mdb"));
    expectRefused(Path("low.mdb"), "PointTable 第 5 行：字段 ID 的值 -32769 超出 -32768 到 32767 的范围");
    form->pntArray.Remove(5);
    AddLineRecord(40000, 1, 1, 2, 2, 255);
    Run(kSaveAdo, Path("high.mdb"));
    expectRefused(Path("high.mdb"), "LineTable 第 4 行：字段 ID 的值 40000 超出 -32768 到 32767 的范围");
    Fill(Path("db.mdb"));
    expectRefused(Path("db.mdb"), "LineTable 第 4 行：字段 ID 的值 40000 超出 -32768 到 32767 的范围");
    for (int i = 0; i < files.size(); ++i) EXPECT_EQ(FileBytes(Path(files[i])), before[std::size_t(i)]) << files[i].toStdString();

    // The disk fills up part way.
    SetDrawing({});
    for (int i = 1; i <= 20000; ++i) AddPointRecord(float(i % 30000), 1.5f, 2.5f);
    {
        testfiles::FileSizeLimit limit(64 * 1024);
        Run(kSaveData, Path("big.mdb"));
    }
    EXPECT_EQ(messages->shown, QStringList{"保存失败"});
    EXPECT_EQ(form->pFileName, "kept.mdb");
    // Nothing made on the way is left.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
}

TEST_F(Databases, BadFilesFailToLoadThroughBothRoutesAndChangeNothing) {
    const std::string untyped = "create table PointTable (ID, X, Y); create table LineTable (ID, X1, Y1, X2, Y2, Color);";
    const std::string tables = kDrawingTables;
    const std::pair<std::string, const char*> made[] = {
        {"create table PointTable (ID, X, Y)", "缺少表 LineTable"},
        {"create table PointTable (ID, X); create table LineTable (ID)", "表 PointTable 缺少列 Y"},
        {tables + "insert into PointTable values (1, '1', '2'), (2, null, '2')", "PointTable 第 2 行的 X 是空值"},
        {tables + "insert into PointTable values (null, '1', '2')", "PointTable 第 1 行的 ID 是空值"},
        {tables + "insert into LineTable values (1, '1', '2', '3', '4', null)", "LineTable 第 1 行的 Color 是空值"},
        {tables + "insert into LineTable values (1, '1', '2', '3', ' 1E+39', 255)",
         "LineTable 第 1 行的 Y2 超出单精度浮点数的范围"},
        {tables + "insert into LineTable values (1, '1', '2', '3', '4', 1e300)",
         "LineTable 第 1 行的 Color 超出单精度浮点数的范围"},
        {untyped + "insert into PointTable values (1, '1', '2'), ('7xyz', '1', '2')",
         "PointTable 第 2 行的 ID 不是数字（“7xyz”）"},
        {untyped + "insert into LineTable values (1, '1', '2', '3', '4', '')", "LineTable 第 1 行的 Color 不是数字（“”）"},
        {"create view PointTable as with recursive c(i) as (select 1 union all select i + 1 from c) "
         "select i as ID, i as X, i as Y from c; create table LineTable (ID)",
         "PointTable 不是数据表（是视图）"},
        {"create virtual table PointTable using fts5(ID, X, Y); create table LineTable (ID)",
         "PointTable 不是数据表（是虚拟表）"},
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
    const std::pair<const char*, QByteArray> damaged[] = {
        {"cut1.mdb", whole.chopped(1)}, {"cut4096.mdb", whole.chopped(4096)}, {"head.mdb", whole.left(20)},
        {"size.mdb", badSize},          {"swapped.mdb", swapped},             {"text.mdb", "1 1 12.5 -4\r\n"},
        {"empty.mdb", ""}};
    const char* const damage[] = {"数据库文件不完整（被截断）", "数据库文件不完整（被截断）", "数据库文件不完整（被截断）",
                                  "不是数据库文件或文件已损坏", "数据库文件已损坏：On tree page 2 cell 0: Rowid 2 out of order",
                                  "不是数据库文件",             "不是数据库文件"};
    for (std::size_t i = 0; i < std::size(damaged); ++i) {
        WriteBytes(Path(damaged[i].first), damaged[i].second);
        cases.emplace_back(Path(damaged[i].first), QString::fromUtf8(damage[i]));
    }
    ASSERT_EQ(::mkfifo(Path("pipe.mdb").toUtf8().constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mdb"));
    cases.insert(cases.end(), {{Path("pipe.mdb"), "不是数据库文件"},
                               {Path("folder.mdb"), "不是数据库文件"},
                               {Path("missing.mdb"), "文件不存在"},
                               {Copy("null-2000.mdb"), "PointTable 第 2 行的 X 是空值"},
                               {Copy("no-linetable-2000.mdb"), "缺少表 LineTable"},
                               {Copy("other-1997.mdb"), "缺少表 PointTable"}});
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        const bool plain = QFileInfo(file).isFile();  // a pipe's reading would wait
        const QByteArray before = plain ? FileBytes(file) : QByteArray();
        for (const char* load : {kOpenData, kOpenAdo}) ExpectFailedLoad(load, file, reason);
        if (plain) {
            EXPECT_EQ(FileBytes(file), before);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Path("missing.mdb")));
}

// ID and Color take whole numbers, also as texts; the coordinates read the
// number a text starts with.
TEST_F(Databases, TextsAreReadAsTheNumbersTheyHold) {
    Peek(Path("texts.mdb"), "create table PointTable (ID, X, Y); create table LineTable (ID, X1, Y1, X2, Y2, Color);"
                            "insert into PointTable values (1, '', 'abc'), (' 7 ', '3.5kg', '  -.25'),"
                            "  (3, ' 1E-05', '2D3'), (4, 7.5, '1 2');"
                            "insert into LineTable values ('-2', ' .5', 'x', '1e1', ' 12.5', ' 65535 '),"
                            "  ('+3', '+1', '-0', '.5', '1e-45', 16777215);");
    for (const char* load : {kOpenData, kOpenAdo}) {
        SetDrawing({});
        Run(load, Path("texts.mdb"));
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        EXPECT_EQ(Drawing(), (std::vector<Row>{{1, 0, 0},
                                               {7, 3.5f, -0.25f},
                                               {3, 1e-5f, 2000},
                                               {4, 7.5f, 12},
                                               {-2, 0.5f, 0, 10, 12.5f, 65535},
                                               {3, 1, 0, 0.5f, 1e-45f, 16777215}}));
    }
}

TEST_F(Databases, GenuineAccessFilesLoadThroughBothRoutes) {
    const std::vector<Row> drawing = {
        {1, 12.5f, -4}, {2, 0.5f, -3}, {3, 100, 200}, {1, 12.5f, -4, 0.5f, -3, 65535}, {2, 100, 200, -0.25f, 1e7f, 16711680}};
    const struct {
        const char* file;
        std::vector<Row> rows;
        float lastPoint, lastLine;
    } cases[] = {{"drawing-2000.mdb", drawing, 3, 2},
                 {"drawing-2003.mdb", drawing, 3, 2},
                 {"drawing-2007.accdb", drawing, 3, 2},
                 {"empty-2000.mdb", {}, 0, 0},
                 {"texts-2000.mdb",
                  {{-32768, 0, 0}, {32767, 7.25f, 1500}, {5, 0, 2}, {5, FLT_MAX, FLT_TRUE_MIN}, {7, 0.5f, -0.25f, 0, 0, 0},
                   {7, 1, 2, 3, 4, 16777215}},
                  32767, 7}};
    for (const auto& c : cases) {
        for (const char* load : {kOpenData, kOpenAdo}) {
            SCOPED_TRACE(std::string(c.file) + " " + load);
            SetDrawing({{8, 1, 2}});
            form->pFileName = "kept.mdb";
            Run(load, Copy(c.file));
            ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
            EXPECT_EQ(Drawing(), c.rows);
            EXPECT_TRUE(form->lastPntNO == c.lastPoint && form->lastLineID == c.lastLine);
            EXPECT_EQ(form->pFileName, load == kOpenData ? Path(c.file).toStdString() : "kept.mdb");
        }
    }
    EXPECT_TRUE(std::signbit(form->pntArray.Item(3)->X));  // "-0" keeps its sign

    Run(kOpenAdo, Copy("max-2000.mdb"));  // the largest: every row, in table order
    ASSERT_EQ(form->pntArray.Count(), 32767);
    ASSERT_EQ(form->lineArray.Count(), 32767);
    for (int i = 1; i <= 32767; ++i)
        ASSERT_TRUE(form->pntArray.Item(i)->pntNO == float(i) && form->lineArray.Item(i)->ID == float(i)) << i;
    const std::vector<Row> all = Drawing();
    EXPECT_EQ(all.front(), (Row{1, 418, -1483.75f}));
    EXPECT_EQ(all[32766], (Row{32767, 4084, -211.25f}));
    EXPECT_EQ(all[32767], (Row{1, 3219, -1313.875f, 2646, -220.5f, 13015840}));
    EXPECT_EQ(all.back(), (Row{32767, 2490.5f, -66.875f, 32, -1302.875f, 10633909}));
}

// The reader process crashing, hanging, exiting, talking nonsense or missing,
// and libmdb meeting a damaged file: each ends in "打开失败".
TEST_F(Databases, AFailingAccessReaderEndsInOpenFailedAndKeepsTheDrawing) {
    const QString file = Copy("drawing-2000.mdb");
    AccessReaderSetup().silence = std::chrono::milliseconds(300);
    const std::pair<const char*, const char*> faults[] = {{"crash", "意外终止（信号 11）"},
                                                         {"hang", "0.3 秒没有回答"},
                                                         {"garbage", "无法识别的数据"},
                                                         {"short", "无法识别的数据"},
                                                         {"exit", "以代码 5 退出"}};
    for (const auto& [fault, reason] : faults) {
        SCOPED_TRACE(fault);
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

// While a read runs the main window keeps painting and its timers keep
// running; a window says so and lets the user cancel, which changes nothing.
TEST_F(Databases, ALongReadShowsAWindowThatCancelsIt) {
    const QString file = Copy("drawing-2000.mdb");
    AccessReaderSetup().testFault = "hang";
    DbReadTimeout() = AccessReaderSetup().silence = std::chrono::seconds(30);
    int ticks = 0, ticksWhenBusy = -1;
    QString busyText;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    std::function<void()> cancelWhenShown = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != "BusyWindow") return QTimer::singleShot(50, cancelWhenShown);
        ticksWhenBusy = ticks;
        busyText = modal->findChild<QLabel*>()->text();
        QTimer::singleShot(400, [modal] { QTest::mouseClick(modal->findChild<QPushButton*>("BusyCancel"), Qt::LeftButton); });
    };
    QTimer::singleShot(0, cancelWhenShown);
    SetDrawing({{8, 1, 2}});
    form->pFileName = "kept.mdb";
    Run(kOpenData, file);
    EXPECT_GE(ticksWhenBusy, 0) << "no busy window";
    EXPECT_GE(ticks - ticksWhenBusy, 5) << "the timers stood still during the read";
    EXPECT_EQ(busyText, "正在读取数据库…");
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
    EXPECT_EQ(Drawing(), (std::vector<Row>{{8, 1, 2}}));
    EXPECT_EQ(form->pFileName, "kept.mdb");
}

// Damaged copies of real Access files: each ends in a drawing or in a
// DbError, never in a crash or hang of the editor, and is never written.
TEST(AccessRobustness, MutatedFilesEndInADrawingOrAFailure) {
    QTemporaryDir dir;
    const AccessReaderSettings saved = AccessReaderSetup();
    AccessReaderSetup().silence = std::chrono::seconds(5);
    const QByteArray originals[] = {FileBytes(POINTLINE_TEST_DATA "/jet/drawing-2000.mdb"),
                                    FileBytes(POINTLINE_TEST_DATA "/jet/drawing-2007.accdb"),
                                    FileBytes(POINTLINE_TEST_DATA "/jet/texts-2000.mdb")};
    std::mt19937 rng(20240611);
    auto pick = [&rng](qsizetype n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    int loaded = 0, failed = 0;
    for (int run = 0; run < 400; ++run) {
        QByteArray bytes = originals[run % 3];
        // Aim at what the reader follows: the header, table definitions (page
        // type 2) and data pages (type 1).
        std::vector<int> pages;
        for (int p = 0; p < bytes.size() / 4096; ++p)
            if (p == 0 || bytes[p * 4096] == 1 || bytes[p * 4096] == 2) pages.push_back(p);
        auto at = [&] { return pages[std::size_t(pick(qsizetype(pages.size())))] * 4096 + pick(4096); };
        switch (run % 4) {
        case 0: for (int n = 1 + pick(4); n > 0; --n) bytes[at()] ^= char(1 << pick(8)); break;
        case 1: for (int n = 1 + pick(8); n > 0; --n) bytes[at()] = char(rng()); break;
        case 2: {  // a length, offset or count turned into an edge value
            const quint32 edges[] = {0, 1, 0x7F, 0xFF, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 4096, 4095};
            std::memcpy(bytes.data() + std::min<qsizetype>(at() & ~1, bytes.size() - 4), &edges[pick(10)], pick(2) ? 2 : 4);
            break;
        }
        default: bytes.truncate(pick(bytes.size()));
        }
        const QString file = dir.filePath(QString("m%1.mdb").arg(run));
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
    EXPECT_GT(loaded, 0);  // the damage does not always hit what the drawing needs
    EXPECT_GT(failed, 0);
}

// Under `ulimit -f 64`, saves 20,000 points into a new database: exits 0
// when the save failed as an error and left nothing under the name.
[[noreturn]] void SaveUnderLimit(const std::string& file, bool asTheEditor) {
    const rlimit limit{64 * 1024, 64 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
    if (asTheEditor) IgnoreFileSizeSignal();  // as the editor's main does
    PointList points;
    for (int i = 1; i <= 20000; ++i) points.Add(std::make_shared<CPoint>(CPoint{float(i), 0, 0, false}));
    try {
        CreateAndFillDrawing(DbRoute::Data, file, points, LineList());
    } catch (const DbError&) {
        std::_Exit(std::filesystem::exists(file) ? 3 : 0);
    }
    std::_Exit(4);  // a save that can't fit went through
}

// A save stopped by the file size limit is an error; killed part way (as by a
// crash or a power cut) it leaves no database that a later load could take
// for an empty drawing.
TEST(SaveUnderAFileSizeLimit, NeverLeavesAHalfMadeDatabaseUnderTheName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test again from its start: it takes the folder
    // from the environment instead of making one of its own.
    std::optional<QTemporaryDir> made;
    QString folder = qEnvironmentVariable("POINTLINE_LIMIT_DIR");
    if (folder.isEmpty()) {
        folder = made.emplace().path();
        qputenv("POINTLINE_LIMIT_DIR", folder.toUtf8());
    }
    const std::string file = QDir(folder).filePath("big.mdb").toStdString();
    EXPECT_EXIT(SaveUnderLimit(file, true), testing::ExitedWithCode(0), "");
    EXPECT_TRUE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EXIT(SaveUnderLimit(file, false), testing::KilledBySignal(SIGXFSZ), "");
    qunsetenv("POINTLINE_LIMIT_DIR");
    EXPECT_FALSE(std::filesystem::exists(file));
    // What is left is the hidden file it was being built in, beside the name.
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    ASSERT_FALSE(left.isEmpty());
    for (const QString& name : left) EXPECT_TRUE(name.startsWith(".big.mdb.tmp")) << name.toStdString();
}

}  // namespace
