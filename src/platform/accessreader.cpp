#include "platform/accessreader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/rowstream.h"

extern char** environ;

namespace {

// More than any drawing needs: a reader that sends more is reading garbage.
constexpr std::size_t kMaxStream = std::size_t(1) << 30;
constexpr std::size_t kMaxErrorText = 4096;

DbError Broken(const std::string& table) {
    return DbError(DbError::Kind::Engine, "读取 Access 表 " + table + " 的进程送回了无法识别的数据");
}

// A forward-only view of the stream; every read checks what is left.
class Cursor {
public:
    Cursor(std::string_view bytes, const std::string& table) : rest_(bytes), table_(table) {}

    template <class T>
    T Get() {
        T v;
        Take(&v, sizeof v);
        return v;
    }
    std::string_view Bytes(std::size_t n) {
        if (n > rest_.size()) throw Broken(table_);
        const std::string_view s = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return s;
    }
    bool AtEnd() const { return rest_.empty(); }

private:
    void Take(void* p, std::size_t n) { std::memcpy(p, Bytes(n).data(), n); }
    std::string_view rest_;
    const std::string& table_;
};

[[noreturn]] void ThrowFailure(Cursor& in, const std::string& table) {
    const auto why = in.Get<std::uint8_t>();
    const std::string detail(in.Bytes(in.Get<std::uint32_t>()));
    if (!in.AtEnd()) throw Broken(table);
    switch (why) {
    case rowstream::kNotAccess: throw DbError(DbError::Kind::NotDatabase, "不是数据库文件或文件已损坏");
    case rowstream::kNoTable: throw DbError(DbError::Kind::NoTable, "缺少表 " + table);
    case rowstream::kDamaged:
        throw DbError(DbError::Kind::NotDatabase, "Access 文件已损坏（表 " + table + "：" + detail + "）");
    default: throw Broken(table);
    }
}

std::string ReaderProgram() {
    const AccessReaderSettings& s = AccessReaderSetup();
    if (!s.program.empty()) return s.program;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "pointline-mdbreader").string();
}

