#include "view/frmmain.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "editing/mousetools.h"
#include "model/numtext.h"
#include "platform/listcombo.h"
#include "platform/twips.h"
#include "query/infowindows.h"
#include "view/toolicons.h"

namespace {

const uint32_t kPointRgb = Rgb(255, 0, 244);
const uint32_t kBlinkRed = Rgb(255, 0, 0);
const uint32_t kBlinkGreen = Rgb(0, 255, 0);
constexpr int kBlinkTicks = 20;

}  // namespace

// The main window as the mouse tools see it.
class frmmain::Surface : public EditorSurface {
public:
    explicit Surface(frmmain& form) : f_(form) {}

    void Refresh() override { f_.Refresh(); }
    void Dot(float x, float y, uint32_t rgb) override { f_.canvas->PSet(x, y, rgb); }
    void Line(float x1, float y1, float x2, float y2, uint32_t rgb) override { f_.canvas->Line(x1, y1, x2, y2, rgb); }
    void Box(float x1, float y1, float x2, float y2, uint32_t rgb) override { f_.canvas->Box(x1, y1, x2, y2, rgb); }
    uint32_t BackColor() const override { return f_.canvas->BackColor(); }

    void SetPointer(MousePointer pointer) override {
        switch (pointer) {
        case MousePointer::Default: f_.canvas->SetMousePointer(Canvas::Pointer::Default); break;
        case MousePointer::Cross: f_.canvas->SetMousePointer(Canvas::Pointer::Cross); break;
        case MousePointer::SizeAll: f_.canvas->SetMousePointer(Canvas::Pointer::SizeAll); break;
        }
    }
    void SetPanel(int panel, const std::string& text) override { f_.SetPanelText(panel, QString::fromStdString(text)); }

    void ShowPointInfo(const CPoint& point) override {
        if (!f_.pntInfo_) f_.pntInfo_ = new frmPntInfo(&f_);
        f_.pntInfo_->Fill(point);
        f_.pntInfo_->ShowBesideOwner();
    }
    void HidePointInfo() override {
        if (f_.pntInfo_) f_.pntInfo_->hide();
    }
    void ShowLineInfo(const CLine& line) override {
        if (!f_.lineInfo_) f_.lineInfo_ = new frmLineInfo(&f_);
        f_.lineInfo_->Fill(line);
        f_.lineInfo_->ShowBesideOwner();
    }
    void HideLineInfo() override {
        if (f_.lineInfo_) f_.lineInfo_->hide();
    }

    void Message(const std::string& text) override { f_.ShowMessage(QString::fromStdString(text)); }

private:
    frmmain& f_;
};

// One row of the tool-button table: what a click toggles and what it sets when
// the tool is turned on.
struct frmmain::ToolButton {
    int number;                      // Command<number>
    bool MainState::* flag;
    bool refreshAfter;               // Command1 refreshes after the toggle, the others before
    const char* captionOn;           // nullptr: caption never changes
    const char* captionOff;
    int otherButton;                 // another button whose caption is set when turned on, 0 for none
    const char* otherCaption;
    const char* panel1;              // status panel 1 when turned on, nullptr: unchanged
    bool blankPanels;                // panels 2..4 become two blanks when turned on
    std::initializer_list<bool MainState::*> cleared;  // flags cleared when turned on
    Canvas::Pointer pointer;         // set after every click, on or off
    bool resetsLineClicks;           // lineClickCount = 0 on every click
};

namespace {
using S = MainState;
using P = Canvas::Pointer;
}  // namespace

