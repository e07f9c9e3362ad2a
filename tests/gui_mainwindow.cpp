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
#include <QToolButton>

#include "support/mainwindow_fixture.h"

namespace {
const QColor kPointColour(255, 0, 244);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
}  // namespace

using MainWindow = MainWindowTest;

TEST_F(MainWindow, StartsWithItsDesignStateAndWorldWindow) {
    EXPECT_EQ(form->windowTitle(), "Form1");
    EXPECT_EQ(canvas().size(), QSize(938, 577));
    EXPECT_DOUBLE_EQ(form->viewLeft, -100.0 * 938 / 577);
    EXPECT_EQ(form->viewTop, 100);
    EXPECT_DOUBLE_EQ(form->viewRight, 100.0 * 938 / 577);
    EXPECT_EQ(form->viewBottom, -100);
    EXPECT_NEAR(form->viewRight, 162.56, 0.01);
    EXPECT_EQ(form->lineColor, 65535.0f);
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
    EXPECT_EQ(form->lastPntNO, 0.0f);
    EXPECT_EQ(form->lastLineID, 0.0f);
    EXPECT_FALSE(form->addPntMode || form->getPntMode || form->editPntMode || form->addLineMode ||
                 form->getLineMode || form->moveLineMode || form->editLineNodeMode || form->shapeToAttribMode);
    EXPECT_TRUE(form->pFileName.empty());

    QComboBox* combo = form->findChild<QComboBox*>("Combo1");
    ASSERT_TRUE(combo);
    ASSERT_EQ(combo->count(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(combo->itemText(i), QString::number(i + 1));
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(combo->geometry().topLeft(), QPoint(816, 16));
    EXPECT_EQ(combo->width(), 129);

    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 200);

    // The world maps onto the drawing area: the origin at its centre, y upwards.
    EXPECT_EQ(Px(0, 0), QPoint(469, 288));
    EXPECT_EQ(Px(form->viewLeft, 100), QPoint(0, 0));
    EXPECT_EQ(Px(0, 99.9), QPoint(469, 0));
    EXPECT_EQ(Px(0, -99.9), QPoint(469, 576));
}

class WideMainWindow : public MainWindowTest {
    QSize ClientSize() const override { return {400, 200}; }
};

TEST_F(WideMainWindow, WorldWindowKeepsTheClientProportions) {
    EXPECT_EQ(form->viewLeft, -200.0);
    EXPECT_EQ(form->viewTop, 100);
    EXPECT_EQ(form->viewRight, 200.0);
    EXPECT_EQ(form->viewBottom, -100);
    // The window is wider than asked (the toolbar needs the room); the extra
    // width shows more of the world at the same scale around the same centre.
    const QPoint centre(canvas().width() / 2, canvas().height() / 2);
    EXPECT_EQ(Px(0, 0), centre);
    EXPECT_EQ(Px(-199.9, 99.9), centre - QPoint(200, 100));
    EXPECT_EQ(Px(199.9, -99.9), centre + QPoint(199, 99));
}

TEST_F(MainWindow, RepaintDrawsPointsThenLinesInTheirRoundedColour) {
    AddPointRecord(1, 0, 0);
    AddPointRecord(2, 50, 50);
    AddLineRecord(1, -50, -20, 50, -20, 65535.4f);
    AddLineRecord(2, 0, 0, 0, 40, 255.0f);  // lies over point 1: lines come last
    form->Refresh();
    EXPECT_EQ(PixelAtWorld(50, 50), kPointColour);
    EXPECT_EQ(PixelAtWorld(0, -20), kYellow);
    EXPECT_EQ(PixelAtWorld(-49, -20), kYellow);
    EXPECT_EQ(PixelAtWorld(0, 0), kRed);
    EXPECT_EQ(PixelAtWorld(0, 20), kRed);
    EXPECT_EQ(PixelAtWorld(20, 20), Background());

    // Refresh erases what is no longer in the drawing.
    form->pntArray.Remove(2);
    form->Refresh();
    EXPECT_EQ(PixelAtWorld(50, 50), Background());

    // What the window shows is the screen image.
    const QImage shown = canvas().grab().toImage();
    EXPECT_EQ(shown.pixelColor(Px(0, -20)), kYellow);
}

TEST_F(MainWindow, OriginStaysOnTheCentrePixelThroughZoomSteps) {
    AddPointRecord(1, 0, 0);
    form->Refresh();
    const QPoint centre(469, 288);
    EXPECT_EQ(PixelAt(centre), kPointColour);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(form->NarrowView());
    EXPECT_EQ(PixelAt(centre), kPointColour);
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(form->WidenView());
    EXPECT_EQ(PixelAt(centre), kPointColour);
    EXPECT_EQ(PixelAt(centre + QPoint(1, 0)), Background());
    EXPECT_EQ(PixelAt(centre + QPoint(0, 1)), Background());
}

TEST_F(MainWindow, WidenThenNarrowRestoresTheWorldWindowExactly) {
    const double left = form->viewLeft, right = form->viewRight;
    const int top = form->viewTop, bottom = form->viewBottom;
    ASSERT_TRUE(form->WidenView());
    EXPECT_EQ(form->viewLeft, left - 10);
    EXPECT_EQ(form->viewTop, top + 10);
    EXPECT_EQ(form->viewRight, right + 10);
    EXPECT_EQ(form->viewBottom, bottom - 10);
    ASSERT_TRUE(form->NarrowView());
    EXPECT_EQ(form->viewLeft, left);
    EXPECT_EQ(form->viewTop, top);
    EXPECT_EQ(form->viewRight, right);
    EXPECT_EQ(form->viewBottom, bottom);
    EXPECT_EQ(Px(left + 0.01, top - 0.01), QPoint(0, 0));
}

TEST_F(MainWindow, ZoomStepsThatLeaveNothingVisibleOrOverflowAreRefused) {
    AddPointRecord(1, 0, 0);
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(form->NarrowView()) << "step " << i;
    EXPECT_EQ(form->viewTop, 10);
    EXPECT_EQ(form->viewBottom, -10);
    // The tenth step would leave a visible height of 0.
    EXPECT_FALSE(form->NarrowView());
    EXPECT_FALSE(form->MenuItem("mnuZoomIn") == nullptr);
    form->MenuItem("mnuZoomIn")->trigger();
    EXPECT_EQ(form->viewTop, 10);
    EXPECT_EQ(form->viewBottom, -10);
    EXPECT_EQ(PixelAt({469, 288}), kPointColour);  // still drawn, nothing broke

    // Widening stops before the bottom edge leaves the 16-bit range.
    int steps = 0;
    while (form->WidenView()) ++steps;
    EXPECT_EQ(form->viewBottom, -32760);
    EXPECT_EQ(steps, 3275);
    EXPECT_FALSE(form->WidenView());
    EXPECT_EQ(form->viewBottom, -32760);
}

class TallMainWindow : public MainWindowTest {
    QSize ClientSize() const override { return {100, 400}; }
};

TEST_F(TallMainWindow, NarrowingStopsBeforeTheWidthVanishes) {
    EXPECT_EQ(form->viewLeft, -25.0);
    EXPECT_TRUE(form->NarrowView());  // width 30
    EXPECT_TRUE(form->NarrowView());  // width 10
    EXPECT_FALSE(form->NarrowView());
    EXPECT_EQ(form->viewLeft, -5.0);
    EXPECT_EQ(form->viewRight, 5.0);
}

TEST_F(MainWindow, MenuAndToolbarZoomAgreeWithTheirCaptions) {
    AddLineRecord(1, -20, 0, 20, 0, 65535);
    form->Refresh();
    const int row = Px(0, 0).y();
    const int before = CountInRow(row, kYellow);
    ASSERT_GT(before, 100);

    auto lengthAfter = [&](auto action) {
        action();
        return CountInRow(Px(0, 0).y(), kYellow);
    };
    QToolButton* tbZoomOut = form->findChild<QToolButton*>("Toolbar1Button12");
    QToolButton* tbZoomIn = form->findChild<QToolButton*>("Toolbar1Button13");
    ASSERT_TRUE(tbZoomOut && tbZoomIn);
    EXPECT_EQ(tbZoomOut->text(), "缩小");
    EXPECT_EQ(tbZoomIn->text(), "放大");
    EXPECT_EQ(form->MenuItem("mnuZoomIn")->text(), "放大");
    EXPECT_EQ(form->MenuItem("mnuZoomOut")->text(), "缩小");

    const int afterMenuIn = lengthAfter([&] { form->MenuItem("mnuZoomIn")->trigger(); });
    EXPECT_GT(afterMenuIn, before);
    const int afterMenuOut = lengthAfter([&] { form->MenuItem("mnuZoomOut")->trigger(); });
    EXPECT_EQ(afterMenuOut, before);
    const int afterToolIn = lengthAfter([&] { QTest::mouseClick(tbZoomIn, Qt::LeftButton); });
    EXPECT_EQ(afterToolIn, afterMenuIn);
    const int afterToolOut = lengthAfter([&] { QTest::mouseClick(tbZoomOut, Qt::LeftButton); });
    EXPECT_EQ(afterToolOut, before);
    const int smaller = lengthAfter([&] { QTest::mouseClick(tbZoomOut, Qt::LeftButton); });
    EXPECT_LT(smaller, before);
}

TEST_F(MainWindow, PenWidthFromTheComboAppliesToDotsAndLines) {
    AddPointRecord(1, -50, 50);
    AddLineRecord(1, -40, -30, 40, -30, 65535);
    form->Refresh();
    EXPECT_EQ(CountInRow(Px(-50, 50).y(), kPointColour), 1);

    // Choose "7" from the list as a user would.
    QComboBox* combo = form->Combo1;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QRect item = view->visualRect(view->model()->index(6, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(combo->currentText(), "7");
    EXPECT_EQ(canvas().DrawWidth(), 7);

    const QPoint dot = Px(-50, 50);
    EXPECT_EQ(CountInRow(dot.y(), kPointColour), 7);
    EXPECT_EQ(CountInColumn(dot.x(), kPointColour), 7);
    EXPECT_EQ(CountInRow(dot.y() - 3, kPointColour), 3);  // a disc, not a square
    EXPECT_EQ(PixelAt(dot + QPoint(-3, -3)), Background());
    EXPECT_EQ(CountInColumn(Px(0, -30).x(), kYellow), 7);
}

TEST_F(MainWindow, PenWidthComesOnlyFromAChoiceInTheList) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QComboBox* combo = form->Combo1;
    QLineEdit* edit = combo->lineEdit();
    // Typing a width and leaving the box with Return or Tab chooses nothing.
    for (Qt::Key leave : {Qt::Key_Return, Qt::Key_Tab}) {
        edit->setFocus();
        ASSERT_TRUE(edit->hasFocus());
        edit->clear();
        QTest::keyClicks(edit, "5");
        QTest::keyClick(edit, leave);
        EXPECT_EQ(canvas().DrawWidth(), 1) << leave;
    }
    EXPECT_EQ(combo->currentText(), "5");  // the typed text stays
    // The list still chooses, by the mouse and by the arrow keys.
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(2, 0)).center());
    EXPECT_EQ(canvas().DrawWidth(), 3);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(combo->currentText(), "4");
    EXPECT_EQ(canvas().DrawWidth(), 4);
}

