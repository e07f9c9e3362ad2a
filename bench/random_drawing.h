#pragma once
// Random drawings for the benchmarks.
#include <memory>
#include <random>

#include "model/store.h"

// Adds `count` points numbered from 1, then `count` lines, at random places
// within the edges; line i takes the colour colour(i, rng).
template <class Colour>
void AddRandomShapes(PointList& points, LineList& lines, int count, std::mt19937& rng, float left, float right,
                     float bottom, float top, Colour colour) {
    std::uniform_real_distribution<float> x(left, right), y(bottom, top);
    points.Reserve(std::size_t(points.Count() + count));
    lines.Reserve(std::size_t(lines.Count() + count));
    for (int i = 1; i <= count; ++i) points.Add(std::make_shared<CPoint>(CPoint{float(i), x(rng), y(rng), false}));
    for (int i = 1; i <= count; ++i) {
        const float x1 = x(rng), y1 = y(rng), x2 = x(rng), y2 = y(rng);
        lines.Add(std::make_shared<CLine>(CLine{float(i), {0, x1, y1, false}, {0, x2, y2, false}, false, colour(i, rng)}));
    }
}
