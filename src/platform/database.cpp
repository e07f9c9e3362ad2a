#include "platform/database.h"

#include "platform/accessreader.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace {

constexpr char kHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
constexpr double kMinInteger = -32768.0;
constexpr double kMaxInteger = 32767.0;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string Quoted(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

std::string NumberText(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string SystemReason() { return std::string("（") + std::strerror(errno) + "）"; }

// The first bytes, read through SQLite's own handle: opening the file a second
// time and closing it would drop the POSIX locks SQLite holds on it.
DbFileKind HeaderKind(sqlite3* db) {
    sqlite3_file* fp = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &fp) != SQLITE_OK || !fp || !fp->pMethods)
        return DbFileKind::Other;
    char head[20] = {};
    const int rc = fp->pMethods->xRead(fp, head, sizeof head, 0);  // a short file reads as zeros
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return DbFileKind::Other;
    return FileKindOfHeader(head, sizeof head);
}

// A missing file, or one that isn't a plain file, fails here, before SQLite
// could make or open it.
void CheckExists(const std::string& file) {
    if (file.empty()) throw DbError(DbError::Kind::Missing, "没有文件名");
    std::error_code ec;
    const auto type = std::filesystem::status(std::filesystem::path(file), ec).type();
    if (type == std::filesystem::file_type::not_found) throw DbError(DbError::Kind::Missing, "文件不存在");
    if (ec) throw DbError(DbError::Kind::Engine, "无法打开数据库：" + ec.message());
    // A folder, and a pipe or device, whose opening could wait for a writer.
    if (type != std::filesystem::file_type::regular) throw DbError(DbError::Kind::NotDatabase, "不是数据库文件");
}

const char* const kAccessReadOnly = "Access 文件只能读取，不能写入";

thread_local const std::atomic<bool>* tCancel = nullptr;

// The name of the table that "select * from <table> ..." reads, or empty.
std::string SourceTable(std::string_view source) {
    auto word = [&source](std::string_view w) {
        source = Trim(source);
        if (source.size() < w.size() || !EqualNoCase(source.substr(0, w.size()), w)) return false;
        source.remove_prefix(w.size());
        return true;
    };
    if (!word("select") || !word("*") || !word("from")) return {};
    source = Trim(source);
    std::size_t n = 0;
    while (n < source.size() && (std::isalnum(static_cast<unsigned char>(source[n])) || source[n] == '_')) ++n;
    if (n == 0 || (n < source.size() && !std::isspace(static_cast<unsigned char>(source[n])) && source[n] != ';'))
        return {};
    return std::string(source.substr(0, n));
}

// Which file, and which version of it: device, inode, size and modification
// time. Empty when the file can't be looked at.
std::string FileStamp(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return {};
    return file + '|' + std::to_string(st.st_dev) + '|' + std::to_string(st.st_ino) + '|' + std::to_string(st.st_size) +
           '|' + std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
}

