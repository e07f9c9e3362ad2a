// Damaged and hostile drawing databases: files that would hang a load, load
// wrong data or leave a half-made file behind, through the real commands.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <csignal>
#include <filesystem>
#include <random>

#include "platform/accessreader.h"
#include "platform/database.h"
#include "platform/process.h"
#include "storage/drawingdb.h"
#include "support/file_helpers.h"
#include "support/database_fixture.h"
#include "support/sqlite_peek.h"

namespace {

const char* const kOpenData = "mnuOpenDatasourceFile";
const char* const kOpenAdo = "mnuOpenDatasourceFileForAdo";
const char* const kSaveData = "mnuSaveDatasourceFile2";
const char* const kSaveAdo = "mnuSaveDatasourceFileForAdo";
const char* const kDrawingTables =
    "create table PointTable (ID smallint, X text, Y text);"
    "create table LineTable (ID smallint, X1 text, Y1 text, X2 text, Y2 text, Color double);";

class HostileDatabases : public DatabaseWindowTest {
protected:
    void SetUp() override {
        DatabaseWindowTest::SetUp();
        // A regression that loops fails here in seconds, not in the default minute.
        DbReadTimeout() = std::chrono::seconds(5);
    }

    // Both loads of `file` end in "打开失败" with `reason` in the detail, at
    // once, and change nothing.
    void ExpectRefusedByBothLoads(const QString& file, const QString& reason) {
        const bool plain = QFileInfo(file).isFile();  // a pipe's reading would wait
        const QByteArray before = plain ? FileBytes(file) : QByteArray();
        for (const char* load : {kOpenData, kOpenAdo}) {
            SCOPED_TRACE(load);
            QElapsedTimer clock;
            clock.start();
            ExpectFailedLoad(load, file, reason);
            EXPECT_LT(clock.elapsed(), 4000);
        }
        if (plain) {
            EXPECT_EQ(FileBytes(file), before);
        }
    }

    // Three points and two lines.
    void AddSample() {
        AddPointRecord(1, 0.5f, -3);
        AddPointRecord(2, 12.5f, -4);
        AddPointRecord(3, 100, 200);
        AddLineRecord(1, 0.5f, -3, 12.5f, -0.25f, 255);
        AddLineRecord(2, -4, 0, 1.2345678f, 12345678, 16777215);
    }
    // The sample, saved through the Data route.
    QString SaveSample(const QString& name) {
        AddSample();
        Run(kSaveData, Path(name));
        EXPECT_TRUE(messages->shown.isEmpty());
        return Path(name);
    }
};

TEST_F(HostileDatabases, ViewsAndVirtualTablesUnderTheNamesAreRefusedAtOnce) {
    const char* recursive = "create view PointTable as with recursive c(i) as (select 1 union all select i+1 from c) "
                            "select i as ID, i as X, i as Y from c";
    Peek(Path("endless.mdb"), (std::string(recursive) + " where i<0;" +
                               "create table LineTable (ID smallint, X1 text, Y1 text, X2 text, Y2 text, Color double);")
                                  .c_str());
    Peek(Path("growing.mdb"), (std::string(recursive) + ";" + "create table LineTable (ID smallint);").c_str());
    Peek(Path("plainview.mdb"), "create table P (ID smallint, X text, Y text); insert into P values (1, '2', '3');"
                                "create view PointTable as select * from P;"
                                "create table LineTable (ID smallint, X1 text, Y1 text, X2 text, Y2 text, Color double);");
    ExpectRefusedByBothLoads(Path("endless.mdb"), "PointTable 不是数据表（是视图）");
    ExpectRefusedByBothLoads(Path("growing.mdb"), "PointTable 不是数据表（是视图）");
    ExpectRefusedByBothLoads(Path("plainview.mdb"), "PointTable 不是数据表（是视图）");

    // A virtual table, where this SQLite has a module for one.
    sqlite3* db = nullptr;
    sqlite3_open(Path("virtual.mdb").toUtf8().constData(), &db);
    const bool made = sqlite3_exec(db, "create virtual table PointTable using fts5(ID, X, Y);"
                                       "create table LineTable (ID smallint);",
                                   nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (made) ExpectRefusedByBothLoads(Path("virtual.mdb"), "PointTable 不是数据表（是虚拟表）");

    // The search and the grids read the same way.
    form->pFileName = Path("endless.mdb").toStdString();
    ClearMessages();
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
            d->reject();
        }
    });
    form->MenuItem("mnuAttribToShape")->trigger();
    EXPECT_EQ(messages->shown, QStringList{"不能查询，请先将图形保存到数据库中，然后再查询"});
    ClearMessages();
    form->MenuItem("mnuShowPointData")->trigger();
    EXPECT_EQ(messages->shown, QStringList{"不能显示数据"});
    EXPECT_TRUE(messages->details.value(0).contains("PointTable 不是数据表（是视图）"));
}

