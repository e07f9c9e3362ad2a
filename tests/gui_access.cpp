// Genuine Access files (tests/data/jet, see its README): every command that
// reads a drawing database reads them, none writes them, and the reader
// process may crash, hang or talk nonsense without harming the editor.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "platform/accessreader.h"
#include "platform/rowstream.h"
#include "query/attribtables.h"
#include "query/frmattribtoshape.h"
#include "storage/drawingdb.h"
#include "support/database_fixture.h"
#include "support/sqlite_peek.h"

namespace {

using PointRow = std::tuple<float, float, float>;
using LineRow = std::tuple<float, float, float, float, float, float>;

const char* const kOpenData = "mnuOpenDatasourceFile";
const char* const kOpenAdo = "mnuOpenDatasourceFileForAdo";

QString Source(const QString& name) { return QStringLiteral(POINTLINE_TEST_DATA "/jet/") + name; }

const std::vector<PointRow> kDrawingPoints = {{1, 12.5f, -4}, {2, 0.5f, -3}, {3, 100, 200}};
const std::vector<LineRow> kDrawingLines = {{1, 12.5f, -4, 0.5f, -3, 65535}, {2, 100, 200, -0.25f, 1e7f, 16711680}};

// What a test must never see change: the bytes and the modification time.
struct Stamp {
    QByteArray hash;
    QDateTime modified;
    bool operator==(const Stamp&) const = default;
};
Stamp StampOf(const QString& file) {
    return {QCryptographicHash::hash(FileBytes(file), QCryptographicHash::Sha256),
            QFileInfo(file).fileTime(QFileDevice::FileModificationTime)};
}

class AccessFiles : public DatabaseWindowTest {
protected:
    // A private copy of a test file, so that no test can touch the originals.
    QString Copy(const QString& name) {
        const QString to = dir.filePath(name);
        if (!QFileInfo::exists(to)) {
            EXPECT_TRUE(QFile::copy(Source(name), to)) << name.toStdString();
        }
        return to;
    }

    std::vector<PointRow> Points() const {
        std::vector<PointRow> rows;
        for (const auto& p : form->pntArray) rows.emplace_back(p->pntNO, p->X, p->Y);
        return rows;
    }
    std::vector<LineRow> Lines() const {
        std::vector<LineRow> rows;
        for (const auto& l : form->lineArray) rows.emplace_back(l->ID, l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, l->color);
        return rows;
    }

    // Runs `act` inside the next modal window, which must be a W.
    template <class W>
    void InModal(std::function<void(W&)> act) {
        QTimer::singleShot(0, [act] {
            W* w = qobject_cast<W*>(QApplication::activeModalWidget());
            if (!w) {
                ADD_FAILURE() << "no modal window of the expected kind";
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
                return;
            }
            act(*w);
            if (w->isVisible()) w->reject();
        });
    }
    void Search(const QString& id, int kind) {
        InModal<frmAttribToShape>([=](frmAttribToShape& w) {
            w.Combo1_Click(kind);
            w.Text1->setText(id);
            QTest::mouseClick(w.Command1, Qt::LeftButton);
        });
        form->MenuItem("mnuAttribToShape")->trigger();
    }
    template <class W>
    void ClickGridRow(const char* item, int row, std::function<void(QAbstractItemModel&)> check = {}) {
        InModal<W>([=](W& w) {
            QAbstractItemModel* m = w.DBGrid1->model();
            ASSERT_TRUE(m);
            if (check) check(*m);
            QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {},
                              w.DBGrid1->visualRect(m->index(row, 1)).center());
        });
        form->MenuItem(item)->trigger();
    }
};

