#pragma once
#include <cstddef>
#include <cstdint>

// Aliased painting of straight lines straight into 32-bit pixels.
//
// A one-pixel line sets the pixels Qt's raster painter sets for the same
// request, with the same clipping against the whole image, and covers the
// same pixels whichever way it is drawn. Every operation can be limited to a
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
};

// The straight line between two positions in pixel units (pixel centres are
// at +0.5), one pixel wide. Like the painter's flat-capped line it leaves out
// the pixel of one end; draw the end pixels as dots where they belong.
void ThinLine(const Target& target, double x1, double y1, double x2, double y2, uint32_t colour);

}  // namespace raster