TEST_F(MainWindow, ToolButtonsAreNoPartOfTheDrawingArea) {
    // Over a button or the pen-width box the pointer is the normal arrow,
    // whatever the tool has made of the drawing area's pointer.
    for (int tool : {4, 6}) {
        form->Toolbar1_ButtonClick(tool);
        ASSERT_NE(canvas().cursor().shape(), Qt::ArrowCursor);
        for (QPushButton* b : form->Command) EXPECT_EQ(b->cursor().shape(), Qt::ArrowCursor) << tool;
        EXPECT_EQ(form->Combo1->cursor().shape(), Qt::ArrowCursor) << tool;
    }

    // A move over a button is no move over the drawing: the rubber band stays.
    form->Command4_Click();
    ASSERT_TRUE(form->addLineMode);
    Click(-100, 60);
    MoveTo(-20, 40);
    const QPointF end = World(-20, 40);
    const QImage band = canvas().Screen().copy();
    for (QWidget* over : {static_cast<QWidget*>(form->Command[5]), static_cast<QWidget*>(form->Combo1)}) {
        QTest::mouseMove(over, over->rect().center());
        EXPECT_EQ(form->TmpPoint().X, float(end.x())) << over->objectName().toStdString();
        EXPECT_EQ(form->TmpPoint().Y, float(end.y())) << over->objectName().toStdString();
        EXPECT_EQ(canvas().Screen(), band) << over->objectName().toStdString();
    }
}

