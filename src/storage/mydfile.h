#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/numtext.h"
#include "model/store.h"

// The text drawing file (.myd): one record per line, every point first, then
// every line, each record ended by CR LF, single-byte text.
//   point: "1 " no " " x " " y
//   line:  "2 " id " " x1 " " y1 " " x2 " " y2 " " colour-with-sign-position
// Nothing here depends on Qt or on the locale.

enum class MydProblem {
    None,
    CannotOpen,    // missing, not a regular file, no permission
    CannotRead,    // read error or too large to hold in memory
    NotText,       // control bytes such as NUL: a binary file
    TooFewFields,  // a blank that separates two fields is missing
    OutOfRange,    // a value too large for a 32-bit float
};

struct MydContent {
    PointList points;
    LineList lines;
    MydProblem problem = MydProblem::None;
    int64_t line = 0;  // 1-based line of the problem; 0 when it concerns the whole file
    bool ok() const { return problem == MydProblem::None; }
};

// Text is parsed in chunks of about this many bytes, split at line ends, on
// all cores at once; the records keep the file's order.
constexpr std::size_t kMydChunkBytes = std::size_t{4} << 20;

// Parses a whole file held in memory. Lines end with CR LF, LF or CR; the last
// one may have no end; empty lines and lines of blanks are skipped, and so is
// a DOS end-of-file byte (26) as the very last byte. On the first bad line the
// result holds no records, only the problem and its line.
MydContent ParseMyd(std::string_view text, std::size_t chunkBytes = kMydChunkBytes);

// Reads the regular file at `path` block by block, parsing each block's
// whole lines while the next ones are read; never holds the whole text.
MydContent LoadMydFile(const std::string& path, std::size_t chunkBytes = kMydChunkBytes);

// The complete file text of a drawing.
std::string WriteMydText(const PointList& points, const LineList& lines);

// Writes the drawing into a new file beside `path`, flushes it to the disk and
// renames it over `path` only when all of it is there, so a failure leaves any
// earlier file of that name as it was. A path that names an existing device or
// pipe is written directly. Returns false on any failure.
bool SaveMydFile(const std::string& path, const PointList& points, const LineList& lines);

// A new hidden name beside `target` for a file that takes `target`'s name once
// it is complete; short enough for any file name length limit.
std::string TemporaryName(const std::string& target);
// Hastens a rename in the folder of `target` to the disk.
void SyncDirectoryOf(const std::string& target);

// ---- the number forms of the file, without heap allocation ----

// Room that PutFileNumber and PutSignedColor may use.
constexpr std::size_t kMaxMydNumber = 24;

// Writes FileNumber(v) at `out` and returns the end.
char* PutFileNumber(char* out, float v);
// Writes SignedColor(v) at `out` and returns the end.
char* PutSignedColor(char* out, float v);

// ReadNumber(field) with a fast path for plain decimal texts.
NumberRead ReadFieldNumber(std::string_view field);

// Whether a record marker reads as exactly 1 (a point record).
bool MarkerIsPoint(std::string_view marker);