// Every file of the test data, through both loads.
TEST_F(AccessFiles, EveryTestFileLoadsThroughBothRoutesOrFailsCleanly) {
    struct Expected {
        const char* file;
        std::vector<PointRow> points;
        std::vector<LineRow> lines;
        float lastPntNO, lastLineID;
        const char* failure;  // detail of "打开失败", or null
    };
    const float kMax = FLT_MAX, kTiny = std::numeric_limits<float>::denorm_min();
    const Expected cases[] = {
        {"drawing-2000.mdb", kDrawingPoints, kDrawingLines, 3, 2, nullptr},
        {"drawing-2003.mdb", kDrawingPoints, kDrawingLines, 3, 2, nullptr},
        {"drawing-2007.accdb", kDrawingPoints, kDrawingLines, 3, 2, nullptr},
        {"texts-2000.mdb",
         {{-32768, 0, 0}, {32767, 7.25f, 1500}, {5, -0.0f, 2}, {5, kMax, kTiny}},
         {{7, 0.5f, -0.25f, 0, 0, 0}, {7, 1, 2, 3, 4, 16777215}},
         32767,
         7,
         nullptr},
        {"empty-2000.mdb", {}, {}, 0, 0, nullptr},
        {"null-2000.mdb", {}, {}, 0, 0, "PointTable 第 2 行的 X 是空值"},
        {"no-linetable-2000.mdb", {}, {}, 0, 0, "缺少表 LineTable"},
        {"other-2000.mdb", {}, {}, 0, 0, "缺少表 PointTable"},
        {"other-1997.mdb", {}, {}, 0, 0, "缺少表 PointTable"},
    };
    for (const Expected& c : cases) {
        for (const char* load : {kOpenData, kOpenAdo}) {
            SCOPED_TRACE(std::string(c.file) + " through " + load);
            const QString file = Copy(c.file);
            if (c.failure) {
                ExpectFailedLoad(load, file, QString::fromUtf8(c.failure));
                continue;
            }
            SetKeptState();
            messages->shown.clear();
            Run(load, file);
            ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
            EXPECT_EQ(Points(), c.points);
            EXPECT_EQ(Lines(), c.lines);
            EXPECT_EQ(form->lastPntNO, c.lastPntNO);
            EXPECT_EQ(form->lastLineID, c.lastLineID);
            EXPECT_EQ(form->pFileName, load == kOpenData ? file.toStdString() : "kept.mdb");
        }
    }
    // The "-0" text keeps its sign.
    Run(kOpenData, Copy("texts-2000.mdb"));
    EXPECT_TRUE(std::signbit(form->pntArray.Item(3)->X));
}

TEST_F(AccessFiles, TheLargestFileLoadsEveryRowInTableOrder) {
    for (const char* load : {kOpenData, kOpenAdo}) {
        SCOPED_TRACE(load);
        form->pntArray.Clear();
        Run(load, Copy("max-2000.mdb"));
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
        ASSERT_EQ(form->pntArray.Count(), 32767);
        ASSERT_EQ(form->lineArray.Count(), 32767);
        bool ordered = true;
        for (int i = 1; i <= 32767; ++i)
            ordered = ordered && form->pntArray.Item(i)->pntNO == float(i) && form->lineArray.Item(i)->ID == float(i);
        EXPECT_TRUE(ordered);
        EXPECT_EQ(Points().front(), PointRow(1, 418, -1483.75f));
        EXPECT_EQ(Points().back(), PointRow(32767, 4084, -211.25f));
        EXPECT_EQ(Lines().front(), LineRow(1, 3219, -1313.875f, 2646, -220.5f, 13015840));
        EXPECT_EQ(Lines().back(), LineRow(32767, 2490.5f, -66.875f, 32, -1302.875f, 10633909));
        EXPECT_EQ(form->lastPntNO, 32767.0f);
    }
}