frmmain::frmmain(QSize clientSize, QWidget* parent)
    : QMainWindow(parent),
      CommonDialog1(std::make_unique<QtCommonDialog>()),
      messageBox(std::make_unique<QtMessageBox>()),
      surface_(std::make_unique<Surface>(*this)) {
    setWindowTitle(QStringLiteral("Form1"));
    canvas = new Canvas(clientSize, this);
    canvas->setObjectName(QStringLiteral("canvas"));
    setCentralWidget(canvas);

    BuildToolButtons();
    BuildMenus();
    BuildToolbar();
    BuildStatusBar();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &frmmain::Timer1_Timer);

    connect(canvas, &Canvas::PaintRequest, this, &frmmain::Refresh);
    connect(canvas, &Canvas::MouseDown, this, &frmmain::Form_MouseDown);
    connect(canvas, &Canvas::MouseMove, this, &frmmain::Form_MouseMove);
    connect(canvas, &Canvas::MouseUp, this, &frmmain::Form_MouseUp);

    FormLoad(clientSize);
    BuildNavigation();
    resize(sizeHint());
    Timer1->start();
}

frmmain::~frmmain() = default;

void frmmain::FormLoad(QSize clientSize) {
    const double H = clientSize.height(), W = clientSize.width();
    viewLeft = -100.0 * W / H;
    viewTop = 100;
    viewRight = 100.0 * W / H;
    viewBottom = -100;
    canvas->SetScale(viewLeft, viewTop, viewRight, viewBottom);
    lineColor = static_cast<float>(Rgb(255, 255, 0));
    for (int i = 1; i <= 7; ++i) Combo1->addItem(QString::number(i));
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QString());
    selectedPoint = CPoint{};
    selectedPoint.pntNO = -1.0f;
    selectedLine = CLine{};
    selectedLine.ID = -1.0f;
}

// ---- building the surfaces ----

namespace {
// The controls that lie on the drawing area are not part of it: over them the
// pointer is the normal arrow, and a move over them is no move over the drawing.
void KeepOffTheDrawing(QWidget* control) {
    control->setCursor(Qt::ArrowCursor);
    control->setAttribute(Qt::WA_NoMousePropagation);
}
}  // namespace

