#pragma once
#include <cstdint>

#include "model/records.h"

// Hit tests of the mouse tools, one record at a time, tolerance 1.0 world unit.
// Each is computed in the widths the drawing has always used, so boundary
// cases fall the same way: distances to points in 64 bits rounded to 32,
// the line equation in 32 bits with its length and quotient in 64.

// True when the point lies within 1.0 of (x, y), the boundary included.
bool PickPoint(float x, float y, const CPoint& point);

// True when (x, y) is less than 1.0 from the infinite line through the two
// nodes. A line without length is hit everywhere.
bool PickLine(float x, float y, const CLine& line);

// 1 when the start node is within 1.0 of (x, y), else 2 when the end node is,
// else 0.
int16_t PickLineNode(float x, float y, const CLine& line);