// The reader's process, ended and reaped however the read ends.
class Child {
public:
    Child(const std::string& program, std::vector<std::string> args) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0) Fail("pipe");
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            Fail("pipe");
        }
        out_ = out[0];
        err_ = err[0];

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        // The editor may ignore or block signals that the reader must feel.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int sig : {SIGPIPE, SIGXFSZ, SIGSEGV, SIGBUS, SIGABRT, SIGTERM}) sigaddset(&defaults, sig);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::vector<char*> argv;
        args.insert(args.begin(), program);
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        ::close(out[1]);
        ::close(err[1]);
        if (rc != 0) {
            pid_ = -1;
            CloseAll();
            throw DbError(DbError::Kind::Engine,
                          "无法启动读取 Access 文件的程序 " + program + "（" + std::strerror(rc) + "）");
        }
    }
    ~Child() {
        CloseAll();
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    enum class End { Done, Silent, Timeout, Cancelled };

    // Collects everything the reader writes until it closes its ends, it
    // stays silent for `silence`, the read's deadline passes or the read is
    // cancelled.
    End Drain(std::string& out, std::string& err, std::chrono::milliseconds silence, const std::string& table) {
        using Clock = std::chrono::steady_clock;
        const std::atomic<bool>* cancel = DbCancelScope::Flag();
        const Clock::time_point deadline = Clock::now() + DbReadTimeout();
        Clock::time_point heard = Clock::now();
        char chunk[1 << 16];
        while (out_ >= 0 || err_ >= 0) {
            const Clock::time_point now = Clock::now();
            if (cancel && cancel->load()) return End::Cancelled;
            if (now >= deadline) return End::Timeout;
            if (now - heard >= silence) return End::Silent;
            // Short waits, so that a cancel is seen soon.
            const auto wait = std::min({Clock::duration(std::chrono::milliseconds(100)), deadline - now, heard + silence - now});
            pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
            const int ready =
                ::poll(fds, 2, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
            if (ready < 0) {
                if (errno == EINTR) continue;
                Fail("poll");
            }
            for (int i = 0; i < 2 && ready > 0; ++i) {
                if (!fds[i].revents) continue;
                int& fd = i == 0 ? out_ : err_;
                const ssize_t n = ::read(fd, chunk, sizeof chunk);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    ::close(fd);
                    fd = -1;
                    continue;
                }
                if (i == 0) heard = Clock::now();
                std::string& into = i == 0 ? out : err;
                if (i == 1 && into.size() >= kMaxErrorText) continue;
                into.append(chunk, static_cast<std::size_t>(n));
                if (i == 0 && into.size() > kMaxStream) throw Broken(table);
            }
        }
        return End::Done;
    }

    // Ends the reader at once.
    void Kill() { ::kill(pid_, SIGKILL); }

    // The wait status once the reader has ended.
    int Wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    [[noreturn]] static void Fail(const char* what) {
        throw DbError(DbError::Kind::Engine, std::string("无法读取 Access 文件（") + what + "：" + std::strerror(errno) + "）");
    }
    void CloseAll() {
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
        out_ = err_ = -1;
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
};

// The last line the reader wrote to its error output, for the message.
std::string LastLine(const std::string& text) {
    std::string_view s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    const std::size_t nl = s.find_last_of('\n');
    if (nl != std::string_view::npos) s.remove_prefix(nl + 1);
    if (s.size() > 200) s = s.substr(0, 200);
    return std::string(s);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The record sources an Access file answers: "select * from <table>", and
// "select * from <table> where <field>=?".
struct AccessSource {
    std::string table;
    std::string field;  // empty without a condition
};

AccessSource ParseAccessSource(std::string_view source) {
    std::vector<std::string_view> tokens;
    for (std::size_t i = 0; i < source.size();) {
        const char c = source[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '*' || c == '=' || c == '?' || c == ';') {
            tokens.push_back(source.substr(i++, 1));
        } else if (c == '[') {  // a bracketed name
            const std::size_t close = source.find(']', i);
            if (close == std::string_view::npos) break;
            tokens.push_back(source.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            std::size_t j = i;
            while (j < source.size() && !std::isspace(static_cast<unsigned char>(source[j])) &&
                   std::string_view("*=?;[").find(source[j]) == std::string_view::npos)
                ++j;
            tokens.push_back(source.substr(i, j - i));
            i = j;
        }
    }
    while (!tokens.empty() && tokens.back() == ";") tokens.pop_back();
    const auto is = [&tokens](std::size_t i, std::string_view w) { return EqualNoCase(tokens[i], w); };
    const bool plain = tokens.size() >= 4 && is(0, "select") && is(1, "*") && is(2, "from") && !tokens[3].empty();
    if (plain && tokens.size() == 4) return {std::string(tokens[3]), {}};
    if (plain && tokens.size() == 8 && is(4, "where") && is(6, "=") && is(7, "?") && !tokens[5].empty())
        return {std::string(tokens[3]), std::string(tokens[5])};
    throw DbError(DbError::Kind::Usage, "Access 文件只能用 select * from 表 [where 列=?] 读取");
}

// The comparison of "<field>=?" on an Access table.
bool SameValue(const DbValue& cell, const DbValue& parameter) {
    if (cell.IsEmpty() || parameter.IsEmpty()) return false;
    double a, b;
    const bool aNumber = cell.IsNumber() ? (a = cell.Number(), true) : WholeNumberText(cell.Text(), a);
    const bool bNumber = parameter.IsNumber() ? (b = parameter.Number(), true) : WholeNumberText(parameter.Text(), b);
    if (aNumber && bNumber) return a == b;
    return cell.IsText() && parameter.IsText() && cell.Text() == parameter.Text();
}

}  // namespace

AccessReaderSettings& AccessReaderSetup() {
    static AccessReaderSettings settings;
    return settings;
}

AccessTable DecodeRowStream(std::string_view bytes, const std::string& table) {
    Cursor in(bytes, table);
    if (in.Bytes(sizeof rowstream::kMagic) != std::string_view(rowstream::kMagic, sizeof rowstream::kMagic) ||
        in.Get<std::uint8_t>() != rowstream::kVersion)
        throw Broken(table);
    char mark = in.Get<char>();
    if (mark == rowstream::kFailure) ThrowFailure(in, table);
    if (mark != rowstream::kTable) throw Broken(table);

    AccessTable t;
    const auto columns = in.Get<std::uint16_t>();
    if (columns == 0) throw Broken(table);
    for (int i = 0; i < columns; ++i) {
        const auto kind = in.Get<std::uint8_t>();
        if (kind < rowstream::kNumberColumn || kind > rowstream::kUnreadableColumn) throw Broken(table);
        t.names.emplace_back(in.Bytes(in.Get<std::uint16_t>()));
        t.readable.push_back(kind != rowstream::kUnreadableColumn);
    }
    for (;;) {
        mark = in.Get<char>();
        if (mark == rowstream::kEnd) break;
        if (mark == rowstream::kFailure) ThrowFailure(in, table);
        if (mark != rowstream::kRow) throw Broken(table);
        std::vector<DbValue>& row = t.rows.emplace_back();
        row.reserve(columns);
        for (int i = 0; i < columns; ++i) {
            switch (in.Get<std::uint8_t>()) {
            case rowstream::kNull:
            case rowstream::kUnreadable: row.emplace_back(); break;
            case rowstream::kNumber: row.emplace_back(in.Get<double>()); break;
            case rowstream::kText: row.emplace_back(std::string(in.Bytes(in.Get<std::uint32_t>()))); break;
            default: throw Broken(table);
            }
        }
    }
    if (in.Get<std::uint32_t>() != t.rows.size() || !in.AtEnd()) throw Broken(table);
    return t;
}

AccessTable ReadAccessTable(const std::string& file, const std::string& table) {
    const AccessReaderSettings& settings = AccessReaderSetup();
    std::vector<std::string> args = {file, table};
    if (!settings.testFault.empty()) args.push_back("--test-fault=" + settings.testFault);

    Child child(ReaderProgram(), std::move(args));
    std::string out, err;
    const Child::End end = child.Drain(out, err, settings.silence, table);
    if (end != Child::End::Done) {
        child.Kill();
        child.Wait();
        if (end == Child::End::Cancelled) throw DbError(DbError::Kind::Cancelled, "已取消");
        const auto limit = end == Child::End::Timeout ? DbReadTimeout() : settings.silence;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(limit.count()) / 1000.0);
        throw DbError(DbError::Kind::Engine, std::string("读取 Access 文件的进程 ") + seconds +
                                                 (end == Child::End::Timeout ? " 秒没有读完" : " 秒没有回答") +
                                                 "，已被结束");
    }
    const int status = child.Wait();
    std::string note = LastLine(err);
    if (!note.empty()) note = "：" + note;
    if (WIFSIGNALED(status))
        throw DbError(DbError::Kind::Engine, "读取 Access 文件的进程意外终止（信号 " +
                                                 std::to_string(WTERMSIG(status)) + "）" + note);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // 0: a table follows; 3: the reader's own failure follows.
    if (code != 0 && code != 3)
        throw DbError(DbError::Kind::Engine,
                      "读取 Access 文件的进程以代码 " + std::to_string(code) + " 退出" + note);
    AccessTable t = DecodeRowStream(out, table);
    if (code != 0) throw Broken(table);  // a failure exit must have sent its failure
    return t;
}

AccessTable ReadAccessSource(const std::string& file, const std::string& source,
                             const std::vector<DbValue>& parameters) {
    const AccessSource parsed = ParseAccessSource(source);
    const std::size_t wanted = parsed.field.empty() ? 0 : 1;
    if (parameters.size() != wanted)
        throw DbError(DbError::Kind::Usage, "记录源要 " + std::to_string(wanted) + " 个参数，给了 " +
                                                std::to_string(parameters.size()) + " 个");
    AccessTable table = ReadAccessTable(file, parsed.table);
    if (parsed.field.empty()) return table;
    std::size_t field = 0;
    while (field < table.names.size() && !EqualNoCase(table.names[field], parsed.field)) ++field;
    if (field == table.names.size()) throw DbError(DbError::Kind::NoField, "缺少列 " + parsed.field);
    std::vector<std::vector<DbValue>> kept;
    for (auto& row : table.rows)
        if (SameValue(row[field], parameters[0])) kept.push_back(std::move(row));
    table.rows = std::move(kept);
    return table;
}