void frmmain::BuildToolButtons() {
    static const char* const captions[7] = {"开始添加点", "开始点拾取", "开始点编辑", "添加线",
                                            "线选取",     "移动线编辑", "线节点编辑"};
    static const int lefts[7] = {120, 1800, 3480, 5160, 6960, 8640, 10080};
    static const int widths[7] = {1335, 1335, 1335, 1335, 1335, 1335, 1935};
    for (int i = 0; i < 7; ++i) {
        QPushButton* b = new QPushButton(QString::fromUtf8(captions[i]), canvas);
        b->setObjectName(QStringLiteral("Command%1").arg(i + 1));
        b->setGeometry(TwipsRect(lefts[i], 6960, widths[i], 375));
        b->setFocusPolicy(Qt::TabFocus);
        KeepOffTheDrawing(b);
        Command[i] = b;
    }
    connect(Command[0], &QPushButton::clicked, this, &frmmain::Command1_Click);
    connect(Command[1], &QPushButton::clicked, this, &frmmain::Command2_Click);
    connect(Command[2], &QPushButton::clicked, this, &frmmain::Command3_Click);
    connect(Command[3], &QPushButton::clicked, this, &frmmain::Command4_Click);
    connect(Command[4], &QPushButton::clicked, this, &frmmain::Command5_Click);
    connect(Command[5], &QPushButton::clicked, this, &frmmain::Command6_Click);
    connect(Command[6], &QPushButton::clicked, this, &frmmain::Command7_Click);

    Combo1 = new QComboBox(canvas);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    ChooseOnlyFromList(Combo1);
    KeepOffTheDrawing(Combo1);
    const QRect r = TwipsRect(12240, 240, 1935, 0);
    Combo1->setGeometry(r.left(), r.top(), r.width(), Combo1->sizeHint().height());
    connect(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
}

void frmmain::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto submenu = [](QMenu* parentMenu, QMenuBar* parentBar, const char* name, const char* caption) {
        QMenu* m = parentMenu ? parentMenu->addMenu(QString::fromUtf8(caption))
                              : parentBar->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (frmmain::*handler)()) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        if (handler) connect(a, &QAction::triggered, this, handler);
        return a;
    };

    QMenu* file = submenu(nullptr, bar, "mnuFile", "文件");
    item(file, "mnuOpenTxt", "打开文件", &frmmain::mnuOpenTxt_Click);
    item(file, "mnuSaveTxt", "保存文件", &frmmain::mnuSaveTxt_Click);

    QMenu* db = submenu(nullptr, bar, "mnuD", "数据库");
    item(db, "mnuOpenDatasourceFile", "打开数据库文件(Data)", &frmmain::mnuOpenDatasourceFile_Click);
    QAction* hiddenFill =
        item(db, "mnuSaveDatasourceFile", "保存数据库文件2(Data)", &frmmain::mnuSaveDatasourceFile_Click);
    hiddenFill->setVisible(false);
    hiddenFill->setEnabled(false);
    item(db, "mnuSaveDatasourceFile2", "保存数据库文件(Data)", &frmmain::mnuSaveDatasourceFile2_Click);
    db->addSeparator()->setObjectName(QStringLiteral("mnuse"));
    item(db, "mnuOpenDatasourceFileForAdo", "打开数据库文件(Ado)", &frmmain::mnuOpenDatasourceFileForAdo_Click);
    item(db, "mnuSaveDatasourceFileForAdo", "保存数据库文件(ADO)", &frmmain::mnuSaveDatasourceFileForAdo_Click);

    // "放大" enlarges the drawing and "缩小" shrinks it, as on the toolbar.
    QMenu* view = submenu(nullptr, bar, "mnuView", "视图");
    connect(item(view, "mnuZoomIn", "放大", nullptr), &QAction::triggered, this, [this] { NarrowView(); });
    connect(item(view, "mnuZoomOut", "缩小", nullptr), &QAction::triggered, this, [this] { WidenView(); });
    item(view, "mnuPan", "平移", nullptr);

    QMenu* drawP = submenu(nullptr, bar, "mnuDrawP", "绘图（点类）");
    item(drawP, "mnuAddpnt", "添加点", &frmmain::Command1_Click);
    item(drawP, "mnuEditPnt", "编辑点", &frmmain::Command3_Click);
    item(drawP, "mnuDelePoint", "删除点", &frmmain::mnuDelePoint_Click);

    QMenu* get = submenu(nullptr, bar, "mnuGetG", "拾取");
    item(get, "mnuGetPnt", "点拾取", &frmmain::Command2_Click);
    item(get, "mnuGetLine", "线拾取", &frmmain::Command5_Click);

    QMenu* drawL = submenu(nullptr, bar, "mnuDrawL", "绘图（线类）");
    item(drawL, "mnuAddLine", "添加线", &frmmain::Command4_Click);
    item(drawL, "mnuMoveLine", "线移动", &frmmain::Command6_Click);
    item(drawL, "mnuEditLineNode", "线节点编辑", &frmmain::Command7_Click);
    item(drawL, "mnuDeleLine", "删除线", &frmmain::mnuDeleLine_Click);

    QMenu* query = submenu(nullptr, bar, "mnuQuery", "查询");
    item(query, "mnuShapeToAttrib", "图形到属性", &frmmain::mnuShapeToAttrib_Click)->setCheckable(true);
    item(query, "mnuAttribToShape", "属性到图形", &frmmain::mnuAttribToShape_Click);

    QMenu* shapeOp = submenu(nullptr, bar, "mnuShapeOperator", "图形数据操作");
    QMenu* dataShow = submenu(shapeOp, nullptr, "mnuDataShow", "数据显示");
    item(dataShow, "mnuShowPointData", "显示点数据", &frmmain::mnuShowPointData_Click);
    item(dataShow, "mnuShowLineData", "显示线数据", &frmmain::mnuShowLineData_Click);
    item(shapeOp, "mnuDeleteData", "数据删除", nullptr);
    item(shapeOp, "mnuModefyData", "修改数据", nullptr);
}

