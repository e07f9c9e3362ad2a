// The query windows on the current drawing database, driven as a user does:
// the search by ID and the two tables; the found or clicked shape blinks.
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "query/attribtables.h"
#include "query/frmattribtoshape.h"
#include "support/database_fixture.h"

namespace {

const QColor kRed(255, 0, 0), kGreen(0, 255, 0);
const char* const kCannotQuery = "不能查询，请先将图形保存到数据库中，然后再查询";

class Query : public DatabaseWindowTest {
protected:
    // Points 1, 2, 3 and lines 1, 2 saved through the menu; the file becomes pFileName.
    QString SaveSample() {
        SetDrawing({{1, -40, 20}, {2, 10, -5}, {3, 50, 30}, {1, -60, -40, -20, -40, 65535}, {2, 0.5f, -30, 60, -60, 255}});
        Run(kSaveData, Path("drawing.mdb"));
        EXPECT_EQ(form->pFileName, Path("drawing.mdb").toStdString());
        return Path("drawing.mdb");
    }

    // Runs `act` inside the next modal window, which must be a W, and closes
    // the window afterwards if `act` left it open.
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
    template <class W>
    void Open(const char* item, std::function<void(W&)> act) {
        InModal<W>(act);
        form->MenuItem(item)->trigger();
    }
    // One search: `prepare` sets the window up, "查询" is pressed, `after` looks at the window.
    void Search(const QString& id, std::function<void(frmAttribToShape&)> prepare = {},
                std::function<void(frmAttribToShape&)> after = {}) {
        Open<frmAttribToShape>("mnuAttribToShape", [=](frmAttribToShape& w) {
            if (prepare) prepare(w);
            w.Text1->setText(id);
            QTest::mouseClick(w.Command1, Qt::LeftButton);
            if (after) after(w);
        });
    }
    static void ChooseLine(frmAttribToShape& w) {
        w.Combo1->showPopup();
        QAbstractItemView* list = w.Combo1->view();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    }
    static void ClickCell(QTableView* grid, int row, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, column)).center());
    }
    Row Point() const { return {form->selectedPoint.pntNO, form->selectedPoint.X, form->selectedPoint.Y}; }
    Row Line() const {
        const CLine& l = form->selectedLine;
        return {l.ID, l.sp.X, l.sp.Y, l.ep.X, l.ep.Y, l.color};
    }
    // Whether the blink shows at a world position on its next tick, in the
    // other colour on the tick after.
    bool Blinks(double x, double y) {
        form->Timer1_Timer();
        const QColor first = PixelAtWorld(x, y);
        form->Timer1_Timer();
        return (first == kRed && PixelAtWorld(x, y) == kGreen) || (first == kGreen && PixelAtWorld(x, y) == kRed);
    }
};

// Pixels of a picture that are nearly black.
int DarkPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 80;
    return n;
}

TEST(SearchId, OnlyANumberIsAnId) {
    for (const auto& [text, id] : {std::pair{"3", 3.0}, {" 3 ", 3.0}, {"-2", -2.0}, {"+7", 7.0}, {"1.5E1", 15.0}, {".5", 0.5}})
        EXPECT_EQ(ParseSearchId(text), id) << text;
    for (const char* bad : {"", "  ", "abc", "1 or 1=1", "1;drop table PointTable", "3abc", "inf", "nan", "1e999", "0x10",
                            "--1", "'1'", "+"})
        EXPECT_FALSE(ParseSearchId(bad).has_value()) << bad;
}