// The drawing is read from real tables only: a view or a virtual table under
// the name could compute rows without end.
void RequireRealTable(DbConnection& connection, const std::string& table) {
    DbStatement find(connection, "SELECT type, sql FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
    find.Bind(1, DbValue(table));
    if (!find.Step()) return;  // the query itself reports the missing table
    const DbValue type = find.Column(0), sql = find.Column(1);
    const bool virtualTable = sql.IsText() && EqualNoCase(sql.Text().substr(0, 14), "CREATE VIRTUAL");
    if (type == DbValue("table") && !virtualTable) return;
    throw DbError(DbError::Kind::NoTable, table + " 不是数据表（是" +
                                              (type == DbValue("view") ? "视图" : virtualTable ? "虚拟表" : "其他对象") +
                                              "）");
}

// Type code of a declared column type; 0 for types the engine doesn't make.
int TypeCodeOf(const char* declared) {
    if (!declared) return 0;
    const std::string_view d = Trim(declared);
    if (EqualNoCase(d, "SMALLINT")) return dbInteger;
    if (EqualNoCase(d, "DOUBLE") || EqualNoCase(d, "REAL") || EqualNoCase(d, "FLOAT")) return dbDouble;
    if (EqualNoCase(d, "TEXT") || EqualNoCase(d.substr(0, 7), "VARCHAR")) return dbText;
    return 0;
}

const char* DeclaredType(int type) {
    switch (type) {
    case dbInteger: return "SMALLINT";
    case dbDouble: return "DOUBLE";
    case dbText: return "TEXT";
    default: return nullptr;
    }
}

// The table of "select * from <table>", the only record source that takes new rows.
std::string AppendableTable(std::string_view source) {
    auto word = [&source](std::string_view w) {
        source = Trim(source);
        if (source.size() <= w.size() || !EqualNoCase(source.substr(0, w.size()), w)) return false;
        const char next = source[w.size()];
        if (w != "*" && !std::isspace(static_cast<unsigned char>(next))) return false;
        source.remove_prefix(w.size());
        return true;
    };
    if (!word("select") || !word("*") || !word("from")) return {};
    source = Trim(source);
    while (!source.empty() && source.back() == ';') source = Trim(source.substr(0, source.size() - 1));
    if (source.empty() || std::isdigit(static_cast<unsigned char>(source.front()))) return {};
    for (char c : source)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return {};
    return std::string(source);
}

double NumberForField(const DbValue& value, const std::string& field) {
    if (value.IsNumber()) return value.Number();
    double number = 0.0;
    if (!WholeNumberText(value.Text(), number))
        throw DbError(DbError::Kind::TypeMismatch, "字段 " + field + " 需要数字，不是“" + value.Text() + "”");
    return number;
}

}  // namespace

bool WholeNumberText(std::string_view text, double& number) {
    text = Trim(text);
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || !(std::isdigit(static_cast<unsigned char>(digits.front())) || digits.front() == '.'))
        return false;  // also keeps out "inf" and "nan"
    if (text.front() == '+') text.remove_prefix(1);
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// ---- read limits ----

std::string Seconds(std::chrono::milliseconds d) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(d.count()) / 1000.0);
    return text;
}

std::chrono::milliseconds& DbReadTimeout() {
    static std::chrono::milliseconds timeout{60000};
    return timeout;
}

DbCancelScope::DbCancelScope(const std::atomic<bool>& flag) : previous_(tCancel) { tCancel = &flag; }
DbCancelScope::~DbCancelScope() { tCancel = previous_; }
const std::atomic<bool>* DbCancelScope::Flag() { return tCancel; }

// ---- DbValue ----

double DbValue::Number() const {
    if (!IsNumber()) throw DbError(DbError::Kind::TypeMismatch, "值不是数字");
    return std::get<double>(v_);
}

const std::string& DbValue::Text() const {
    if (!IsText()) throw DbError(DbError::Kind::TypeMismatch, "值不是文本");
    return std::get<std::string>(v_);
}

// ---- DbConnection ----

DbFileKind FileKindOfHeader(const char* head, std::size_t size) {
    if (size >= sizeof kHeader && std::memcmp(head, kHeader, sizeof kHeader) == 0) return DbFileKind::Sqlite;
    constexpr std::string_view kJet = "Standard Jet DB", kAce = "Standard ACE DB";
    if (size >= 4 + kJet.size()) {
        const std::string_view at4(head + 4, kJet.size());
        if (at4 == kJet || at4 == kAce) return DbFileKind::Access;
    }
    return DbFileKind::Other;
}

DbFileKind DbConnection::KindOf(const std::string& file) {
    CheckExists(file);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const DbFileKind kind = rc == SQLITE_OK ? HeaderKind(db) : DbFileKind::Other;
    sqlite3_close_v2(db);
    return kind;
}

