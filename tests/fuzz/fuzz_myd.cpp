// libFuzzer target for the drawing file reader: no input may crash it, it
// reads the same in chunks of any size, what it reads must write out and read
// back unchanged, and the fast number paths must agree with the shared number
// rules.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "storage/mydfile.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool SameRecords(const MydContent& a, const MydContent& b) {
    if (a.points.Count() != b.points.Count() || a.lines.Count() != b.lines.Count()) return false;
    for (int i = 1; i <= a.points.Count(); ++i) {
        const CPoint &p = *a.points.Item(i), &q = *b.points.Item(i);
        if (p.pntNO != q.pntNO || p.X != q.X || p.Y != q.Y) return false;
    }
    for (int i = 1; i <= a.lines.Count(); ++i) {
        const CLine &l = *a.lines.Item(i), &m = *b.lines.Item(i);
        if (l.ID != m.ID || l.sp.X != m.sp.X || l.sp.Y != m.sp.Y || l.ep.X != m.ep.X || l.ep.Y != m.ep.Y ||
            l.color != m.color)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const MydContent content = ParseMyd(text);
    // In chunks of any size: the same records, or the same problem on the same line.
    const std::size_t chunk = size == 0 ? 1 : 1 + data[0] % 32;
    const MydContent chunked = ParseMyd(text, chunk);
    Check(chunked.problem == content.problem && chunked.line == content.line);
    Check(!content.ok() || SameRecords(content, chunked));
    if (content.ok()) {
        const std::string written = WriteMydText(content.points, content.lines);
        const MydContent again = ParseMyd(written);
        Check(again.ok() && SameRecords(content, again));
        Check(WriteMydText(again.points, again.lines) == written);
    } else {
        Check(content.line >= 0 && content.points.Empty() && content.lines.Empty());
    }

    const std::string_view head = text.substr(0, 100);
    const NumberRead fast = ReadFieldNumber(head), rule = ReadNumber(head);
    Check(fast.fits == rule.fits && std::memcmp(&fast.value, &rule.value, sizeof(float)) == 0);

    for (size_t i = 0; i + sizeof(float) <= size && i < 64; i += sizeof(float)) {
        float v;
        std::memcpy(&v, data + i, sizeof v);
        char buf[kMaxMydNumber];
        Check(std::string(buf, PutFileNumber(buf, v)) == FileNumber(v));
        Check(std::string(buf, PutSignedColor(buf, v)) == SignedColor(v));
    }
    return 0;
}
