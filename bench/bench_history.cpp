// The undo history on a drawing of 1,000,000 shapes (500,000 points and
// 500,000 lines) in the real main window, offscreen: how the resident memory
// grows with loads, undo and redo, and what an undo or redo costs.
//   build/bench_history
// BM_HistoryOnly times the history's own work without the window's refresh.
// The memory figures are counters of BM_MemoryOfLoadsAndUndo (MB of resident
// memory after each stage, measured after malloc_trim).
#include <malloc.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <random>

#include "qt_bench_main.h"
#include "random_drawing.h"
#include "storage/mydfile.h"
#include "view/frmmain.h"

namespace {

constexpr int kPerKind = 500000;

double ResidentMB() {
    ::malloc_trim(0);
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1e6;
}

// Saves a drawing of 1M shapes as the mouse makes them.
QString MakeFile(const QTemporaryDir& dir, const char* name, unsigned seed) {
    std::mt19937 rng(seed);
    PointList points;
    LineList lines;
    AddRandomShapes(points, lines, kPerKind, rng, -160.0f, 160.0f, -100.0f, 100.0f, [](int, auto&) { return 65535.0f; });
    const QString file = dir.filePath(QString::fromLatin1(name));
    if (!SaveMydFile(file.toStdString(), points, lines)) std::abort();
    return file;
}

struct Window {
    QTemporaryDir dir;
    QString first, second;
    frmmain form;
    ScriptedCommonDialog* dialog = new ScriptedCommonDialog;

    Window() {
        form.CommonDialog1.reset(dialog);
        first = MakeFile(dir, "first.myd", 1);
        second = MakeFile(dir, "second.myd", 2);
    }
    void Load(const QString& file) {
        dialog->fileAnswers.push_back(file);
        form.mnuOpenTxt_Click();
        if (form.pntArray.Count() != kPerKind) std::abort();
    }
};

void BM_MemoryOfLoadsAndUndo(benchmark::State& state) {
    for (auto _ : state) {
        Window w;
        const double start = ResidentMB();
        w.Load(w.first);
        const double loaded = ResidentMB();
        // Fifty small changes: points added with the mouse tool.
        w.form.Command1_Click();
        for (int i = 0; i < 50; ++i) w.form.Form_MouseDown(1, 0, float(i), 0.0f);
        const double points = ResidentMB();
        w.Load(w.second);  // the history keeps the first drawing
        const double secondLoad = ResidentMB();
        w.form.UndoChange();
        const double undone = ResidentMB();
        w.form.RedoChange();
        const double redone = ResidentMB();
        w.Load(w.first);  // and now the second one too
        const double thirdLoad = ResidentMB();
        for (int i = 0; i < 3; ++i) w.form.UndoChange();
        const double undoneThree = ResidentMB();

        state.counters["0_window_MB"] = start;
        state.counters["1_after_load_MB"] = loaded;
        state.counters["2_after_50_points_MB"] = points;
        state.counters["3_after_second_load_MB"] = secondLoad;
        state.counters["4_after_undo_MB"] = undone;
        state.counters["5_after_redo_MB"] = redone;
        state.counters["6_after_third_load_MB"] = thirdLoad;
        state.counters["7_after_3_undos_MB"] = undoneThree;
        state.counters["kept_records"] = double(w.form.history.KeptRecords());
    }
}
BENCHMARK(BM_MemoryOfLoadsAndUndo)->Iterations(1)->Unit(benchmark::kMillisecond);

// Undo and redo of a load: two drawings swapped, each time with a refresh of
// the 1M shapes.
void BM_UndoRedoLoad(benchmark::State& state) {
    Window w;
    w.Load(w.first);
    w.Load(w.second);
    for (auto _ : state) {
        w.form.UndoChange();
        w.form.RedoChange();
    }
}
BENCHMARK(BM_UndoRedoLoad)->Unit(benchmark::kMillisecond);

// Undo and redo of deleting the first point of 500,000: the record goes back
// into its place, which moves all the others.
void BM_UndoRedoDeleteFirstPoint(benchmark::State& state) {
    Window w;
    w.Load(w.first);
    w.form.Command2_Click();
    const CPoint& first = *w.form.pntArray.Item(1);
    w.form.Form_MouseDown(1, 0, first.X, first.Y);
    w.form.mnuDelePoint_Click();
    for (auto _ : state) {
        w.form.UndoChange();
        w.form.RedoChange();
    }
}
BENCHMARK(BM_UndoRedoDeleteFirstPoint)->Unit(benchmark::kMillisecond);

// The history's own part of the two above, without the refresh.
void BM_HistoryOnly(benchmark::State& state) {
    const bool load = state.range(0) == 1;
    MainState s;
    for (int i = 1; i <= kPerKind; ++i) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = float(i);
        s.pntArray.Add(p);
    }
    if (load) {
        PointList other;
        LineList lines;
        other.Add(std::make_shared<CPoint>());
        s.pntArray.Swap(other);
        s.history.Replaced(std::move(other), std::move(lines), 0, 0);
    } else {
        auto first = s.pntArray.Item(1);
        s.pntArray.Remove(1);
        s.history.Removed(first, 1);
    }
    for (auto _ : state) {
        s.history.Undo(s.Drawing());
        s.history.Redo(s.Drawing());
    }
    state.SetLabel(load ? "load of 500,000 points" : "delete of the first of 500,000 points");
}
BENCHMARK(BM_HistoryOnly)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

QT_BENCHMARK_MAIN();
