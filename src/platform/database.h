#pragma once
// The one way the editor reaches a drawing database: data controls that open a
// file and run a record source, the recordset they hand back, and the engine
// that creates new databases. Our files are SQLite databases; genuine Access
// files (Jet 3, Jet 4, ACE) are read too, never written, through
// platform/accessreader.h.
//
// Every failure is thrown as a DbError; nothing here ends the program, and no
// read ever creates a file.
//
// Reading, e.g. a search by number:
//     Data data;
//     data.DatabaseName = file;
//     data.ReadOnly = true;
//     data.RecordSource = "select * from PointTable where ID=?";
//     data.Parameters = {DbValue(42)};
//     data.Refresh();
//     Recordset& rs = data.Recordset();
//     if (rs.RecordCount() > 0) {
//         const DbValue& x = rs.Fields("X");  // x.IsText(), x.Text() ...
//     }
//
// Writing: Refresh on "select * from <table>", then AddNew, SetField, Update
// per row; BeginTrans / CommitTrans around a batch of rows.
//
// Creating: DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral),
// CreateTableDef, CreateField, Fields.Append, TableDefs.Append, Close.

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class DbError : public std::runtime_error {
public:
    enum class Kind {
        Missing,          // the file doesn't exist
        NotDatabase,      // the file isn't one of our databases, or is damaged
        Exists,           // creating over an existing file
        NoTable,
        NoField,
        NoCurrentRecord,  // a field read before the first or after the last row
        Null,             // an empty value where a value is needed
        OutOfRange,       // a value that doesn't fit its column or its reader
        TypeMismatch,
        ReadOnly,
        Cancelled,        // the user stopped a read (see DbCancelScope)
        Usage,            // an operation called in a state that doesn't allow it
        Engine,           // any other error reported by SQLite or the file system
    };
    // `what()` is a short Chinese reason, UTF-8, fit to show to the user.
    DbError(Kind kind, const std::string& reason) : std::runtime_error(reason), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// A field's value: empty (null), a number or a text.
class DbValue {
public:
    DbValue() = default;
    DbValue(double number) : v_(number) {}
    DbValue(int number) : v_(static_cast<double>(number)) {}
    DbValue(std::string text) : v_(std::move(text)) {}
    DbValue(const char* text) : v_(std::string(text)) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
    bool IsNumber() const { return std::holds_alternative<double>(v_); }
    bool IsText() const { return std::holds_alternative<std::string>(v_); }
    // Throw DbError (TypeMismatch) when the value is of the other kind.
    double Number() const;
    const std::string& Text() const;

    bool operator==(const DbValue&) const = default;

private:
    std::variant<std::monostate, double, std::string> v_;
};

// A text that is wholly a decimal number, blanks around it allowed ("7",
// " -2.5 ", "+1E3"): the only texts that convert to a number where a number
// is needed. False for anything else ("", "abc", "7xyz", "inf").
bool WholeNumberText(std::string_view text, double& number);

// Field type codes of the engine.
constexpr int dbInteger = 3;  // 16-bit signed integer
constexpr int dbDouble = 7;   // 64-bit float
constexpr int dbText = 10;
// The general sort order, the only locale the engine offers.
inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

// How long one read (a Refresh) may run: the backstop against a file that
// keeps the engine busy. Past it the read fails. Process-wide; tests change it.
std::chrono::milliseconds& DbReadTimeout();

// While one is alive on a thread, the reads on that thread fail with
// Kind::Cancelled once `flag` turns true (set from another thread).
class DbCancelScope {
public:
    explicit DbCancelScope(const std::atomic<bool>& flag);
    ~DbCancelScope();
    DbCancelScope(const DbCancelScope&) = delete;
    DbCancelScope& operator=(const DbCancelScope&) = delete;
    // The flag of the calling thread's scope; null outside one.
    static const std::atomic<bool>* Flag();

private:
    const std::atomic<bool>* previous_;
};

// What a file is, by its first bytes: "SQLite format 3\0" at 0 is ours,
// "Standard Jet DB" or "Standard ACE DB" at 4 a genuine Access file.
enum class DbFileKind { Sqlite, Access, Other };
DbFileKind FileKindOfHeader(const char* head, std::size_t size);

// An open SQLite connection. Opening checks the file first: a missing file is
// never created, and a file that doesn't start with the SQLite header is
// refused before SQLite sees it (an Access file as read only). So is a file
// cut short (SQLite would read the missing pages as zeros) and one that
// PRAGMA quick_check finds damaged.
class DbConnection {
public:
    enum class Mode { ReadOnly, ReadWrite };
    // `quickCheck` false skips PRAGMA quick_check, for a file checked a moment
    // ago and not changed since.
    DbConnection(const std::string& file, Mode mode, bool quickCheck = true);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    sqlite3* handle() const { return db_; }
    const std::string& file() const { return file_; }
    Mode mode() const { return mode_; }
    void Exec(const char* sql);
    bool InTransaction() const;

    // The kind of an existing file, read without disturbing the locks that
    // connections of this process hold on it. Throws as the constructor does
    // for a missing file or a folder.
    static DbFileKind KindOf(const std::string& file);

    // Throws the DbError that matches an SQLite result code; the message is
    // the connection's last one unless given.
    [[noreturn]] void Fail(int code, std::string message = {}) const;

    // The file's size when it was opened.
    long long FileSize() const { return fileSize_; }

    // While alive, statements on the connection stop after DbReadTimeout()
    // and when the thread's DbCancelScope flag is set.
    class ReadClock {
    public:
        explicit ReadClock(DbConnection& c);
        ~ReadClock();
        ReadClock(const ReadClock&) = delete;
        ReadClock& operator=(const ReadClock&) = delete;

    private:
        DbConnection& c_;
    };

private:
    enum class Stop { None, Timeout, Cancelled };
    static int OnProgress(void* connection);
    void CheckComplete();
    void QuickCheck();

    sqlite3* db_ = nullptr;
    std::string file_;
    Mode mode_;
    long long fileSize_ = 0;
    const std::atomic<bool>* cancel_ = nullptr;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    Stop stopped_ = Stop::None;
};

// A prepared statement, finalized when it goes.
class DbStatement {
public:
    DbStatement(DbConnection& connection, std::string_view sql);
    ~DbStatement();
    DbStatement(const DbStatement&) = delete;
    DbStatement& operator=(const DbStatement&) = delete;

    sqlite3_stmt* handle() const { return stmt_; }
    // index from 1. Texts are copied unless the caller keeps the value
    // unchanged until the statement has been stepped and reset.
    void Bind(int index, const DbValue& value, bool copyText = true);
    bool Step();                                 // true: a row is ready
    void Reset();
    int ColumnCount() const;
    DbValue Column(int index) const;             // index from 0

private:
    DbConnection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
};

struct AccessTable;

// The rows of a record source, read in full when the source runs, in the
// order the engine gives them (for a plain table the order they were added).
// A recordset on exactly "select * from <table>" also appends rows to that
// table; appended rows are seen by the next Refresh.
class Recordset {
public:
    Recordset(DbConnection& connection, const std::string& source, const std::vector<DbValue>& parameters,
              bool readOnly);
    // The rows of a genuine Access file, which take no new rows. The source
    // is "select * from <table>", optionally with "where <field>=?": numbers
    // equal to the parameter match, and texts that are wholly such a number.
    Recordset(const std::string& file, const std::string& source, const std::vector<DbValue>& parameters);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void MoveFirst() { position_ = 0; }
    void MoveNext();
    bool Eof() const { return position_ >= RecordCount(); }  // the engine's EOF
    int RecordCount() const { return static_cast<int>(rows_.size()); }
    // 0-based position of the current row; setting it makes that row current.
    int AbsolutePosition() const { return position_; }
    void SetAbsolutePosition(int row);

    int FieldCount() const { return static_cast<int>(names_.size()); }
    const std::string& FieldName(int index) const;
    // 0-based position of a field, names compared without regard to case;
    // -1 when there is none.
    int FieldIndex(std::string_view name) const;
    // False for a field of a type that can't be read as a number or a text
    // (binary and OLE fields of Access files); its values are empty.
    bool FieldReadable(int index) const;

    // Values of the current row.
    const DbValue& Fields(int index) const;
    const DbValue& Fields(std::string_view name) const;
    // Any row, for grids.
    const DbValue& Value(int row, int index) const;

    // Appending: AddNew starts an empty row, SetField fills it, Update stores
    // it at once. A 16-bit integer field refuses numbers outside
    // -32768..32767; a number for a text field is stored as its text.
    void AddNew();
    void SetField(int index, DbValue value);
    void SetField(std::string_view name, DbValue value);
    void Update();

private:
    int RequireField(std::string_view name) const;

    DbConnection* connection_;  // null for an Access file
    std::vector<std::string> names_;
    std::vector<int> types_;  // type code per field, 0 when the column has none of ours
    std::vector<bool> unreadable_;  // empty when every field reads
    std::vector<std::vector<DbValue>> rows_;
    int position_ = 0;
    std::string table_;  // empty when the source can't take new rows
    bool readOnly_;
    std::unique_ptr<DbStatement> insert_;  // prepared on the first AddNew
    std::vector<DbValue> newRow_;
    bool adding_ = false;
};

// What the two data controls share: a record source, parameters bound to its
// "?" marks in order, Refresh, the current recordset and transactions. The
// file is opened again by each Refresh, except inside a transaction, which
// keeps its connection until it ends.
class DataSourceControl {
public:
    virtual ~DataSourceControl();

    std::string RecordSource;
    std::vector<DbValue> Parameters;

    // Opens the file and runs the record source; the result becomes the
    // current recordset, on its first row.
    void Refresh();
    // Throws when no Refresh has succeeded yet.
    ::Recordset& Recordset();

    void BeginTrans();
    void CommitTrans();
    void Rollback();
    // Drops the recordset and the connection; an open transaction is rolled back.
    void Close();

protected:
    virtual std::string File() const = 0;
    virtual bool IsReadOnly() const = 0;

private:
    DbConnection& Connection();

    std::unique_ptr<DbConnection> connection_;
    std::unique_ptr<::Recordset> recordset_;
    // The file as it was when its last opening checked it (see FileStamp):
    // the two Refreshes of a load check it once.
    std::string checked_;
};

// The DAO-style data control.
class Data : public DataSourceControl {
public:
    std::string DatabaseName;  // UTF-8 path
    bool ReadOnly = false;

protected:
    std::string File() const override { return DatabaseName; }
    bool IsReadOnly() const override { return ReadOnly; }
};

// The ADO-style data control: the file comes from "Data Source" of the
// connection text; other keys are ignored.
class Adodc : public DataSourceControl {
public:
    std::string ConnectionString;

    static std::string DataSourceOf(std::string_view text);

protected:
    std::string File() const override { return DataSourceOf(ConnectionString); }
    bool IsReadOnly() const override { return false; }
};

// ---- the engine ----

class Field {
public:
    Field(std::string name, int type) : Name(std::move(name)), Type(type) {}
    std::string Name;
    int Type;
};

class TableDef {
public:
    explicit TableDef(std::string name) : Name(std::move(name)) {}
    std::string Name;

    struct FieldList {
        std::vector<Field> items;
        void Append(const Field& field);
    } Fields;

    // Type must be dbInteger, dbDouble or dbText.
    Field CreateField(const std::string& name, int type) const;
};

class Database {
public:
    explicit Database(std::unique_ptr<DbConnection> connection);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    std::unique_ptr<TableDef> CreateTableDef(const std::string& name) const;

    struct TableDefList {
        Database* owner;
        // Creates the table in the file at once.
        void Append(const TableDef& table);
    } TableDefs{this};

    void Close();

private:
    DbConnection& Connection();
    std::unique_ptr<DbConnection> connection_;
};

class Workspace {
public:
    // A new, empty database file. Refuses a file that exists already, and
    // leaves it untouched. Only dbLangGeneral is accepted as the locale.
    std::unique_ptr<Database> CreateDatabase(const std::string& file, std::string_view locale);
};

class DBEngine {
public:
    // Only the default workspace, index 0, exists.
    static Workspace& Workspaces(int index);
};