TEST_F(MainWindow, DrawingAreaKeepsItsSizeWhenThePanelsGetTheirFirstTexts) {
    ASSERT_EQ(canvas().size(), QSize(938, 577));
    AddPointRecord(1, 30, 30);
    AddLineRecord(1, -40, 0, 40, 0, 65535);
    form->Refresh();
    form->Command2_Click();
    Click(30, 30);
    form->Command5_Click();
    Click(0, 0);  // the first pick of a line: red squares on both nodes
    QTest::qWait(50);  // let a layout change, if any, resize and repaint
    EXPECT_EQ(canvas().size(), QSize(938, 577));
    EXPECT_EQ(form->viewTop, 100);
    EXPECT_EQ(PixelAtWorld(41, 1), kRed);
    EXPECT_EQ(PixelAtWorld(-41, -1), kRed);
    for (const char* text : {"当前行为：开始加点", "坐标：X=1.234568E+07   Y=-0.3333333", "", "  "}) {
        for (int panel = 1; panel <= 4; ++panel) form->SetPanelText(panel, QString::fromUtf8(text));
        QTest::qWait(20);
        EXPECT_EQ(canvas().size(), QSize(938, 577)) << text;
    }
}

TEST_F(MainWindow, ToolButtonsSitAtTheirPlacesWithTheirCaptions) {
    const char* captions[7] = {"开始添加点", "开始点拾取", "开始点编辑", "添加线", "线选取", "移动线编辑", "线节点编辑"};
    const int lefts[7] = {8, 120, 232, 344, 464, 576, 672};
    for (int i = 0; i < 7; ++i) {
        auto* b = form->findChild<QPushButton*>(QStringLiteral("Command%1").arg(i + 1));
        ASSERT_TRUE(b) << i;
        EXPECT_EQ(b->text(), QString::fromUtf8(captions[i]));
        EXPECT_EQ(b->geometry(), QRect(lefts[i], 464, i == 6 ? 129 : 89, 25)) << i;
        EXPECT_EQ(b->parentWidget(), form->canvas);
    }
}

