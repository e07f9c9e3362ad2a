// The query windows on the current drawing database, driven as a user does:
// the search by ID and the two tables; the found or clicked shape blinks.
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
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

const QStringList kCannotQuery = {"不能查询，请先将图形保存到数据库中，然后再查询"};

class Query : public DatabaseWindowTest {
protected:
    // Points 1, 2, 3 and lines 1, 2 saved through the menu; the file becomes pFileName.
    void SaveSample() {
        SetDrawing({{1, -40, 20}, {2, 10, -5}, {3, 50, 30}, {1, -60, -40, -20, -40, 65535}, {2, 0.5f, -30, 60, -60, 255}});
        Run(kSaveData, Path("drawing.mdb"));
    }
    // Opens a query window from the menu, runs `act` in it and closes it.
    template <class W>
    void Open(const char* item, std::function<void(W&)> act) {
        QTimer::singleShot(0, [act] {
            W* w = qobject_cast<W*>(QApplication::activeModalWidget());
            if (w) act(*w);
            else ADD_FAILURE() << "no query window";
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        });
        form->MenuItem(item)->trigger();
    }
    // One search: `prepare` sets the window up, "查询" is pressed; whether the window stayed open.
    bool Search(const QString& id, std::function<void(frmAttribToShape&)> prepare = {}) {
        bool open = false;
        Open<frmAttribToShape>("mnuAttribToShape", [&](frmAttribToShape& w) {
            if (prepare) prepare(w);
            w.Text1->setText(id);
            QTest::mouseClick(w.Command1, Qt::LeftButton);
            open = w.isVisible() && w.Text1->text() == id;
        });
        return open;
    }
    static void ChooseLine(frmAttribToShape& w) {
        w.Combo1->showPopup();
        QAbstractItemView* list = w.Combo1->view();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    }
    // Each column's header and its value in `row`.
    static QStringList Cells(QTableView* grid, int row) {
        QStringList cells;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            cells << grid->model()->headerData(c, Qt::Horizontal).toString() << grid->model()->index(row, c).data().toString();
        return cells;
    }
    static void ClickCell(QTableView* grid, int row, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, column)).center());
    }
    Row Point() const { return {form->selectedPoint.pntNO, form->selectedPoint.X, form->selectedPoint.Y}; }
    Row Line() const { return {form->selectedLine.ID, form->selectedLine.sp.X, form->selectedLine.sp.Y,
                               form->selectedLine.ep.X, form->selectedLine.ep.Y, form->selectedLine.color}; }
    // Whether a world position blinks red and green on the next two ticks.
    bool Blinks(double x, double y) {
        form->Timer1_Timer();
        const QColor first = PixelAtWorld(x, y), red(255, 0, 0), green(0, 255, 0);
        form->Timer1_Timer();
        return (first == red && PixelAtWorld(x, y) == green) || (first == green && PixelAtWorld(x, y) == red);
    }
};

TEST_F(Query, FoundShapesBlinkWhereTheDatabaseHasThem) {
    SaveSample();
    form->pntArray.Item(2)->X = 90;  // moved after the save: the database still has (10, -5)
    form->lineArray.Clear();         // deleted from the drawing: the database still has them
    form->Refresh();
    Open<frmAttribToShape>("mnuAttribToShape", [](frmAttribToShape& w) {
        EXPECT_TRUE(w.windowTitle() == "Form1" && w.size() == QSize(354, 232) && w.Text1->text() == "1");
        ChooseLine(w);  // a choice is not kept for the next opening
    });
    EXPECT_FALSE(Search(" 2 ", [](frmAttribToShape& w) {  // a typed kind is no choice from the list
        w.Combo1->lineEdit()->setText("线");
        emit w.Combo1->lineEdit()->editingFinished();  // as Tab or Return end the typing
    }));
    EXPECT_EQ(Point(), (Row{2, 10, -5}));
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
    EXPECT_TRUE(form->Timer1->isActive() && form->ntTimeCount == 0);
    EXPECT_TRUE(Blinks(10, -5));
    EXPECT_FALSE(Blinks(90, -5));

    form->ntTimeCount = 7;
    Search("2", ChooseLine);
    EXPECT_EQ(Line(), (Row{2, 0.5f, -30, 60, -60, 255}));
    EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->ntTimeCount == 0);
    EXPECT_TRUE(Blinks(30.25, -45));

    // An ID not in the table closes the window silently and ends the blink.
    form->Timer1->stop();
    form->ntTimeCount = 7;
    EXPECT_FALSE(Search("99"));
    EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1 && form->ntTimeCount == 7);
    const QImage before = canvas().Screen().copy();
    form->Timer1_Timer();
    EXPECT_EQ(canvas().Screen(), before);
    EXPECT_TRUE(messages->shown.isEmpty());
}

