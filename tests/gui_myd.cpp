#include <QAction>
#include <QByteArray>
#include <QImage>

#include <filesystem>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

const QString kFilter = QStringLiteral("MYD 绘制文件(*.myd)|*.myd");
const QColor kPointColour(255, 0, 244);

}  // namespace

class MydFile : public MainWindowTest {
protected:
    QString Path(const char* name) const { return QString::fromStdString(dir.File(name)); }
    QString Write(const char* name, const std::string& bytes) {
        testfiles::WriteBytes(dir.File(name), bytes);
        return Path(name);
    }
    static std::string Read(const QString& path) { return testfiles::ReadBytes(path.toStdString()); }

    void Open(const QString& path) {
        dialog->fileAnswers = {path};
        form->MenuItem("mnuOpenTxt")->trigger();
    }
    void Save(const QString& path) {
        dialog->fileAnswers = {path};
        form->MenuItem("mnuSaveTxt")->trigger();
    }

    // A drawing with a pick, a highlight, a tool on and a database name, to see
    // that the file commands leave all of that alone.
    void MakeDrawing() {
        picked = AddPointRecord(1, 10, 10);
        AddPointRecord(2, -20.5f, 30.25f);
        pickedLine = AddLineRecord(1, -50, -20, 50, -20, 255);
        form->pickedPoint = picked;
        form->pickedLine = pickedLine;
        form->lastPntNO = 2;
        form->lastLineID = 1;
        form->selectedPoint.pntNO = 1;
        form->selectedLine.ID = 1;
        form->pFileName = "drawing.mdb";
        form->Command2_Click();  // the pick-point tool on
        form->Refresh();
    }

    void ExpectUntouchedState() {
        EXPECT_EQ(form->pickedPoint, picked);
        EXPECT_EQ(form->pickedLine, pickedLine);
        EXPECT_EQ(form->selectedPoint.pntNO, 1.0f);
        EXPECT_EQ(form->selectedLine.ID, 1.0f);
        EXPECT_EQ(form->pFileName, "drawing.mdb");
        EXPECT_TRUE(form->getPntMode);
        EXPECT_FALSE(form->addPntMode || form->addLineMode || form->editPntMode || form->getLineMode ||
                     form->moveLineMode || form->editLineNodeMode);
    }

    // The drawing as a list of its record objects, to check that a failed
    // command keeps the very same records.
    std::vector<const void*> Records() const {
        std::vector<const void*> records;
        for (const auto& p : form->pntArray) records.push_back(p.get());
        for (const auto& l : form->lineArray) records.push_back(l.get());
        return records;
    }

    testfiles::TempDir dir;
    std::shared_ptr<CPoint> picked;
    std::shared_ptr<CLine> pickedLine;
};

TEST_F(MydFile, SaveWritesTheDrawingToTheByte) {
    MakeDrawing();
    AddPointRecord(3, 0.5f, -0.25f);
    AddPointRecord(4, 1e-5f, 12345680.0f);
    AddLineRecord(2, -1.5f, 2.25f, 1e-5f, -3, 16711680);
    const QString path = Path("out.myd");
    Save(path);

    EXPECT_EQ(Read(path),
              "1 1 10 10\r\n"
              "1 2 -20.5 30.25\r\n"
              "1 3 0.5 -0.25\r\n"
              "1 4 1E-05 1.234568E+07\r\n"
              "2 1 -50 -20 50 -20  255\r\n"
              "2 2 -1.5 2.25 1E-05 -3  16711680\r\n");
    EXPECT_EQ(dialog->saves, 1);
    EXPECT_EQ(dialog->opens, 0);
    EXPECT_EQ(dialog->Filter, kFilter);
    EXPECT_EQ(dialog->FileName, path);
    EXPECT_TRUE(messages->shown.isEmpty());
    // The drawing and its counters stay as they were.
    EXPECT_EQ(form->pntArray.Count(), 4);
    EXPECT_EQ(form->lineArray.Count(), 2);
    EXPECT_EQ(form->pntArray.Item(1), picked);
    EXPECT_EQ(form->lastPntNO, 2.0f);
    EXPECT_EQ(form->lastLineID, 1.0f);
    ExpectUntouchedState();
}

TEST_F(MydFile, EmptyDrawingSavesAnEmptyFile) {
    const QString path = Write("old.myd", "1 1 1 1\r\n");
    Save(path);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(Read(path), "");
    EXPECT_TRUE(std::filesystem::exists(path.toStdString()));
}