TEST_F(MainWindow, ToolButtonsToggleFlagsCaptionsStatusAndPointer) {
    auto& f = *form;
    QPushButton* c1 = f.Command[0];
    QPushButton* c2 = f.Command[1];

    // Command1 twice: all off, caption back, status kept, cross-hair.
    QTest::mouseClick(c1, Qt::LeftButton);
    EXPECT_TRUE(f.addPntMode);
    EXPECT_EQ(c1->text(), "停止加点");
    EXPECT_EQ(c2->text(), "开始拾取");
    EXPECT_EQ(f.PanelText(1), "当前行为：开始加点");
    EXPECT_EQ(canvas().cursor().shape(), Qt::CrossCursor);
    QTest::mouseClick(c1, Qt::LeftButton);
    EXPECT_FALSE(f.addPntMode || f.getPntMode || f.editPntMode || f.addLineMode || f.getLineMode ||
                 f.moveLineMode || f.editLineNodeMode);
    EXPECT_EQ(c1->text(), "开始加点");
    EXPECT_EQ(f.PanelText(1), "当前行为：开始加点");
    EXPECT_EQ(canvas().cursor().shape(), Qt::CrossCursor);

    // Add point on, then pick line: only pick line stays on, Command1 keeps "停止加点".
    QTest::mouseClick(c1, Qt::LeftButton);
    QTest::mouseClick(f.Command[4], Qt::LeftButton);
    EXPECT_TRUE(f.getLineMode);
    EXPECT_FALSE(f.addPntMode);
    EXPECT_EQ(c1->text(), "停止加点");
    EXPECT_EQ(f.Command[4]->text(), "停止线选取");
    EXPECT_EQ(canvas().cursor().shape(), Qt::ArrowCursor);

    // Command7 keeps pick line on.
    QTest::mouseClick(f.Command[6], Qt::LeftButton);
    EXPECT_TRUE(f.getLineMode);
    EXPECT_TRUE(f.editLineNodeMode);
    EXPECT_EQ(f.Command[6]->text(), " 停止线节点编辑");
    QTest::mouseClick(f.Command[6], Qt::LeftButton);
    EXPECT_FALSE(f.editLineNodeMode);
    EXPECT_EQ(f.Command[6]->text(), " 线节点编辑");

    // The clicked "停止" button switches its tool on again.
    QTest::mouseClick(c1, Qt::LeftButton);
    EXPECT_TRUE(f.addPntMode);
    EXPECT_FALSE(f.getLineMode);

    // Command2 blanks panels 2..4; Command3 sets its status.
    f.SetPanelText(2, "x");
    QTest::mouseClick(c2, Qt::LeftButton);
    EXPECT_TRUE(f.getPntMode);
    EXPECT_FALSE(f.addPntMode);
    EXPECT_EQ(c2->text(), "停止拾取");
    EXPECT_EQ(c1->text(), "开始加点");
    EXPECT_EQ(f.PanelText(1), "当前行为：开始拾取");
    for (int p = 2; p <= 4; ++p) EXPECT_EQ(f.PanelText(p), "  ");
    QTest::mouseClick(f.Command[2], Qt::LeftButton);
    EXPECT_TRUE(f.editPntMode);
    EXPECT_FALSE(f.getPntMode);
    EXPECT_EQ(f.Command[2]->text(), "停止点编辑");
    EXPECT_EQ(f.PanelText(1), "当前行为：开始点编辑");

    // Command6: move line with the four-way pointer.
    QTest::mouseClick(f.Command[5], Qt::LeftButton);
    EXPECT_TRUE(f.moveLineMode);
    EXPECT_FALSE(f.editPntMode);
    EXPECT_EQ(f.Command[5]->text(), "停止线编辑");
    EXPECT_EQ(canvas().cursor().shape(), Qt::SizeAllCursor);
    EXPECT_EQ(f.PanelText(1), "当前行为：开始点编辑");  // panel 1 belongs to Command1..3
    QTest::mouseClick(f.Command[5], Qt::LeftButton);
    EXPECT_EQ(f.Command[5]->text(), "开始线编辑");
}

