// Cost of one mouse movement during each drag on a small and a huge drawing,
// and of one pick press (a full repaint) on the huge one.
//   build/bench_mouse
#include "qt_bench_main.h"
#include <random>

#include "view/frmmain.h"

namespace {

// `shapes` shapes, half points, half lines, at random positions; the shapes
// the drags grab come first so the hit tests find them at once.
frmmain& FormWith(int shapes) {
    static frmmain* form = nullptr;
    static int current = -1;
    if (!form) form = new frmmain;
    if (current == shapes) return *form;
    current = shapes;
    form->pntArray.Clear();
    form->lineArray.Clear();
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> x(-160, 160), y(-100, 100);
    auto point = [&](float px, float py) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = float(form->pntArray.Count() + 1);
        p->X = px;
        p->Y = py;
        form->pntArray.Add(p);
    };
    auto line = [&](float x1, float y1, float x2, float y2) {
        auto l = std::make_shared<CLine>();
        l->ID = float(form->lineArray.Count() + 1);
        l->sp.X = x1;
        l->sp.Y = y1;
        l->ep.X = x2;
        l->ep.Y = y2;
        l->color = 65535;
        form->lineArray.Add(l);
    };
    point(0, 0);
    line(-20, 50, 20, 50);
    form->pntArray.Reserve(size_t(shapes / 2));
    form->lineArray.Reserve(size_t(shapes / 2));
    while (form->pntArray.Count() < shapes / 2) point(x(rng), y(rng));
    while (form->lineArray.Count() < shapes / 2) line(x(rng), y(rng), x(rng), y(rng));
    form->Refresh();
    return *form;
}

// Puts the line the drags grab back where it started.
void ResetLine(frmmain& f) {
    CLine& l = *f.lineArray.Item(1);
    l.sp.X = -20;
    l.sp.Y = 50;
    l.ep.X = 20;
    l.ep.Y = 50;
}

void SetTool(frmmain& f, void (frmmain::*click)()) {
    // Switch every tool off, then the wanted one on.
    f.addPntMode = f.getPntMode = f.editPntMode = f.addLineMode = false;
    f.getLineMode = f.moveLineMode = f.editLineNodeMode = false;
    f.nodeLineChosen = false;
    f.pickedNode = 0;
    (f.*click)();
}

template <class Setup>
void Drag(benchmark::State& state, Setup setup) {
    frmmain& f = FormWith(int(state.range(0)));
    setup(f);
    if (!f.pntDragging && f.lineClickCount != 1 && f.pickedNode == 0) {
        state.SkipWithError("the press grabbed nothing");
        return;
    }
    float dx = 0;
    for (auto _ : state) {
        dx = dx > 5 ? 0 : dx + 0.5f;
        f.Form_MouseMove(1, 0, 10 + dx, 10 - dx);
    }
    f.Form_MouseUp(1, 0, 10, 10);
}

void BM_MovePointDrag(benchmark::State& state) {
    Drag(state, [](frmmain& f) {
        SetTool(f, &frmmain::Command3_Click);
        f.pntArray.Item(1)->X = f.pntArray.Item(1)->Y = 0;  // an earlier run moved it
        f.Form_MouseDown(1, 0, 0, 0);
    });
}

void BM_MoveRubberBand(benchmark::State& state) {
    Drag(state, [](frmmain& f) {
        SetTool(f, &frmmain::Command4_Click);
        f.Form_MouseDown(1, 0, -50, -50);
    });
    frmmain& f = FormWith(int(state.range(0)));
    f.lineClickCount = 0;
}

void BM_MoveLineMove(benchmark::State& state) {
    Drag(state, [](frmmain& f) {
        SetTool(f, &frmmain::Command6_Click);
        ResetLine(f);
        f.Form_MouseDown(1, 0, 10, 50);
    });
}

void BM_MoveNodeDrag(benchmark::State& state) {
    Drag(state, [](frmmain& f) {
        SetTool(f, &frmmain::Command7_Click);
        ResetLine(f);
        f.nodeLineChosen = true;
        f.pickedLine = f.lineArray.Item(1);
        f.Form_MouseDown(1, 0, 20, 50);  // grab its end node
    });
}

void BM_PickPress(benchmark::State& state) {
    frmmain& f = FormWith(int(state.range(0)));
    SetTool(f, &frmmain::Command2_Click);
    for (auto _ : state) f.Form_MouseDown(1, 0, 0, 0);
}

}  // namespace

BENCHMARK(BM_MovePointDrag)->Arg(10)->Arg(1000000);
BENCHMARK(BM_MoveRubberBand)->Arg(10)->Arg(1000000);
BENCHMARK(BM_MoveLineMove)->Arg(10)->Arg(1000000);
BENCHMARK(BM_MoveNodeDrag)->Arg(10)->Arg(1000000);
BENCHMARK(BM_PickPress)->Arg(1000000)->Unit(benchmark::kMillisecond);

QT_BENCHMARK_MAIN()