TEST_F(AccessFiles, SearchAndBothGridsReadTheAccessFile) {
    const QString file = Copy("drawing-2000.mdb");
    Run(kOpenData, file);  // names the current database
    ASSERT_EQ(form->pFileName, file.toStdString());
    form->pntArray.Clear();  // the queries read the file, not the drawing
    form->lineArray.Clear();

    Search(" 2 ", 0);
    EXPECT_EQ(form->selectedPoint.pntNO, 2.0f);
    EXPECT_EQ(form->selectedPoint.X, 0.5f);
    EXPECT_EQ(form->selectedPoint.Y, -3.0f);
    EXPECT_TRUE(form->Timer1->isActive());
    form->Timer1->stop();

    Search("2", 1);
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->selectedLine.ID, 2.0f);
    EXPECT_EQ(LineRow(form->selectedLine.ID, form->selectedLine.sp.X, form->selectedLine.sp.Y,
                      form->selectedLine.ep.X, form->selectedLine.ep.Y, form->selectedLine.color),
              kDrawingLines[1]);

    Search("1.0E0", 1);  // the ID is compared as a number
    EXPECT_EQ(form->selectedLine.ID, 1.0f);
    Search("9", 0);
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
    EXPECT_TRUE(messages->shown.isEmpty());
    form->Timer1->stop();

    ClickGridRow<frmAllPntAttrib>("mnuShowPointData", 1, [](QAbstractItemModel& m) {
        ASSERT_EQ(m.rowCount(), 3);
        ASSERT_EQ(m.columnCount(), 3);
        EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), "ID");
        EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString(), "Y");
        EXPECT_EQ(m.index(0, 0).data().toString(), "1");
        EXPECT_EQ(m.index(0, 1).data().toString(), "12.5");
        EXPECT_EQ(m.index(2, 2).data().toString(), "200");
    });
    EXPECT_EQ(form->selectedPoint.pntNO, 2.0f);
    EXPECT_EQ(form->selectedPoint.X, 0.5f);
    EXPECT_EQ(form->ntTimeCount, 0);
    EXPECT_TRUE(form->Timer1->isActive());
    form->Timer1->stop();

    ClickGridRow<frmAllLineAttrib>("mnuShowLineData", 0, [](QAbstractItemModel& m) {
        ASSERT_EQ(m.rowCount(), 2);
        ASSERT_EQ(m.columnCount(), 6);
        const char* headers[6] = {"ID", "X1", "Y1", "X2", "Y2", "Color"};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(m.headerData(i, Qt::Horizontal).toString(), headers[i]);
        EXPECT_EQ(m.index(1, 3).data().toString(), "-.25");
        EXPECT_EQ(m.index(1, 5).data().toString(), "16711680");
    });
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(LineRow(form->selectedLine.ID, form->selectedLine.sp.X, form->selectedLine.sp.Y,
                      form->selectedLine.ep.X, form->selectedLine.ep.Y, form->selectedLine.color),
              kDrawingLines[0]);
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
}

TEST_F(AccessFiles, NoReadPathWritesTheFile) {
    const QString file = Copy("drawing-2003.mdb");
    const Stamp before = StampOf(file);
    const QStringList entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    Run(kOpenData, file);
    Run(kOpenAdo, file);
    Search("1", 0);
    Search("2", 1);
    ClickGridRow<frmAllPntAttrib>("mnuShowPointData", 0);
    ClickGridRow<frmAllLineAttrib>("mnuShowLineData", 1);
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
    EXPECT_EQ(form->selectedLine.ID, 2.0f);  // every path did read it
    EXPECT_EQ(StampOf(file), before);
    // Not even a lock file beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
}

TEST_F(AccessFiles, SavingIntoAnAccessFileIsRefused) {
    const QString file = Copy("drawing-2000.mdb");
    const Stamp before = StampOf(file);
    AddPointRecord(1, 5, 5);
    form->pFileName = "kept.mdb";

    dialog->fileAnswers.push_back(file);
    form->mnuSaveDatasourceFile_Click();  // the fill into an existing database
    ASSERT_EQ(messages->shown.size(), 1);
    EXPECT_EQ(messages->shown[0], "保存失败");
    EXPECT_EQ(messages->details[0], file + "\nAccess 文件只能读取，不能写入");

    for (const char* save : {"mnuSaveDatasourceFile2", "mnuSaveDatasourceFileForAdo"}) {
        Run(save, file);
        EXPECT_EQ(messages->shown.last(), "保存失败");
        EXPECT_EQ(messages->details.last(), file + "\n文件已存在");
    }
    EXPECT_EQ(StampOf(file), before);
    EXPECT_EQ(form->pFileName, "kept.mdb");

    // A new database is always one of ours.
    Run("mnuSaveDatasourceFile2", dir.filePath("new.mdb"));
    EXPECT_TRUE(FileBytes(dir.filePath("new.mdb")).startsWith(QByteArray("SQLite format 3\0", 16)));
}