TEST_F(MainWindow, AddLineButtonResetsTheClickCountOnEveryClick) {
    QPushButton* c4 = form->Command[3];
    form->lineClickCount = 1;
    QTest::mouseClick(c4, Qt::LeftButton);
    EXPECT_TRUE(form->addLineMode);
    EXPECT_EQ(form->lineClickCount, 0);
    EXPECT_EQ(canvas().cursor().shape(), Qt::CrossCursor);
    form->lineClickCount = 1;
    QTest::mouseClick(c4, Qt::LeftButton);
    EXPECT_FALSE(form->addLineMode);
    EXPECT_EQ(form->lineClickCount, 0);
    EXPECT_EQ(c4->text(), "添加线");
    EXPECT_EQ(canvas().cursor().shape(), Qt::CrossCursor);
}

TEST_F(MainWindow, ToolButtonsRefreshTheDrawingArea) {
    AddPointRecord(1, 10, 10);
    form->Refresh();
    canvas().Line(-50, 0, 50, 0, Rgb(0, 255, 0));  // feedback that a refresh removes
    for (int i = 0; i < 7; ++i) {
        canvas().Line(-50, 0, 50, 0, Rgb(0, 255, 0));
        QTest::mouseClick(form->Command[i], Qt::LeftButton);
        EXPECT_EQ(PixelAtWorld(0, 0), Background()) << "Command" << i + 1;
        EXPECT_EQ(PixelAtWorld(10, 10), kPointColour) << "Command" << i + 1;
    }
}

