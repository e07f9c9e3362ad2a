#pragma once
#include <cstddef>
#include <cstdint>
#include <algorithm>
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

class Coverage;

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
    // When set, the picture is painted top down (its last shape first): only
    // pixels still free are painted, and taken.
    Coverage* cover = nullptr;
};

// Which pixels of a band a picture painted top down has painted already. The
// last shape to paint a pixel decides its colour; painted from the last shape
// to the first, each pixel is painted by the first shape that reaches it and
// kept from then on, which gives the same picture. A shape whose every pixel
// is taken already can be skipped whole, and in a dense picture nearly all
// are.
class Coverage {
public:
    explicit Coverage(const Target& band);

    // Whether every pixel of the rectangle, as far as it lies in the band, is
    // taken already (judged by blocks of 64 x 8 pixels, so it may say no
    // where the answer is yes, never the reverse).
    bool Covers(int x1, int y1, int x2, int y2) const;

    // Takes pixel (x, y) of the band: true when it was free.
    bool Take(int x, int y) {
        uint64_t& word = bits_[Index(y, x >> 6)];
        const uint64_t bit = uint64_t{1} << (x & 63);
        if (word & bit) return false;
        word |= bit;
        if (word == Full(x >> 6)) WordFull(y, x >> 6);
        return true;
    }

    // Takes pixels [x1, x2] of row y; paint(x, bits) is told each run of 64
    // pixels from x (a multiple of 64) with the bits of those that were free.
    template <class Paint>
    void TakeSpan(int y, int x1, int x2, Paint paint) {
        for (int w = x1 >> 6; w <= x2 >> 6; ++w) {
            const int from = std::max(x1, w * 64) & 63, to = std::min(x2, w * 64 + 63) & 63;
            const uint64_t span = (to == 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1) & ~((uint64_t{1} << from) - 1);
            uint64_t& word = bits_[Index(y, w)];
            const uint64_t free = span & ~word;
            if (!free) continue;
            paint(w * 64, free);
            word |= free;
            if (word == Full(w)) WordFull(y, w);
        }
    }

private:
    static constexpr int kBlockRows = 8;
    std::size_t Index(int y, int word) const { return static_cast<std::size_t>(y - top_) * words_ + word; }
    uint64_t Full(int word) const { return word + 1 == words_ ? lastFull_ : ~uint64_t{0}; }
    void WordFull(int y, int word);

    int top_, bottom_, width_;
    int words_;  // per row
    int blockWords_;  // per row of blocks: one bit per block
    uint64_t lastFull_;
    std::vector<uint64_t> bits_;
    std::vector<uint64_t> blockFull_;  // a bit per block of kBlockRows rows and one word
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
    if (t.cover) {
        uint32_t* const row = t.Row(y);
        uint64_t written = 0;
        t.cover->TakeSpan(y, x1, x2, [&](int x, uint64_t free) {
            written += static_cast<uint64_t>(__builtin_popcountll(free));
            while (free) {
                const int at = __builtin_ctzll(free);
                const uint64_t rest = free >> at;
                const int run = rest == ~uint64_t{0} ? 64 - at : __builtin_ctzll(~rest);
                std::fill_n(row + x + at, run, colour);
                free &= run >= 64 ? 0 : ~(((uint64_t{1} << run) - 1) << at);
            }
        });
        if (t.writes) *t.writes += written;
        return;
    }
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