// The reader process crashing, hanging, exiting or sending garbage: every
// read path reports it, and the drawing stays.
TEST_F(AccessFiles, AFailingReaderEndsInOpenFailedAndKeepsTheDrawing) {
    const QString file = Copy("drawing-2000.mdb");
    AccessReaderSetup().silence = std::chrono::milliseconds(300);
    const std::pair<const char*, const char*> faults[] = {
        {"crash", "意外终止（信号 11）"},
        {"hang", "0.3 秒没有回答"},
        {"garbage", "无法识别的数据"},
        {"short", "无法识别的数据"},
        {"exit", "以代码 5 退出"},
    };
    for (const auto& [fault, reason] : faults) {
        AccessReaderSetup().testFault = fault;
        for (const char* load : {kOpenData, kOpenAdo}) {
            SCOPED_TRACE(std::string(fault) + " " + load);
            const auto start = std::chrono::steady_clock::now();
            ExpectFailedLoad(load, file, QString::fromUtf8(reason));
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        }
    }

    AccessReaderSetup().testFault = "crash";
    form->pFileName = file.toStdString();
    messages->shown.clear();
    bool stillOpen = false;
    InModal<frmAttribToShape>([&](frmAttribToShape& w) {
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        stillOpen = w.isVisible();
    });
    form->MenuItem("mnuAttribToShape")->trigger();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages->shown, QStringList{"不能查询，请先将图形保存到数据库中，然后再查询"});
    messages->shown.clear();
    form->MenuItem("mnuShowLineData")->trigger();  // closes again at once with its message
    EXPECT_EQ(messages->shown, QStringList{"不能显示数据"});

    AccessReaderSetup() = savedReader;
    AccessReaderSetup().program = dir.filePath("no-such-reader").toStdString();
    ExpectFailedLoad(kOpenData, file, "无法启动读取 Access 文件的程序");

    // With the real reader again, a damaged copy: the first pages only.
    AccessReaderSetup() = savedReader;
    const QString cut = dir.filePath("cut.mdb");
    WriteBytes(cut, FileBytes(file).left(3 * 4096));
    ExpectFailedLoad(kOpenAdo, cut, "");
}

// Damaged copies of real files: each ends in a drawing or in "打开失败"
// (a DbError from the load), never in a crash or hang of the editor.
TEST(AccessRobustness, MutatedFilesEndInADrawingOrAFailure) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const AccessReaderSettings saved = AccessReaderSetup();
    AccessReaderSetup().silence = std::chrono::seconds(5);
    const QByteArray originals[] = {FileBytes(Source("drawing-2000.mdb")), FileBytes(Source("drawing-2007.accdb")),
                                    FileBytes(Source("texts-2000.mdb"))};
    std::mt19937 rng(20240611);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    constexpr int kRuns = 1000;
    int loaded = 0, failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < kRuns; ++run) {
        QByteArray bytes = originals[run % 3];
        // Aim at what the reader follows: the file header, table definitions
        // (pages of type 2) and data pages (type 1), and there at bytes in use.
        auto position = [&] {
            std::vector<int> pages;
            for (int p = 0; p < int(bytes.size() / 4096); ++p)
                if (p == 0 || bytes[p * 4096] == 1 || bytes[p * 4096] == 2) pages.push_back(p);
            const int base = pages.empty() ? 0 : pages[std::size_t(pick(int(pages.size())))] * 4096;
            const int span = int(std::min<qsizetype>(4096, bytes.size() - base));
            for (int tries = 0; tries < 16; ++tries) {
                const int at = base + pick(span);
                if (bytes[at] != 0 || tries == 15) return at;
            }
            return base;
        };
        switch (run % 5) {
        case 0:  // a few flipped bits
            for (int n = 1 + pick(4); n > 0; --n) bytes[position()] ^= char(1 << pick(8));
            break;
        case 1:  // random bytes
            for (int n = 1 + pick(8); n > 0; --n) bytes[position()] = char(rng());
            break;
        case 2: {  // a length, offset or count turned into an edge value
            static const quint32 edges[] = {0, 1, 0x7F, 0xFF, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 4096, 4095};
            const quint32 v = edges[pick(10)];
            const int at = position() & ~1;
            std::memcpy(bytes.data() + std::min<qsizetype>(at, bytes.size() - 4), &v, pick(2) ? 2 : 4);
            break;
        }
        case 3:  // cut short
            bytes.truncate(pick(int(bytes.size())));
            break;
        default:  // a page wiped or copied over another
            const int pages = int(bytes.size() / 4096), to = pick(pages);
            if (pick(2)) std::memset(bytes.data() + to * 4096, 0, 4096);
            else std::memcpy(bytes.data() + to * 4096, bytes.constData() + pick(pages) * 4096, 4096);
            break;
        }
        const std::string file = dir.filePath(QString("m%1.mdb").arg(run)).toStdString();
        WriteBytes(QString::fromStdString(file), bytes);
        try {
            const LoadedDrawing d = LoadDrawing(run % 2 ? DbRoute::Ado : DbRoute::Data, file);
            ++loaded;
        } catch (const DbError&) {
            ++failed;
        }
        EXPECT_EQ(FileBytes(QString::fromStdString(file)), bytes) << run;
        QFile::remove(QString::fromStdString(file));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    AccessReaderSetup() = saved;
    std::printf("%d mutated Access files: %d loaded, %d refused, %.1f s\n", kRuns, loaded, failed, seconds);
    EXPECT_EQ(loaded + failed, kRuns);
    EXPECT_GT(loaded, 0);  // the mutations don't all break the file at its start
    EXPECT_GT(failed, 0);
}