TEST_F(MainWindow, MenuTreeInOrderWithItsNames) {
    struct Item {
        const char* name;
        const char* caption;
    };
    const std::vector<std::pair<Item, std::vector<Item>>> tree = {
        {{"mnuFile", "文件"}, {{"mnuOpenTxt", "打开文件"}, {"mnuSaveTxt", "保存文件"}}},
        {{"mnuD", "数据库"},
         {{"mnuOpenDatasourceFile", "打开数据库文件(Data)"},
          {"mnuSaveDatasourceFile", "保存数据库文件2(Data)"},
          {"mnuSaveDatasourceFile2", "保存数据库文件(Data)"},
          {"mnuse", ""},
          {"mnuOpenDatasourceFileForAdo", "打开数据库文件(Ado)"},
          {"mnuSaveDatasourceFileForAdo", "保存数据库文件(ADO)"}}},
        {{"mnuView", "视图"}, {{"mnuZoomIn", "放大"}, {"mnuZoomOut", "缩小"}, {"mnuPan", "平移"}}},
        {{"mnuDrawP", "绘图（点类）"}, {{"mnuAddpnt", "添加点"}, {"mnuEditPnt", "编辑点"}, {"mnuDelePoint", "删除点"}}},
        {{"mnuGetG", "拾取"}, {{"mnuGetPnt", "点拾取"}, {"mnuGetLine", "线拾取"}}},
        {{"mnuDrawL", "绘图（线类）"},
         {{"mnuAddLine", "添加线"}, {"mnuMoveLine", "线移动"}, {"mnuEditLineNode", "线节点编辑"}, {"mnuDeleLine", "删除线"}}},
        {{"mnuQuery", "查询"}, {{"mnuShapeToAttrib", "图形到属性"}, {"mnuAttribToShape", "属性到图形"}}},
        {{"mnuShapeOperator", "图形数据操作"},
         {{"mnuDataShow", "数据显示"}, {"mnuDeleteData", "数据删除"}, {"mnuModefyData", "修改数据"}}},
    };
    const QList<QAction*> top = form->menuBar()->actions();
    ASSERT_EQ(top.size(), int(tree.size()));
    for (size_t i = 0; i < tree.size(); ++i) {
        EXPECT_EQ(top[i]->objectName(), tree[i].first.name);
        EXPECT_EQ(top[i]->text(), QString::fromUtf8(tree[i].first.caption));
        const QList<QAction*> items = top[i]->menu()->actions();
        ASSERT_EQ(items.size(), int(tree[i].second.size())) << tree[i].first.name;
        for (size_t j = 0; j < items.size(); ++j) {
            EXPECT_EQ(items[j]->objectName(), tree[i].second[j].name);
            EXPECT_EQ(items[j]->text(), QString::fromUtf8(tree[i].second[j].caption));
            EXPECT_TRUE(items[j]->shortcut().isEmpty());
        }
    }
    QAction* separator = form->MenuItem("mnuse");
    EXPECT_TRUE(separator->isSeparator());
    QAction* hidden = form->MenuItem("mnuSaveDatasourceFile");
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_FALSE(hidden->isEnabled());
    QMenu* dataShow = form->findChild<QMenu*>("mnuDataShow");
    ASSERT_TRUE(dataShow);
    ASSERT_EQ(dataShow->actions().size(), 2);
    EXPECT_EQ(dataShow->actions()[0]->objectName(), "mnuShowPointData");
    EXPECT_EQ(dataShow->actions()[0]->text(), "显示点数据");
    EXPECT_EQ(dataShow->actions()[1]->objectName(), "mnuShowLineData");
    EXPECT_EQ(dataShow->actions()[1]->text(), "显示线数据");
}

TEST_F(MainWindow, MenuTwinsRunTheButtonOperations) {
    form->MenuItem("mnuAddpnt")->trigger();
    EXPECT_TRUE(form->addPntMode);
    EXPECT_EQ(form->Command[0]->text(), "停止加点");
    form->MenuItem("mnuGetPnt")->trigger();
    EXPECT_TRUE(form->getPntMode);
    form->MenuItem("mnuEditPnt")->trigger();
    EXPECT_TRUE(form->editPntMode);
    form->MenuItem("mnuAddLine")->trigger();
    EXPECT_TRUE(form->addLineMode);
    form->MenuItem("mnuGetLine")->trigger();
    EXPECT_TRUE(form->getLineMode);
    form->MenuItem("mnuMoveLine")->trigger();
    EXPECT_TRUE(form->moveLineMode);
    EXPECT_EQ(canvas().cursor().shape(), Qt::SizeAllCursor);
    form->MenuItem("mnuEditLineNode")->trigger();
    EXPECT_TRUE(form->editLineNodeMode);
    EXPECT_FALSE(form->moveLineMode);
}