void frmmain::BuildToolbar() {
    static const char* const captions[13] = {"添加点", "拾取点", "修改点", "添加线", "拾取线", "移动线", "线节点编辑",
                                             "删除线", "删除点", "颜色",   nullptr,  "缩小",   "放大"};
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    for (int index = 1; index <= 13; ++index) {
        if (!captions[index - 1]) {
            Toolbar1->addSeparator()->setObjectName(QStringLiteral("Toolbar1Separator%1").arg(index));
            continue;
        }
        auto* button = new QToolButton(Toolbar1);
        button->setObjectName(QStringLiteral("Toolbar1Button%1").arg(index));
        button->setText(QString::fromUtf8(captions[index - 1]));
        button->setIcon(ToolIcon(index));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        if (index != 9) button->setToolTip(button->text());  // the delete-point button has none
        connect(button, &QToolButton::clicked, this, [this, index] { Toolbar1_ButtonClick(index); });
        Toolbar1->addWidget(button);
    }
}

void frmmain::BuildStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    static const int stretches[4] = {2, 2, 2, 3};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(StatusBar1);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(60);
        // As tall from the start as with text in it: a first text must not make
        // the bar taller and the drawing area smaller.
        label->setText(QStringLiteral("当前行为：坐标：X=-1.234568E+07"));
        label->setMinimumHeight(label->sizeHint().height());
        label->clear();
        StatusBar1->addWidget(label, stretches[i]);
        panels_[i] = label;
    }
}

void frmmain::ReplaceDrawing(PointList&& points, LineList&& lines) {
    const float pnt = lastPntNO, line = lastLineID;
    pntArray.Swap(points);
    lineArray.Swap(lines);
    SetCountersAfterLoad();
    history.Replaced(std::move(points), std::move(lines), pnt, line);  // the drawing before, kept once
    Refresh();
}

void frmmain::ShowMessage(const QString& text, const QString& detail) { messageBox->Show(this, text, detail); }

