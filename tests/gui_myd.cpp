// The text drawing file through the menus of the real main window.
#include <QAction>
#include <QImage>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

class MydFile : public MainWindowTest {
protected:
    QString Path(const std::string& name) const { return QString::fromStdString(dir.File(name)); }
    QString Write(const std::string& name, const std::string& bytes) {
        testfiles::WriteBytes(dir.File(name), bytes);
        return Path(name);
    }
    void Open(const std::optional<QString>& path) {
        dialog->fileAnswers = {path};
        form->MenuItem("mnuOpenTxt")->trigger();
    }
    void Save(const std::optional<QString>& path) {
        dialog->fileAnswers = {path};
        form->MenuItem("mnuSaveTxt")->trigger();
    }
    // A drawing with a tool on and a database named, which the file commands leave alone.
    void MakeDrawing() {
        AddPointRecord(1, 10, 10);
        AddPointRecord(5, -20.5f, 30.25f);
        AddLineRecord(7, -50, -20, 50, -20, 255);
        form->lastPntNO = 17;
        form->lastLineID = 7;
        form->pFileName = "drawing.mdb";
        form->Command2_Click();  // the pick-point tool
        form->Refresh();
    }
    std::vector<const void*> Records() const {
        std::vector<const void*> records;
        for (const auto& p : form->pntArray) records.push_back(p.get());
        for (const auto& l : form->lineArray) records.push_back(l.get());
        return records;
    }

    testfiles::TempDir dir;
};

TEST_F(MydFile, SaveWritesTheDrawingAndLoadReplacesIt) {
    MakeDrawing();
    Save(Path("out.myd"));
    EXPECT_EQ(testfiles::ReadBytes(dir.File("out.myd")), "1 1 10 10\r\n1 5 -20.5 30.25\r\n2 7 -50 -20 50 -20  255\r\n");
    EXPECT_EQ(dialog->saves, 1);
    EXPECT_EQ(dialog->Filter, "MYD 绘制文件(*.myd)|*.myd");

    dialog->Filter.clear();
    Open(Write("in.myd", "1 1 -40 0\r\n1 9 40 40\r\n2 3 -60 -60 60 -60  255\r\n2 2 0 10 0 20  16711680\r\n"));
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(dialog->opens, 1);
    EXPECT_EQ(dialog->Filter, "MYD 绘制文件(*.myd)|*.myd");
    ASSERT_EQ(form->pntArray.Count(), 2);
    ASSERT_EQ(form->lineArray.Count(), 2);
    EXPECT_TRUE(form->pntArray.Item(2)->pntNO == 9 && form->pntArray.Item(2)->X == 40);
    EXPECT_EQ(form->lineArray.Item(2)->color, 16711680.0f);
    // The counters pass the largest loaded number, not the count.
    EXPECT_EQ(form->lastPntNO, 9.0f);
    EXPECT_EQ(form->lastLineID, 3.0f);
    EXPECT_TRUE(form->getPntMode);
    EXPECT_EQ(form->pFileName, "drawing.mdb");
    // The area shows the loaded drawing only.
    EXPECT_EQ(PixelAtWorld(-40, 0), QColor(255, 0, 244));
    EXPECT_EQ(PixelAtWorld(10, 10), Background());
    EXPECT_EQ(PixelAtWorld(0, -20), Background());
    EXPECT_EQ(PixelAtWorld(0, -60), QColor(255, 0, 0));
    EXPECT_EQ(PixelAtWorld(0, 15), QColor(0, 0, 255));

    // The next dialog starts from the name last chosen.
    Open(std::nullopt);
    EXPECT_EQ(dialog->FileName, Path("in.myd"));
}

TEST_F(MydFile, BadFilesFailedSavesAndCancelledDialogsChangeNothing) {
    using namespace std::string_literals;
    MakeDrawing();
    const std::vector<const void*> before = Records();
    const QImage screen = canvas().Screen().copy();
    auto expectUnchanged = [&](const std::string& what) {
        EXPECT_EQ(Records(), before) << what;
        EXPECT_TRUE(form->lastPntNO == 17 && form->lastLineID == 7 && form->pFileName == "drawing.mdb") << what;
        EXPECT_TRUE(canvas().Screen() == screen) << what;
        messages->shown.clear();
        messages->details.clear();
    };
    const std::pair<std::string, std::string> bad[] = {
        {"1 1 1 1\r\n2 1 0 0 10 10\r\n"s, "第 2 行：字段不足"},   {"1 1 1 1\r\n\r\n1 2 1e39 0\r\n"s, "第 3 行：数值超出范围"},
        {"1 1 1 1\r\n1 3\0 3 3\r\n"s, "第 2 行：不是文本文件"}, {"", "无法打开文件"}};
    for (const auto& [bytes, detail] : bad) {
        const QString path = bytes.empty() ? Path("missing.myd") : Write("bad.myd", bytes);
        Open(path);
        EXPECT_EQ(messages->shown, QStringList{"打开失败"});
        EXPECT_EQ(messages->details, QStringList{path + "\n" + QString::fromStdString(detail)});
        expectUnchanged(detail);
    }

    const QString earlier = Write("earlier.myd", "kept");
    dialog->FileName = earlier;
    Open(std::nullopt);
    Save(std::nullopt);
    EXPECT_EQ(dialog->FileName, earlier);  // the name the dialog still holds is not written
    EXPECT_EQ(testfiles::ReadBytes(dir.File("earlier.myd")), "kept");
    EXPECT_TRUE(messages->shown.isEmpty());
    expectUnchanged("cancelled");

    Save("/dev/full");
    EXPECT_EQ(messages->shown, QStringList{"保存失败"});
    for (int i = 0; i < 50000; ++i) AddPointRecord(float(i), 1.5f, 2.5f);
    {
        testfiles::FileSizeLimit limit(64 * 1024);  // the disk fills up part way
        Save(earlier);
    }
    EXPECT_EQ(messages->shown, QStringList({"保存失败", "保存失败"}));
    EXPECT_EQ(testfiles::ReadBytes(dir.File("earlier.myd")), "kept");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"bad.myd", "earlier.myd"}));
}

}  // namespace
