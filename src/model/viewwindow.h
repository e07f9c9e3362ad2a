#pragma once
#include <cstdint>
#include <optional>

// The world window of the drawing area: world coordinates of its left, top,
// right and bottom edges. The top and bottom are whole numbers and the bottom
// fits 16 bits, as the main window keeps them.
struct ViewWindow {
    double left = 0.0;
    int top = 0;
    double right = 0.0;
    int16_t bottom = 0;
};

// Whether a world window shows something and its edges fit their fields.
bool ViewFits(double left, long long top, double right, long long bottom);

// The drawing made `factor` times larger (below 1: smaller) so that the world
// point (x, y) stays where it is on the screen. The width follows the factor
// exactly; the height is a whole number, so it is chosen near the factor to
// keep the point on its pixel: `designHeight` is the number of pixels that
// show the window's height. Empty when the step would leave nothing visible
// or overflow the edges' fields.
std::optional<ViewWindow> ZoomAbout(const ViewWindow& view, double x, double y, double factor, double designHeight);

// The window moved by a tenth of its width (`right` steps, negative: left) and
// of its height (`up` steps, at least one world unit each). Empty when the
// edges would overflow.
std::optional<ViewWindow> PanView(const ViewWindow& view, int right, int up);

// Adds up wheel angle deltas (120 per notch, finer on touchpads) and hands
// out whole notches; turning the other way starts afresh.
class WheelNotches {
public:
    int Add(int delta);

private:
    int rest_ = 0;
};
