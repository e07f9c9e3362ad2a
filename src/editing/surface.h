#pragma once
#include <cstdint>
#include <string>

#include "model/records.h"

enum class MousePointer { Default, Cross, SizeAll };

// What the mouse tools and the delete commands need from the main window.
// World coordinates, packed RGB colours, UTF-8 texts.
class EditorSurface {
public:
    virtual ~EditorSurface() = default;

    // Erase the drawing area and repaint the whole drawing.
    virtual void Refresh() = 0;
    // Drawing with the current pen width, straight onto the area.
    virtual void Dot(float x, float y, uint32_t rgb) = 0;
    virtual void Line(float x1, float y1, float x2, float y2, uint32_t rgb) = 0;
    virtual void Box(float x1, float y1, float x2, float y2, uint32_t rgb) = 0;
    virtual uint32_t BackColor() const = 0;

    virtual void SetPointer(MousePointer pointer) = 0;
    virtual void SetPanel(int panel, const std::string& text) = 0;  // status bar, panels from 1

    // The information windows: values are copied when shown.
    virtual void ShowPointInfo(const CPoint& point) = 0;
    virtual void HidePointInfo() = 0;
    virtual void ShowLineInfo(const CLine& line) = 0;
    virtual void HideLineInfo() = 0;

    virtual void Message(const std::string& text) = 0;
};