DbConnection::DbConnection(const std::string& file, Mode mode, bool quickCheck) : file_(file), mode_(mode) {
    CheckExists(file);
    // Without SQLITE_OPEN_CREATE a file that went missing meanwhile is not made.
    // A connection is only ever used by one thread at a time.
    const int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw DbError(DbError::Kind::Engine, "无法打开数据库：" + reason);
    }
    try {
        // SQLite takes any file, even an empty one or a text, and fails only at
        // the first statement; ours start with the SQLite header.
        const DbFileKind kind = HeaderKind(db_);
        if (kind == DbFileKind::Access) throw DbError(DbError::Kind::ReadOnly, kAccessReadOnly);
        if (kind != DbFileKind::Sqlite) throw DbError(DbError::Kind::NotDatabase, "不是数据库文件");
        CheckComplete();
        // The files come from anywhere: their schema gets no say over what runs.
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_busy_timeout(db_, 2000);
        cancel_ = DbCancelScope::Flag();
        sqlite3_progress_handler(db_, 1000, &DbConnection::OnProgress, this);
        if (quickCheck) QuickCheck();
    } catch (...) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw;
    }
}

// SQLite reads the pages missing from a file that was cut short as zeros,
// and even its checks then find nothing wrong: refuse such a file here.
void DbConnection::CheckComplete() {
    sqlite3_file* fp = nullptr;
    unsigned char head[100] = {};
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &fp) != SQLITE_OK || !fp || !fp->pMethods ||
        fp->pMethods->xFileSize(fp, &size) != SQLITE_OK)
        throw DbError(DbError::Kind::Engine, "无法读取数据库文件");
    fileSize_ = size;
    if (size < static_cast<sqlite3_int64>(sizeof head) || fp->pMethods->xRead(fp, head, sizeof head, 0) != SQLITE_OK)
        throw DbError(DbError::Kind::NotDatabase, "数据库文件不完整（被截断）");
    auto be32 = [&head](int at) {
        return std::uint32_t(head[at]) << 24 | std::uint32_t(head[at + 1]) << 16 | std::uint32_t(head[at + 2]) << 8 |
               std::uint32_t(head[at + 3]);
    };
    const std::uint32_t pageSize = head[16] == 0 && head[17] == 1 ? 65536u : (std::uint32_t(head[16]) << 8 | head[17]);
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        throw DbError(DbError::Kind::NotDatabase, "不是数据库文件或文件已损坏");
    // The page count at 28 holds only when the change counter at 24 matches the one at 92.
    const std::uint32_t pages = be32(28);
    const bool countValid = pages != 0 && be32(24) == be32(92);
    if (size % pageSize != 0 || (countValid && size < static_cast<sqlite3_int64>(pages) * pageSize))
        throw DbError(DbError::Kind::NotDatabase, "数据库文件不完整（被截断）");
}

// Damage SQLite can find on its own (pages out of order, bad free lists),
// before anything of the file is read.
void DbConnection::QuickCheck() {
    ReadClock clock(*this);
    DbStatement check(*this, "PRAGMA quick_check(1)");
    std::string verdict = check.Step() && check.Column(0).IsText() ? check.Column(0).Text() : std::string();
    if (verdict == "ok") return;
    constexpr std::string_view kPrefix = "*** in database main ***\n";
    if (verdict.rfind(kPrefix, 0) == 0) verdict.erase(0, kPrefix.size());
    throw DbError(DbError::Kind::NotDatabase, "数据库文件已损坏：" + verdict);
}

int DbConnection::OnProgress(void* connection) {
    auto* c = static_cast<DbConnection*>(connection);
    if (c->cancel_ && c->cancel_->load(std::memory_order_relaxed)) c->stopped_ = Stop::Cancelled;
    else if (std::chrono::steady_clock::now() > c->deadline_) c->stopped_ = Stop::Timeout;
    return c->stopped_ != Stop::None;
}

DbConnection::ReadClock::ReadClock(DbConnection& c) : c_(c) {
    c_.stopped_ = Stop::None;
    c_.deadline_ = std::chrono::steady_clock::now() + DbReadTimeout();
}

DbConnection::ReadClock::~ReadClock() { c_.deadline_ = std::chrono::steady_clock::time_point::max(); }

DbConnection::~DbConnection() { sqlite3_close_v2(db_); }

void DbConnection::Exec(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
}

