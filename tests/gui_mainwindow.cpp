// The main window: start-up, command surfaces, view, pen, colour, blinking.
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include "support/mainwindow_fixture.h"
#include "view/toolicons.h"

namespace {
const QColor kPointColour(255, 0, 244), kYellow(255, 255, 0), kRed(255, 0, 0), kGreen(0, 255, 0);
}  // namespace

using MainWindow = MainWindowTest;

TEST_F(MainWindow, StartsCentredTwoHundredUnitsHighWithItsControlsNamedAndPlaced) {
    EXPECT_TRUE(form->windowTitle() == "Form1" && canvas().size() == QSize(938, 577) && form->viewTop == 100);
    EXPECT_TRUE(form->viewRight == 100.0 * 938 / 577 && form->viewLeft == -form->viewRight && form->viewBottom == -100);
    EXPECT_TRUE(MousePx(0, 0) == QPoint(469, 288) && MousePx(form->viewLeft, 100) == QPoint(0, 0) &&
                MousePx(0, -99.9) == QPoint(469, 576));
    const qreal ratio = canvas().Ratio();  // the screen holds the device pixels
    EXPECT_TRUE(qEnvironmentVariable("QT_SCALE_FACTOR") != "2" || ratio == 2.0);
    EXPECT_EQ(canvas().Screen().size(), QSize(int(std::ceil(938 * ratio)), int(std::ceil(577 * ratio))));
    EXPECT_EQ(Px(0, 0), QPoint(int(469 * ratio), int(288.5 * ratio)));
    EXPECT_TRUE(form->lineColor == 65535 && form->selectedPoint.pntNO == -1 && form->selectedLine.ID == -1 &&
                form->Timer1->isActive() && form->Timer1->interval() == 200);
    const QFontInfo face(form->Command[0]->font());  // else Japanese glyphs are taken
    EXPECT_TRUE(face.family().contains("CJK SC") || face.family() == "SimSun") << face.family().toStdString();

    QStringList controls;  // name, caption and place of the buttons; the pen-width box and its items
    for (auto* b : form->findChildren<QPushButton*>(QRegularExpression("^Command")))
        controls << QStringLiteral("%1 %2 %3,%4,%5").arg(b->objectName(), b->text()).arg(b->x()).arg(b->y()).arg(b->width());
    auto* combo = form->findChild<QComboBox*>("Combo1");
    controls << QStringLiteral("Combo1 %1,%2 [%3]").arg(combo->x()).arg(combo->y()).arg(combo->currentText());
    for (int i = 0; i < combo->count(); ++i) controls << combo->itemText(i);
    EXPECT_EQ(controls.join(' '), "Command1 开始添加点 8,464,89 Command2 开始点拾取 120,464,89 Command3 开始点编辑 232,464,89 "
                                  "Command4 添加线 344,464,89 Command5 线选取 464,464,89 Command6 移动线编辑 576,464,89 "
                                  "Command7 线节点编辑 672,464,129 Combo1 816,16 [] 1 2 3 4 5 6 7");
    QStringList items;  // name and caption of every menu and item, depth first; none has a shortcut
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (!a->isSeparator()) items << a->objectName() << a->text() + a->shortcut().toString();
            if (a->menu()) walk(a->menu()->actions());
        }
    };
    walk(form->menuBar()->actions());
    EXPECT_EQ(items.join(' '),
              "mnuFile 文件 mnuOpenTxt 打开文件 mnuSaveTxt 保存文件 mnuD 数据库 mnuOpenDatasourceFile 打开数据库文件(Data) mnuSaveDatasourceFile "
              "保存数据库文件2(Data) mnuSaveDatasourceFile2 保存数据库文件(Data) mnuOpenDatasourceFileForAdo 打开数据库文件(Ado) "
              "mnuSaveDatasourceFileForAdo 保存数据库文件(ADO) mnuView 视图 mnuZoomIn 放大 mnuZoomOut 缩小 mnuPan 平移 mnuDrawP 绘图（点类） "
              "mnuAddpnt 添加点 mnuEditPnt 编辑点 mnuDelePoint 删除点 mnuGetG 拾取 mnuGetPnt 点拾取 mnuGetLine 线拾取 mnuDrawL 绘图（线类） "
              "mnuAddLine 添加线 mnuMoveLine 线移动 mnuEditLineNode 线节点编辑 mnuDeleLine 删除线 mnuQuery 查询 mnuShapeToAttrib 图形到属性 "
              "mnuAttribToShape 属性到图形 mnuShapeOperator 图形数据操作 mnuDataShow 数据显示 mnuShowPointData 显示点数据 "
              "mnuShowLineData 显示线数据 mnuDeleteData 数据删除 mnuModefyData 修改数据");
    QStringList tools;  // each toolbar position: number, caption and tooltip, or a separator
    for (QAction* a : form->Toolbar1->actions()) {
        auto* b = qobject_cast<QToolButton*>(form->Toolbar1->widgetForAction(a));
        tools << (a->isSeparator() ? "|" : b->objectName().mid(14) + b->text() + '/' + b->toolTip());
    }
    EXPECT_EQ(tools.join(' '), "1添加点/添加点 2拾取点/拾取点 3修改点/修改点 4添加线/添加线 5拾取线/拾取线 6移动线/移动线 "
                               "7线节点编辑/线节点编辑 8删除线/删除线 9删除点/ 10颜色/颜色 | 12缩小/缩小 13放大/放大");
    auto* status = form->findChild<QStatusBar*>("StatusBar1");
    EXPECT_TRUE(form->Toolbar1->geometry().bottom() < canvas().y() && status->y() > canvas().geometry().bottom());
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(status->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i))->text(), "");
}