TEST_F(Query, EveryFailureKeepsTheSearchWindowOpenWithTheMessage) {
    Peek(Path("points.mdb"), "create table PointTable (ID smallint, X text, Y text); insert into PointTable values (4, null, '1');");
    Peek(Path("view.mdb"), "create table P (ID smallint, X text, Y text); insert into P values (1, '2', '3');"
                           "create view PointTable as select * from P;");
    auto refused = [&](const QString& file, const QString& id, bool line) {
        form->pFileName = file.toStdString();
        ClearMessages();
        EXPECT_TRUE(Search(id, [line](frmAttribToShape& w) { w.Combo1_Click(line ? 1 : 0); })) << file.toStdString();
        EXPECT_EQ(messages->shown, kCannotQuery);
        EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1);
    };
    refused("", "1", false);
    refused(Path("missing.mdb"), "1", false);
    refused(Path("points.mdb"), "4", true);   // no LineTable
    refused(Path("points.mdb"), "4", false);  // an empty X: nothing half-copied
    refused(Path("view.mdb"), "1", false);    // a view is never read
    SaveSample();
    for (const char* bad : {"abc", "", "1 or 1=1", "1; delete from PointTable"}) refused(Path("drawing.mdb"), bad, false);
    EXPECT_EQ(Peek(Path("drawing.mdb"), "select count(*) from PointTable"), PeekRows{{"3"}});
    EXPECT_FALSE(QFileInfo::exists(Path("missing.mdb")));  // a search never makes a file
}

TEST_F(Query, PointTableListsTheDatabaseAndAClickedRowBlinks) {
    SaveSample();
    form->pntArray.Item(2)->Y = 70;  // not saved again
    form->selectedLine.ID = 5;       // an earlier line highlight
    Open<frmAllPntAttrib>("mnuShowPointData", [&](frmAllPntAttrib& w) {
        EXPECT_TRUE(w.windowTitle() == "点属性表" && w.size() == QSize(445, 262));
        QAbstractItemModel* m = w.DBGrid1->model();
        ASSERT_EQ(m->rowCount(), 3);
        EXPECT_EQ(Cells(w.DBGrid1, 1), QStringList({"ID", "2", "X", "10", "Y", "-5"}));
        for (int role : {Qt::CheckStateRole, Qt::DecorationRole, Qt::ToolTipRole})  // no check box, icon or tip
            EXPECT_FALSE(m->index(1, 1).data(role).isValid()) << role;

        ClickCell(w.DBGrid1, 1, 1);
        EXPECT_EQ(Point(), (Row{2, 10, -5}));
        EXPECT_TRUE(form->selectedLine.ID == -1 && form->ntTimeCount == 0);
        // The main window's timer runs behind the modal table.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->ntTimeCount >= 1; }, 5000));
        form->Timer1->stop();
        EXPECT_TRUE(Blinks(10, -5));

        // A click on the record selector is a click on its row.
        QHeaderView* selector = w.DBGrid1->verticalHeader();
        QTest::mouseClick(selector->viewport(), Qt::LeftButton, {}, {6, selector->sectionViewportPosition(2) + 8});
        EXPECT_EQ(Point(), (Row{3, 50, 30}));
        // The arrow keys and the bar move the record and both grids' rows, and blink nothing.
        form->Timer1->stop();
        QTest::keyClick(w.DBGrid1, Qt::Key_Up);
        EXPECT_TRUE(w.Data1.Recordset().AbsolutePosition() == 1 && w.MSFlexGrid1->currentIndex().row() == 1);
        const auto bar = w.Data1Bar->findChildren<QToolButton*>();
        ASSERT_EQ(bar.size(), 4);
        for (int button : {3, 0, 2}) QTest::mouseClick(bar.at(button), Qt::LeftButton);  // last, first, next
        EXPECT_TRUE(w.Data1.Recordset().AbsolutePosition() == 1 && w.DBGrid1->currentIndex().row() == 1);
        EXPECT_TRUE(Point() == (Row{3, 50, 30}) && !form->Timer1->isActive());
        // The arrows, as black pixels per column, and the caption between them.
        std::string columns;
        for (QToolButton* button : bar) {
            const QImage icon = button->icon().pixmap(QSize(6, 7)).toImage();
            for (int x = 0; x < 6; ++x) {
                int n = 0;
                for (int y = 0; y < 7; ++y) n += qAlpha(icon.pixel(x, y)) > 0;
                columns += char('0' + n);
            }
        }
        EXPECT_EQ(columns, "701357" "013570" "075310" "753107");
        EXPECT_EQ(w.Data1Bar->caption->font().pointSizeF(), 8.0);
    });
}