TEST_F(Query, TheSearchWindowOpensAfreshEachTime) {
    for (int round = 0; round < 2; ++round) {
        Open<frmAttribToShape>("mnuAttribToShape", [&](frmAttribToShape& w) {
            EXPECT_EQ(w.windowTitle(), "Form1");
            EXPECT_EQ(w.size(), QSize(354, 232));
            EXPECT_EQ(w.font().pointSizeF(), 21.75);
            EXPECT_TRUE(w.isModal());
            EXPECT_EQ(w.Label1->text(), "图形类型：");
            EXPECT_EQ(w.Label1->geometry(), QRect(24, 40, 145, 41));
            EXPECT_EQ(w.Label2->text(), "查找字段ID：");
            EXPECT_EQ(w.Label2->geometry(), QRect(24, 104, 185, 33));
            EXPECT_EQ(w.Combo1->geometry().topLeft(), QPoint(192, 32));
            EXPECT_EQ(QStringList({w.Combo1->itemText(0), w.Combo1->itemText(1), w.Combo1->currentText()}),
                      QStringList({"点", "线", "点"}));
            EXPECT_EQ(w.Text1->text(), "1");
            EXPECT_EQ(w.Text1->geometry(), QRect(200, 104, 129, 37));
            EXPECT_EQ(w.Command1->text(), "查询");
            EXPECT_EQ(w.Command1->geometry(), QRect(88, 160, 193, 41));
            EXPECT_EQ(NextTabStop(w.Combo1), w.Text1);
            EXPECT_EQ(NextTabStop(w.Text1), w.Command1);
            EXPECT_EQ(w.shapeType, 1);
            ChooseLine(w);  // not kept for the next opening
            EXPECT_EQ(w.shapeType, 2);
        });
    }
}

TEST_F(Query, FoundShapesBlinkWhereTheDatabaseHasThem) {
    SaveSample();
    form->pntArray.Item(2)->X = 90;  // moved after the save: the database still has (10, -5)
    form->lineArray.Clear();         // deleted from the drawing: the database still has them
    form->Refresh();
    Search(" 2 ");
    EXPECT_EQ(Point(), (Row{2, 10, -5}));
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->ntTimeCount, 0);
    EXPECT_TRUE(Blinks(10, -5));
    EXPECT_FALSE(Blinks(90, -5));

    form->ntTimeCount = 7;
    Search("2", ChooseLine);
    EXPECT_EQ(Line(), (Row{2, 0.5f, -30, 60, -60, 255}));
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->ntTimeCount, 0);
    EXPECT_TRUE(Blinks(30.25, -45));

    // A kind typed but not chosen from the list still searches points.
    Search("1", [](frmAttribToShape& w) { w.Combo1->setEditText("线"); });
    EXPECT_EQ(Point(), (Row{1, -40, 20}));
    EXPECT_EQ(form->selectedLine.ID, -1.0f);

    // An ID not in the table closes the window silently and ends the blink.
    form->Timer1->stop();
    form->ntTimeCount = 7;
    bool closed = false;
    Search("99", {}, [&](frmAttribToShape& w) { closed = !w.isVisible(); });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1 && form->ntTimeCount == 7);
    const QImage before = canvas().Screen().copy();
    form->Timer1_Timer();
    EXPECT_EQ(canvas().Screen(), before);

    // So does closing the window without a search.
    Search("1");
    ASSERT_EQ(form->selectedPoint.pntNO, 1.0f);
    Open<frmAttribToShape>("mnuAttribToShape", [](frmAttribToShape& w) { w.reject(); });
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
}

TEST_F(Query, EveryFailureKeepsTheSearchWindowOpenWithTheMessage) {
    WriteBytes(Path("text.mdb"), "1 1 0 0\r\n");
    Peek(Path("points.mdb"), "create table PointTable (ID smallint, X text, Y text); insert into PointTable values (4, null, '1');");
    auto expectRefused = [&](const std::string& file, const QString& id, bool line) {
        SCOPED_TRACE(file + " " + id.toStdString());
        form->pFileName = file;
        ClearMessages();
        QString kept;
        Search(id, [line](frmAttribToShape& w) { w.Combo1_Click(line ? 1 : 0); },
               [&](frmAttribToShape& w) { kept = w.isVisible() ? w.Text1->text() : "closed"; });
        EXPECT_EQ(kept, id);
        EXPECT_EQ(messages->shown, QStringList{kCannotQuery});
        EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1);
    };
    expectRefused("", "1", false);
    expectRefused(Path("missing.mdb").toStdString(), "1", false);
    expectRefused(Path("text.mdb").toStdString(), "1", false);
    expectRefused(Path("points.mdb").toStdString(), "4", true);   // no LineTable
    expectRefused(Path("points.mdb").toStdString(), "4", false);  // an empty X: nothing half-copied
    const std::string file = SaveSample().toStdString();
    for (const char* bad : {"abc", "", "1 or 1=1", "1; delete from PointTable"}) expectRefused(file, bad, false);
    EXPECT_EQ(PeekCount(Path("drawing.mdb"), "PointTable"), "3");
    EXPECT_FALSE(QFileInfo::exists(Path("missing.mdb")));  // a search never makes a file
}