// Each tool on and off from its button, toolbar button and menu item: flags, captions, status, pointer.
TEST_F(MainWindow, ToolsSwitchFromEverySurfaceWithTheirCaptionsStatusAndPointer) {
    // Menu item, captions on and off (null: never changes), another button's caption, status panel 1,
    // every flag after switching on from all others on, and the pointer.
    struct Case { const char *menu, *on, *off; int other; const char *otherCaption, *panel1, *flagsOn; Qt::CursorShape pointer; };
    const Case tools[7] = {
        {"mnuAddpnt", "停止加点", "开始加点", 2, "开始拾取", "当前行为：开始加点", "1000000", Qt::CrossCursor},
        {"mnuGetPnt", "停止拾取", "开始拾取", 1, "开始加点", "当前行为：开始拾取", "0100000", Qt::ArrowCursor},
        {"mnuEditPnt", "停止点编辑", "开始点编辑", 1, "开始加点", "当前行为：开始点编辑", "0010000", Qt::ArrowCursor},
        {"mnuAddLine", nullptr, nullptr, 0, nullptr, nullptr, "0001000", Qt::CrossCursor},
        {"mnuGetLine", "停止线选取", "开始线选取", 0, nullptr, nullptr, "0000100", Qt::ArrowCursor},
        {"mnuMoveLine", "停止线编辑", "开始线编辑", 0, nullptr, nullptr, "0000010", Qt::SizeAllCursor},
        {"mnuEditLineNode", " 停止线节点编辑", " 线节点编辑", 0, nullptr, nullptr, "0100101", Qt::ArrowCursor}};
    bool MainState::* const flags[7] = {&MainState::addPntMode,  &MainState::getPntMode,  &MainState::editPntMode,
                                        &MainState::addLineMode, &MainState::getLineMode, &MainState::moveLineMode,
                                        &MainState::editLineNodeMode};
    for (int n = 1; n <= 7; ++n)
        for (int surface = 0; surface < 3; ++surface) {
            const auto& t = tools[n - 1];
            SCOPED_TRACE("Command" + std::to_string(n) + " from surface " + std::to_string(surface));
            for (int i = 0; i < 7; ++i) form.get()->*flags[i] = i != n - 1, form->Command[i]->setText("x");
            for (int p = 1; p <= 4; ++p) form->SetPanelText(p, "x");
            canvas().Line(-50, 0, 50, 0, Rgb(0, 255, 0));  // feedback that a refresh removes
            std::string expected = t.flagsOn;
            for (const char* own : {t.on, t.off}) {
                form->lineClickCount = 1;
                canvas().SetMousePointer(t.pointer == Qt::ArrowCursor ? Canvas::Pointer::Cross : Canvas::Pointer::Default);
                surface == 0 ? Tool(n) : surface == 1 ? ToolbarButton(n) : Menu(t.menu);
                std::string state;
                for (auto flag : flags) state += form.get()->*flag ? '1' : '0';
                EXPECT_EQ(state, expected);
                for (int i = 0; i < 7; ++i)
                    EXPECT_EQ(form->Command[i]->text(),
                              QString::fromUtf8(i == n - 1 && own ? own : i == t.other - 1 ? t.otherCaption : "x"));
                EXPECT_EQ(form->PanelText(1), QString::fromUtf8(t.panel1 ? t.panel1 : "x"));
                EXPECT_EQ(form->PanelText(2) + form->PanelText(3) + form->PanelText(4), n == 2 ? "      " : "xxx");
                EXPECT_TRUE(form->lineClickCount == (n == 4 ? 0 : 1) && canvas().cursor().shape() == t.pointer);
                EXPECT_EQ(PixelAtWorld(0, 0), Background());
                expected[std::size_t(n - 1)] = '0';  // off again, nothing else changes
            }
        }
}

