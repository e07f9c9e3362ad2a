// The main window's start-up, its command surfaces, the view and the pen,
// the colour of new lines and the blinking selection.
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "support/mainwindow_fixture.h"

namespace {
const QColor kPointColour(255, 0, 244), kYellow(255, 255, 0), kRed(255, 0, 0), kGreen(0, 255, 0);
const QPoint kCentre(469, 288);
}  // namespace

using MainWindow = MainWindowTest;

TEST_F(MainWindow, StartsCentredTwoHundredUnitsHighWithItsControlsNamedAndPlaced) {
    EXPECT_EQ(form->windowTitle(), "Form1");
    EXPECT_EQ(canvas().size(), QSize(938, 577));
    EXPECT_DOUBLE_EQ(form->viewRight, 100.0 * 938 / 577);
    EXPECT_TRUE(form->viewLeft == -form->viewRight && form->viewTop == 100 && form->viewBottom == -100);
    EXPECT_EQ(Px(0, 0), kCentre);
    EXPECT_EQ(Px(form->viewLeft, 100), QPoint(0, 0));
    EXPECT_EQ(Px(0, -99.9), QPoint(469, 576));
    EXPECT_TRUE(form->lineColor == 65535 && form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1);
    EXPECT_TRUE(form->Timer1->isActive() && form->Timer1->interval() == 200);
    const QFontInfo face(form->Command[0]->font());  // else Japanese glyphs are taken
    EXPECT_TRUE(face.family().contains("CJK SC") || face.family() == "SimSun") << face.family().toStdString();

    const QStringList captions = QStringLiteral("开始添加点 开始点拾取 开始点编辑 添加线 线选取 移动线编辑 线节点编辑").split(' ');
    const int lefts[7] = {8, 120, 232, 344, 464, 576, 672};
    for (int i = 0; i < 7; ++i) {
        auto* b = form->findChild<QPushButton*>(QStringLiteral("Command%1").arg(i + 1));
        ASSERT_TRUE(b) << i;
        EXPECT_EQ(b->text(), captions[i]);
        EXPECT_EQ(b->geometry(), QRect(lefts[i], 464, i == 6 ? 129 : 89, 25));
    }
    QComboBox* combo = form->findChild<QComboBox*>("Combo1");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->geometry().topLeft(), QPoint(816, 16));
    EXPECT_EQ(combo->currentText(), "");
    ASSERT_EQ(combo->count(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(combo->itemText(i), QString::number(i + 1));

    QStringList items;  // name and caption of every menu and item, depth first
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            EXPECT_TRUE(a->shortcut().isEmpty());
            if (!a->isSeparator()) items << a->objectName() << a->text();
            if (a->menu()) walk(a->menu()->actions());
        }
    };
    walk(form->menuBar()->actions());
    EXPECT_EQ(items.join(' '),
              "mnuFile 文件 mnuOpenTxt 打开文件 mnuSaveTxt 保存文件 mnuD 数据库 mnuOpenDatasourceFile 打开数据库文件(Data) "
              "mnuSaveDatasourceFile 保存数据库文件2(Data) mnuSaveDatasourceFile2 保存数据库文件(Data) "
              "mnuOpenDatasourceFileForAdo 打开数据库文件(Ado) mnuSaveDatasourceFileForAdo 保存数据库文件(ADO) mnuView 视图 "
              "mnuZoomIn 放大 mnuZoomOut 缩小 mnuPan 平移 mnuDrawP 绘图（点类） mnuAddpnt 添加点 mnuEditPnt 编辑点 "
              "mnuDelePoint 删除点 mnuGetG 拾取 mnuGetPnt 点拾取 mnuGetLine 线拾取 mnuDrawL 绘图（线类） mnuAddLine 添加线 "
              "mnuMoveLine 线移动 mnuEditLineNode 线节点编辑 mnuDeleLine 删除线 mnuQuery 查询 mnuShapeToAttrib 图形到属性 "
              "mnuAttribToShape 属性到图形 mnuShapeOperator 图形数据操作 mnuDataShow 数据显示 mnuShowPointData 显示点数据 "
              "mnuShowLineData 显示线数据 mnuDeleteData 数据删除 mnuModefyData 修改数据");

    const QStringList tools = QStringLiteral("添加点 拾取点 修改点 添加线 拾取线 移动线 线节点编辑 删除线 删除点 颜色 | 缩小 放大").split(' ');
    const QList<QAction*> positions = form->Toolbar1->actions();
    ASSERT_EQ(positions.size(), 13);
    for (int i = 1; i <= 13; ++i) {
        auto* b = qobject_cast<QToolButton*>(form->Toolbar1->widgetForAction(positions[i - 1]));
        ASSERT_EQ(!b, i == 11) << i;  // a separator
        if (!b) continue;
        EXPECT_EQ(b->objectName() + b->text(), QStringLiteral("Toolbar1Button%1").arg(i) + tools[i - 1]);
        EXPECT_EQ(b->toolTip(), i == 9 ? QString() : tools[i - 1]);  // the delete-point button has none
        EXPECT_FALSE(b->icon().isNull());
    }
    EXPECT_LT(form->Toolbar1->geometry().bottom(), canvas().geometry().top());
    EXPECT_GT(form->StatusBar1->geometry().top(), canvas().geometry().bottom());
    for (int i = 1; i <= 4; ++i) {
        auto* panel = form->findChild<QStatusBar*>("StatusBar1")->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i));
        ASSERT_TRUE(panel) << i;
        EXPECT_EQ(panel->text(), "");
    }
}

