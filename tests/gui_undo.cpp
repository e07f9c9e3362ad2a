// Undo and redo in the real main window: the window's shortcuts, every kind
// of change made with the mouse, the menus and the toolbar, checked on the
// records and on the drawing area's pixels.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <vector>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

const QColor kPointColour(255, 0, 244);
const QColor kGreen(0, 255, 0);

// The drawing as records: which objects, in which order, with which values.
struct Records {
    std::vector<std::shared_ptr<CPoint>> points;
    std::vector<std::array<float, 3>> pointValues;
    std::vector<std::shared_ptr<CLine>> lines;
    std::vector<std::array<float, 6>> lineValues;
    float lastPntNO, lastLineID;

    explicit Records(const frmmain& f) : lastPntNO(f.lastPntNO), lastLineID(f.lastLineID) {
        for (const auto& p : f.pntArray) {
            points.push_back(p);
            pointValues.push_back({p->pntNO, p->X, p->Y});
        }
        for (const auto& l : f.lineArray) {
            lines.push_back(l);
            lineValues.push_back({l->ID, l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, l->color});
        }
    }
    bool SameDrawing(const Records& o) const {
        return points == o.points && pointValues == o.pointValues && lines == o.lines && lineValues == o.lineValues;
    }
};

class UndoTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Keys go where the user's keys go: to the widget with the focus.
    void Keys(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : form.get(), key, modifiers);
    }
    void CtrlZ() { Keys(Qt::Key_Z, Qt::ControlModifier); }
    void CtrlY() { Keys(Qt::Key_Y, Qt::ControlModifier); }
    void CtrlShiftZ() { Keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

    // The area shows the drawing and nothing else, as a full repaint would.
    bool AreaIsRefreshed() {
        const QImage shown = canvas().Screen().copy();
        form->Refresh();
        return shown == canvas().Screen();
    }

    void Menu(const char* item) { form->MenuItem(item)->trigger(); }
    void ToolbarButton(int index) {
        auto* button = form->findChild<QToolButton*>(QStringLiteral("Toolbar1Button%1").arg(index));
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir dir;
};

// ---- every kind of change, undone and redone ----

class EveryChange;
struct ChangeCase {
    const char* name;
    void (EveryChange::*arrange)();  // not a change of its own
    void (EveryChange::*change)();
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class EveryChange : public UndoTest, public ::testing::WithParamInterface<ChangeCase> {
public:
    void Tool(int number) { QTest::mouseClick(form->Command[std::size_t(number - 1)], Qt::LeftButton); }
    void ThreePointsAndThreeLines() {
        AddPointRecord(1, -100, 60);
        AddPointRecord(2, -60, 60);
        AddPointRecord(3, -20, 60);
        AddLineRecord(1, -120, -80, -40, -80, 255);
        AddLineRecord(2, -120, -50, -40, -20, 65280);
        AddLineRecord(3, 20, -80, 120, -40, 16711680);
        form->lastPntNO = form->lastLineID = 3;
    }

    void AddPointTool() { Tool(1); }
    void AddPoint() { Click(30, 40); }
    void AddLineTool() { Tool(4); }
    void AddLine() {
        Click(-60, -30);
        MoveTo(20, 50);
        Click(20, 50);
    }
    void EditPointTool() {
        ThreePointsAndThreeLines();
        Tool(3);
    }
    void DragPoint() {
        Press(-60, 60);
        MoveTo(-10, 20);
        MoveTo(50, 10);
        Release(50, 10);
    }
    void MoveLineTool() {
        ThreePointsAndThreeLines();
        Tool(6);
    }
    void MoveLine() {
        Press(-80, -35);
        MoveTo(-40, 0);
        MoveTo(0, 30);
        Release(0, 30);
    }
    void NodeToolOnALine() {
        ThreePointsAndThreeLines();
        Tool(7);
        Click(70, -60);  // chooses line 3
    }
    void MoveNode() {
        Press(120, -40);
        MoveTo(100, 20);
        MoveTo(90, 70);
        Release(90, 70);
    }
    void PickAPoint() {
        ThreePointsAndThreeLines();
        Tool(2);
        Click(-60, 60);
    }
    void DeletePointFromTheToolbar() { ToolbarButton(9); }
    void PickALine() {
        ThreePointsAndThreeLines();
        Tool(5);
        Click(-80, -35);
    }
    void DeleteLineFromTheMenu() { Menu("mnuDeleLine"); }
    void LoadTextFile() {
        const QString file = dir.filePath(QStringLiteral("drawing.myd"));
        testfiles::WriteBytes(file.toStdString(), "1 1 10 10\r\n1 2 20 -10\r\n2 1 0 0 50 50  65535\r\n");
        dialog->fileAnswers.push_back(file);
        Menu("mnuOpenTxt");
    }
    // The database holds one drawing, the window shows another.
    void DatabaseAndAnotherDrawing() {
        AddPointRecord(7, 80, 80);
        AddLineRecord(9, -80, 80, 80, -80, 16711935);
        database = dir.filePath(QStringLiteral("drawing.mdb"));
        dialog->fileAnswers.push_back(database);
        Menu("mnuSaveDatasourceFile2");
        form->pntArray.Clear();
        form->lineArray.Clear();
        ThreePointsAndThreeLines();
        form->lastPntNO = 12;
    }
    void LoadDatabase() {
        dialog->fileAnswers.push_back(database);
        Menu("mnuOpenDatasourceFile");
    }

    QString database;
};

const ChangeCase kChanges[] = {
    {"AddPoint", &EveryChange::AddPointTool, &EveryChange::AddPoint},
    {"AddLine", &EveryChange::AddLineTool, &EveryChange::AddLine},
    {"PointDrag", &EveryChange::EditPointTool, &EveryChange::DragPoint},
    {"LineMove", &EveryChange::MoveLineTool, &EveryChange::MoveLine},
    {"NodeMove", &EveryChange::NodeToolOnALine, &EveryChange::MoveNode},
    {"DeletePoint", &EveryChange::PickAPoint, &EveryChange::DeletePointFromTheToolbar},
    {"DeleteLine", &EveryChange::PickALine, &EveryChange::DeleteLineFromTheMenu},
    {"LoadOfATextFile", &EveryChange::ThreePointsAndThreeLines, &EveryChange::LoadTextFile},
    {"LoadOfADatabase", &EveryChange::DatabaseAndAnotherDrawing, &EveryChange::LoadDatabase},
};

}  // namespace

TEST_P(EveryChange, UndoneAndRedoneWithItsRecordsAndPixels) {
    (this->*GetParam().arrange)();
    form->Refresh();
    const Records before(*form);
    const QImage beforeImage = canvas().Screen().copy();
    const std::size_t steps = form->history.UndoSteps();

    (this->*GetParam().change)();
    const Records after(*form);
    ASSERT_FALSE(after.SameDrawing(before)) << "the change changed nothing";
    ASSERT_EQ(form->history.UndoSteps(), steps + 1) << "one change, one step";
    ASSERT_TRUE(messages->shown.isEmpty());
    const float pnt = std::max(before.lastPntNO, after.lastPntNO);
    const float line = std::max(before.lastLineID, after.lastLineID);

    CtrlZ();
    EXPECT_TRUE(Records(*form).SameDrawing(before));
    EXPECT_TRUE(canvas().Screen() == beforeImage) << "the area shows the drawing of before";
    EXPECT_EQ(form->lastPntNO, pnt);  // counters never go back
    EXPECT_EQ(form->lastLineID, line);

    CtrlY();
    EXPECT_TRUE(Records(*form).SameDrawing(after));
    EXPECT_TRUE(AreaIsRefreshed());
    EXPECT_FALSE(canvas().Screen() == beforeImage);
    EXPECT_EQ(form->lastPntNO, pnt);
    EXPECT_EQ(form->lastLineID, line);

    CtrlZ();
    CtrlShiftZ();
    EXPECT_TRUE(Records(*form).SameDrawing(after));
    EXPECT_TRUE(AreaIsRefreshed());
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryChange, ::testing::ValuesIn(kChanges),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

// The very record comes back in its place, and stays the picked one: the
// delete works on it again.
TEST_F(UndoTest, UndoAfterDeleteRestoresTheRecordInItsPlace) {
    auto a = AddPointRecord(1, -50, 0);
    auto b = AddPointRecord(2, 0, 0);
    auto twin = AddPointRecord(2, 50, 0);  // same number, another record
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    Click(50, 0);
    ToolbarButton(9);
    ASSERT_EQ(form->pntArray.Count(), 2);
    EXPECT_EQ(PixelAtWorld(50, 0), Background());
    CtrlZ();
    ASSERT_EQ(form->pntArray.Count(), 3);
    EXPECT_EQ(form->pntArray.Item(1), a);
    EXPECT_EQ(form->pntArray.Item(2), b);
    EXPECT_EQ(form->pntArray.Item(3), twin);
    EXPECT_EQ(PixelAtWorld(50, 0), kPointColour);
    EXPECT_EQ(CountInImage(kPointColour), 3);
    ToolbarButton(9);
    EXPECT_EQ(form->pntArray.Count(), 2);
    EXPECT_EQ(form->pntArray.Item(2), b);
}

TEST_F(UndoTest, ANewChangeEndsRedoAndNumbersAreNotHandedOutTwice) {
    QTest::mouseClick(form->Command[0], Qt::LeftButton);
    Click(-60, 0);
    Click(-30, 0);
    Click(0, 0);
    CtrlZ();
    CtrlZ();
    ASSERT_EQ(form->pntArray.Count(), 1);
    EXPECT_EQ(CountInImage(kPointColour), 1);
    Click(30, 0);
    ASSERT_EQ(form->pntArray.Count(), 2);
    EXPECT_EQ(form->pntArray.Item(2)->pntNO, 4.0f);
    CtrlY();
    CtrlShiftZ();
    EXPECT_EQ(form->pntArray.Count(), 2);
    EXPECT_FALSE(form->RedoChange());
    EXPECT_EQ(PixelAtWorld(-30, 0), Background());

    // At least a hundred steps back.
    for (int i = 0; i < 110; ++i) Click(-150 + 2.5 * i, 80);
    int undone = 0;
    while (form->UndoChange()) ++undone;
    EXPECT_GE(undone, 100);
    EXPECT_EQ(form->pntArray.Count(), 112 - undone);
    EXPECT_EQ(form->lastPntNO, 114.0f);
}

// Undo and redo end the add-line gesture and drags first, as a tool button
// ends them; an undo in the middle of a drag takes back that drag.
TEST_F(UndoTest, AGestureUnderWayEndsFirst) {
    QTest::mouseClick(form->Command[3], Qt::LeftButton);
    Click(-80, -50);
    MoveTo(-20, -50);
    Click(-20, -50);
    Click(0, 40);  // the first click of a second line
    MoveTo(60, 70);
    ASSERT_GT(CountInImage(kGreen), 0);
    CtrlZ();
    EXPECT_EQ(CountInImage(kGreen), 0);
    EXPECT_TRUE(form->lineArray.Empty());
    EXPECT_EQ(form->lineClickCount, 0);
    EXPECT_TRUE(form->addLineMode);
    MoveTo(70, 80);
    EXPECT_EQ(CountInImage(kGreen), 0);  // no rubber band any more

    auto p = AddPointRecord(5, 10, 10);
    QTest::mouseClick(form->Command[2], Qt::LeftButton);
    Press(10, 10);
    MoveTo(60, -40);
    const QPointF dragged = World(60, -40);
    CtrlZ();
    EXPECT_EQ(p->X, 10.0f);
    EXPECT_EQ(p->Y, 10.0f);
    EXPECT_EQ(PixelAtWorld(10, 10), kPointColour);
    EXPECT_EQ(CountInImage(kPointColour), 1);
    MoveTo(80, -60);  // the button is still down: nothing follows it
    Release(80, -60);
    EXPECT_EQ(p->X, 10.0f);
    CtrlY();
    EXPECT_EQ(p->X, float(dragged.x()));
    EXPECT_EQ(p->Y, float(dragged.y()));
    EXPECT_EQ(PixelAtWorld(p->X, p->Y), kPointColour);
}

// The keys are the window's: they work while the pen-width box has the focus,
// and leave its text alone.
TEST_F(UndoTest, ShortcutsWorkWhereverTheFocusIs) {
    EXPECT_EQ(QApplication::focusWidget(), form->canvas);
    QTest::mouseClick(form->Command[0], Qt::LeftButton);
    Click(0, 0);
    form->Combo1->setFocus();
    QTest::keyClicks(form->Combo1, "3");
    ASSERT_EQ(QApplication::focusWidget(), form->Combo1);
    CtrlZ();
    EXPECT_TRUE(form->pntArray.Empty());
    EXPECT_EQ(form->Combo1->currentText(), "3");
    CtrlY();
    EXPECT_EQ(form->pntArray.Count(), 1);
    Click(20, 0);  // a click on the drawing area gives it the focus back
    EXPECT_EQ(QApplication::focusWidget(), form->canvas);
}
