#pragma once
// The main window with a folder for database files, and the read limits reset.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <optional>
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
        form->Timer1->stop();  // the start-up blink must not refresh in the middle of a test
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
        QFile::copy(QStringLiteral(POINTLINE_TEST_DATA "/jet/") + name, Path(name));
        return Path(name);
    }
    // A menu command that asks for a file, answered with `file` (none:
    // cancelled); "fill" fills an existing database, which no menu item offers.
    void Run(const char* item, const std::optional<QString>& file) {
        dialog->fileAnswers.push_back(file);
        if (item == std::string("fill")) form->mnuSaveDatasourceFile_Click();
        else form->MenuItem(item)->trigger();
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

    // A load that must fail with "打开失败", the file and `reason` in the
    // detail, and leave the drawing, its counters and the current database.
    void ExpectFailedLoad(const char* item, const QString& file, const QString& reason) {
        const std::vector<Row> kept = {{8, 1, 2}, {9, 1, 2, 3, 4, 255}};
        SetDrawing(kept);
        form->lastPntNO = 21;
        form->pFileName = "kept.mdb";
        ClearMessages();
        Run(item, file);
        const QString detail = messages->details.value(0);
        EXPECT_EQ(messages->shown, QStringList{"打开失败"});
        EXPECT_TRUE(detail.startsWith(file + "\n") && detail.contains(reason)) << detail.toStdString();
        EXPECT_TRUE(Drawing() == kept && form->lastPntNO == 21 && form->pFileName == "kept.mdb");
    }
    QStringList Entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
    const std::chrono::milliseconds savedTimeout = DbReadTimeout();
    const AccessReaderSettings savedReader = AccessReaderSetup();
};
