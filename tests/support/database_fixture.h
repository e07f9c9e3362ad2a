#pragma once
// The main window with a private folder for database files, the drawing as
// rows of numbers, and the read limits put back after each test.
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <vector>

#include "platform/accessreader.h"
#include "platform/database.h"
#include "support/mainwindow_fixture.h"
#include "support/sqlite_peek.h"

inline const char* const kOpenData = "mnuOpenDatasourceFile";
inline const char* const kOpenAdo = "mnuOpenDatasourceFileForAdo";
inline const char* const kSaveData = "mnuSaveDatasourceFile2";
inline const char* const kSaveAdo = "mnuSaveDatasourceFileForAdo";
inline const char* const kDrawingTables =
    "create table PointTable (ID smallint, X text, Y text);"
    "create table LineTable (ID smallint, X1 text, Y1 text, X2 text, Y2 text, Color double);";

// A record as numbers: a point is {no, x, y}, a line {id, x1, y1, x2, y2, colour}.
using Row = std::vector<float>;

class DatabaseWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        form->Timer1->stop();  // the start-up blink must not refresh in the middle of a test
        savedTimeout = DbReadTimeout();
        savedReader = AccessReaderSetup();
        DbReadTimeout() = std::chrono::seconds(5);  // a read that loops fails in seconds
    }
    void TearDown() override {
        DbReadTimeout() = savedTimeout;
        AccessReaderSetup() = savedReader;
        MainWindowTest::TearDown();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    // A private copy of a genuine Access file of the test data.
    QString Copy(const QString& name) {
        const QString to = Path(name);
        if (!QFileInfo::exists(to)) {
            EXPECT_TRUE(QFile::copy(QStringLiteral(POINTLINE_TEST_DATA "/jet/") + name, to)) << name.toStdString();
        }
        return to;
    }

    // A menu command that asks for a file, answered with `file`.
    void Run(const char* item, const QString& file) {
        dialog->fileAnswers.push_back(file);
        form->MenuItem(item)->trigger();
    }
    // The fill of an existing database, which no menu item offers.
    void Fill(const QString& file) {
        dialog->fileAnswers.push_back(file);
        form->mnuSaveDatasourceFile_Click();
    }
    void ClearMessages() {
        messages->shown.clear();
        messages->details.clear();
    }

    std::vector<Row> Drawing() const {
        std::vector<Row> rows;
        for (const auto& p : form->pntArray) rows.push_back({p->pntNO, p->X, p->Y});
        for (const auto& l : form->lineArray) rows.push_back({l->ID, l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, l->color});
        return rows;
    }
    void SetDrawing(const std::vector<Row>& rows) {
        form->pntArray.Clear();
        form->lineArray.Clear();
        for (const Row& r : rows) {
            if (r.size() == 3) AddPointRecord(r[0], r[1], r[2]);
            else AddLineRecord(r[0], r[1], r[2], r[3], r[4], r[5]);
        }
    }

    // Runs a load of `file` that must fail with "打开失败", the file and
    // `reason` in the detail, and leave the drawing, its counters and the
    // current database exactly as they were.
    void ExpectFailedLoad(const char* item, const QString& file, const QString& reason) {
        SetDrawing({{8, 1, 2}, {9, 1, 2, 3, 4, 255}});
        const auto first = form->pntArray.Item(1);
        form->lastPntNO = 21;
        form->lastLineID = 22;
        form->pFileName = "kept.mdb";
        ClearMessages();
        Run(item, file);
        EXPECT_EQ(messages->shown, QStringList{"打开失败"});
        const QString detail = messages->details.value(0);
        EXPECT_TRUE(detail.startsWith(file + "\n") && detail.contains(reason)) << detail.toStdString() << " lacks " << reason.toStdString();
        EXPECT_EQ(Drawing(), (std::vector<Row>{{8, 1, 2}, {9, 1, 2, 3, 4, 255}}));
        EXPECT_EQ(form->pntArray.Item(1), first);
        EXPECT_TRUE(form->lastPntNO == 21 && form->lastLineID == 22 && form->pFileName == "kept.mdb");
    }

    QTemporaryDir dir;
    std::chrono::milliseconds savedTimeout{};
    AccessReaderSettings savedReader;
};