bool DbConnection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void DbConnection::Fail(int code, std::string message) const {
    if (message.empty()) message = sqlite3_errmsg(db_);
    if ((code & 0xFF) == SQLITE_INTERRUPT && stopped_ == Stop::Cancelled)
        throw DbError(DbError::Kind::Cancelled, "已取消");
    if ((code & 0xFF) == SQLITE_INTERRUPT && stopped_ == Stop::Timeout)
        throw DbError(DbError::Kind::Engine, "读取超过 " + Seconds(DbReadTimeout()) + " 秒，已停止");
    switch (code & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: throw DbError(DbError::Kind::NotDatabase, "不是数据库文件或文件已损坏");
    case SQLITE_READONLY: throw DbError(DbError::Kind::ReadOnly, "数据库是只读的");
    default: break;
    }
    static constexpr std::string_view kNoTable = "no such table: ";
    static constexpr std::string_view kNoColumn = "no such column: ";
    if (message.rfind(kNoTable, 0) == 0) throw DbError(DbError::Kind::NoTable, "缺少表 " + message.substr(kNoTable.size()));
    if (message.rfind(kNoColumn, 0) == 0)
        throw DbError(DbError::Kind::NoField, "缺少列 " + message.substr(kNoColumn.size()));
    throw DbError(DbError::Kind::Engine, "数据库错误：" + message);
}

// ---- DbStatement ----

DbStatement::DbStatement(DbConnection& connection, std::string_view sql) : connection_(connection) {
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(connection.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) connection.Fail(rc);
    if (!stmt_) throw DbError(DbError::Kind::Usage, "记录源是空的");
    const std::string_view rest(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail));
    if (!Trim(rest).empty() && Trim(rest) != ";") {
        sqlite3_finalize(stmt_);
        throw DbError(DbError::Kind::Usage, "记录源只能有一条语句");
    }
}

DbStatement::~DbStatement() { sqlite3_finalize(stmt_); }

void DbStatement::Bind(int index, const DbValue& value, bool copyText) {
    int rc;
    if (value.IsEmpty()) {
        rc = sqlite3_bind_null(stmt_, index);
    } else if (value.IsNumber()) {
        const double d = value.Number();
        if (d == std::floor(d) && std::fabs(d) < 9.0e15) rc = sqlite3_bind_int64(stmt_, index, static_cast<sqlite3_int64>(d));
        else rc = sqlite3_bind_double(stmt_, index, d);
    } else {
        const std::string& t = value.Text();
        rc = sqlite3_bind_text(stmt_, index, t.data(), static_cast<int>(t.size()),
                               copyText ? SQLITE_TRANSIENT : SQLITE_STATIC);
    }
    if (rc != SQLITE_OK) connection_.Fail(rc);
}

bool DbStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // Reset so that the statement can be bound and run again after the error.
    std::string message = sqlite3_errmsg(connection_.handle());
    sqlite3_reset(stmt_);
    connection_.Fail(rc, std::move(message));
}

void DbStatement::Reset() { sqlite3_reset(stmt_); }

int DbStatement::ColumnCount() const { return sqlite3_column_count(stmt_); }

DbValue DbStatement::Column(int index) const {
    switch (sqlite3_column_type(stmt_, index)) {
    case SQLITE_INTEGER: return DbValue(static_cast<double>(sqlite3_column_int64(stmt_, index)));
    case SQLITE_FLOAT: return DbValue(sqlite3_column_double(stmt_, index));
    case SQLITE_NULL: return DbValue();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        return DbValue(std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index))));
    }
    }
}

// ---- Recordset ----

