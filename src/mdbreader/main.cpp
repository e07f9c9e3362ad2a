// pointline-mdbreader FILE TABLE [--test-fault=KIND]
//
// Reads one table of a genuine Access file (Jet 3, Jet 4 or ACE) with libmdb
// and writes it to standard output in the row stream form. The editor runs
// this as a child process: libmdb is C code that has read out of bounds on
// damaged files before, and a crash or a hang here must not take the editor
// with it. The file is opened read only; nothing is ever written to it.
//
// Exit codes: 0 a table was sent, 3 a failure was sent, 64 wrong arguments.
// glib first: mdbtools.h includes it inside extern "C", where its C++ parts can't be.
#include <glib.h>
#include <mdbtools.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rowstream.h"

namespace {

using rowstream::Writer;

constexpr int kOffsetMask = 0x1fff;
constexpr int kDeletedRow = 0x4000;

// Bounds that a damaged file can't push this process past: the editor sees a
// crash, not a machine that runs out of memory.
void LimitSelf() {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit memory{rlim_t(2) << 30, rlim_t(2) << 30};
    setrlimit(RLIMIT_AS, &memory);
    const rlimit cpu{300, 300};
    setrlimit(RLIMIT_CPU, &cpu);
}

// For the editor's tests of its own failure handling.
int TestFault(std::string_view kind, Writer& out) {
    if (kind == "crash") {
        out.Columns(1);
        std::fflush(stdout);
        std::raise(SIGSEGV);
    }
    if (kind == "hang") {
        for (;;) pause();
    }
    if (kind == "garbage") {
        std::fputs("\x01\x02 this is not a row stream \xff\xfe", stdout);
        return 0;
    }
    if (kind == "exit") return 5;
    if (kind == "short") {  // a table without its end mark
        out.Columns(1);
        out.Column(rowstream::kNumberColumn, "ID");
        out.Row();
        out.Number(1);
        return 0;
    }
    return 64;
}

// Access compares names without regard to case.
bool EqualNoCase(const char* a, std::string_view b) {
    return g_ascii_strcasecmp(a, std::string(b).c_str()) == 0;
}

rowstream::ColumnKind KindOf(int type) {
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC: return rowstream::kNumberColumn;
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID: return rowstream::kTextColumn;
    default: return rowstream::kUnreadableColumn;  // binary, OLE objects, attachments
    }
}

// Bytes a fixed-size value takes on the page; 0 for the others.
int FixedSize(int type) {
    switch (type) {
    case MDB_BYTE: return 1;
    case MDB_INT: return 2;
    case MDB_LONGINT:
    case MDB_FLOAT: return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME: return 8;
    case MDB_NUMERIC: return 17;
    case MDB_REPID: return 16;
    default: return 0;
    }
}

// Sends one cell of the current data page. False when the value lies outside
// the page: the row is damaged.
bool SendCell(MdbHandle* mdb, const MdbColumn& col, const MdbField& f, Writer& out) {
    const int type = col.col_type;
    if (type == MDB_BOOL) {  // the null bit holds the value itself: set is Yes (-1)
        out.Number(f.is_null ? 0.0 : -1.0);
        return true;
    }
    if (f.is_null) {
        out.Null();
        return true;
    }
    const long pageSize = mdb->fmt->pg_size;
    if (f.start < 0 || f.siz < 0 || long(f.start) + f.siz > pageSize) return false;
    const int fixed = FixedSize(type);
    if (fixed && f.siz < fixed) return false;
    unsigned char* page = mdb->pg_buf;
    switch (type) {
    case MDB_BYTE: out.Number(mdb_get_byte(page, f.start)); return true;
    case MDB_INT: out.Number(static_cast<std::int16_t>(mdb_get_int16(page, f.start))); return true;
    case MDB_LONGINT: out.Number(static_cast<std::int32_t>(mdb_get_int32(page, f.start))); return true;
    case MDB_FLOAT: out.Number(mdb_get_single(page, f.start)); return true;
    case MDB_DOUBLE:
    case MDB_DATETIME: out.Number(mdb_get_double(page, f.start)); return true;
    case MDB_MONEY: {  // a 64-bit count of ten-thousandths
        std::int64_t units;
        std::memcpy(&units, page + f.start, sizeof units);
        out.Number(static_cast<double>(units) / 10000.0);
        return true;
    }
    case MDB_NUMERIC: {
        char* text = mdb_numeric_to_string(mdb, f.start, col.col_scale, col.col_prec);
        char* end = nullptr;
        const double v = text ? std::strtod(text, &end) : 0.0;
        const bool ok = text && end != text && *end == '\0';
        g_free(text);
        if (!ok) return false;
        out.Number(v);
        return true;
    }
    case MDB_TEXT:
    case MDB_MEMO: {
        char* text = mdb_col_to_string(mdb, page, f.start, type, f.siz);
        out.Text(text ? text : "");
        g_free(text);
        return true;
    }
    case MDB_REPID: {
        char* text = mdb_uuid_to_string(page, f.start);
        out.Text(text ? text : "");
        g_free(text);
        return true;
    }
    default: out.Unreadable(); return true;
    }
}

