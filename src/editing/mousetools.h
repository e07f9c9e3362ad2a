#pragma once
#include "editing/surface.h"
#include "model/mainstate.h"

// The mouse tools of the drawing area. Each handler is a fixed sequence of
// steps, each guarded by its own flag, so tools that are on together (the
// line-node tool with a pick tool) all act on one press. Buttons and modifier
// keys make no difference.
//
// Feedback is incremental: a movement erases the moving shape by drawing it in
// the background colour and draws it anew; only the presses and releases that
// choose or commit something repaint the whole area.

void MouseDown(MainState& s, EditorSurface& ui, float X, float Y);
void MouseMove(MainState& s, EditorSurface& ui, float X, float Y);
void MouseUp(MainState& s, EditorSurface& ui, float X, float Y);

// The add-line tool waits for its second click, or a drag is under way.
bool GestureUnderWay(const MainState& s);
// Ends it the way the tools end it themselves: the add-line tool forgets its
// first click, a drag is committed as its release would commit it where the
// last movement left it. Nothing changes when nothing is under way.
void EndGesture(MainState& s, EditorSurface& ui);

// Delete the picked point or line; a message when the pick tool is off or
// nothing has been picked.
void DeletePoint(MainState& s, EditorSurface& ui);
void DeleteLine(MainState& s, EditorSurface& ui);

namespace texts {
inline constexpr const char* kNoPointSelected = "没有点被选中";
inline constexpr const char* kSelectedInfo = "被选中点的信息：";
inline constexpr const char* kAddedPointInfo = "当前添加的点信息：";
inline constexpr const char* kPointId = "点的ID号：";
inline constexpr const char* kBlank = "  ";
inline constexpr const char* kPickPointFirst = "请先拾取要删除的点，然后再能删除";
inline constexpr const char* kPickLineFirst = "请先拾取要删除的线，然后再能删除";
}  // namespace texts

// "坐标：X=<x>   Y=<y>" of the status bar.
std::string CoordinateText(float x, float y);
