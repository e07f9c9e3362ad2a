#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Number <-> text rules shared by the display, the drawing file and the
// database. None of them depends on the locale.

// Display form N(v): at most 7 significant digits, trailing zeros and point
// dropped, 0 before the point below 1, exponent form (E, sign, two or more
// digits) below 0.0001 and from 10,000,000 up. Negative zero shows as 0.
std::string N(float v);

// General form with `significant` digits (1..9) in the same layout as N.
std::string GeneralForm(float v, int significant);

// The form written to files: N(v) when it reads back to the same float,
// otherwise the shortest general form (8 or 9 digits) that does.
std::string FileNumber(float v);

// A colour of the drawing file: a blank in front of a value that isn't
// negative, a minus sign in front of a negative one. Whole values are written
// with all their digits; others in the file form.
std::string SignedColor(float v);

// A line coordinate of the database: sign position as above and no 0 before
// the decimal point (" 12.5", "-4", " .5", "-.25").
std::string DbLineCoord(float v);

// The leading-number reading rule: blanks, tabs and line feeds are skipped
// anywhere; then an optional sign, digits, an optional "." with digits and an
// optional exponent (E or D, optional sign, digits). Anything else ends the
// number; a text that doesn't start with one reads as 0.
struct NumberRead {
    float value = 0.0f;
    bool fits = true;  // false when the number is too large for a 32-bit float
};
NumberRead ReadNumber(std::string_view text);

// ReadNumber for callers that have no failure path: a number too large for a
// 32-bit float gives the largest float of its sign.
float Val(std::string_view text);

// A line colour as drawn: the float rounded to the nearest whole number (ties
// to even) and taken as packed RGB, red + 256 * green + 65536 * blue.
uint32_t ColorToRgb(float color);

inline uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}
