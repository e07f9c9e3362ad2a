#pragma once
#include <QRect>

// Window layouts are given in twips: 1/1440 inch, 15 to a pixel at 96 dpi.
constexpr int kTwipsPerPixel = 15;

inline QRect TwipsRect(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}