TEST_F(Query, PointTableListsTheDatabaseAndAClickedRowBlinks) {
    SaveSample();
    form->pntArray.Item(2)->Y = 70;  // not saved again
    form->selectedLine.ID = 5;       // an earlier line highlight
    Open<frmAllPntAttrib>("mnuShowPointData", [&](frmAllPntAttrib& w) {
        EXPECT_EQ(w.windowTitle(), "点属性表");
        EXPECT_EQ(w.size(), QSize(445, 262));
        EXPECT_EQ(w.DBGrid1->geometry(), QRect(8, 0, 433, 257));
        EXPECT_EQ(w.MSFlexGrid1->geometry(), QRect(176, 32, 145, 81));
        EXPECT_EQ(w.Data1Bar->geometry(), QRect(168, 168, 76, 19));
        EXPECT_EQ(w.DBGrid1->font().pointSizeF(), 9.0);
        QAbstractItemModel* m = w.DBGrid1->model();
        ASSERT_EQ(m->rowCount(), 3);
        ASSERT_EQ(m->columnCount(), 3);
        QStringList cells;
        for (int c = 0; c < 3; ++c) cells << m->headerData(c, Qt::Horizontal).toString();
        for (int c = 0; c < 3; ++c) cells << m->index(1, c).data().toString();
        EXPECT_EQ(cells, QStringList({"ID", "X", "Y", "2", "10", "-5"}));
        // The cells show their text and nothing else: no check box, icon or tip.
        for (int role : {Qt::CheckStateRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::TextAlignmentRole})
            EXPECT_FALSE(m->index(1, 1).data(role).isValid()) << role;

        ClickCell(w.DBGrid1, 1, 1);
        EXPECT_EQ(Point(), (Row{2, 10, -5}));
        EXPECT_EQ(form->selectedLine.ID, -1.0f);
        EXPECT_EQ(form->ntTimeCount, 0);
        // The main window's timer runs behind the modal table.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->ntTimeCount >= 1; }, 5000));
        form->Timer1->stop();
        EXPECT_TRUE(Blinks(10, -5));

        // The record selector marks the current row; a click on it is a click on its row.
        QHeaderView* selector = w.DBGrid1->verticalHeader();
        auto marked = [&](int row) {
            const int top = selector->sectionViewportPosition(row);
            return DarkPixels(selector->grab(QRect(0, top, selector->width(), selector->sectionSize(row))).toImage()) > 0;
        };
        EXPECT_TRUE(marked(1) && !marked(0));
        QTest::mouseClick(selector->viewport(), Qt::LeftButton, {},
                          QPoint(selector->width() / 2, selector->sectionViewportPosition(2) + selector->sectionSize(2) / 2));
        EXPECT_EQ(Point(), (Row{3, 50, 30}));
        EXPECT_TRUE(marked(2) && !marked(1));
        // The arrow keys and the bar move the record and both grids' rows, and blink nothing.
        form->Timer1->stop();
        QTest::keyClick(w.DBGrid1, Qt::Key_Up);
        EXPECT_EQ(w.Data1.Recordset().AbsolutePosition(), 1);
        EXPECT_EQ(w.MSFlexGrid1->currentIndex().row(), 1);
        EXPECT_TRUE(marked(1));
        const auto bar = w.Data1Bar->findChildren<QToolButton*>();
        ASSERT_EQ(bar.size(), 4);
        for (int button : {3, 1, 0}) QTest::mouseClick(bar.at(button), Qt::LeftButton);
        EXPECT_EQ(w.Data1.Recordset().AbsolutePosition(), 0);
        EXPECT_EQ(w.DBGrid1->currentIndex().row(), 0);
        QTest::mouseClick(bar.at(2), Qt::LeftButton);
        EXPECT_EQ(w.MSFlexGrid1->currentIndex().row(), 1);
        EXPECT_EQ(Point(), (Row{3, 50, 30}));
        EXPECT_FALSE(form->Timer1->isActive());

        // The bar: first, previous, caption, next, last, with arrows drawn
        // column by column (black pixels per column).
        const char* const arrows[4] = {"701357", "013570", "075310", "753107"};
        for (int i = 0; i < 4; ++i) {
            const QImage icon = bar.at(i)->icon().pixmap(QSize(6, 7)).toImage();
            std::string columns;
            for (int x = 0; x < 6; ++x) {
                int n = 0;
                for (int y = 0; y < 7; ++y) n += qAlpha(icon.pixel(x, y)) > 0;
                columns += char('0' + n);
            }
            EXPECT_EQ(columns, arrows[i]);
        }
        QLabel* caption = w.Data1Bar->caption;
        EXPECT_EQ(caption->text(), "Data1");
        EXPECT_EQ(caption->font().pointSizeF(), 8.0);
        EXPECT_GE(caption->contentsRect().width(), caption->fontMetrics().horizontalAdvance("Data1"));
    });
}

