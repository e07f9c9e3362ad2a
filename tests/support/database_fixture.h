#pragma once
// The main window with a private folder for database files, a drawing that a
// failed load must leave exactly as it was, and the read limits put back after
// each test.
#include <QTemporaryDir>

#include "platform/accessreader.h"
#include "platform/database.h"
#include "support/mainwindow_fixture.h"

class DatabaseWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        form->Timer1->stop();  // the start-up blink must not refresh in the middle of a test
        savedTimeout = DbReadTimeout();
        savedReader = AccessReaderSetup();
    }
    void TearDown() override {
        DbReadTimeout() = savedTimeout;
        AccessReaderSetup() = savedReader;
        MainWindowTest::TearDown();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // A menu command that asks for a file, answered with `file`.
    void Run(const char* item, const QString& file) {
        dialog->fileAnswers.push_back(file);
        form->MenuItem(item)->trigger();
    }
    void ClearMessages() {
        messages->shown.clear();
        messages->details.clear();
    }

    void SetKeptState() {
        form->pntArray.Clear();
        form->lineArray.Clear();
        AddPointRecord(8, 1, 2);
        AddLineRecord(9, 1, 2, 3, 4, 255);
        form->lastPntNO = 21;
        form->lastLineID = 22;
        form->pFileName = "kept.mdb";
    }
    void ExpectKeptState() {
        ASSERT_EQ(form->pntArray.Count(), 1);
        const CPoint& p = *form->pntArray.Item(1);
        EXPECT_TRUE(p.pntNO == 8 && p.X == 1 && p.Y == 2);
        ASSERT_EQ(form->lineArray.Count(), 1);
        const CLine& l = *form->lineArray.Item(1);
        EXPECT_TRUE(l.ID == 9 && l.sp.X == 1 && l.sp.Y == 2 && l.ep.X == 3 && l.ep.Y == 4 && l.color == 255);
        EXPECT_EQ(form->lastPntNO, 21.0f);
        EXPECT_EQ(form->lastLineID, 22.0f);
        EXPECT_EQ(form->pFileName, "kept.mdb");
    }
    // Runs a load of `file` that must fail with "打开失败", the file named and
    // `reason` in the detail, and change nothing.
    void ExpectFailedLoad(const char* item, const QString& file, const QString& reason) {
        SetKeptState();
        ClearMessages();
        Run(item, file);
        ASSERT_EQ(messages->shown.size(), 1);
        EXPECT_EQ(messages->shown[0], "打开失败");
        EXPECT_TRUE(messages->details[0].startsWith(file + "\n")) << messages->details[0].toStdString();
        EXPECT_TRUE(messages->details[0].contains(reason))
            << messages->details[0].toStdString() << " lacks " << reason.toStdString();
        ExpectKeptState();
    }

    QTemporaryDir dir;
    std::chrono::milliseconds savedTimeout{};
    AccessReaderSettings savedReader;
};