QAction* frmmain::MenuItem(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

QString frmmain::PanelText(int panel) const { return panels_.at(panel - 1)->text(); }
void frmmain::SetPanelText(int panel, const QString& text) { panels_.at(panel - 1)->setText(text); }

// ---- repaint ----

uint64_t frmmain::DrawingStamp() const {
    // Versions come from one counter that only grows: a change of either
    // list makes the larger one larger.
    return std::max(pntArray.Version(), lineArray.Version());
}

// Shape i is point i + 1 for i below the number of points, then line
// i + 1 - points: points first, lines on top, each in collection order.
Canvas::Picture frmmain::Picture() const {
    const std::size_t points = std::size_t(pntArray.Count()), lines = std::size_t(lineArray.Count());
    return {points + lines, [this, points](Canvas::ShapeList& list, std::size_t first, std::size_t last) {
                const auto p0 = pntArray.begin();
                for (std::size_t i = first; i < std::min(last, points); ++i) {
                    const CPoint& p = *p0[std::ptrdiff_t(i)];
                    list.Dot(p.X, p.Y, kPointRgb);
                }
                const auto l0 = lineArray.begin();
                for (std::size_t i = std::max(first, points); i < last; ++i) {
                    const CLine& l = *l0[std::ptrdiff_t(i - points)];
                    list.Line(l.sp.X, l.sp.Y, l.ep.X, l.ep.Y, ColorToRgb(l.color));
                }
            }};
}

void frmmain::Refresh() { canvas->ShowPicture(DrawingStamp(), Picture()); }

void frmmain::Repaint() { canvas->PaintPicture(Picture()); }

QImage frmmain::RenderDrawing(int threads, Canvas::Order order) const {
    return canvas->RenderPicture(Picture(), threads, order);
}

// ---- tool buttons ----

const frmmain::ToolButton& frmmain::ToolFor(int number) {
    static const ToolButton table[7] = {
        {1, &S::addPntMode, true, "停止加点", "开始加点", 2, "开始拾取", "当前行为：开始加点", false,
         {&S::addLineMode, &S::moveLineMode, &S::editPntMode, &S::getPntMode, &S::getLineMode, &S::editLineNodeMode},
         P::Cross, false},
        {2, &S::getPntMode, false, "停止拾取", "开始拾取", 1, "开始加点", "当前行为：开始拾取", true,
         {&S::addLineMode, &S::moveLineMode, &S::editPntMode, &S::getLineMode, &S::addPntMode, &S::editLineNodeMode},
         P::Default, false},
        {3, &S::editPntMode, false, "停止点编辑", "开始点编辑", 1, "开始加点", "当前行为：开始点编辑", false,
         {&S::addLineMode, &S::moveLineMode, &S::getPntMode, &S::getLineMode, &S::addPntMode, &S::editLineNodeMode},
         P::Default, false},
        {4, &S::addLineMode, false, nullptr, nullptr, 0, nullptr, nullptr, false,
         {&S::moveLineMode, &S::editPntMode, &S::getPntMode, &S::getLineMode, &S::addPntMode, &S::editLineNodeMode},
         P::Cross, true},
        {5, &S::getLineMode, false, "停止线选取", "开始线选取", 0, nullptr, nullptr, false,
         {&S::addLineMode, &S::moveLineMode, &S::editPntMode, &S::addPntMode, &S::editLineNodeMode, &S::getPntMode},
         P::Default, false},
        {6, &S::moveLineMode, false, "停止线编辑", "开始线编辑", 0, nullptr, nullptr, false,
         {&S::addLineMode, &S::getLineMode, &S::editPntMode, &S::addPntMode, &S::editLineNodeMode, &S::getPntMode},
         P::SizeAll, false},
        // The line-node tool leaves the pick tools as they are.
        {7, &S::editLineNodeMode, false, " 停止线节点编辑", " 线节点编辑", 0, nullptr, nullptr, false,
         {&S::moveLineMode, &S::addLineMode, &S::addPntMode, &S::editPntMode}, P::Default, false},
    };
    return table[number - 1];
}

void frmmain::ClickToolButton(int number) {
    const ToolButton& tool = ToolFor(number);
    if (!tool.refreshAfter) Refresh();
    bool& flag = this->*tool.flag;
    flag = !flag;
    QPushButton* button = Command[tool.number - 1];
    if (flag) {
        if (tool.captionOn) button->setText(QString::fromUtf8(tool.captionOn));
        if (tool.otherButton) Command[tool.otherButton - 1]->setText(QString::fromUtf8(tool.otherCaption));
        if (tool.panel1) SetPanelText(1, QString::fromUtf8(tool.panel1));
        if (tool.blankPanels)
            for (int panel = 2; panel <= 4; ++panel) SetPanelText(panel, QStringLiteral("  "));
        for (bool MainState::* other : tool.cleared) this->*other = false;
    } else if (tool.captionOff) {
        button->setText(QString::fromUtf8(tool.captionOff));
    }
    if (tool.resetsLineClicks) lineClickCount = 0;
    canvas->SetMousePointer(tool.pointer);
    if (tool.refreshAfter) Refresh();
}

void frmmain::Command1_Click() { ClickToolButton(1); }
void frmmain::Command2_Click() { ClickToolButton(2); }
void frmmain::Command3_Click() { ClickToolButton(3); }
void frmmain::Command4_Click() { ClickToolButton(4); }
void frmmain::Command5_Click() { ClickToolButton(5); }
void frmmain::Command6_Click() { ClickToolButton(6); }
void frmmain::Command7_Click() { ClickToolButton(7); }

// ---- pen width, zoom, colour, query toggle ----

void frmmain::Combo1_Click() {
    const double value = std::nearbyint(static_cast<double>(Val(Combo1->currentText().toStdString())));
    const double width = std::clamp(value, double(std::numeric_limits<int16_t>::min()),
                                    double(std::numeric_limits<int16_t>::max()));
    canvas->SetDrawWidth(static_cast<int>(width));
    Refresh();
}

bool frmmain::StepView(int inward) {
    const int step = 10 * inward;
    const double left = viewLeft + step, right = viewRight - step;
    const int top = viewTop - step, bottom = viewBottom + step;
    if (!ViewFits(left, top, right, bottom)) return false;
    return SetView({left, top, right, static_cast<int16_t>(bottom)});
}

bool frmmain::SetView(const ViewWindow& view) {
    viewLeft = view.left;
    viewTop = view.top;
    viewRight = view.right;
    viewBottom = view.bottom;
    canvas->SetScale(viewLeft, viewTop, viewRight, viewBottom);
    Refresh();
    return true;
}

bool frmmain::WidenView() { return StepView(-1); }
bool frmmain::NarrowView() { return StepView(+1); }

void frmmain::ChooseLineColor() {
    if (CommonDialog1->ShowColor(this)) lineColor = static_cast<float>(CommonDialog1->Color);
}

void frmmain::mnuShapeToAttrib_Click() {
    shapeToAttribMode = !shapeToAttribMode;
    MenuItem("mnuShapeToAttrib")->setChecked(shapeToAttribMode);
}

void frmmain::Toolbar1_ButtonClick(int index) {
    switch (index) {
    case 1: Command1_Click(); break;
    case 2: Command2_Click(); break;
    case 3: Command3_Click(); break;
    case 4: Command4_Click(); break;
    case 5: Command5_Click(); break;
    case 6: Command6_Click(); break;
    case 7: Command7_Click(); break;
    case 8: mnuDeleLine_Click(); break;
    case 9: mnuDelePoint_Click(); break;
    case 10: ChooseLineColor(); break;
    case 12: WidenView(); break;   // "缩小"
    case 13: NarrowView(); break;  // "放大"
    default: break;
    }
}

// ---- mouse tools and deleting ----

void frmmain::Form_MouseDown(int, int, float X, float Y) { MouseDown(*this, *surface_, X, Y); }
void frmmain::Form_MouseMove(int, int, float X, float Y) { MouseMove(*this, *surface_, X, Y); }
void frmmain::Form_MouseUp(int, int, float X, float Y) { MouseUp(*this, *surface_, X, Y); }

void frmmain::mnuDelePoint_Click() { DeletePoint(*this, *surface_); }
void frmmain::mnuDeleLine_Click() { DeleteLine(*this, *surface_); }

bool frmmain::StepHistory(bool forward) {
    const bool ended = GestureUnderWay(*this);
    EndGesture(*this, *surface_);
    const bool changed = forward ? history.Redo(Drawing()) : history.Undo(Drawing());
    if (ended || changed) Refresh();
    return changed;
}

// ---- selection timer ----

void frmmain::Timer1_Timer() {
    blinkOn = !blinkOn;
    ++ntTimeCount;
    if (ntTimeCount >= kBlinkTicks) {
        Timer1->stop();
        Refresh();
        return;
    }
    const uint32_t colour = blinkOn ? kBlinkRed : kBlinkGreen;
    if (selectedLine.ID != -1.0f)
        canvas->Line(selectedLine.sp.X, selectedLine.sp.Y, selectedLine.ep.X, selectedLine.ep.Y, colour);
    if (selectedPoint.pntNO != -1.0f) {
        canvas->PSet(selectedPoint.X, selectedPoint.Y, colour);
        canvas->Circle(selectedPoint.X, selectedPoint.Y, 0.5, colour);
    }
}

void frmmain::StartSelectionTimer() {
    ntTimeCount = 0;
    Timer1->start();
}

// ---- closing ----

void frmmain::closeEvent(QCloseEvent* event) {
    // Nothing is saved and nothing asks: the drawing is simply discarded.
    pntArray.Clear();
    lineArray.Clear();
    history = DrawingHistory();
    Timer1->stop();
    if (lineInfo_) lineInfo_->close();
    if (pntInfo_) pntInfo_->close();
    if (queryWindow_) queryWindow_->reject();
    event->accept();
}
