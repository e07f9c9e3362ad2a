#pragma once
// The compact form in which the Access reader process sends one table back to
// the editor: a header, the columns, then the rows, and an end mark with the
// row count. Numbers travel as 64-bit floats, texts as UTF-8 with a length,
// all in the byte order of this machine (both ends run on it).
//
//   "PLRS" u8 version
//   'T' u16 columns, per column: u8 kind, u16 length, name
//   'R' per row, then per column: u8 cell, and for a number f64, for a text u32 length + bytes
//   'Z' u32 rows                                     -- the end of a table
// or, instead of the table:
//   'E' u8 failure, u32 length, detail               -- the reader's own failure
//
// Header only, so that the reader program needs nothing else of the editor.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace rowstream {

inline constexpr char kMagic[4] = {'P', 'L', 'R', 'S'};
inline constexpr std::uint8_t kVersion = 1;

enum Mark : char { kTable = 'T', kRow = 'R', kEnd = 'Z', kFailure = 'E' };

// What a column holds, as far as the editor cares.
enum ColumnKind : std::uint8_t { kNumberColumn = 1, kTextColumn = 2, kUnreadableColumn = 3 };
// One value of a row.
enum Cell : std::uint8_t { kNull = 0, kNumber = 1, kText = 2, kUnreadable = 3 };

// Failures the reader reports itself; anything else the editor sees (a crash,
// an exit code, a broken stream) it judges on its own.
enum Failure : std::uint8_t {
    kNotAccess = 1,  // libmdb can't open the file as an Access database
    kNoTable = 2,    // no user table of that name; the detail is the name asked for
    kDamaged = 3,    // the table's pages don't hold together; the detail says where
};

// Writes the stream to a FILE. Errors are sticky; ok() tells at the end.
class Writer {
public:
    explicit Writer(std::FILE* out) : out_(out) {
        Put(kMagic, sizeof kMagic);
        U8(kVersion);
    }

    void Columns(std::uint16_t count) {
        U8(kTable);
        U16(count);
    }
    void Column(ColumnKind kind, std::string_view name) {
        U8(kind);
        U16(static_cast<std::uint16_t>(name.size() > 0xFFFF ? 0xFFFF : name.size()));
        Put(name.data(), name.size() > 0xFFFF ? 0xFFFF : name.size());
    }
    void Row() { U8(kRow); }
    void Null() { U8(kNull); }
    void Unreadable() { U8(kUnreadable); }
    void Number(double v) {
        U8(kNumber);
        Put(&v, sizeof v);
    }
    void Text(std::string_view t) {
        U8(kText);
        U32(static_cast<std::uint32_t>(t.size()));
        Put(t.data(), t.size());
    }
    void End(std::uint32_t rows) {
        U8(kEnd);
        U32(rows);
    }
    void Fail(Failure why, std::string_view detail) {
        U8(kFailure);
        U8(why);
        U32(static_cast<std::uint32_t>(detail.size()));
        Put(detail.data(), detail.size());
    }

    bool ok() const { return ok_; }

private:
    void Put(const void* p, std::size_t n) {
        if (ok_ && n && std::fwrite(p, 1, n, out_) != n) ok_ = false;
    }
    void U8(std::uint8_t v) { Put(&v, 1); }
    void U16(std::uint16_t v) { Put(&v, 2); }
    void U32(std::uint32_t v) { Put(&v, 4); }

    std::FILE* out_;
    bool ok_ = true;
};

}  // namespace rowstream