// Each tool switched on and off from its button, its toolbar button and its
// menu item: its flag, the flags it clears, captions, status and pointer.
TEST_F(MainWindow, ToolsSwitchFromEverySurfaceWithTheirCaptionsStatusAndPointer) {
    struct ToolCase {
        const char *menu, *on, *off;  // captions, null: never changes
        int other;                    // another button whose caption is set
        const char *otherCaption, *panel1, *flagsOn;  // every flag after switching on from all others on
        Qt::CursorShape pointer;
    };
    const ToolCase tools[7] = {
        {"mnuAddpnt", "停止加点", "开始加点", 2, "开始拾取", "当前行为：开始加点", "1000000", Qt::CrossCursor},
        {"mnuGetPnt", "停止拾取", "开始拾取", 1, "开始加点", "当前行为：开始拾取", "0100000", Qt::ArrowCursor},
        {"mnuEditPnt", "停止点编辑", "开始点编辑", 1, "开始加点", "当前行为：开始点编辑", "0010000", Qt::ArrowCursor},
        {"mnuAddLine", nullptr, nullptr, 0, nullptr, nullptr, "0001000", Qt::CrossCursor},
        {"mnuGetLine", "停止线选取", "开始线选取", 0, nullptr, nullptr, "0000100", Qt::ArrowCursor},
        {"mnuMoveLine", "停止线编辑", "开始线编辑", 0, nullptr, nullptr, "0000010", Qt::SizeAllCursor},
        {"mnuEditLineNode", " 停止线节点编辑", " 线节点编辑", 0, nullptr, nullptr, "0100101", Qt::ArrowCursor},
    };
    bool MainState::* const flags[7] = {&MainState::addPntMode,  &MainState::getPntMode,   &MainState::editPntMode,
                                        &MainState::addLineMode, &MainState::getLineMode,  &MainState::moveLineMode,
                                        &MainState::editLineNodeMode};
    auto flagText = [&] {
        std::string s;
        for (auto flag : flags) s += form.get()->*flag ? '1' : '0';
        return s;
    };
    for (int n = 1; n <= 7; ++n) {
        const ToolCase& t = tools[n - 1];
        for (int surface = 0; surface < 3; ++surface) {
            SCOPED_TRACE("Command" + std::to_string(n) + " from surface " + std::to_string(surface));
            for (int i = 0; i < 7; ++i) {
                form.get()->*flags[i] = i != n - 1;
                form->Command[i]->setText("x");
            }
            for (int p = 1; p <= 4; ++p) form->SetPanelText(p, "x");
            canvas().Line(-50, 0, 50, 0, Rgb(0, 255, 0));  // feedback that a refresh removes
            std::string expected = t.flagsOn;
            for (bool on : {true, false}) {
                form->lineClickCount = 1;
                canvas().SetMousePointer(t.pointer == Qt::ArrowCursor ? Canvas::Pointer::Cross : Canvas::Pointer::Default);
                surface == 0 ? Tool(n) : surface == 1 ? ToolbarButton(n) : Menu(t.menu);
                EXPECT_EQ(flagText(), expected);
                for (int i = 0; i < 7; ++i) {
                    const char* own = on ? t.on : t.off;
                    const char* caption = i == n - 1 && own ? own : i == t.other - 1 ? t.otherCaption : "x";
                    EXPECT_EQ(form->Command[i]->text(), QString::fromUtf8(caption)) << "Command" << i + 1;
                }
                EXPECT_EQ(form->PanelText(1), QString::fromUtf8(t.panel1 ? t.panel1 : "x"));
                for (int p = 2; p <= 4; ++p) EXPECT_EQ(form->PanelText(p), n == 2 ? "  " : "x");
                EXPECT_EQ(form->lineClickCount, n == 4 ? 0 : 1);
                EXPECT_EQ(canvas().cursor().shape(), t.pointer);
                EXPECT_EQ(PixelAtWorld(0, 0), Background());
                expected[std::size_t(n - 1)] = '0';  // off again, nothing else changes
            }
        }
    }
}