int SendTable(MdbHandle* mdb, std::string_view name, Writer& out) {
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        out.Fail(rowstream::kDamaged, "目录");
        return 3;
    }
    MdbCatalogEntry* entry = nullptr;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && mdb_is_user_table(e) && EqualNoCase(e->object_name, name)) {
            entry = e;
            break;
        }
    }
    if (!entry) {
        out.Fail(rowstream::kNoTable, name);
        return 3;
    }
    MdbTableDef* table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table) || !table->columns || table->num_cols == 0 ||
        table->columns->len != table->num_cols || table->num_cols > MDB_MAX_COLS) {
        out.Fail(rowstream::kDamaged, "表定义");
        return 3;
    }

    const unsigned int columns = table->num_cols;
    out.Columns(static_cast<std::uint16_t>(columns));
    for (unsigned int i = 0; i < columns; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        out.Column(KindOf(col->col_type), col->name);
    }

    std::vector<MdbField> fields(columns);
    std::vector<int> order(columns);  // field of each column in the row
    std::uint32_t rows = 0;
    mdb_rewind_table(table);
    while (mdb_read_next_dpg(table)) {
        const int onPage = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (int r = 0; r < onPage; ++r) {
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb, r, &start, &size) != 0) {
                out.Fail(rowstream::kDamaged, "第 " + std::to_string(table->cur_phys_pg) + " 页的行表");
                return 3;
            }
            if (size == 0 || (start & kDeletedRow)) continue;  // deleted rows stay on the page
            start &= kOffsetMask;
            const int cracked = mdb_crack_row(table, start, size, fields.data());
            if (cracked < 0) {
                out.Fail(rowstream::kDamaged, "第 " + std::to_string(table->cur_phys_pg) + " 页的一行");
                return 3;
            }
            std::fill(order.begin(), order.end(), -1);
            for (unsigned int i = 0; i < columns; ++i)
                if (fields[i].colnum >= 0 && static_cast<unsigned>(fields[i].colnum) < columns)
                    order[static_cast<std::size_t>(fields[i].colnum)] = static_cast<int>(i);
            out.Row();
            for (unsigned int c = 0; c < columns; ++c) {
                const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
                const int f = order[c];
                if (f < 0 || !SendCell(mdb, *col, fields[static_cast<std::size_t>(f)], out)) {
                    out.Fail(rowstream::kDamaged, "第 " + std::to_string(table->cur_phys_pg) + " 页的一行");
                    return 3;
                }
            }
            ++rows;
        }
        if (!out.ok()) return 1;
    }
    // The table definition keeps the row count: pages that went missing show here.
    if (rows != table->num_rows) {
        out.Fail(rowstream::kDamaged, "读到 " + std::to_string(rows) + " 行，表头记着 " +
                                          std::to_string(table->num_rows) + " 行");
        return 3;
    }
    out.End(rows);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    LimitSelf();
    if (argc < 3 || argc > 4) {
        std::fputs("usage: pointline-mdbreader FILE TABLE\n", stderr);
        return 64;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    Writer out(stdout);

    constexpr std::string_view kFault = "--test-fault=";
    if (argc == 4) {
        const std::string_view arg = argv[3];
        if (arg.substr(0, kFault.size()) != kFault) return 64;
        const int rc = TestFault(arg.substr(kFault.size()), out);
        std::fflush(stdout);
        return rc;
    }

    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    int rc;
    if (!mdb) {
        out.Fail(rowstream::kNotAccess, "");
        rc = 3;
    } else {
        rc = SendTable(mdb, argv[2], out);
        // The process ends here; its memory goes with it, and closing would
        // only walk damaged structures once more.
    }
    if (std::fflush(stdout) != 0 || !out.ok()) return 1;
    return rc;
}