Recordset::Recordset(DbConnection& connection, const std::string& source, const std::vector<DbValue>& parameters,
                     bool readOnly)
    : connection_(&connection), table_(AppendableTable(source)), readOnly_(readOnly) {
    DbConnection::ReadClock clock(connection);
    if (const std::string table = SourceTable(source); !table.empty()) RequireRealTable(connection, table);
    DbStatement select(connection, source);
    // A record source only reads; anything else would change the file on Refresh.
    if (!sqlite3_stmt_readonly(select.handle()) || select.ColumnCount() == 0)
        throw DbError(DbError::Kind::Usage, "记录源必须是查询");
    const int wanted = sqlite3_bind_parameter_count(select.handle());
    if (wanted != static_cast<int>(parameters.size()))
        throw DbError(DbError::Kind::Usage, "记录源要 " + std::to_string(wanted) + " 个参数，给了 " +
                                                std::to_string(parameters.size()) + " 个");
    for (int i = 0; i < wanted; ++i) select.Bind(i + 1, parameters[static_cast<std::size_t>(i)]);

    const int columns = select.ColumnCount();
    for (int i = 0; i < columns; ++i) {
        names_.emplace_back(sqlite3_column_name(select.handle(), i));
        types_.push_back(TypeCodeOf(sqlite3_column_decltype(select.handle(), i)));
    }
    // A table holds no more than its file; values computed on reading (such
    // as generated columns) could, without end.
    const long long budget = (64LL << 20) + 4 * connection.FileSize();
    long long used = 0;
    while (select.Step()) {
        std::vector<DbValue> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) {
            row.push_back(select.Column(i));
            used += row.back().IsText() ? 8 + static_cast<long long>(row.back().Text().size()) : 8;
        }
        if (used > budget) throw DbError(DbError::Kind::NotDatabase, "读出的数据远多于文件本身，已停止");
        rows_.push_back(std::move(row));
    }
}

Recordset::Recordset(const std::string& file, const std::string& source, const std::vector<DbValue>& parameters)
    : connection_(nullptr), readOnly_(true) {
    AccessTable table = ReadAccessSource(file, source, parameters);
    names_ = std::move(table.names);
    types_.assign(names_.size(), 0);
    unreadable_.resize(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i) unreadable_[i] = !table.readable[i];
    rows_ = std::move(table.rows);
}

Recordset::~Recordset() = default;

void Recordset::MoveNext() {
    if (Eof()) throw DbError(DbError::Kind::NoCurrentRecord, "没有当前记录");
    ++position_;
}

void Recordset::SetAbsolutePosition(int row) {
    if (row < 0 || row >= RecordCount()) throw DbError(DbError::Kind::NoCurrentRecord, "没有当前记录");
    position_ = row;
}

const std::string& Recordset::FieldName(int index) const {
    if (index < 0 || index >= FieldCount())
        throw DbError(DbError::Kind::NoField, "没有第 " + std::to_string(index) + " 列");
    return names_[static_cast<std::size_t>(index)];
}

int Recordset::FieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (EqualNoCase(names_[i], name)) return static_cast<int>(i);
    return -1;
}

bool Recordset::FieldReadable(int index) const {
    FieldName(index);  // checks the index
    return unreadable_.empty() || !unreadable_[static_cast<std::size_t>(index)];
}

int Recordset::RequireField(std::string_view name) const {
    const int index = FieldIndex(name);
    if (index < 0) throw DbError(DbError::Kind::NoField, "缺少列 " + std::string(name));
    return index;
}

const DbValue& Recordset::Value(int row, int index) const {
    if (row < 0 || row >= RecordCount()) throw DbError(DbError::Kind::NoCurrentRecord, "没有当前记录");
    FieldName(index);  // checks the index
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(index)];
}

const DbValue& Recordset::Fields(int index) const { return Value(position_, index); }
const DbValue& Recordset::Fields(std::string_view name) const { return Value(position_, RequireField(name)); }

void Recordset::AddNew() {
    if (!connection_) throw DbError(DbError::Kind::ReadOnly, kAccessReadOnly);
    if (readOnly_ || connection_->mode() == DbConnection::Mode::ReadOnly)
        throw DbError(DbError::Kind::ReadOnly, "记录集是只读的");
    if (table_.empty()) throw DbError(DbError::Kind::Usage, "这个记录源不能添加记录");
    if (!insert_) {
        std::string sql = "INSERT INTO " + Quoted(table_) + " (";
        for (std::size_t i = 0; i < names_.size(); ++i) sql += (i ? ", " : "") + Quoted(names_[i]);
        sql += ") VALUES (";
        for (std::size_t i = 0; i < names_.size(); ++i) sql += i ? ", ?" : "?";
        sql += ")";
        insert_ = std::make_unique<DbStatement>(*connection_, sql);
    }
    newRow_.assign(names_.size(), DbValue());
    adding_ = true;
}

void Recordset::SetField(int index, DbValue value) {
    if (!adding_) throw DbError(DbError::Kind::Usage, "先要 AddNew 才能给字段赋值");
    FieldName(index);
    newRow_[static_cast<std::size_t>(index)] = std::move(value);
}