TEST_F(MydFile, LoadReplacesTheDrawingAndSetsTheCounters) {
    MakeDrawing();
    const QString path = Write("in.myd",
                               "1 1 -40 0\r\n"
                               "1 2 40 40\r\n"
                               "1 5 -0.5 1.234568E+07\r\n"
                               "2 7 -60 -60 60 -60  255\r\n"
                               "2 2 0 10 0 20  16711680\r\n");
    Open(path);

    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(dialog->opens, 1);
    EXPECT_EQ(dialog->saves, 0);
    EXPECT_EQ(dialog->Filter, kFilter);
    EXPECT_EQ(dialog->FileName, path);
    ASSERT_EQ(form->pntArray.Count(), 3);
    ASSERT_EQ(form->lineArray.Count(), 2);
    const CPoint& third = *form->pntArray.Item(3);
    EXPECT_EQ(third.pntNO, 5.0f);
    EXPECT_EQ(third.X, -0.5f);
    EXPECT_EQ(third.Y, 12345680.0f);
    EXPECT_FALSE(third.IsSelect);
    const CLine& first = *form->lineArray.Item(1);
    EXPECT_EQ(first.ID, 7.0f);
    EXPECT_EQ(first.sp.X, -60.0f);
    EXPECT_EQ(first.ep.Y, -60.0f);
    EXPECT_EQ(first.color, 255.0f);
    EXPECT_EQ(form->lineArray.Item(2)->color, 16711680.0f);
    // Points 1, 2 and 5: the counter goes past the largest number, not the count.
    EXPECT_EQ(form->lastPntNO, 5.0f);
    EXPECT_EQ(form->lastLineID, 7.0f);
    ExpectUntouchedState();

    // The area shows the loaded drawing only.
    EXPECT_EQ(PixelAtWorld(-40, 0), kPointColour);
    EXPECT_EQ(PixelAtWorld(40, 40), kPointColour);
    EXPECT_EQ(PixelAtWorld(10, 10), Background());
    EXPECT_EQ(PixelAtWorld(0, -20), Background());
    EXPECT_EQ(PixelAtWorld(0, -60), QColor(255, 0, 0));
    EXPECT_EQ(PixelAtWorld(0, 15), QColor(0, 0, 255));
}

TEST_F(MydFile, LoadThenSaveReproducesTheFile) {
    const std::string bytes =
        "1 1 12.5 -4\r\n"
        "1 2 0.5 -0.25\r\n"
        "1 2 1E-05 1.234568E+07\r\n"
        "1 9 -162.5563 1.0000001\r\n"
        "2 1 0 0 10 10  255\r\n"
        "2 3 -1.5 2.25 1.5E-10 -3  16711680\r\n"
        "2 3 3.402823E+38 -0.0001 0.3333333 99.99999  65535\r\n";
    Open(Write("in.myd", bytes));
    ASSERT_TRUE(messages->shown.isEmpty());
    const QString out = Path("out.myd");
    Save(out);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(Read(out), bytes);
}

TEST_F(MydFile, EmptyFileGivesAnEmptyDrawing) {
    MakeDrawing();
    Open(Write("empty.myd", ""));
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_TRUE(form->pntArray.Empty());
    EXPECT_TRUE(form->lineArray.Empty());
    EXPECT_EQ(form->lastPntNO, 0.0f);
    EXPECT_EQ(form->lastLineID, 0.0f);
    EXPECT_EQ(PixelAtWorld(10, 10), Background());
    EXPECT_EQ(PixelAtWorld(0, -20), Background());
}

struct BadFile {
    const char* name;
    std::string bytes;
    const char* detail;  // after the file name
    bool exists = true;
};

void PrintTo(const BadFile& bad, std::ostream* os) { *os << bad.name; }

class MydBadFile : public MydFile, public ::testing::WithParamInterface<BadFile> {};

TEST_P(MydBadFile, LeavesDrawingCountersAndViewAsTheyWere) {
    MakeDrawing();
    form->lastPntNO = 17;
    const std::vector<const void*> before = Records();
    const QImage screen = canvas().Screen().copy();

    const BadFile& bad = GetParam();
    const QString path = bad.exists ? Write(bad.name, bad.bytes) : Path(bad.name);
    Open(path);

    EXPECT_EQ(messages->shown, QStringList{QStringLiteral("打开失败")});
    EXPECT_EQ(messages->details, QStringList{path + QString::fromUtf8(bad.detail)});
    EXPECT_EQ(Records(), before);
    EXPECT_EQ(form->lastPntNO, 17.0f);
    EXPECT_EQ(form->lastLineID, 1.0f);
    EXPECT_TRUE(canvas().Screen() == screen);
    ExpectUntouchedState();
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Cases, MydBadFile,
    ::testing::Values(BadFile{"fields.myd", "1 1 1 1\r\n2 1 0 0 10 10\r\n", "\n第 2 行：字段不足"},
                      BadFile{"point.myd", "1 1 2\r\n", "\n第 1 行：字段不足"},
                      BadFile{"range.myd", "1 1 1 1\r\n\r\n1 2 1e39 0\r\n", "\n第 3 行：数值超出范围"},
                      BadFile{"colour.myd", "2 1 0 0 1 1  -4e38\n", "\n第 1 行：数值超出范围"},
                      BadFile{"nul.myd", "1 1 1 1\r\n1 2 2 2\r\n1 3\0 3 3\r\n"s, "\n第 3 行：不是文本文件"},
                      BadFile{"image.myd", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, "\n第 2 行：不是文本文件"},
                      BadFile{"missing.myd", "", "\n无法打开文件", false}),
    [](const ::testing::TestParamInfo<BadFile>& info) {
        std::string name = info.param.name;
        return name.substr(0, name.find('.'));
    });