TEST_F(MainWindow, InertItemsDoNothing) {
    AddPointRecord(1, 0, 0);
    form->Refresh();
    const QImage before = canvas().Screen().copy();
    const double left = form->viewLeft;
    for (const char* name : {"mnuPan", "mnuDeleteData", "mnuModefyData"}) form->MenuItem(name)->trigger();
    form->Toolbar1_ButtonClick(11);
    EXPECT_EQ(canvas().Screen(), before);
    EXPECT_EQ(form->viewLeft, left);
    EXPECT_EQ(form->pntArray.Count(), 1);
    EXPECT_TRUE(messages->shown.isEmpty());
}

TEST_F(MainWindow, ToolbarHasThirteenPositionsDispatchedByIndex) {
    const QList<QAction*> actions = form->Toolbar1->actions();
    ASSERT_EQ(actions.size(), 13);
    EXPECT_TRUE(actions[10]->isSeparator());
    const char* captions[13] = {"添加点", "拾取点", "修改点", "添加线", "拾取线", "移动线", "线节点编辑",
                                "删除线", "删除点", "颜色",   "",       "缩小",   "放大"};
    for (int i = 1; i <= 13; ++i) {
        if (i == 11) continue;
        auto* b = qobject_cast<QToolButton*>(form->Toolbar1->widgetForAction(actions[i - 1]));
        ASSERT_TRUE(b) << i;
        EXPECT_EQ(b->objectName(), QStringLiteral("Toolbar1Button%1").arg(i));
        EXPECT_EQ(b->text(), QString::fromUtf8(captions[i - 1]));
        EXPECT_EQ(b->toolTip(), i == 9 ? QString() : QString::fromUtf8(captions[i - 1])) << i;
        EXPECT_FALSE(b->icon().isNull());
    }
    EXPECT_EQ(form->Toolbar1->geometry().top() < form->centralWidget()->geometry().top(), true);

    const bool MainState::* flags[7] = {&MainState::addPntMode,  &MainState::getPntMode,  &MainState::editPntMode,
                                        &MainState::addLineMode, &MainState::getLineMode, &MainState::moveLineMode,
                                        &MainState::editLineNodeMode};
    for (int i = 1; i <= 7; ++i) {
        QTest::mouseClick(form->findChild<QToolButton*>(QStringLiteral("Toolbar1Button%1").arg(i)), Qt::LeftButton);
        EXPECT_TRUE(form.get()->*flags[i - 1]) << i;
    }
}

TEST_F(MainWindow, ColourOfNewLinesComesFromTheDialogUnlessCancelled) {
    QToolButton* colour = form->findChild<QToolButton*>("Toolbar1Button10");
    dialog->colorAnswers = {std::nullopt, Rgb(0, 0, 255)};
    dialog->Color = Rgb(1, 2, 3);  // what the dialog held before: a cancel must not hand it over
    QTest::mouseClick(colour, Qt::LeftButton);
    EXPECT_EQ(dialog->colors, 1);
    EXPECT_EQ(form->lineColor, 65535.0f);
    QTest::mouseClick(colour, Qt::LeftButton);
    EXPECT_EQ(form->lineColor, float(Rgb(0, 0, 255)));
}

TEST_F(MainWindow, ShapeToAttribToggleShowsItsCheckMark) {
    QAction* item = form->MenuItem("mnuShapeToAttrib");
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(form->shapeToAttribMode);
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(form->addPntMode || form->getPntMode);
    item->trigger();
    EXPECT_FALSE(form->shapeToAttribMode);
    EXPECT_FALSE(item->isChecked());
}

TEST_F(MainWindow, StatusBarHasFourEmptyPanels) {
    QStatusBar* bar = form->findChild<QStatusBar*>("StatusBar1");
    ASSERT_TRUE(bar);
    for (int i = 1; i <= 4; ++i) {
        QLabel* panel = bar->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i));
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->text(), "");
    }
    EXPECT_GT(bar->geometry().top(), form->centralWidget()->geometry().bottom());
}

