// Load of the largest genuine Access drawing (tests/data/jet/max-2000.mdb:
// 32,767 points and 32,767 lines) through the data control, next to
// mdb-export (package mdbtools) writing both tables to /dev/null. The
// reader process starts twice per load, as mdb-export does.
//   build/bench_access --benchmark_min_time=2
// BM_LoadBesideExport runs the two in turn in every iteration, so that other
// work on the machine weighs on both alike; its "ratio" is load / export.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "storage/drawingdb.h"

extern char** environ;

namespace {

const std::string kFile = POINTLINE_TEST_DATA "/jet/max-2000.mdb";

// mdb-export FILE TABLE > /dev/null; false when it can't run.
bool Export(const char* table) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string file = kFile, name = table;
    char program[] = "mdb-export";
    char* argv[] = {program, file.data(), name.data(), nullptr};
    pid_t pid;
    const int rc = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ExportBoth() { return Export("PointTable") && Export("LineTable"); }

void Load(benchmark::State& state) {
    const LoadedDrawing d = LoadDrawing(DbRoute::Data, kFile);
    if (d.points.Count() != 32767 || d.lines.Count() != 32767) state.SkipWithError("wrong row count");
}

void BM_LoadData(benchmark::State& state) {
    for (auto _ : state) Load(state);
}

void BM_MdbExport(benchmark::State& state) {
    for (auto _ : state)
        if (!ExportBoth()) state.SkipWithError("mdb-export did not run (package mdbtools)");
}

void BM_LoadBesideExport(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Clock::duration load{}, exported{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        Load(state);
        const auto t1 = Clock::now();
        if (!ExportBoth()) state.SkipWithError("mdb-export did not run (package mdbtools)");
        load += t1 - t0;
        exported += Clock::now() - t1;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["load_ms"] = std::chrono::duration<double, std::milli>(load).count() / n;
    state.counters["export_ms"] = std::chrono::duration<double, std::milli>(exported).count() / n;
    state.counters["ratio"] = std::chrono::duration<double>(load) / std::chrono::duration<double>(exported);
}

}  // namespace

BENCHMARK(BM_LoadData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MdbExport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadBesideExport)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
