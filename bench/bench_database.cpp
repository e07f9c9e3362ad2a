// Fill and load of the largest drawing the tables hold (32,767 points and
// 32,767 lines) through the data control and ADO, next to the sqlite3 shell
// importing the same rows from CSV into the same empty tables.
// BM_QuickCheck gives the cost of the integrity check in every opening.
//   build/bench_database --benchmark_min_time=2
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "model/numtext.h"
#include "random_drawing.h"
#include "platform/database.h"
#include "storage/drawingdb.h"

extern char** environ;

namespace {

constexpr int kRecords = 32767;

struct Fixture {
    QTemporaryDir dir;
    PointList points;
    LineList lines;
    std::string pointsCsv, linesCsv;

    std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }

    Fixture() {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> colour(0, 0xFFFFFF);
        AddRandomShapes(points, lines, kRecords, rng, -162.5f, 162.5f, -100.0f, 100.0f,
                        [&colour](int, std::mt19937& r) { return float(colour(r)); });
        // The same texts the fill stores, quoted so that the leading blanks stay.
        pointsCsv = Path("points.csv");
        linesCsv = Path("lines.csv");
        std::ofstream pc(pointsCsv), lc(linesCsv);
        for (const auto& p : points)
            pc << FileNumber(p->pntNO) << ",\"" << FileNumber(p->X) << "\",\"" << FileNumber(p->Y) << "\"\n";
        for (const auto& l : lines)
            lc << FileNumber(l->ID) << ",\"" << DbLineCoord(l->sp.X) << "\",\"" << DbLineCoord(l->sp.Y) << "\",\""
               << DbLineCoord(l->ep.X) << "\",\"" << DbLineCoord(l->ep.Y) << "\","
               << static_cast<long long>(l->color) << "\n";
    }

    // A new file with both empty tables.
    void FreshTables(const std::string& file) const {
        std::remove(file.c_str());
        std::unique_ptr<Database> db = DBEngine::Workspaces(0).CreateDatabase(file, dbLangGeneral);
        CreateDrawingTables(*db);
        db->Close();
    }

    // A new file holding the whole drawing.
    std::string Filled(const char* name) const {
        const std::string file = Path(name);
        FreshTables(file);
        FillDrawing(DbRoute::Data, file, points, lines);
        return file;
    }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

int CountRows(const std::string& file, const char* table) {
    Data data;
    data.DatabaseName = file;
    data.ReadOnly = true;
    data.RecordSource = std::string("select count(*) from ") + table;
    data.Refresh();
    return static_cast<int>(data.Recordset().Fields(0).Number());
}

bool HoldsEverything(const std::string& file) {
    return CountRows(file, "PointTable") == kRecords && CountRows(file, "LineTable") == kRecords;
}

// Runs the sqlite3 shell with the given arguments, output thrown away; its exit status.
int RunShell(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = "sqlite3";
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "sqlite3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_ShellImport(benchmark::State& state) {
    Fixture& f = Shared();
    const std::string file = f.Path("shell.mdb");
    for (auto _ : state) {
        state.PauseTiming();
        f.FreshTables(file);
        state.ResumeTiming();
        if (RunShell({file, ".mode csv", ".import " + f.pointsCsv + " PointTable", ".import " + f.linesCsv + " LineTable"}) !=
            0) {
            state.SkipWithError("sqlite3 shell failed or is missing");
            return;
        }
    }
    if (!HoldsEverything(file)) state.SkipWithError("the shell did not import every row");
}

void Fill(benchmark::State& state, DbRoute route) {
    Fixture& f = Shared();
    const std::string file = f.Path("fill.mdb");
    for (auto _ : state) {
        state.PauseTiming();
        f.FreshTables(file);
        state.ResumeTiming();
        FillDrawing(route, file, f.points, f.lines);
    }
    if (!HoldsEverything(file)) state.SkipWithError("rows missing");
}

// The whole save command without its dialog: create the file, make the tables, fill.
void CreateAndFill(benchmark::State& state, DbRoute route) {
    Fixture& f = Shared();
    const std::string file = f.Path("create.mdb");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(file.c_str());
        state.ResumeTiming();
        CreateAndFillDrawing(route, file, f.points, f.lines);
    }
    if (!HoldsEverything(file)) state.SkipWithError("rows missing");
}

void Load(benchmark::State& state, DbRoute route) {
    Fixture& f = Shared();
    const std::string file = f.Filled("load.mdb");
    for (auto _ : state) {
        LoadedDrawing d = LoadDrawing(route, file);
        benchmark::DoNotOptimize(d.points.Count() + d.lines.Count());
    }
}

// The shell writing both tables out as CSV, for scale next to the loads.
void BM_ShellExport(benchmark::State& state) {
    Fixture& f = Shared();
    const std::string file = f.Filled("export.mdb");
    for (auto _ : state) {
        if (RunShell({file, ".mode csv", "select * from PointTable", "select * from LineTable"}) != 0) {
            state.SkipWithError("sqlite3 shell failed or is missing");
            return;
        }
    }
}

// What the integrity check that every opening runs costs on these rows: a
// fresh connection and PRAGMA quick_check, as each Refresh does (a load
// opens the file twice).
void BM_QuickCheck(benchmark::State& state) {
    Fixture& f = Shared();
    const std::string file = f.Filled("check.mdb");
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        const int rc = sqlite3_exec(db, "PRAGMA quick_check(1)", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        if (rc != SQLITE_OK) state.SkipWithError("quick_check failed");
    }
}

void BM_FillData(benchmark::State& s) { Fill(s, DbRoute::Data); }
void BM_FillAdo(benchmark::State& s) { Fill(s, DbRoute::Ado); }
void BM_CreateAndFillData(benchmark::State& s) { CreateAndFill(s, DbRoute::Data); }
void BM_CreateAndFillAdo(benchmark::State& s) { CreateAndFill(s, DbRoute::Ado); }
void BM_LoadData(benchmark::State& s) { Load(s, DbRoute::Data); }
void BM_LoadAdo(benchmark::State& s) { Load(s, DbRoute::Ado); }

}  // namespace

BENCHMARK(BM_ShellImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillAdo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateAndFillData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateAndFillAdo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShellExport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadAdo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuickCheck)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