TEST_F(MydFile, FolderInsteadOfAFileCannotBeOpened) {
    MakeDrawing();
    Open(QString::fromStdString(dir.path().string()));
    EXPECT_EQ(messages->shown, QStringList{QStringLiteral("打开失败")});
    EXPECT_EQ(messages->details,
              QStringList{QString::fromStdString(dir.path().string()) + QStringLiteral("\n无法打开文件")});
    EXPECT_EQ(form->pntArray.Count(), 2);
}

TEST_F(MydFile, SaveToAFullDeviceFails) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full";
    MakeDrawing();
    Save(QStringLiteral("/dev/full"));
    EXPECT_EQ(messages->shown, QStringList{"保存失败"});
    EXPECT_EQ(form->pntArray.Count(), 2);
    ExpectUntouchedState();
}

TEST_F(MydFile, DiskFullDuringTheSaveKeepsTheEarlierFile) {
    for (int i = 0; i < 50000; ++i) AddPointRecord(float(i), 1.5f, 2.5f);
    const QString path = Write("drawing.myd", "1 9 9 9\r\n");
    {
        testfiles::FileSizeLimit limit(64 * 1024);
        Save(path);
    }
    EXPECT_EQ(messages->shown, QStringList{"保存失败"});
    EXPECT_EQ(Read(path), "1 9 9 9\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"drawing.myd"});
}

TEST_F(MydFile, SaveIntoAFolderThatCannotTakeFilesFails) {
    MakeDrawing();
    QString path;
    std::string old;
    if (testfiles::RunningAsRoot()) {
        // The superuser writes into read-only folders: use a folder that is a file.
        old = "not a folder";
        testfiles::WriteBytes(dir.File("plain"), old);
        path = Path("plain") + "/drawing.myd";
    } else {
        std::filesystem::create_directory(dir.File("locked"));
        old = "1 9 9 9\r\n";
        testfiles::WriteBytes(dir.File("locked/drawing.myd"), old);
        ASSERT_EQ(::chmod(dir.File("locked").c_str(), 0555), 0);
        path = Path("locked/drawing.myd");
    }
    Save(path);
    EXPECT_EQ(messages->shown, QStringList{"保存失败"});
    EXPECT_EQ(Read(testfiles::RunningAsRoot() ? Path("plain") : path), old);
    ExpectUntouchedState();
}

TEST_F(MydFile, CancelledDialogsChangeNothing) {
    MakeDrawing();
    const QString earlier = Write("earlier.myd", "1 1 1 1\r\n");
    dialog->FileName = earlier;
    const std::vector<const void*> before = Records();
    const QImage screen = canvas().Screen().copy();

    dialog->fileAnswers = {std::nullopt};
    form->MenuItem("mnuOpenTxt")->trigger();
    EXPECT_EQ(dialog->opens, 1);
    EXPECT_EQ(Records(), before);  // not emptied before the dialog
    EXPECT_EQ(form->lastPntNO, 2.0f);
    EXPECT_TRUE(canvas().Screen() == screen);

    testfiles::WriteBytes(earlier.toStdString(), "kept");
    dialog->fileAnswers = {std::nullopt};
    form->MenuItem("mnuSaveTxt")->trigger();
    EXPECT_EQ(dialog->saves, 1);
    EXPECT_EQ(Read(earlier), "kept");  // the name the dialog still holds is not written

    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(dialog->FileName, earlier);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"earlier.myd"});
    ExpectUntouchedState();
}

TEST_F(MydFile, FileNameIsSharedBetweenTheCommands) {
    MakeDrawing();
    const QString path = Path("shared.myd");
    Save(path);
    dialog->fileAnswers = {std::nullopt};
    form->MenuItem("mnuOpenTxt")->trigger();
    EXPECT_EQ(dialog->FileName, path);  // the open dialog starts from the saved name
    dialog->fileAnswers = {dialog->FileName};
    form->MenuItem("mnuOpenTxt")->trigger();
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(form->pntArray.Count(), 2);
    EXPECT_EQ(form->pntArray.Item(2)->X, -20.5f);
}