TEST_F(MainWindow, RepaintDrawsPointsThenLinesInTheirRoundedColour) {
    AddPointRecord(1, 0, 0);
    AddPointRecord(2, 50, 50);
    AddLineRecord(1, 0, -20, 0, 40, 65535.4f);  // over point 1: lines come last
    form->Refresh();
    EXPECT_TRUE(PixelAtWorld(50, 50) == kPointColour && PixelAtWorld(0, 0) == kYellow && Count(kPointColour) == 1);
    EXPECT_EQ(canvas().grab().toImage().pixelColor(MousePx(0, 30)), kYellow);  // the window shows the screen
}

// "放大" (menu and toolbar) makes the drawing larger, "缩小" smaller: 10 units each edge, same centre.
TEST_F(MainWindow, ZoomStepsFromMenuAndToolbarAndTheirLimits) {
    AddPointRecord(1, 0, 0);
    AddLineRecord(1, -20, 30, 20, 30, 65535);
    form->Refresh();
    const double left = form->viewLeft;
    int length = CountInRow(Px(0, 30).y(), kYellow);
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { Menu("mnuZoomIn"); }, 1},  {[&] { Menu("mnuZoomOut"); }, -1}, {[&] { ToolbarButton(13); }, 1},
        {[&] { ToolbarButton(12); }, -1}, {[&] { ToolbarButton(12); }, -1}, {[&] { Menu("mnuZoomIn"); }, 1}};
    for (const auto& [act, in] : steps) {
        const double l = form->viewLeft, r = form->viewRight;
        const int t = form->viewTop, b = form->viewBottom;
        act();
        EXPECT_TRUE(form->viewLeft == l + 10 * in && form->viewRight == r - 10 * in);
        EXPECT_TRUE(form->viewTop == t - 10 * in && form->viewBottom == b + 10 * in && MousePx(0, 0) == QPoint(469, 288));
        const int now = CountInRow(Px(0, 30).y(), kYellow);
        EXPECT_TRUE(in > 0 ? now > length : now < length) << length << " -> " << now;
        length = now;
    }
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(form->viewLeft == left + 10 * i && form->NarrowView()) << i;  // to 20 units
    Menu("mnuZoomIn");  // would leave none: refused
    EXPECT_TRUE(form->viewTop == 10 && form->viewBottom == -10 && PixelAtWorld(0, 0) == kPointColour);
    form->viewTop = 32750, form->viewBottom = -32750;  // out to where the bottom edge would leave 16 bits
    EXPECT_TRUE(form->WidenView() && !form->WidenView() && form->viewBottom == -32760);
}

