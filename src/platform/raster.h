#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Aliased painting of dots and straight lines straight into 32-bit pixels.
//
// A line sets the pixels Qt's raster painter sets for the same request: a
// one-pixel line those of its one-pixel lines, with the same clipping against
// the whole image, a wider one those of its flat-capped wide lines (for lines
// that the image's edges cut, up to a pixel where its clipping rounds
// differently). A line covers the same pixels whichever way it is drawn. Every operation can be limited to a
// band of rows, and the rows it writes there are exactly the rows of the
// unlimited operation: a picture painted band by band, one thread per band,
// is the picture painted in one go.
namespace raster {

// The pixels to paint, and the rows [bandTop, bandBottom) that may be written.
struct Target {
    uint32_t* bits = nullptr;
    std::ptrdiff_t stride = 0;  // pixels from one row to the next
    int width = 0;
    int height = 0;
    int bandTop = 0;
    int bandBottom = 0;

    // The whole image.
    Target(uint32_t* bits, std::ptrdiff_t stride, int width, int height)
        : bits(bits), stride(stride), width(width), height(height), bandTop(0), bandBottom(height) {}
    // The same image, limited to rows [top, bottom).
    Target Band(int top, int bottom) const;

    uint32_t* Row(int y) const { return bits + y * stride; }

    // Where painting adds up the pixels it writes (for measuring), or null.
    uint64_t* writes = nullptr;
};

// The disc of a pen `width` pixels wide centred on a pixel: the pixels whose
// centres lie within width / 2 of the pen's centre, the pixel's own centre
// for odd widths and its lower right corner for even ones. Its rows are
// worked out once, when it is made.
class Disc {
public:
    explicit Disc(int width = 1);
    int Width() const { return width_; }
    // Paints the disc centred on pixel (x, y).
    void Paint(const Target& target, int x, int y, uint32_t colour) const;
    // First and last row of the disc centred on row y.
    int Top(int y) const { return y + first_; }
    int Bottom(int y) const { return y + first_ + width_ - 1; }

private:
    int width_;
    int first_;  // offset of the first row and column from the centre pixel
    std::vector<int16_t> left_, right_;  // per row, offsets of the first and last pixel
};

// The straight line between two positions in pixel units (pixel centres are
// at +0.5), one pixel wide. Like the painter's flat-capped line it leaves out
// the pixel of one end; draw the end pixels as dots where they belong.
void ThinLine(const Target& target, double x1, double y1, double x2, double y2, uint32_t colour);

// The straight line between two positions in pixel units, `width` pixels
// wide (2 or more), with flat ends.
void WideLine(const Target& target, double x1, double y1, double x2, double y2, int width, uint32_t colour);

// Fills pixels [x1, x2] of row y; the caller keeps them within the image.
// Four pixels a store: wide lines are mostly such runs.
inline void Span(const Target& t, int y, int x1, int x2, uint32_t colour) {
    uint32_t* p = t.Row(y) + x1;
    const int n = x2 - x1 + 1;
    if (n >= 4) {
        const uint32_t four[4] = {colour, colour, colour, colour};
        uint32_t* const last = p + n - 4;
        for (; p < last; p += 4) std::memcpy(p, four, sizeof four);
        std::memcpy(last, four, sizeof four);
    } else {
        for (int i = 0; i < n; ++i) p[i] = colour;
    }
    if (t.writes) *t.writes += static_cast<uint64_t>(n);
}

}  // namespace raster
