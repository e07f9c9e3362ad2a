// The text drawing file through the menus of the real main window.
#include <QAction>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

using MydFile = MainWindowTest;

TEST_F(MydFile, SaveAndLoadAndWhatFailsOrIsCancelledChangesNothing) {
    testfiles::TempDir dir;
    auto run = [&](const char* item, const char* name, const std::string& bytes = {}) {
        if (!bytes.empty()) testfiles::WriteBytes(dir.File(name), bytes);
        dialog->fileAnswers = {name ? std::optional(QString::fromStdString(dir.File(name))) : std::nullopt};
        form->MenuItem(item)->trigger();
    };
    AddPointRecord(1, 10, 10);
    AddLineRecord(7, -50, -20, 50, -20, 255);
    form->Command2_Click();  // the pick-point tool
    run("mnuSaveTxt", "out.myd");
    EXPECT_EQ(testfiles::ReadBytes(dir.File("out.myd")), "1 1 10 10\r\n2 7 -50 -20 50 -20  255\r\n");
    run("mnuOpenTxt", "in.myd", "1 1 -40 0\r\n1 9 40 40\r\n2 3 -60 -60 60 -60  255\r\n2 2 0 10 0 20  16711680\r\n");
    EXPECT_EQ(dialog->Filter, "MYD 绘制文件(*.myd)|*.myd");
    ASSERT_TRUE(form->pntArray.Count() == 2 && form->lineArray.Count() == 2);
    EXPECT_TRUE(form->lastPntNO == 9 && form->lastLineID == 3 && form->getPntMode);  // the largest numbers, not the counts
    // The area shows the loaded drawing only.
    EXPECT_TRUE(PixelAtWorld(-40, 0) == QColor(255, 0, 244) && PixelAtWorld(0, 15) == QColor(0, 0, 255));
    EXPECT_TRUE(PixelAtWorld(10, 10) == Background() && PixelAtWorld(0, -20) == Background());

    const auto first = form->pntArray.Item(1);
    const QImage screen = canvas().Screen().copy();
    using namespace std::string_literals;
    for (const auto& [bytes, detail] : {std::pair{"1 1 1 1\r\n2 1 0 0 10 10\r\n"s, "第 2 行：字段不足"},
                                        {"1 1 1 1\r\n\r\n1 2 1e39 0\r\n"s, "第 3 行：数值超出范围"},
                                        {"1 1 1 1\r\n1 3\0 3 3\r\n"s, "第 2 行：不是文本文件"}, {""s, "无法打开文件"}}) {
        messages->details.clear();
        const char* name = bytes.empty() ? "missing.myd" : "bad.myd";
        run("mnuOpenTxt", name, bytes);
        EXPECT_EQ(messages->details, QStringList{QString::fromStdString(dir.File(name) + "\n") + detail});
    }
    for (const char* item : {"mnuOpenTxt", "mnuSaveTxt"}) run(item, nullptr);
    EXPECT_EQ(dialog->FileName, QString::fromStdString(dir.File("missing.myd")));  // not written by the cancelled save
    for (int i = 0; i < 50000; ++i) AddPointRecord(float(i), 1.5f, 2.5f);
    {
        testfiles::FileSizeLimit limit(64 * 1024);  // the disk fills up part way
        run("mnuSaveTxt", "in.myd");
    }
    EXPECT_EQ(messages->shown, QStringList({"打开失败", "打开失败", "打开失败", "打开失败", "保存失败"}));
    EXPECT_EQ(testfiles::ReadBytes(dir.File("in.myd")).substr(0, 10), "1 1 -40 0\r");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"bad.myd", "in.myd", "out.myd"}));
    EXPECT_TRUE(form->pntArray.Item(1) == first && form->lineArray.Count() == 2 && form->lastPntNO == 9);
    EXPECT_TRUE(canvas().Screen() == screen);
}

}  // namespace