// The backstop of every read: a deadline, and for the Access reader the same.
TEST_F(HostileDatabases, EveryReadStopsAtItsDeadline) {
    const QString file = SaveSample("plain.mdb");
    DbReadTimeout() = std::chrono::milliseconds(300);
    Data data;
    data.DatabaseName = file.toStdString();
    data.ReadOnly = true;
    data.RecordSource = "with recursive c(i) as (select 1 union all select i+1 from c) select i from c where i<0";
    QElapsedTimer clock;
    clock.start();
    try {
        data.Refresh();
        ADD_FAILURE() << "an endless read ended";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Engine);
        EXPECT_STREQ(e.what(), "读取超过 0.3 秒，已停止");
    }
    EXPECT_LT(clock.elapsed(), 3000);

    // The same limit ends an Access reader that keeps silent.
    const QString access = Path("hang.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(POINTLINE_TEST_DATA "/jet/drawing-2000.mdb"), access));
    AccessReaderSetup().testFault = "hang";
    SetKeptState();
    ClearMessages();
    Run(kOpenAdo, access);
    EXPECT_EQ(messages->shown, QStringList{"打开失败"});
    EXPECT_TRUE(messages->details.value(0).contains("0.3 秒没有读完")) << messages->details.value(0).toStdString();
    ExpectKeptState();
}

// While a read runs the main window keeps painting and its timers keep
// running; a window says so and lets the user cancel, which changes nothing.
TEST_F(HostileDatabases, ALongReadKeepsTheWindowAliveAndCanBeCancelled) {
    const QString access = Path("slow.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(POINTLINE_TEST_DATA "/jet/drawing-2000.mdb"), access));
    AccessReaderSetup().testFault = "hang";
    AccessReaderSetup().silence = std::chrono::seconds(30);
    DbReadTimeout() = std::chrono::seconds(30);
    SetKeptState();
    ClearMessages();

    int ticks = 0, ticksWhenBusy = -1;
    QString busyText;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    std::function<void()> cancelWhenShown = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != "BusyWindow") {
            QTimer::singleShot(50, cancelWhenShown);
            return;
        }
        ticksWhenBusy = ticks;
        busyText = modal->findChild<QLabel*>()->text();
        QTimer::singleShot(400, [modal] { QTest::mouseClick(modal->findChild<QPushButton*>("BusyCancel"), Qt::LeftButton); });
    };
    QTimer::singleShot(0, cancelWhenShown);
    QElapsedTimer clock;
    clock.start();
    Run(kOpenData, access);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_GE(ticksWhenBusy, 0) << "no busy window";
    EXPECT_GE(ticks - ticksWhenBusy, 5) << "the timers stood still during the read";
    EXPECT_EQ(busyText, "正在读取数据库…");
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
    ExpectKeptState();
}

TEST_F(HostileDatabases, APipeOrAFolderIsNoDatabaseAndIsNotWaitedFor) {
    ASSERT_EQ(::mkfifo(Path("pipe.mdb").toUtf8().constData(), 0600), 0);
    ExpectRefusedByBothLoads(Path("pipe.mdb"), "不是数据库文件");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mdb"));
    ExpectRefusedByBothLoads(Path("folder.mdb"), "不是数据库文件");
}

TEST_F(HostileDatabases, AFileCutShortIsRefused) {
    const QString file = SaveSample("whole.mdb");
    const QByteArray bytes = FileBytes(file);
    ASSERT_GE(bytes.size(), 3 * 4096);
    std::vector<int> cuts;
    for (int n = 1; n <= 39; ++n) cuts.push_back(n);
    cuts.push_back(4096);  // a whole page: shorter than the page count in the header
    for (int n : cuts) {
        SCOPED_TRACE(n);
        const QString cut = Path(QString("cut%1.mdb").arg(n));
        WriteBytes(cut, bytes.left(bytes.size() - n));
        ExpectRefusedByBothLoads(cut, "数据库文件不完整（被截断）");
    }
}

