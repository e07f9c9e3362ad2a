#pragma once
#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "editing/surface.h"

#include "model/mainstate.h"
#include "model/viewwindow.h"
#include "platform/canvas.h"
#include "platform/commondialog.h"
#include "platform/messagebox.h"
#include "query/infowindows.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

// The main window: owner of the drawing and of every flag, the only drawing
// surface, and the home of all commands. Its handlers carry the names of the
// controls and menu items they belong to.
class frmmain : public QMainWindow, public MainState {
    Q_OBJECT
public:
    static constexpr QSize kDesignClientSize{938, 577};

    explicit frmmain(QSize clientSize = kDesignClientSize, QWidget* parent = nullptr);
    ~frmmain() override;

    // Controls.
    Canvas* canvas = nullptr;  // the drawing area (the form's client area)
    std::array<QPushButton*, 7> Command{};  // Command1 .. Command7 at [0] .. [6]
    QComboBox* Combo1 = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<CommonDialog> CommonDialog1;
    std::unique_ptr<MessageBox> messageBox;

    // Erase the drawing area and repaint it at once: every point, then every
    // line. When nothing the repaint reads has changed since the last one
    // (the records, their order, the view, the pen width, the area's size),
    // the picture it left is copied back instead.
    void Refresh();
    // The same, always painting anew.
    void Repaint();
    // Changes whenever the drawing changes; see RecordList::MarkChanged.
    uint64_t DrawingStamp() const;
    // The drawing as a full repaint on `threads` threads in that order paints
    // it, apart from the screen.
    QImage RenderDrawing(int threads, Canvas::Order order = Canvas::Order::Forward) const;

    // Replaces the whole drawing with loaded collections: the counters follow
    // the loaded records and the area is refreshed. Picks, highlight records,
    // tool modes and pFileName stay as they are. Undo brings the drawing back.
    void ReplaceDrawing(PointList&& points, LineList&& lines);

    // Undo and redo of the changes to the drawing, on Ctrl+Z and on Ctrl+Y or
    // Ctrl+Shift+Z. A gesture under way ends first; the area is refreshed.
    // False when there was nothing to undo or redo.
    bool UndoChange();
    bool RedoChange();

    // The view beyond the fixed steps: a wheel notch zooms by kWheelZoom
    // about the pointer, the arrow keys and the sideways or Ctrl wheel pan by
    // a tenth. A refused step changes nothing and returns false.
    static constexpr double kWheelZoom = 1.25;
    bool ZoomAt(QPointF canvasPixel, double factor);
    bool PanBy(int right, int up);

    // A modal message with an OK button.
    void ShowMessage(const QString& text, const QString& detail = QString());

    // Status bar panels, numbered from 1.
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);

    // Tool buttons.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();

    // The drawing area's mouse events (button and shift state are not read).
    void Form_MouseDown(int Button, int Shift, float X, float Y);
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void Form_MouseUp(int Button, int Shift, float X, float Y);

    void mnuDelePoint_Click();
    void mnuDeleLine_Click();

    // The information windows, while they exist (closing one destroys it).
    frmPntInfo* PntInfo() const { return pntInfo_; }
    frmLineInfo* LineInfo() const { return lineInfo_; }

    void Combo1_Click();  // an item of the pen-width box was chosen
    void Toolbar1_ButtonClick(int index);

    // The world window: widen shows more of the world, narrow less. A step
    // that would leave nothing visible or overflow the bottom edge is refused
    // and returns false.
    bool WidenView();
    bool NarrowView();

    // The text drawing file (.myd): load replaces the drawing, save writes it.
    void mnuOpenTxt_Click();
    void mnuSaveTxt_Click();

    // The loads of mnuOpenTxt and mnuOpenDatasourceFile once a file is chosen.
    void OpenTxtFile(const QString& fileName);
    void OpenDatasourceFile(const QString& fileName);
    // A file named at start: a drawing database (.mdb, or a database by its
    // first bytes) as 打开数据库文件(Data) loads it, anything else as 打开文件.
    void OpenFromCommandLine(const QString& fileName);

    void ChooseLineColor();         // toolbar button 10
    void mnuShapeToAttrib_Click();  // toggles the shape-to-attribute query

    // Menu "数据库". A load replaces the drawing only when the whole file was
    // read; a fill stores every row or, on failure, none.
    void mnuOpenDatasourceFile_Click();        // load through the data control, sets pFileName
    void mnuSaveDatasourceFile_Click();        // append to an existing database (hidden item)
    void mnuSaveDatasourceFile2_Click();       // create, then fill through the data control
    void mnuOpenDatasourceFileForAdo_Click();  // load through ADO, pFileName stays
    void mnuSaveDatasourceFileForAdo_Click();  // create, then fill through ADO

    // The query windows: the search by ID and the two tables. They read the
    // database named by pFileName and make the found or clicked shape blink.
    void mnuAttribToShape_Click();
    void mnuShowPointData_Click();
    void mnuShowLineData_Click();

    // The selection timer: blinks selectedLine / selectedPoint 19 times, then
    // refreshes at the 20th tick.
    void Timer1_Timer();
    void StartSelectionTimer();

    QAction* MenuItem(const char* name) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    // The wheel and the arrow keys on the drawing area; the window's undo
    // keys also while the pen-width box has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Runs a modal query window; closing the main window closes it too.
    int RunQueryWindow(QDialog& window);

private:
    struct ToolButton;
    static const ToolButton& ToolFor(int number);
    void ClickToolButton(int number);
    void FormLoad(QSize clientSize);
    void BuildToolButtons();
    void BuildMenus();
    void BuildToolbar();
    void BuildStatusBar();
    bool StepView(int inward);
    bool SetView(const ViewWindow& view);
    void BuildNavigation();
    bool StepHistory(bool forward);
    void Wheel(QPointF canvasPixel, QPoint angleDelta, Qt::KeyboardModifiers modifiers);

    Canvas::Picture Picture() const;

    WheelNotches zoomNotches_, panAcrossNotches_, panUpNotches_;

    std::array<QLabel*, 4> panels_{};
    QPointer<frmPntInfo> pntInfo_;
    QPointer<frmLineInfo> lineInfo_;
    QPointer<QDialog> queryWindow_;  // the search or table window while it runs

    class Surface;
    std::unique_ptr<Surface> surface_;
};