// Only a choice from the list sets the pen: discs and lines that wide; the finest line stays one pixel.
TEST_F(MainWindow, PenWidthComesFromAChoiceInTheListOnly) {
    AddPointRecord(1, -50, 50);
    AddLineRecord(1, -40, -30, 40, -30, 65535);
    AddLineRecord(2, -100, -80, -100, 80, 255);
    form->Refresh();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QLineEdit* edit = form->Combo1->lineEdit();
    auto widths = [&] {  // of the dot across and down, and of both lines
        const QPoint dot = Px(-50, 50);
        return QStringLiteral("%1 %2 %3 %4").arg(CountInRow(dot.y(), kPointColour)).arg(CountInColumn(dot.x(), kPointColour))
            .arg(CountInColumn(Px(0, -30).x(), kYellow)).arg(CountInRow(Px(-100, 0).y(), kRed));
    };
    for (Qt::Key leave : {Qt::Key_Return, Qt::Key_Tab}) {  // typed and confirmed: nothing chosen
        edit->setFocus();
        edit->setText("5");
        QTest::keyClick(edit, leave);
        EXPECT_EQ(widths(), "1 1 1 1") << leave;
    }
    form->Combo1->showPopup();
    QAbstractItemView* view = form->Combo1->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(6, 0)).center());
    const int seven = int(std::lround(7 * canvas().Ratio()));
    EXPECT_EQ(widths(), QStringLiteral("%1 %1 %1 %1").arg(seven));
    EXPECT_EQ(PixelAt(Px(-50, 50) - QPoint(seven / 2, seven / 2)), Background());  // a disc, not a square
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Up);  // the arrow keys choose too
    EXPECT_EQ(CountInColumn(Px(0, -30).x(), kYellow), int(std::lround(6 * canvas().Ratio())));
}

TEST_F(MainWindow, NewLinesTakeTheChosenColourAndACancelKeepsIt) {
    dialog->Color = Rgb(1, 2, 3);  // what the dialog held before
    dialog->colorAnswers = {std::nullopt, Rgb(0, 0, 255)};
    ToolbarButton(10);
    EXPECT_TRUE(dialog->colors == 1 && form->lineColor == 65535);
    ToolbarButton(10);
    Tool(4);
    Click(-30, 0), MoveTo(30, 0), Click(30, 0);
    EXPECT_EQ(PixelAtWorld(0, 0), QColor(0, 0, 255));
}

TEST_F(MainWindow, SelectionTimerBlinksNineteenTimesThenRefreshes) {
    AddPointRecord(1, 20, 20);
    form->Refresh();
    const QImage quiet = canvas().Screen().copy();
    form->selectedPoint = CPoint{3, -30, 0, false};
    form->selectedLine = CLine{1, {0, 0, -40, false}, {0, 60, -40, false}, false, 0};
    form->StartSelectionTimer();
    for (int tick = 1; tick <= 19; ++tick) {
        ASSERT_TRUE(form->Timer1->isActive());
        form->Timer1_Timer();
        const QColor now = PixelAtWorld(-30, 0);
        ASSERT_EQ(now, tick % 2 ? kRed : kGreen) << tick;  // red first
        ASSERT_TRUE(PixelAtWorld(30, -40) == now && PixelAt(Px(-30, 0) + QPoint(1, 0)) == now) << tick;  // and the circle
    }
    form->Timer1_Timer();
    EXPECT_TRUE(!form->Timer1->isActive() && canvas().Screen() == quiet);
}

