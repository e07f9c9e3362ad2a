// The commands of the menus "查询" and "图形数据操作" that read the database.
#include "query/attribtables.h"
#include "query/frmattribtoshape.h"
#include "view/frmmain.h"

int frmmain::RunQueryWindow(QDialog& window) {
    queryWindow_ = &window;
    const int result = window.exec();
    queryWindow_ = nullptr;
    return result;
}

void frmmain::mnuAttribToShape_Click() {
    // No earlier result may blink together with a new one.
    selectedLine.ID = -1.0f;
    selectedPoint.pntNO = -1.0f;
    frmAttribToShape search(pFileName, *messageBox);
    RunQueryWindow(search);
    if (search.foundLine) selectedLine = *search.foundLine;
    if (search.foundPoint) selectedPoint = *search.foundPoint;
    if (selectedLine.ID != -1.0f) StartSelectionTimer();
    if (selectedPoint.pntNO != -1.0f) StartSelectionTimer();
}

void frmmain::mnuShowPointData_Click() {
    frmAllPntAttrib table(pFileName, *messageBox, [this](const CPoint& point) {
        selectedLine.ID = -1.0f;
        selectedPoint = point;
        if (point.pntNO != -1.0f) StartSelectionTimer();
    });
    if (table.Opened()) RunQueryWindow(table);
}

void frmmain::mnuShowLineData_Click() {
    frmAllLineAttrib table(pFileName, *messageBox, [this](const CLine& line) {
        selectedPoint.pntNO = -1.0f;
        selectedLine = line;
        if (line.ID != -1.0f) StartSelectionTimer();
    });
    if (table.Opened()) RunQueryWindow(table);
}
