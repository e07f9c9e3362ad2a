// The main window on a drawing of 1,000,000 points and 1,000,000 lines at
// random positions of the start-up view, loaded from a drawing file of
// about 84 MB: each action timed through frmmain's own methods, at pen widths
// 1 and 7, with the former full repaint (one thread, nothing kept) as the
// baseline of the same run. Memory is measured first, while the process is
// fresh: the resident size a loaded record costs, and the peak while the
// same file is opened again, against the resident size after the load.
// Finally the physical limit: the pixels a full repaint writes and the time
// memset takes for the same number of bytes. Full repaints are measured top
// down (the default for large drawings) and in drawing order.
//   build/bench_million --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <QAction>
#include <QComboBox>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

#include "qt_bench_main.h"
#include "repaint_paths.h"
#include "storage/mydfile.h"

namespace {

constexpr int kRecords = 1000000;  // of each kind

// The drawing file, written straight from random numbers.
const std::string& DrawingFile() {
    static std::string path = [] {
        const auto dir = std::filesystem::temp_directory_path() / ("bench_million-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const std::string file = (dir / "million.myd").string();
        std::mt19937 rng(2024);
        const double halfWidth = 100.0 * frmmain::kDesignClientSize.width() / frmmain::kDesignClientSize.height();
        std::uniform_real_distribution<float> x(float(-halfWidth), float(halfWidth)), y(-100.0f, 100.0f);
        std::ofstream out(file, std::ios::binary);
        std::string text;
        char buffer[8 * kMaxMydNumber];
        auto put = [&](float v) { text.append(buffer, PutFileNumber(buffer, v)); };
        for (int i = 1; i <= kRecords; ++i) {
            text += "1 ";
            put(float(i));
            text += ' ';
            put(x(rng));
            text += ' ';
            put(y(rng));
            text += "\r\n";
            if (text.size() > (1 << 20)) out << text, text.clear();
        }
        for (int i = 1; i <= kRecords; ++i) {
            text += "2 ";
            put(float(i));
            for (int k = 0; k < 4; ++k) {
                text += ' ';
                put(k % 2 ? y(rng) : x(rng));
            }
            text += ' ';
            text.append(buffer, PutSignedColor(buffer, i % 4 ? 65535.0f : float(rng() % 0x1000000)));
            text += "\r\n";
            if (text.size() > (1 << 20)) out << text, text.clear();
        }
        out << text;
        return file;
    }();
    return path;
}

void RemoveDrawingFile() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(DrawingFile()).parent_path(), ec);
}

// Shown (offscreen), so that every action ends with the drawing area painted
// on the window, as a user would see it.
frmmain& Form() {
    static frmmain* form = [] {
        auto* f = new frmmain;
        f->CommonDialog1 = std::make_unique<ScriptedCommonDialog>();
        f->show();
        QCoreApplication::processEvents();
        return f;
    }();
    return *form;
}

void Shown(frmmain& form) { form.canvas->repaint(); }

void Open(frmmain& form) {
    auto& dialog = static_cast<ScriptedCommonDialog&>(*form.CommonDialog1);
    dialog.fileAnswers = {QString::fromStdString(DrawingFile())};
    form.mnuOpenTxt_Click();
}

// The drawing loaded and the pen at the wanted width, nothing picked or on.
frmmain& Loaded(int width) {
    frmmain& form = Form();
    if (form.pntArray.Count() != kRecords) Open(form);
    if (form.canvas->DrawWidth() != width) {
        form.Combo1->setCurrentIndex(width - 1);
        form.Combo1_Click();
    }
    form.addPntMode = form.getPntMode = form.editPntMode = form.addLineMode = false;
    form.getLineMode = form.moveLineMode = form.editLineNodeMode = form.nodeLineChosen = false;
    form.canvas->SetRepaintThreads(0);
    form.canvas->SetPaintOrder(Canvas::Order::Automatic);
    return form;
}

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

void BM_Memory(benchmark::State& state) {
    DrawingFile();
    frmmain& form = Form();
    for (auto _ : state) {
        const long before = StatusKb("VmRSS:");
        Open(form);
        const long after = StatusKb("VmRSS:");
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
        Open(form);
        const long peak = StatusKb("VmHWM:");
        state.counters["bytes_per_record"] = double(after - before) * 1024.0 / (2.0 * kRecords);
        state.counters["rss_before_MB"] = before / 1024.0;
        state.counters["rss_after_MB"] = after / 1024.0;
        state.counters["reopen_peak_MB"] = peak / 1024.0;
        state.counters["peak_over_after"] = double(peak) / double(after);
    }
}

void BM_OpenFile(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    for (auto _ : state) {
        Open(form);
        Shown(form);
    }
    state.counters["MB"] = double(std::filesystem::file_size(DrawingFile())) / 1e6;
}