TEST_F(Query, LineTableClickBlinksTheLine) {
    SaveSample();
    form->selectedPoint.pntNO = 1;
    Open<frmAllLineAttrib>("mnuShowLineData", [&](frmAllLineAttrib& w) {
        EXPECT_EQ(w.windowTitle(), "Form1");
        EXPECT_EQ(w.size(), QSize(510, 238));
        EXPECT_EQ(w.DBGrid1->geometry(), QRect(8, 8, 489, 217));
        QAbstractItemModel* m = w.DBGrid1->model();
        ASSERT_EQ(m->rowCount(), 2);
        QStringList cells;
        for (int c = 0; c < 6; ++c) cells << m->headerData(c, Qt::Horizontal).toString() << m->index(1, c).data().toString();
        EXPECT_EQ(cells, QStringList({"ID", "2", "X1", " .5", "Y1", "-30", "X2", " 60", "Y2", "-60", "Color", "255"}));
        ClickCell(w.DBGrid1, 1, 3);
    });
    EXPECT_EQ(Line(), (Row{2, 0.5f, -30, 60, -60, 255}));
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->ntTimeCount, 0);
    EXPECT_TRUE(Blinks(30.25, -45));
}

TEST_F(Query, EditingACellIsRefusedAndNeverReachesTheDatabase) {
    const QString file = SaveSample();
    const QByteArray before = FileBytes(file);
    Open<frmAllPntAttrib>("mnuShowPointData", [&](frmAllPntAttrib& w) {
        const QModelIndex cell = w.DBGrid1->model()->index(0, 1);
        auto type = [&](const char* keys) {
            w.DBGrid1->setCurrentIndex(cell);
            w.DBGrid1->edit(cell);
            auto* editor = w.DBGrid1->viewport()->findChild<QLineEdit*>();
            ASSERT_TRUE(editor);
            editor->selectAll();
            QTest::keyClicks(editor, keys);
            QTest::keyClick(editor, Qt::Key_Return);
            QTest::qWait(50);  // the grid commits on its next turn, the refusal follows
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the old editor
        };
        type("777");
        EXPECT_EQ(messages->shown, QStringList{"数据只读，不能修改"});
        EXPECT_EQ(cell.data().toString(), "-40");
        type("-40");  // the stored value again: nothing changes, nothing is said
        EXPECT_EQ(messages->shown.size(), 1);
        w.ClickRow(0);
        EXPECT_EQ(form->selectedPoint.X, -40.0f);
    });
    EXPECT_EQ(FileBytes(file), before);
}

