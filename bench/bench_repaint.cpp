// Full refresh of the main window against plain batched QPainter calls that
// paint the same geometry.
//   build/bench_repaint --benchmark_min_time=1
#include <QImage>
#include <QPainter>
#include "qt_bench_main.h"
#include <random>

#include "model/numtext.h"
#include "view/frmmain.h"

namespace {

struct Drawing {
    std::vector<QPointF> points;
    std::vector<QLineF> lines;
    std::vector<uint32_t> colours;
};

// N points and N lines at random positions of the start-up world window.
Drawing MakeDrawing(int n, bool ownColours, frmmain& form) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> x(float(form.viewLeft), float(form.viewRight));
    std::uniform_real_distribution<float> y(float(form.viewBottom), float(form.viewTop));
    Drawing d;
    form.pntArray.Clear();
    form.lineArray.Clear();
    for (int i = 0; i < n; ++i) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = float(i + 1);
        p->X = x(rng);
        p->Y = y(rng);
        form.pntArray.Add(p);
        d.points.emplace_back(p->X, p->Y);
    }
    for (int i = 0; i < n; ++i) {
        auto l = std::make_shared<CLine>();
        l->ID = float(i + 1);
        l->sp.X = x(rng);
        l->sp.Y = y(rng);
        l->ep.X = x(rng);
        l->ep.Y = y(rng);
        l->color = ownColours ? float(i % 0xFFFFFF) : 65535.0f;
        form.lineArray.Add(l);
        d.lines.emplace_back(l->sp.X, l->sp.Y, l->ep.X, l->ep.Y);
        d.colours.push_back(ColorToRgb(l->color));
    }
    return d;
}

frmmain& Form() {
    static frmmain* form = new frmmain;
    return *form;
}

QColor Colour(uint32_t rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }

void BM_Refresh(benchmark::State& state) {
    frmmain& form = Form();
    const int n = int(state.range(0));
    form.canvas->SetDrawWidth(int(state.range(1)));
    MakeDrawing(n, state.range(2) != 0, form);
    for (auto _ : state) {
        form.Refresh();
        benchmark::DoNotOptimize(form.canvas->Screen().constBits());
    }
    state.SetItemsProcessed(state.iterations() * 2 * n);
}

void BM_PlainQPainter(benchmark::State& state) {
    frmmain& form = Form();
    const int n = int(state.range(0));
    const int width = int(state.range(1));
    const Drawing d = MakeDrawing(n, state.range(2) != 0, form);
    QImage image(frmmain::kDesignClientSize, QImage::Format_RGB32);
    QTransform world;
    world.scale(image.width() / (form.viewRight - form.viewLeft), -image.height() / double(form.viewTop - form.viewBottom));
    world.translate(-form.viewLeft, -form.viewTop);
    for (auto _ : state) {
        image.fill(Qt::black);
        QPainter p(&image);
        p.setTransform(world);
        p.setPen(QPen(QColor(255, 0, 244), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPoints(d.points.data(), int(d.points.size()));
        std::size_t start = 0;
        while (start < d.lines.size()) {
            std::size_t end = start + 1;
            while (end < d.lines.size() && d.colours[end] == d.colours[start]) ++end;
            p.setPen(QPen(Colour(d.colours[start]), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLines(d.lines.data() + start, int(end - start));
            start = end;
        }
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations() * 2 * n);
}

void Args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"n", "width", "ownColours"});
    for (int own : {0, 1})
        for (int width : {1, 7})
            for (int n : {10000, 100000, 500000}) b->Args({n, width, own});
    b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Refresh)->Apply(Args);
BENCHMARK(BM_PlainQPainter)->Apply(Args);

QT_BENCHMARK_MAIN()