TEST_F(MainWindow, RepaintDrawsPointsThenLinesInTheirRoundedColour) {
    AddPointRecord(1, 0, 0);
    AddPointRecord(2, 50, 50);
    AddLineRecord(1, -50, -20, 50, -20, 65535.4f);
    AddLineRecord(2, 0, 0, 0, 40, 255.0f);  // over point 1: lines come last
    form->Refresh();
    EXPECT_EQ(PixelAtWorld(50, 50), kPointColour);
    EXPECT_EQ(PixelAtWorld(-49, -20), kYellow);
    EXPECT_EQ(PixelAtWorld(0, 0), kRed);
    EXPECT_EQ(Count(kPointColour), 1);
    form->pntArray.Remove(2);
    form->Refresh();
    EXPECT_EQ(PixelAtWorld(50, 50), Background());
    EXPECT_EQ(canvas().grab().toImage().pixelColor(MousePx(0, -20)), kYellow);  // the window shows the screen
}

// The menu's "放大" and the toolbar's make the drawing larger, both "缩小"
// smaller, by 10 world units at each edge; the centre stays put.
TEST_F(MainWindow, ZoomStepsFromMenuAndToolbarAndTheirLimits) {
    AddPointRecord(1, 0, 0);
    AddLineRecord(1, -20, 30, 20, 30, 65535);
    form->Refresh();
    const double left = form->viewLeft;
    int length = CountInRow(Px(0, 30).y(), kYellow);
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { Menu("mnuZoomIn"); }, 1},  {[&] { Menu("mnuZoomOut"); }, -1}, {[&] { ToolbarButton(13); }, 1},
        {[&] { ToolbarButton(12); }, -1}, {[&] { ToolbarButton(12); }, -1}, {[&] { Menu("mnuZoomIn"); }, 1}};
    for (const auto& [act, inward] : steps) {
        const double l = form->viewLeft, r = form->viewRight;
        const int t = form->viewTop, b = form->viewBottom;
        act();
        EXPECT_TRUE(form->viewLeft == l + 10 * inward && form->viewRight == r - 10 * inward);
        EXPECT_TRUE(form->viewTop == t - 10 * inward && form->viewBottom == b + 10 * inward);
        const int now = CountInRow(Px(0, 30).y(), kYellow);
        EXPECT_TRUE(inward > 0 ? now > length : now < length) << length << " -> " << now;
        length = now;
        EXPECT_EQ(PixelAt(kCentre), kPointColour);
    }
    EXPECT_EQ(form->viewLeft, left);

    // Nine steps in leave 20 units; the tenth would leave none and is refused.
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(form->NarrowView()) << i;
    Menu("mnuZoomIn");
    EXPECT_TRUE(form->viewTop == 10 && form->viewBottom == -10);
    EXPECT_EQ(PixelAt(kCentre), kPointColour);
    form->viewTop = 32750;  // out to where the bottom edge would leave 16 bits
    form->viewBottom = -32750;
    EXPECT_TRUE(form->WidenView());
    EXPECT_FALSE(form->WidenView());
    EXPECT_EQ(form->viewBottom, -32760);
}

TEST_F(MainWindow, PenWidthComesFromAChoiceInTheListOnly) {
    AddPointRecord(1, -50, 50);
    AddLineRecord(1, -40, -30, 40, -30, 65535);
    form->Refresh();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QLineEdit* edit = form->Combo1->lineEdit();
    for (Qt::Key leave : {Qt::Key_Return, Qt::Key_Tab}) {  // typed and confirmed: nothing chosen
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, "5");
        QTest::keyClick(edit, leave);
        EXPECT_EQ(CountInRow(Px(-50, 50).y(), kPointColour), 1) << leave;
    }
    EXPECT_EQ(form->Combo1->currentText(), "5");
    form->Combo1->showPopup();
    QAbstractItemView* view = form->Combo1->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(6, 0)).center());
    const QPoint dot = Px(-50, 50);
    EXPECT_EQ(CountInRow(dot.y(), kPointColour), 7);
    EXPECT_EQ(CountInColumn(dot.x(), kPointColour), 7);
    EXPECT_EQ(CountInRow(dot.y() - 3, kPointColour), 3);  // a disc, not a square
    EXPECT_EQ(CountInColumn(Px(0, -30).x(), kYellow), 7);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Up);  // the arrow keys choose too
    EXPECT_EQ(CountInColumn(Px(0, -30).x(), kYellow), 6);
}

