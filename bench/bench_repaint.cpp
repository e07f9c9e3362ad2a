// A full repaint of the main window (on every core, and on one; top down
// where that pays, and every shape in drawing order) against plain QPainter
// painting the same pixels, and against the repaint as it was before, at
// device pixel ratios 1 and 2 (two offscreen screens). Each run
// first checks that QPainter paints the editor's pixels and reports the
// pixels that differ as `diff_px`.
//   build/bench_repaint --benchmark_min_time=1
#include "qt_bench_main.h"
#include "random_drawing.h"
#include "repaint_paths.h"
#include <random>

namespace {

// N points and N lines at random positions of the start-up world window.
void MakeDrawing(frmmain& form, int n, bool ownColours) {
    std::mt19937 rng(42);
    PointList points;
    LineList lines;
    AddRandomShapes(points, lines, n, rng, float(form.viewLeft), float(form.viewRight), float(form.viewBottom),
                    float(form.viewTop), [ownColours](int i, auto&) { return ownColours ? float((i - 1) % 0xFFFFFF) : 65535.0f; });
    form.pntArray.Swap(points);
    form.lineArray.Swap(lines);
}

// The window on the screen of the wanted ratio, with the wanted drawing.
frmmain& Form(benchmark::State& state) {
    static frmmain* forms[2] = {nullptr, nullptr};
    static std::vector<int64_t> made[2];
    const int ratio = int(state.range(3));
    frmmain*& form = forms[ratio - 1];
    if (!form) {
        form = new frmmain;
        if (!ShowAtRatio(*form, ratio)) state.SkipWithError("no screen of that ratio");
    }
    const std::vector<int64_t> wanted{state.range(0), state.range(2)};
    if (made[ratio - 1] != wanted) {
        MakeDrawing(*form, int(state.range(0)), state.range(2) != 0);
        made[ratio - 1] = wanted;
    }
    form->canvas->SetDrawWidth(int(state.range(1)));
    form->canvas->SetRepaintThreads(0);
    form->canvas->SetPaintOrder(Canvas::Order::Automatic);
    return *form;
}

void Report(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}

void BM_Repaint(benchmark::State& state) {
    frmmain& form = Form(state);
    for (auto _ : state) form.Repaint();
    Report(state);
}

void BM_RepaintOneThread(benchmark::State& state) {
    frmmain& form = Form(state);
    form.canvas->SetRepaintThreads(1);
    for (auto _ : state) form.Repaint();
    Report(state);
}

// Every shape in drawing order on one thread: the same work as QPainter's.
void BM_RepaintForwardOneThread(benchmark::State& state) {
    frmmain& form = Form(state);
    form.canvas->SetRepaintThreads(1);
    form.canvas->SetPaintOrder(Canvas::Order::Forward);
    for (auto _ : state) form.Repaint();
    Report(state);
}

void BM_PlainQPainter(benchmark::State& state) {
    frmmain& form = Form(state);
    QImage image(form.canvas->Screen().size(), QImage::Format_RGB32);
    repaint_paths::PlainQPainter painter;
    painter.Paint(form, image);
    state.counters["diff_px"] = double(repaint_paths::Differences(image, form.RenderDrawing(1)));
    for (auto _ : state) {
        painter.Paint(form, image);
        benchmark::DoNotOptimize(image.constBits());
    }
    Report(state);
}

void BM_FormerRepaint(benchmark::State& state) {
    frmmain& form = Form(state);
    QImage image(form.canvas->Screen().size(), QImage::Format_RGB32);
    repaint_paths::FormerRepaint painter;
    for (auto _ : state) {
        painter.Paint(form, image);
        benchmark::DoNotOptimize(image.constBits());
    }
    Report(state);
}

void Args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"n", "width", "ownColours", "ratio"});
    for (int ratio : {1, 2})
        for (int own : {0, 1})
            for (int width : {1, 7})
                for (int n : {10000, 100000, 500000}) b->Args({n, width, own, ratio});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// A Refresh that changes nothing, at either ratio: a copy of the kept picture.
void BM_RefreshUnchanged(benchmark::State& state) {
    frmmain& form = Form(state);
    form.Refresh();
    for (auto _ : state) {
        form.Refresh();
        form.canvas->repaint();  // and shown
    }
}

}  // namespace

BENCHMARK(BM_Repaint)->Apply(Args);
BENCHMARK(BM_RepaintOneThread)->Apply(Args);
BENCHMARK(BM_RepaintForwardOneThread)->Apply(Args);
BENCHMARK(BM_PlainQPainter)->Apply(Args);
BENCHMARK(BM_FormerRepaint)->Apply(Args);
BENCHMARK(BM_RefreshUnchanged)
    ->ArgNames({"n", "width", "ownColours", "ratio"})
    ->Args({500000, 7, 0, 1})
    ->Args({500000, 7, 0, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

QT_BENCHMARK_MAIN()