void BM_FormerRepaint(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    QImage image(form.canvas->Screen().size(), QImage::Format_RGB32);
    repaint_paths::FormerRepaint painter;
    for (auto _ : state) {
        painter.Paint(form, image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_Repaint(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    for (auto _ : state) form.Repaint();
}

void BM_RepaintOneThread(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.canvas->SetRepaintThreads(1);
    for (auto _ : state) form.Repaint();
    form.canvas->SetRepaintThreads(0);
}

// Every shape in drawing order, hidden ones included: on every core, and on one.
void BM_RepaintForward(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.canvas->SetPaintOrder(Canvas::Order::Forward);
    for (auto _ : state) form.Repaint();
    form.canvas->SetPaintOrder(Canvas::Order::Automatic);
}

void BM_RepaintForwardOneThread(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.canvas->SetPaintOrder(Canvas::Order::Forward);
    form.canvas->SetRepaintThreads(1);
    for (auto _ : state) form.Repaint();
    form.canvas->SetRepaintThreads(0);
    form.canvas->SetPaintOrder(Canvas::Order::Automatic);
}

void BM_ToolButton(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.Refresh();
    for (auto _ : state) {
        form.Command2_Click();  // 拾取点, on and off
        Shown(form);
    }
}

void BM_PickHit(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.Command2_Click();
    const CPoint target = *form.pntArray.Item(kRecords / 2);
    for (auto _ : state) {
        form.Form_MouseDown(1, 0, target.X, target.Y);
        Shown(form);
    }
    if (form.pickedPoint->pntNO > target.pntNO) state.SkipWithError("picked a later point");
}

void BM_PickMiss(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.Command2_Click();
    for (auto _ : state) {
        form.Form_MouseDown(1, 0, 1000.0f, 1000.0f);  // beside the view: every point tested
        Shown(form);
    }
}

void BM_BlinkEnd(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    form.Refresh();
    form.selectedPoint = *form.pntArray.Item(1);
    for (auto _ : state) {
        state.PauseTiming();
        form.StartSelectionTimer();
        for (int tick = 1; tick < 20; ++tick) form.Timer1_Timer();
        state.ResumeTiming();
        form.Timer1_Timer();  // the 20th tick removes the highlight
        Shown(form);
    }
    form.selectedPoint.pntNO = -1;
}

void BM_ZoomStep(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    bool widen = true;
    for (auto _ : state) {
        widen ? form.WidenView() : form.NarrowView();
        Shown(form);
        widen = !widen;
    }
    if (!widen) form.NarrowView();
}

void BM_PenWidth(benchmark::State& state) {
    const int width = int(state.range(0));
    frmmain& form = Loaded(width);
    for (auto _ : state) {
        state.PauseTiming();
        form.canvas->SetDrawWidth(width == 1 ? 2 : 1);
        state.ResumeTiming();
        form.Combo1->setCurrentIndex(width - 1);
        form.Combo1_Click();
        Shown(form);
    }
}

// Pixels a full repaint in drawing order writes (and top down), and memset
// writing as many bytes into a buffer of the drawing area's size (where the
// repaint writes) and into one far larger than the caches.
void BM_PhysicalLimit(benchmark::State& state) {
    frmmain& form = Loaded(int(state.range(0)));
    uint64_t writes = 0, topDownWrites = 0;
    form.canvas->SetPaintOrder(Canvas::Order::Forward);
    form.canvas->CountPixelWrites(&writes);
    form.Repaint();
    form.canvas->SetPaintOrder(Canvas::Order::TopDown);
    form.canvas->CountPixelWrites(&topDownWrites);
    form.Repaint();
    form.canvas->CountPixelWrites(nullptr);
    form.canvas->SetPaintOrder(Canvas::Order::Automatic);
    const std::size_t area = std::size_t(form.canvas->Screen().sizeInBytes());
    const uint64_t bytes = writes * 4;
    std::vector<char> small(area), large(std::size_t{256} << 20);
    auto timeMemset = [&](std::vector<char>& buffer) {
        const auto start = std::chrono::steady_clock::now();
        for (uint64_t done = 0; done < bytes; done += buffer.size())
            std::memset(buffer.data(), int(done & 0xFF), std::min<uint64_t>(buffer.size(), bytes - done));
        benchmark::DoNotOptimize(buffer.data());
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state) {
        state.counters["pixel_writes_M"] = double(writes) / 1e6;
        state.counters["top_down_writes_M"] = double(topDownWrites) / 1e6;
        state.counters["memset_area_ms"] = timeMemset(small);
        state.counters["memset_large_ms"] = timeMemset(large);
    }
}

}  // namespace

BENCHMARK(BM_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFile)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FormerRepaint)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Repaint)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RepaintOneThread)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RepaintForward)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RepaintForwardOneThread)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ToolButton)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PickHit)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PickMiss)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlinkEnd)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZoomStep)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_PenWidth)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PhysicalLimit)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    UseScreensOfRatiosOneAndTwo();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RemoveDrawingFile();
    return 0;
}