// A resize keeps scale and centre; controls on the drawing area, status texts
// and the inert items leave the drawing alone; closing asks nothing.
TEST_F(MainWindow, ResizeControlsStatusTextsInertItemsAndClosingLeaveTheDrawingAlone) {
    AddPointRecord(1, 30, 0);
    const int distance = MousePx(30, 0).x() - MousePx(0, 0).x();
    form->resize(form->size() + QSize(200, 100));
    QTest::qWait(0);
    ASSERT_EQ(canvas().size(), QSize(1138, 677));
    EXPECT_TRUE(MousePx(0, 0) == QPoint(569, 338) && MousePx(30, 0).x() - 569 == distance && PixelAtWorld(30, 0) == kPointColour);
    Tool(4);
    Click(-100, 60), MoveTo(-20, 40);
    const QImage band = canvas().Screen().copy();
    for (QWidget* control : form->canvas->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_EQ(control->cursor().shape(), Qt::ArrowCursor) << control->objectName().toStdString();
        QTest::mouseMove(control);
    }
    for (int panel = 1; panel <= 4; ++panel) form->SetPanelText(panel, "坐标：X=1.234568E+07   Y=-0.3333333");
    for (const char* name : {"mnuPan", "mnuDeleteData", "mnuModefyData"}) Menu(name);
    form->Toolbar1_ButtonClick(11);
    QTest::qWait(20);
    EXPECT_TRUE(canvas().size() == QSize(1138, 677) && canvas().Screen() == band);
    EXPECT_TRUE(form->close() && form->pntArray.Empty() && messages->shown.isEmpty());
}

// Moved to a screen of another ratio (CTest gives two: tests/support/two_screens.json), the
// window paints its drawing anew at that screen's pixels.
using HiDpi = MainWindowTest;
TEST_F(HiDpi, MovingToAScreenOfAnotherRatioPaintsAtItsPixels) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        GTEST_SKIP() << "needs two screens of different ratios";
    AddLineRecord(1, -60, 30, 60, 30, 65535);
    QScreen* other = screens[0] == form->screen() ? screens[1] : screens[0];
    form->windowHandle()->setScreen(other);
    form->move(other->geometry().topLeft() + QPoint(20, 20));
    QTRY_COMPARE(canvas().devicePixelRatioF(), other->devicePixelRatio());
    canvas().repaint();
    EXPECT_EQ(canvas().Ratio(), other->devicePixelRatio());
    EXPECT_EQ(canvas().Screen().width(), int(std::ceil(938 * canvas().Ratio())));
    EXPECT_TRUE(canvas().Screen() == form->RenderDrawing(1) && PixelAtWorld(0, 30) == QColor(255, 255, 0));
}

// Each toolbar icon shows what its tool works on: the pink point, the amber
// line, the magnifier's lens.
TEST(ToolIcons, ShowWhatTheirToolWorksOn) {
    // Whether the icon has a nearly opaque pixel within `area` near `want` (any colour when invalid).
    auto shows = [](int index, QColor want, QRect area = QRect(0, 0, 24, 24)) {
        const QImage icon = ToolIcon(index).pixmap(24, 24).toImage();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (const QColor c = icon.pixelColor(x, y); c.alpha() > 200 && (!want.isValid() ||
                    std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) + std::abs(c.blue() - want.blue()) < 24))
                    return true;
        return false;
    };
    for (int i : {1, 2, 3, 9}) EXPECT_TRUE(shows(i, QColor(255, 0, 244))) << i;
    for (int i : {4, 5, 6, 7, 8}) EXPECT_TRUE(shows(i, QColor(200, 160, 0))) << i;
    for (int i : {12, 13}) EXPECT_TRUE(shows(i, QColor(), QRect(3, 3, 14, 3))) << i;  // the lens's top
    EXPECT_FALSE(shows(11, QColor()));  // the separator's place has none
}