void Recordset::SetField(std::string_view name, DbValue value) { SetField(RequireField(name), std::move(value)); }

void Recordset::Update() {
    if (!adding_) throw DbError(DbError::Kind::Usage, "先要 AddNew 才能 Update");
    adding_ = false;  // a failed row is dropped, as a cancelled edit
    for (std::size_t i = 0; i < names_.size(); ++i) {
        const DbValue& value = newRow_[i];
        const std::string& name = names_[i];
        const int index = static_cast<int>(i) + 1;
        if (value.IsEmpty()) {
            insert_->Bind(index, value);
            continue;
        }
        switch (types_[i]) {
        case dbInteger: {
            const double number = NumberForField(value, name);
            const double rounded = std::nearbyint(number);
            if (!(rounded >= kMinInteger && rounded <= kMaxInteger))
                throw DbError(DbError::Kind::OutOfRange,
                              "字段 " + name + " 的值 " + NumberText(number) + " 超出 -32768 到 32767 的范围");
            insert_->Bind(index, DbValue(rounded));
            break;
        }
        case dbDouble: insert_->Bind(index, DbValue(NumberForField(value, name))); break;
        // newRow_ stays as it is until the row is stored, so its texts needn't be copied.
        case dbText:
            if (value.IsText()) insert_->Bind(index, value, false);
            else insert_->Bind(index, DbValue(NumberText(value.Number())));
            break;
        default: insert_->Bind(index, value, false); break;
        }
    }
    insert_->Step();
    insert_->Reset();
}

// ---- data controls ----

DataSourceControl::~DataSourceControl() { Close(); }

DbConnection& DataSourceControl::Connection() {
    const auto mode = IsReadOnly() ? DbConnection::Mode::ReadOnly : DbConnection::Mode::ReadWrite;
    const std::string file = File();
    if (connection_ && connection_->InTransaction()) {
        if (connection_->file() != file || connection_->mode() != mode)
            throw DbError(DbError::Kind::Usage, "事务未结束，不能换数据库");
        return *connection_;
    }
    connection_.reset();
    // A file already checked is checked again only when it changed meanwhile.
    const std::string stamp = FileStamp(file);
    connection_ = std::make_unique<DbConnection>(file, mode, stamp.empty() || stamp != checked_);
    checked_ = stamp;
    return *connection_;
}

void DataSourceControl::Refresh() {
    recordset_.reset();
    if (!(connection_ && connection_->InTransaction())) {
        connection_.reset();
        const std::string file = File();
        if (DbConnection::KindOf(file) == DbFileKind::Access) {
            recordset_ = std::make_unique<::Recordset>(file, RecordSource, Parameters);
            return;
        }
    }
    DbConnection& connection = Connection();
    recordset_ = std::make_unique<::Recordset>(connection, RecordSource, Parameters, IsReadOnly());
}

Recordset& DataSourceControl::Recordset() {
    if (!recordset_) throw DbError(DbError::Kind::Usage, "记录集还没有打开");
    return *recordset_;
}

void DataSourceControl::BeginTrans() {
    recordset_.reset();
    Connection().Exec("BEGIN");
}

void DataSourceControl::CommitTrans() {
    if (!connection_ || !connection_->InTransaction()) throw DbError(DbError::Kind::Usage, "没有开始事务");
    connection_->Exec("COMMIT");
}

