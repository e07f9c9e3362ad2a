#include "editing/hittest.h"

#include <cmath>

namespace {
float Distance(float x, float y, const CPoint& p) {
    const float dx = x - p.X;
    const float dy = y - p.Y;
    return static_cast<float>(std::sqrt(double(dx) * dx + double(dy) * dy));
}
}  // namespace

bool PickPoint(float x, float y, const CPoint& point) { return Distance(x, y, point) <= 1.0f; }

bool PickLine(float x, float y, const CLine& line) {
    const float x1 = line.sp.X, y1 = line.sp.Y;
    const float A = line.ep.X - x1;
    const float B = line.ep.Y - y1;
    double L = std::sqrt(double(A) * A + double(B) * B);
    if (L == 0.0) L = 0.00001;
    const float C = B * x1 - A * y1;
    const float N = std::fabs(C + A * y - B * x);
    const double d = N / L;
    return d < 1.0;
}

int16_t PickLineNode(float x, float y, const CLine& line) {
    if (Distance(x, y, line.sp) <= 1.0f) return 1;
    if (Distance(x, y, line.ep) <= 1.0f) return 2;
    return 0;
}
