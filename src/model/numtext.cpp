#include "model/numtext.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Exponent form is used below 1E-04 and from 1E+07 up, whatever the digits.
constexpr int kMinFixedExponent = -4;
constexpr int kMaxFixedExponent = 6;

bool ParsesBackTo(const std::string& text, float v) {
    float back = 0.0f;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    return ec == std::errc() && ptr == text.data() + text.size() && back == v;
}

// Stored numbers are always finite; a non-finite value is written as the
// nearest finite one so that no text form ever fails.
float Finite(float v) {
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) return v > 0 ? FLT_MAX : -FLT_MAX;
    return v;
}

}  // namespace

std::string GeneralForm(float v, int significant) {
    v = Finite(v);
    if (v == 0.0f) return "0";

    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, significant - 1);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));  // "-d.ddde+XX"

    std::string out;
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const std::size_t e = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, e))
        if (c != '.') digits += c;
    const int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    if (exponent < kMinFixedExponent || exponent > kMaxFixedExponent) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += exponent < 0 ? "E-" : "E+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) out += '0';
        out += std::to_string(magnitude);
    } else if (exponent >= 0) {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += '.';
            out.append(digits, intDigits, std::string::npos);
        }
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::string N(float v) { return GeneralForm(v, 7); }

std::string FileNumber(float v) {
    v = Finite(v);
    for (int significant = 7; significant < 9; ++significant) {
        std::string text = GeneralForm(v, significant);
        if (ParsesBackTo(text, v)) return text;
    }
    return GeneralForm(v, 9);  // 9 digits always identify a 32-bit float
}

std::string SignedColor(float v) {
    v = Finite(v);
    const char sign = std::signbit(v) && v != 0.0f ? '-' : ' ';
    const float magnitude = std::fabs(v);
    if (magnitude == std::floor(magnitude) && magnitude < 1e15f) {
        return sign + std::to_string(static_cast<long long>(magnitude));
    }
    return sign + FileNumber(magnitude);
}

std::string DbLineCoord(float v) {
    v = Finite(v);
    std::string text = FileNumber(v);
    if (text.front() == '-') {
        if (text.compare(0, 3, "-0.") == 0) text.erase(1, 1);
        return text;
    }
    if (text.compare(0, 2, "0.") == 0) text.erase(0, 1);
    return ' ' + text;
}

NumberRead ReadNumber(std::string_view text) {
    // Gather the characters that count, skipping blanks, tabs and line feeds.
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') s += c;

    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

    std::string mantissa;
    bool anyDigit = false;
    bool seenNonZero = false;
    int intDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (s[i] != '0' || seenNonZero) {
            seenNonZero = true;
            ++intDigits;
        }
        mantissa += s[i++];
        anyDigit = true;
    }
    int leadingFractionZeros = 0;
    if (i < s.size() && s[i] == '.') {
        std::size_t j = i + 1;
        std::string fraction;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            if (!seenNonZero) {
                if (s[j] == '0') ++leadingFractionZeros;
                else seenNonZero = true;
            }
            fraction += s[j++];
        }
        if (!fraction.empty()) {
            anyDigit = true;
            mantissa += (mantissa.empty() ? "0." : ".") + fraction;
        }
        if (anyDigit) i = j;
    }
    if (!anyDigit) return {0.0f, true};
    // Decimal exponent of the first non-zero digit: tells overflow from underflow.
    const int firstSignificant = intDigits > 0 ? intDigits - 1 : -(leadingFractionZeros + 1);

    long long exponent = 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
        if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
                if (exponent < 1000000) exponent = exponent * 10 + (s[j] - '0');
                ++j;
            }
            if (expNegative) exponent = -exponent;
        }
    }

    std::string normal = mantissa + 'e' + std::to_string(exponent);
    float value = 0.0f;
    auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (!seenNonZero || firstSignificant + exponent < 0) return {negative ? -0.0f : 0.0f, true};
        return {negative ? -FLT_MAX : FLT_MAX, false};
    }
    if (ec != std::errc() || std::isinf(value)) return {negative ? -FLT_MAX : FLT_MAX, false};
    return {negative ? -value : value, true};
}

float Val(std::string_view text) { return ReadNumber(text).value; }

uint32_t ColorToRgb(float color) {
    if (!std::isfinite(color)) return 0;
    const double rounded = std::nearbyint(static_cast<double>(color));
    if (rounded > std::numeric_limits<int32_t>::max() || rounded < std::numeric_limits<int32_t>::min()) return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(rounded)) & 0xFFFFFFu;
}