void DataSourceControl::Rollback() {
    if (connection_ && connection_->InTransaction()) sqlite3_exec(connection_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void DataSourceControl::Close() {
    recordset_.reset();
    Rollback();
    connection_.reset();
}

std::string Adodc::DataSourceOf(std::string_view text) {
    // key=value pairs separated by ";"; a value may be put in double or single
    // quotes (a doubled quote stands for one), so that it can hold a ";".
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t stop = text.find_first_of("=;", i);
        if (stop == std::string_view::npos) break;
        if (text[stop] == ';') {  // a part without a value
            i = stop + 1;
            continue;
        }
        const std::string_view key = Trim(text.substr(i, stop - i));
        std::string value;
        std::size_t j = stop + 1;
        while (j < text.size() && text[j] == ' ') ++j;
        if (j < text.size() && (text[j] == '"' || text[j] == '\'')) {
            const char quote = text[j++];
            for (; j < text.size(); ++j) {
                if (text[j] != quote) {
                    value += text[j];
                } else if (j + 1 < text.size() && text[j + 1] == quote) {
                    value += quote;
                    ++j;
                } else {
                    ++j;
                    break;
                }
            }
            const std::size_t semi = text.find(';', j);
            i = semi == std::string_view::npos ? text.size() : semi + 1;
        } else {
            const std::size_t semi = text.find(';', stop + 1);
            value = text.substr(stop + 1, semi == std::string_view::npos ? std::string_view::npos : semi - stop - 1);
            i = semi == std::string_view::npos ? text.size() : semi + 1;
        }
        if (EqualNoCase(key, "Data Source")) return value;
    }
    throw DbError(DbError::Kind::Usage, "连接字符串中没有 Data Source");
}

// ---- engine ----

void TableDef::FieldList::Append(const Field& field) { items.push_back(field); }

Field TableDef::CreateField(const std::string& name, int type) const {
    if (!DeclaredType(type)) throw DbError(DbError::Kind::Usage, "不支持的字段类型 " + std::to_string(type));
    if (name.empty()) throw DbError(DbError::Kind::Usage, "字段没有名字");
    return Field(name, type);
}

Database::Database(std::unique_ptr<DbConnection> connection) : connection_(std::move(connection)) {}
Database::~Database() = default;

DbConnection& Database::Connection() {
    if (!connection_) throw DbError(DbError::Kind::Usage, "数据库已关闭");
    return *connection_;
}

std::unique_ptr<TableDef> Database::CreateTableDef(const std::string& name) const {
    if (name.empty()) throw DbError(DbError::Kind::Usage, "表没有名字");
    return std::make_unique<TableDef>(name);
}

void Database::TableDefList::Append(const TableDef& table) {
    if (table.Fields.items.empty()) throw DbError(DbError::Kind::Usage, "表 " + table.Name + " 没有字段");
    std::string sql = "CREATE TABLE " + Quoted(table.Name) + " (";
    bool first = true;
    for (const Field& f : table.Fields.items) {
        if (!first) sql += ", ";
        first = false;
        sql += Quoted(f.Name) + " " + DeclaredType(f.Type);
        // Keeps other writers to the file inside the 16-bit range too.
        if (f.Type == dbInteger) sql += " CHECK (" + Quoted(f.Name) + " BETWEEN -32768 AND 32767)";
    }
    sql += ")";
    owner->Connection().Exec(sql.c_str());
}

void Database::Close() { connection_.reset(); }

std::unique_ptr<Database> Workspace::CreateDatabase(const std::string& file, std::string_view locale) {
    if (locale != dbLangGeneral) throw DbError(DbError::Kind::Usage, "不支持的区域设置 " + std::string(locale));
    if (file.empty()) throw DbError(DbError::Kind::Missing, "没有文件名");
    // "x": the file is made here or not at all, so an existing file is never touched.
    std::FILE* f = std::fopen(file.c_str(), "wbx");
    if (!f) {
        if (errno == EEXIST) throw DbError(DbError::Kind::Exists, "文件已存在");
        throw DbError(DbError::Kind::Engine, "无法创建文件" + SystemReason());
    }
    // Write the header at once, so that the file is a database even with no tables.
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA user_version = 0", nullptr, nullptr, nullptr);
    const std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    std::fclose(f);  // only after SQLite let go: closing a descriptor drops the file's locks
    try {
        if (rc != SQLITE_OK) throw DbError(DbError::Kind::Engine, "无法创建数据库：" + reason);
        return std::make_unique<Database>(std::make_unique<DbConnection>(file, DbConnection::Mode::ReadWrite));
    } catch (...) {
        std::remove(file.c_str());
        throw;
    }
}

Workspace& DBEngine::Workspaces(int index) {
    if (index != 0) throw DbError(DbError::Kind::Usage, "只有默认工作区 0");
    static Workspace workspace;
    return workspace;
}