TEST_F(Query, LineTableClickBlinksTheLineAndEditsAreRefused) {
    SaveSample();
    form->selectedPoint.pntNO = 1;
    Open<frmAllLineAttrib>("mnuShowLineData", [&](frmAllLineAttrib& w) {
        EXPECT_TRUE(w.windowTitle() == "Form1" && w.size() == QSize(510, 238));
        QAbstractItemModel* m = w.DBGrid1->model();
        ASSERT_EQ(m->rowCount(), 2);
        EXPECT_EQ(Cells(w.DBGrid1, 1), QStringList({"ID", "2", "X1", " .5", "Y1", "-30", "X2", " 60", "Y2", "-60", "Color", "255"}));
        w.DBGrid1->edit(m->index(1, 3));
        auto* editor = w.DBGrid1->viewport()->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "777");
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::qWait(50);  // the grid commits on its next turn, the refusal follows
        EXPECT_EQ(messages->shown, QStringList{"数据只读，不能修改"});
        EXPECT_EQ(m->index(1, 3).data().toString(), " 60");
        ClickCell(w.DBGrid1, 1, 3);
    });
    EXPECT_EQ(Line(), (Row{2, 0.5f, -30, 60, -60, 255}));
    EXPECT_TRUE(form->selectedPoint.pntNO == -1 && form->ntTimeCount == 0);
    EXPECT_TRUE(Blinks(30.25, -45));
}

// A genuine Access file as the current database: the search and both tables
// read it, and nothing writes it, not even a lock file beside it.
TEST_F(Query, AnAccessFileIsSearchedAndListedAndNeverWritten) {
    const QString file = Copy("drawing-2003.mdb");
    auto stamp = [&] {
        return std::pair(QCryptographicHash::hash(FileBytes(file), QCryptographicHash::Sha256), QFileInfo(file).lastModified());
    };
    const auto before = stamp();
    const QStringList entries = Entries();
    Run(kOpenAdo, file);
    Run(kOpenData, file);
    ASSERT_EQ(form->pFileName, file.toStdString());
    SetDrawing({});  // the queries read the file, not the drawing
    EXPECT_FALSE(Search(" 2 "));
    EXPECT_EQ(Point(), (Row{2, 0.5f, -3}));
    Search("1.0E0", ChooseLine);  // the ID compared as a number
    EXPECT_EQ(Line(), (Row{1, 12.5f, -4, 0.5f, -3, 65535}));
    Open<frmAllPntAttrib>("mnuShowPointData", [&](frmAllPntAttrib& w) {
        EXPECT_TRUE(Cells(w.DBGrid1, 2) == QStringList({"ID", "3", "X", "100", "Y", "200"}) && w.DBGrid1->model()->rowCount() == 3);
        ClickCell(w.DBGrid1, 1, 0);
    });
    EXPECT_EQ(Point(), (Row{2, 0.5f, -3}));
    Open<frmAllLineAttrib>("mnuShowLineData", [&](frmAllLineAttrib& w) {
        EXPECT_EQ(Cells(w.DBGrid1, 1), QStringList({"ID", "2", "X1", " 100", "Y1", " 200", "X2", "-.25", "Y2", " 1E+07", "Color", "16711680"}));
        EXPECT_EQ(w.DBGrid1->model()->rowCount(), 2);
        ClickCell(w.DBGrid1, 1, 0);
    });
    EXPECT_EQ(Line(), (Row{2, 100, 200, -0.25f, 1e7f, 16711680}));
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->details.join("|").toStdString();
    EXPECT_TRUE(stamp() == before && Entries() == entries);
}

TEST_F(Query, TablesThatCannotReadTheirDataCloseWithAMessageAndUnreadableRowsShowNothing) {
    form->pFileName = Path("missing.mdb").toStdString();
    QTimer::singleShot(0, [] {
        if (auto* table = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "a table opened";
            table->reject();
        }
    });
    form->MenuItem("mnuShowPointData")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(messages->shown, QStringList{"不能显示数据"});
    EXPECT_EQ(messages->details, QStringList{Path("missing.mdb") + "\n文件不存在"});
    Peek(Path("odd.mdb"), std::string(kDrawingTables) + "insert into PointTable values (1, null, '2');");
    form->pFileName = Path("odd.mdb").toStdString();
    form->selectedPoint.pntNO = 8;
    Open<frmAllPntAttrib>("mnuShowPointData", [](frmAllPntAttrib& w) { w.ClickRow(0); });
    EXPECT_TRUE(form->selectedPoint.pntNO == -1 && !form->Timer1->isActive());
}

}  // namespace