TEST_F(MainWindow, NewLinesTakeTheChosenColourAndACancelKeepsIt) {
    dialog->Color = Rgb(1, 2, 3);  // what the dialog held before
    dialog->colorAnswers = {std::nullopt, Rgb(0, 0, 255)};
    ToolbarButton(10);
    EXPECT_EQ(dialog->colors, 1);
    EXPECT_EQ(form->lineColor, 65535.0f);
    ToolbarButton(10);
    Tool(4);
    Click(-30, 0);
    MoveTo(30, 0);
    Click(30, 0);
    EXPECT_EQ(PixelAtWorld(0, 0), QColor(0, 0, 255));
}

TEST_F(MainWindow, SelectionTimerBlinksNineteenTimesThenRefreshes) {
    AddPointRecord(1, 20, 20);
    form->Refresh();
    const QImage quiet = canvas().Screen().copy();
    for (int i = 0; i < 5; ++i) form->Timer1_Timer();  // the start-up run has nothing to blink
    EXPECT_EQ(canvas().Screen(), quiet);
    form->selectedPoint.pntNO = 3, form->selectedPoint.X = -30, form->selectedPoint.Y = 0;
    form->selectedLine.ID = 1, form->selectedLine.sp.X = 0, form->selectedLine.sp.Y = -40;
    form->selectedLine.ep.X = 60, form->selectedLine.ep.Y = -40;
    form->StartSelectionTimer();
    QColor last;
    for (int tick = 1; tick <= 19; ++tick) {
        ASSERT_TRUE(form->Timer1->isActive());
        form->Timer1_Timer();
        const QColor now = PixelAtWorld(-30, 0);
        ASSERT_TRUE((now == kRed || now == kGreen) && now != last) << tick;
        ASSERT_EQ(PixelAtWorld(30, -40), now) << tick;
        ASSERT_EQ(PixelAt(Px(-30, 0) + QPoint(1, 0)), now) << tick;  // the circle around the point
        last = now;
    }
    form->Timer1_Timer();
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(canvas().Screen(), quiet);
}

TEST_F(MainWindow, ResizeKeepsScaleAndCentreAndClosingAsksNothing) {
    AddPointRecord(1, 30, 0);
    const int distance = Px(30, 0).x() - Px(0, 0).x();
    form->resize(form->size() + QSize(200, 100));
    QTest::qWait(0);
    ASSERT_EQ(canvas().size(), QSize(1138, 677));
    EXPECT_EQ(Px(0, 0), QPoint(569, 338));
    EXPECT_EQ(Px(30, 0).x() - Px(0, 0).x(), distance);
    EXPECT_EQ(PixelAtWorld(30, 0), kPointColour);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->pntArray.Count(), 0);
    EXPECT_TRUE(messages->shown.isEmpty());
}

// The controls on the drawing area are not part of it: the normal arrow
// over them, and moves over them are no moves over the drawing. Status
// texts never change the area's size; the inert items do nothing.
TEST_F(MainWindow, ControlsStatusTextsAndInertItemsLeaveTheDrawingAlone) {
    Tool(4);
    for (QPushButton* b : form->Command) EXPECT_EQ(b->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(form->Combo1->cursor().shape(), Qt::ArrowCursor);
    Click(-100, 60);
    MoveTo(-20, 40);
    const QImage band = canvas().Screen().copy();
    QTest::mouseMove(form->Command[5]);
    QTest::mouseMove(form->Combo1);
    for (const char* text : {"当前行为：开始加点", "坐标：X=1.234568E+07   Y=-0.3333333"})
        for (int panel = 1; panel <= 4; ++panel) form->SetPanelText(panel, QString::fromUtf8(text));
    QTest::qWait(20);
    EXPECT_EQ(canvas().size(), QSize(938, 577));
    for (const char* name : {"mnuPan", "mnuDeleteData", "mnuModefyData"}) Menu(name);
    form->Toolbar1_ButtonClick(11);
    EXPECT_EQ(canvas().Screen(), band);
    EXPECT_TRUE(messages->shown.isEmpty());
}