// The row stream between the reader and the editor.
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
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0], (std::vector<DbValue>{DbValue(-32768), DbValue(" .5"), DbValue()}));
    EXPECT_EQ(t.rows[1], (std::vector<DbValue>{DbValue(), DbValue(""), DbValue()}));

    // Every cut-off stream, and one with bytes after its end, is refused.
    for (std::size_t n = 0; n < stream.size(); ++n)
        EXPECT_THROW(DecodeRowStream(stream.substr(0, n), "T"), DbError) << n;
    EXPECT_THROW(DecodeRowStream(stream + "R", "T"), DbError);
    // A wrong row count at the end is refused too.
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

// Tables that people make by hand hold other types: each is read as a number
// or a text, and found by any case of its name.
TEST(AccessTables, NumericTypesAndNamesInAnyCase) {
    Data data;
    data.DatabaseName = Source("other-1997.mdb").toStdString();  // Jet 3
    data.ReadOnly = true;
    data.RecordSource = "select * from TABLE1";
    data.Refresh();
    Recordset& rs = data.Recordset();
    ASSERT_EQ(rs.RecordCount(), 2);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("a").Text(), "abcdefg");
    EXPECT_EQ(rs.Fields("C").Number(), 2.0);            // Byte
    EXPECT_EQ(rs.Fields("D").Number(), 222.0);          // Integer
    EXPECT_EQ(rs.Fields("E").Number(), 333333333.0);    // Long Integer
    EXPECT_EQ(rs.Fields("F").Number(), 444.555);        // Double
    EXPECT_EQ(rs.Fields("H").Number(), 3.5);            // Currency
    EXPECT_EQ(rs.Fields("I").Number(), -1.0);           // Yes/No: Yes
    EXPECT_THROW(rs.AddNew(), DbError);

    data.RecordSource = "select * from [Table1] where e = ?";
    data.Parameters = {DbValue(333333333)};
    data.Refresh();
    ASSERT_EQ(data.Recordset().RecordCount(), 1);
    EXPECT_EQ(data.Recordset().Fields(1).Text(), "hijklmnop");

    // Only what the editor asks of these files.
    data.Parameters = {};
    for (const char* other : {"select A from Table1", "select * from Table1 order by A", "delete from Table1"}) {
        data.RecordSource = other;
        EXPECT_THROW(data.Refresh(), DbError) << other;
    }
    data.RecordSource = "select A from Table1 where e = ?";
    data.Parameters = {DbValue(333333333)};
    EXPECT_THROW(data.Refresh(), DbError);
}

}  // namespace