TEST_F(Query, TablesThatCannotReadTheirDataCloseWithAMessageAndUnreadableRowsShowNothing) {
    WriteBytes(Path("text.mdb"), "plain text");
    Peek(Path("odd.mdb"), "create table PointTable (ID smallint, X text, Y text); insert into PointTable values (1, null, '2');"
                          "create table LineTable (ID smallint, X1 text, Y1 text, X2 text, Y2 text, Color double);");
    const std::pair<const char*, QString> cases[] = {
        {"mnuShowPointData", ""}, {"mnuShowLineData", Path("missing.mdb")}, {"mnuShowPointData", Path("text.mdb")}};
    for (const auto& [item, file] : cases) {
        form->pFileName = file.toStdString();
        ClearMessages();
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) shown = true, d->reject();
        });
        form->MenuItem(item)->trigger();
        QCoreApplication::processEvents();
        EXPECT_FALSE(shown) << file.toStdString();
        EXPECT_EQ(messages->shown, QStringList{"不能显示数据"});
        EXPECT_TRUE(messages->details.value(0).startsWith(file.isEmpty() ? "没有文件名" : file + "\n"));
    }

    form->pFileName = Path("odd.mdb").toStdString();
    ClearMessages();
    form->selectedPoint.pntNO = 8;
    Open<frmAllPntAttrib>("mnuShowPointData", [](frmAllPntAttrib& w) { w.ClickRow(0); });
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_FALSE(form->Timer1->isActive());
    form->selectedPoint.pntNO = 8;
    Open<frmAllLineAttrib>("mnuShowLineData", [](frmAllLineAttrib& w) {
        EXPECT_EQ(w.DBGrid1->model()->rowCount(), 0);
        w.ClickRow(0);
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    });
    EXPECT_EQ(form->selectedPoint.pntNO, 8.0f);  // nothing happened
    EXPECT_TRUE(messages->shown.isEmpty() && !form->Timer1->isActive());
}

TEST_F(Query, AnAccessFileIsSearchedAndListedButNeverWritten) {
    const QString file = Copy("drawing-2003.mdb");
    const QByteArray bytes = FileBytes(file);
    const QDateTime modified = QFileInfo(file).lastModified();
    form->pFileName = file.toStdString();
    Search("2");
    EXPECT_EQ(Point(), (Row{2, 0.5f, -3}));
    Search("1.0E0", ChooseLine);  // the ID is compared as a number
    EXPECT_EQ(Line(), (Row{1, 12.5f, -4, 0.5f, -3, 65535}));
    Search("9");
    EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1);
    Open<frmAllPntAttrib>("mnuShowPointData", [&](frmAllPntAttrib& w) {
        ASSERT_EQ(w.DBGrid1->model()->rowCount(), 3);
        EXPECT_EQ(w.DBGrid1->model()->index(2, 2).data().toString(), "200");
        ClickCell(w.DBGrid1, 1, 0);
    });
    EXPECT_EQ(Point(), (Row{2, 0.5f, -3}));
    Open<frmAllLineAttrib>("mnuShowLineData", [&](frmAllLineAttrib& w) {
        EXPECT_EQ(w.DBGrid1->model()->index(1, 3).data().toString(), "-.25");
        ClickCell(w.DBGrid1, 1, 0);
    });
    EXPECT_EQ(Line(), (Row{2, 100, 200, -0.25f, 1e7f, 16711680}));
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
    EXPECT_EQ(FileBytes(file), bytes);
    EXPECT_EQ(QFileInfo(file).lastModified(), modified);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"drawing-2003.mdb"});  // not even a lock file beside it
}

TEST_F(Query, ClosingTheMainWindowClosesARunningTable) {
    SaveSample();
    Open<frmAllLineAttrib>("mnuShowLineData", [&](frmAllLineAttrib& w) {
        form->close();
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
