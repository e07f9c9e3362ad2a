#include "platform/accessreader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

    // Collects everything the reader writes until it closes its ends. False
    // when it stayed silent for `silence`.
    bool Drain(std::string& out, std::string& err, std::chrono::milliseconds silence, const std::string& table) {
        char chunk[1 << 16];
        while (out_ >= 0 || err_ >= 0) {
            pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
            const int ready = ::poll(fds, 2, static_cast<int>(silence.count()));
            if (ready < 0) {
                if (errno == EINTR) continue;
                Fail("poll");
            }
            if (ready == 0) return false;
            for (int i = 0; i < 2; ++i) {
                if (!fds[i].revents) continue;
                int& fd = i == 0 ? out_ : err_;
                const ssize_t n = ::read(fd, chunk, sizeof chunk);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    ::close(fd);
                    fd = -1;
                    continue;
                }
                std::string& into = i == 0 ? out : err;
                if (i == 1 && into.size() >= kMaxErrorText) continue;
                into.append(chunk, static_cast<std::size_t>(n));
                if (i == 0 && into.size() > kMaxStream) throw Broken(table);
            }
        }
        return true;
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
    if (!child.Drain(out, err, settings.silence, table)) {
        child.Kill();
        child.Wait();
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(settings.silence.count()) / 1000.0);
        throw DbError(DbError::Kind::Engine,
                      std::string("读取 Access 文件的进程 ") + seconds + " 秒没有回答，已被结束");
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