TEST_F(HostileDatabases, DamageThatQuickCheckFindsIsRefused) {
    const QString file = Path("swapped.mdb");
    Peek(file, (std::string(kDrawingTables) + "insert into PointTable values (1, '1', '2'), (2, '3', '4'), (3, '5', '6');")
                   .c_str());
    // Swap the first two cell pointers of PointTable's page, the second page.
    QByteArray bytes = FileBytes(file);
    const int page = ((uchar(bytes[16]) << 8) | uchar(bytes[17])) * 1;
    ASSERT_EQ(uchar(bytes[page]), 0x0D);  // a leaf page of a table
    const QByteArray first = bytes.mid(page + 8, 2), second = bytes.mid(page + 10, 2);
    bytes.replace(page + 8, 2, second);
    bytes.replace(page + 10, 2, first);
    WriteBytes(file, bytes);
    ExpectRefusedByBothLoads(file, "数据库文件已损坏：On tree page 2 cell 0: Rowid 2 out of order");
}

// ID and Color are numbers: a text there is refused, unless it is wholly a
// number; the coordinates keep their leading-number reading.
TEST_F(HostileDatabases, TextInIdOrColorIsRefusedWithItsPlace) {
    const char* untyped = "create table PointTable (ID, X, Y); create table LineTable (ID, X1, Y1, X2, Y2, Color);";
    struct Case {
        const char* rows;
        const char* reason;
    } cases[] = {
        {"insert into PointTable values (1, '1', '2'), ('abc', '1', '2')", "PointTable 第 2 行的 ID 不是数字（“abc”）"},
        {"insert into PointTable values ('', '1', '2')", "PointTable 第 1 行的 ID 不是数字（“”）"},
        {"insert into PointTable values ('7xyz', '1', '2')", "PointTable 第 1 行的 ID 不是数字（“7xyz”）"},
        {"insert into LineTable values ('red', '1', '2', '3', '4', 255)", "LineTable 第 1 行的 ID 不是数字（“red”）"},
        {"insert into LineTable values (1, '1', '2', '3', '4', 'red')", "LineTable 第 1 行的 Color 不是数字（“red”）"},
        {"insert into LineTable values (1, '1', '2', '3', '4', '')", "LineTable 第 1 行的 Color 不是数字（“”）"},
        {"insert into LineTable values (1, '1', '2', '3', '4', '255abc')",
         "LineTable 第 1 行的 Color 不是数字（“255abc”）"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        const QString file = Path(QString("text%1.mdb").arg(++n));
        Peek(file, (std::string(untyped) + c.rows).c_str());
        ExpectRefusedByBothLoads(file, QString::fromUtf8(c.reason));
    }

    ClearMessages();
    const QString fine = Path("fine.mdb");
    Peek(fine, (std::string(untyped) + "insert into PointTable values (' 7 ', '7xyz', '');"
                                       "insert into LineTable values ('-2', ' .5', 'x', '1e1', '3', ' 65535 ');")
                   .c_str());
    Run(kOpenAdo, fine);
    ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
    ASSERT_EQ(form->pntArray.Count(), 1);
    EXPECT_EQ(form->pntArray.Item(1)->pntNO, 7.0f);
    EXPECT_EQ(form->pntArray.Item(1)->X, 7.0f);
    EXPECT_EQ(form->pntArray.Item(1)->Y, 0.0f);
    ASSERT_EQ(form->lineArray.Count(), 1);
    EXPECT_EQ(form->lineArray.Item(1)->ID, -2.0f);
    EXPECT_EQ(form->lineArray.Item(1)->sp.X, 0.5f);
    EXPECT_EQ(form->lineArray.Item(1)->ep.X, 10.0f);
    EXPECT_EQ(form->lineArray.Item(1)->color, 65535.0f);
}

TEST_F(HostileDatabases, AFullDiskDuringASaveLeavesNoFile) {
    for (int i = 1; i <= 20000; ++i) AddPointRecord(float(i % 30000), 1.5f, 2.5f);
    form->pFileName = "kept.mdb";
    for (const char* save : {kSaveData, kSaveAdo}) {
        SCOPED_TRACE(save);
        ClearMessages();
        {
            testfiles::FileSizeLimit limit(64 * 1024);
            Run(save, Path("big.mdb"));
        }
        EXPECT_EQ(messages->shown, QStringList{"保存失败"});
        EXPECT_EQ(form->pFileName, "kept.mdb");
        // Neither the file nor anything made on the way is left.
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }
}

// The ADO route reads the file name back from the connection text it wrote:
// for every name the two must agree.
TEST(ConnectionText, EveryNameReadsBackAsWritten) {
    const std::string alphabet[] = {" ", " ", "\"", "'", ";", "=", "a", "b", ".", "/", "\\", "\t", "中", "Data Source"};
    std::mt19937 rng(11);
    for (int run = 0; run < 20000; ++run) {
        std::string name;
        for (int n = static_cast<int>(rng() % 10); n > 0; --n) name += alphabet[rng() % std::size(alphabet)];
        ASSERT_EQ(Adodc::DataSourceOf(AdoConnectionText(name)), name) << "[" << name << "] -> " << AdoConnectionText(name);
    }
}

TEST_F(HostileDatabases, BothRoutesOpenAFileWhoseNameStartsWithABlankAndAQuote) {
    for (const char* name : {" \"odd.mdb", "  'odd;name.mdb", " \"\" x.mdb"}) {
        SCOPED_TRACE(name);
        const QString file = Path(QString::fromUtf8(name));
        form->pntArray.Clear();
        form->lineArray.Clear();
        AddSample();
        ClearMessages();
        Run(kSaveAdo, file);
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        EXPECT_EQ(PeekCount(file, "PointTable"), 3);
        for (const char* load : {kOpenData, kOpenAdo}) {
            form->pntArray.Clear();
            Run(load, file);
            EXPECT_TRUE(messages->shown.isEmpty()) << load << ": " << messages->details.join("|").toStdString();
            EXPECT_EQ(form->pntArray.Count(), 3) << load;
        }
    }
}

// ---- a save cut off by the file size limit, in a process of its own ----

// Under `ulimit -f 64`, saves 20,000 points into a new database: exits 0 when
// the save failed as an error and left nothing under the name.
[[noreturn]] void SaveUnderLimit(const std::string& file, bool asTheEditor) {
    const rlimit limit{64 * 1024, 64 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
    if (asTheEditor) IgnoreFileSizeSignal();  // as the editor's main does
    PointList points;
    for (int i = 1; i <= 20000; ++i) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = float(i);
        points.Add(p);
    }
    try {
        CreateAndFillDrawing(DbRoute::Data, file, points, LineList());
    } catch (const DbError&) {
        std::_Exit(std::filesystem::exists(file) ? 3 : 0);
    }
    std::_Exit(4);  // a save that can't fit went through
}

TEST(SaveUnderAFileSizeLimit, FailsAsAnErrorAndNeverLeavesAHalfMadeDatabase) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test again from its start: it takes the folder
    // from the environment instead of making one of its own.
    std::optional<QTemporaryDir> made;
    QString folder = qEnvironmentVariable("POINTLINE_LIMIT_DIR");
    if (folder.isEmpty()) {
        made.emplace();
        ASSERT_TRUE(made->isValid());
        folder = made->path();
        qputenv("POINTLINE_LIMIT_DIR", folder.toUtf8());
    }
    const QDir dir(folder);
    const std::string file = dir.filePath("big.mdb").toStdString();

    // As the editor runs: the over-size write is an error the save reports.
    EXPECT_EXIT(SaveUnderLimit(file, true), testing::ExitedWithCode(0), "");
    EXPECT_FALSE(std::filesystem::exists(file));

    // Killed in the middle of the save (as by a crash or power cut): the name
    // holds no database that a later load could take for an empty drawing.
    EXPECT_EXIT(SaveUnderLimit(file, false), testing::KilledBySignal(SIGXFSZ), "");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_THROW(LoadDrawing(DbRoute::Data, file), DbError);
    // What is left is the hidden file it was being built in, beside the name.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_FALSE(left.isEmpty());
    for (const QString& name : left) EXPECT_TRUE(name.startsWith(".big.mdb.tmp")) << name.toStdString();
    qunsetenv("POINTLINE_LIMIT_DIR");
}

}  // namespace
