#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "model/history.h"
#include "model/store.h"

// The main window's shared state: the drawing, the counters, the highlight
// records and every flag the tools and commands read. The main window owns it
// for the whole run; the other subsystems read and change it directly.
struct MainState {
    // The drawing.
    PointList pntArray;
    LineList lineArray;
    std::string pFileName;  // current database (UTF-8 path), empty at start
    CPoint selectedPoint;   // highlight records: number -1 means nothing to blink
    CLine selectedLine;
    int16_t ntTimeCount = 0;

    float lastPntNO = 0.0f;
    bool shapeToAttribMode = false;
    float lastLineID = 0.0f;
    bool addPntMode = false;
    bool addLineMode = false;
    bool getPntMode = false;
    bool editPntMode = false;
    bool pntDragging = false;
    int16_t lineClickCount = 0;
    std::shared_ptr<CPoint> tmpPoint;        // created on first use
    std::shared_ptr<CPoint> lineStartPoint;  // created on first use
    std::shared_ptr<CPoint> pickedPoint;
    // The point held by the edit-point tool while it drags, and only that
    // record moves; tmpPoint never aliases a drawing point.
    std::shared_ptr<CPoint> draggedPoint;
    bool getLineMode = false;
    bool moveLineMode = false;
    std::shared_ptr<CLine> pickedLine;
    bool editLineNodeMode = false;
    int16_t pickedNode = 0;
    bool nodeLineChosen = false;
    bool nodeDragging = false;
    float lineColor = 0.0f;
    bool blinkOn = false;
    double viewLeft = 0.0;
    int viewTop = 0;
    double viewRight = 0.0;
    int16_t viewBottom = 0;

    // The scratch records are created empty the first time a tool touches them.
    CPoint& TmpPoint() {
        if (!tmpPoint) tmpPoint = std::make_shared<CPoint>();
        return *tmpPoint;
    }
    CPoint& LineStartPoint() {
        if (!lineStartPoint) lineStartPoint = std::make_shared<CPoint>();
        return *lineStartPoint;
    }

    // After a load: never hand out a number that a loaded record already has.
    // Loaded numbers from 2^24 up, where floats stop counting by one, are left
    // out, so new records keep getting distinct numbers.
    void SetCountersAfterLoad();

    // The changes made to the drawing, for undo and redo.
    DrawingHistory history;
    DrawingHistory::Drawing Drawing() { return {pntArray, lineArray, lastPntNO, lastLineID}; }
};