TEST_F(MainWindow, SelectionTimerBlinksNineteenTimesThenRefreshes) {
    AddPointRecord(1, 20, 20);
    form->Refresh();
    // The start-up run draws nothing: both highlight records are empty.
    const QImage quiet = canvas().Screen().copy();
    for (int i = 0; i < 5; ++i) form->Timer1_Timer();
    EXPECT_EQ(canvas().Screen(), quiet);

    form->selectedPoint.pntNO = 3;
    form->selectedPoint.X = -30;
    form->selectedPoint.Y = 0;
    form->selectedLine.ID = 1;
    form->selectedLine.sp.X = 0;
    form->selectedLine.sp.Y = -40;
    form->selectedLine.ep.X = 60;
    form->selectedLine.ep.Y = -40;
    form->StartSelectionTimer();
    EXPECT_EQ(form->ntTimeCount, 0);
    EXPECT_TRUE(form->Timer1->isActive());

    for (int tick = 1; tick <= 19; ++tick) {
        form->Timer1_Timer();
        const QColor expected = form->blinkOn ? kRed : kGreen;
        ASSERT_EQ(PixelAtWorld(-30, 0), expected) << tick;
        ASSERT_EQ(PixelAtWorld(30, -40), expected) << tick;
        // the circle of radius 0.5 around the point
        ASSERT_EQ(PixelAt(Px(-30, 0) + QPoint(1, 0)), expected) << tick;
        ASSERT_TRUE(form->Timer1->isActive());
    }
    const bool phase = form->blinkOn;
    form->Timer1_Timer();
    EXPECT_NE(form->blinkOn, phase);
    EXPECT_EQ(form->ntTimeCount, 20);
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(PixelAtWorld(-30, 0), Background());
    EXPECT_EQ(PixelAtWorld(30, -40), Background());
    EXPECT_EQ(PixelAtWorld(20, 20), kPointColour);
}

TEST_F(MainWindow, ResizeKeepsScaleAndCentre) {
    AddPointRecord(1, 0, 0);
    AddPointRecord(2, 30, 0);
    form->Refresh();
    const int distance = Px(30, 0).x() - Px(0, 0).x();
    form->resize(form->size() + QSize(200, 100));
    QTest::qWait(0);
    ASSERT_EQ(canvas().size(), QSize(1138, 677));
    EXPECT_EQ(Px(0, 0), QPoint(569, 338));
    EXPECT_EQ(Px(30, 0).x() - Px(0, 0).x(), distance);
    EXPECT_EQ(PixelAtWorld(0, 0), kPointColour);  // repainted after the resize
    EXPECT_EQ(PixelAtWorld(30, 0), kPointColour);
    EXPECT_EQ(form->viewLeft, -100.0 * 938 / 577);  // the world window itself is unchanged
}

TEST_F(MainWindow, ClosingDiscardsTheDrawingWithoutAQuestion) {
    AddPointRecord(1, 0, 0);
    AddLineRecord(1, 0, 0, 1, 1, 255);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->pntArray.Count(), 0);
    EXPECT_EQ(form->lineArray.Count(), 0);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, ChineseTextsUseAChineseFace) {
    const QFontInfo info(form->Command[0]->font());
    EXPECT_TRUE(info.family().contains("CJK SC") || info.family() == "SimSun") << info.family().toStdString();
    const QFontMetrics metrics(form->Command[0]->font());
    EXPECT_TRUE(metrics.inFont(QChar(0x70B9)));  // 点
}

TEST_F(MainWindow, ReplacingTheDrawingSetsCountersAndRepaintsButKeepsPicks) {
    AddPointRecord(1, 40, 40);
    form->Refresh();
    auto picked = form->pntArray.Item(1);
    form->pickedPoint = picked;
    form->pFileName = "db";

    PointList points;
    auto p = std::make_shared<CPoint>();
    p->pntNO = 9;
    p->X = -40;
    points.Add(p);
    LineList lines;
    form->ReplaceDrawing(std::move(points), std::move(lines));
    EXPECT_EQ(form->pntArray.Count(), 1);
    EXPECT_EQ(form->lastPntNO, 9.0f);
    EXPECT_EQ(form->lastLineID, 0.0f);
    EXPECT_EQ(form->pickedPoint, picked);
    EXPECT_EQ(form->pFileName, "db");
    EXPECT_EQ(PixelAtWorld(40, 40), Background());
    EXPECT_EQ(PixelAtWorld(-40, 0), QColor(255, 0, 244));

    form->ShowMessage("保存失败");
    EXPECT_EQ(messages->shown, QStringList{"保存失败"});
}
