// Loading and saving a drawing file of 1,000,000 records (500,000 points and
// 500,000 lines) next to reading the same file into memory in one block, the
// limit the file system sets. Parse and Format are the in-memory parts of
// Load and Save.
//   build/bench_myd
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <random>

#include "random_drawing.h"
#include "storage/mydfile.h"

namespace {

constexpr int kRecordsPerKind = 500000;

// A drawing as the mouse makes it: whole numbers, coordinates anywhere in the
// start-up world window, the default line colour and some chosen ones.
struct Drawing {
    PointList points;
    LineList lines;
    std::filesystem::path dir;
    std::string file;  // the drawing, saved once
    std::size_t bytes = 0;

    Drawing() {
        std::mt19937 rng(2024);
        AddRandomShapes(points, lines, kRecordsPerKind, rng, -162.5f, 162.5f, -100.0f, 100.0f,
                        [](int i, std::mt19937& r) { return i % 4 ? 65535.0f : float(r() % 0x1000000); });
        dir = std::filesystem::temp_directory_path() / ("bench_myd-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        file = (dir / "drawing.myd").string();
        if (!SaveMydFile(file, points, lines)) std::abort();
        bytes = std::filesystem::file_size(file);
    }
    ~Drawing() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Drawing& TheDrawing() {
    static Drawing drawing;
    return drawing;
}

void Bytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["MB"] = double(bytes) / 1e6;
}

// The I/O limit: the whole file into a fresh buffer with one read.
void BM_ReadBlock(benchmark::State& state) {
    const Drawing& d = TheDrawing();
    for (auto _ : state) {
        const int fd = ::open(d.file.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        ::fstat(fd, &st);
        std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(st.st_size)]);
        std::size_t got = 0;
        while (got < static_cast<std::size_t>(st.st_size)) {
            const ssize_t n = ::read(fd, buffer.get() + got, static_cast<std::size_t>(st.st_size) - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.get());
        if (got != d.bytes) state.SkipWithError("short read");
    }
    Bytes(state, d.bytes);
}

void BM_Load(benchmark::State& state) {
    const Drawing& d = TheDrawing();
    for (auto _ : state) {
        MydContent content = LoadMydFile(d.file);
        if (!content.ok() || content.points.Count() + content.lines.Count() != 2 * kRecordsPerKind)
            state.SkipWithError("load failed");
        state.PauseTiming();  // freeing the records is not part of the load
        content = MydContent{};
        state.ResumeTiming();
    }
    Bytes(state, d.bytes);
}

// Temporary file, write, flush to the disk, rename.
void BM_Save(benchmark::State& state) {
    const Drawing& d = TheDrawing();
    const std::string target = (d.dir / "saved.myd").string();
    for (auto _ : state)
        if (!SaveMydFile(target, d.points, d.lines)) state.SkipWithError("save failed");
    Bytes(state, d.bytes);
}

void BM_Parse(benchmark::State& state) {
    const Drawing& d = TheDrawing();
    std::string text(d.bytes, '\0');
    {
        const int fd = ::open(d.file.c_str(), O_RDONLY | O_CLOEXEC);
        if (::read(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) state.SkipWithError("read");
        ::close(fd);
    }
    for (auto _ : state) {
        MydContent content = ParseMyd(text);
        benchmark::DoNotOptimize(content.points.Count());
        state.PauseTiming();
        content = MydContent{};
        state.ResumeTiming();
    }
    Bytes(state, d.bytes);
}

void BM_Format(benchmark::State& state) {
    const Drawing& d = TheDrawing();
    for (auto _ : state) {
        std::string text = WriteMydText(d.points, d.lines);
        benchmark::DoNotOptimize(text.data());
    }
    Bytes(state, d.bytes);
}

}  // namespace

BENCHMARK(BM_ReadBlock)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Format)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
