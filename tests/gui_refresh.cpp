// Full repaints, painted anew or copied from the kept picture, show the drawing exactly.
#include <QComboBox>
#include <random>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

using Refresh = MainWindowTest;

// Only a change of what a repaint reads paints anew; otherwise the kept picture is copied.
TEST_F(Refresh, PaintsOnlyWhenSomethingItReadsChanged) {
    AddPointRecord(1, 10, 10);
    AddLineRecord(1, -30, -30, 30, 20, 255);
    uint64_t writes = 0;
    canvas().CountPixelWrites(&writes);
    auto paints = [&](std::function<void()> change) {
        const uint64_t before = writes;
        change();
        form->Refresh();
        return writes > before;
    };
    EXPECT_TRUE(paints([] {}));  // the records were added since start-up
    EXPECT_FALSE(paints([] {}));
    EXPECT_FALSE(paints([&] { Tool(2); }));
    EXPECT_TRUE(paints([&] { form->pntArray.Remove(1); }));
    EXPECT_TRUE(paints([&] { form->lineArray.Item(1)->ep.X = 40, form->lineArray.MarkChanged(); }));
    EXPECT_TRUE(paints([&] { form->WidenView(); }));
    EXPECT_TRUE(paints([&] { canvas().SetDrawWidth(3); }));
    EXPECT_TRUE(paints([&] { form->resize(form->size() + QSize(10, 10)), QTest::qWait(0); }));
    EXPECT_FALSE(paints([] {}));
    EXPECT_EQ(canvas().Screen(), form->RenderDrawing(1));
    canvas().CountPixelWrites(nullptr);
}

// Top down, on one thread or several, each pixel is painted once and the picture is the same.
TEST_F(Refresh, TopDownPaintsEachPixelOnceAndTheSamePixels) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> x(-170, 170), y(-105, 105);
    for (int i = 0; i < 4000; ++i) AddPointRecord(float(i + 1), x(rng), y(rng));
    for (int i = 0; i < 30000; ++i) {
        const float x1 = x(rng), y1 = y(rng);
        const bool shortOne = i % 3 == 0;  // and some that stay within a few pixels
        AddLineRecord(float(i + 1), x1, y1, shortOne ? x1 + x(rng) / 50 : x(rng), shortOne ? y1 : y(rng),
                      float(rng() % 7 == 0 ? 1 + rng() % 0xFFFFFF : 65535));
    }
    AddLineRecord(30001, -50, 95, 50, 95, 255);  // the last one, on top of everything
    for (int width : {1, 2, 5}) {
        canvas().SetDrawWidth(width);
        const QImage forward = form->RenderDrawing(1, Canvas::Order::Forward);
        uint64_t painted = 0;
        for (int py = 0; py < forward.height(); ++py)
            for (int px = 0; px < forward.width(); ++px) painted += forward.pixel(px, py) != 0xFF000000u;
        for (int threads : {1, 3}) {
            uint64_t written = 0;
            canvas().CountPixelWrites(&written);
            const QImage topDown = form->RenderDrawing(threads, Canvas::Order::TopDown);
            canvas().CountPixelWrites(nullptr);
            EXPECT_TRUE(topDown == forward && written == painted) << "width " << width << ", " << threads << " threads";
        }
    }
    EXPECT_EQ(form->RenderDrawing(1).pixelColor(Px(0, 95)), QColor(255, 0, 0));
}

// Random runs of every tool, command, load, zoom, pen change, blink, undo and
// redo: each picture shown, painted anew top down on three threads or copied
// from the kept one, is what one thread paints in drawing order.
TEST_F(Refresh, EveryPictureShownIsWhatAFullRepaintPaints) {
    canvas().SetRepaintThreads(3);
    canvas().SetPaintOrder(Canvas::Order::TopDown);
    std::mt19937 rng;
    std::string step, mismatch;
    int shown = 0;
    QObject::connect(&canvas(), &Canvas::PictureShown, [&] {
        ++shown;
        if (mismatch.empty() && canvas().Screen() != form->RenderDrawing(1)) mismatch = step;
    });
    testfiles::TempDir dir;
    auto n = [&](int range) { return std::to_string(int(rng() % unsigned(range)) - range / 2); };
    auto load = [&] {
        std::string text;
        for (int i = 0, count = int(rng() % 12); i < count; ++i) text += "1 " + std::to_string(i + 1) + " " + n(300) + " " + n(180) + "\r\n";
        for (int i = 0, count = int(rng() % 12); i < count; ++i)
            text += "2 " + std::to_string(i + 1) + " " + n(300) + " " + n(180) + " " + n(300) + " " + n(180) + "  " + std::to_string(rng() % 0x1000000) + "\r\n";
        testfiles::WriteBytes(dir.File("d.myd"), text);
        dialog->fileAnswers = {QString::fromStdString(dir.File("d.myd"))};
        Menu("mnuOpenTxt");
    };
    auto onShape = [&]() -> QPointF {  // mostly a point, a node or a line's middle, so that tools find something
        const int points = form->pntArray.Count(), lines = form->lineArray.Count();
        if (points + lines == 0 || rng() % 5 == 0) return {double(rng() % 280) - 140, double(rng() % 160) - 70};
        const int i = int(rng() % unsigned(points + lines));
        if (i < points) return {form->pntArray.Item(i + 1)->X, form->pntArray.Item(i + 1)->Y};
        const CLine& l = *form->lineArray.Item(i - points + 1);
        const double t = (rng() % 3) / 2.0;
        return {l.sp.X + t * (l.ep.X - l.sp.X), l.sp.Y + t * (l.ep.Y - l.sp.Y)};
    };
    const unsigned seeds = canvas().Ratio() > 1 ? 2 : 4;  // four times the pixels at ratio 2
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        rng.seed(seed);
        load();
        for (int i = 0; i < 250; ++i) {
            step = "seed " + std::to_string(seed) + " step " + std::to_string(i);
            const unsigned roll = rng() % 100;
            const QPointF at = onShape();
            if (roll < 12) Tool(1 + int(rng() % 7));
            else if (roll < 42) {
                Press(at.x(), at.y());
                for (int m = int(rng() % 4); m >= 0; --m) MoveTo(at.x() + double(rng() % 21) - 10, at.y() + double(rng() % 21) - 10);
                Release(at.x() + 3, at.y() - 2);  // a little beside the last movement
            } else if (roll < 64) Click(at.x(), at.y());
            else if (roll < 70) MoveTo(at.x(), at.y());
            else if (roll < 74) Menu(rng() % 2 ? "mnuDelePoint" : "mnuDeleLine");
            else if (roll < 78) rng() % 2 ? form->WidenView() : form->NarrowView();
            else if (roll < 82) rng() % 2 ? form->ZoomAt(MousePx(at.x(), at.y()), rng() % 2 ? 1.25 : 0.8) : form->PanBy(1, -1);
            else if (roll < 87) form->Combo1->setCurrentIndex(int(rng() % 4)), form->Combo1_Click();
            else if (roll < 91) load();
            else if (roll < 94) {
                if (form->pntArray.Count() > 0) form->selectedPoint = *form->pntArray.Item(1);
                if (form->lineArray.Count() > 0) form->selectedLine = *form->lineArray.Item(1);
                form->StartSelectionTimer();
                for (int tick = 0; tick < 20; ++tick) form->Timer1_Timer();
            } else if (roll < 98) rng() % 3 ? form->UndoChange() : form->RedoChange();
            else form->Refresh();
        }
    }
    EXPECT_EQ(mismatch, "");
    EXPECT_GT(shown, int(60 * seeds));
    messages->shown.clear();  // a delete without a pick says so; not under test here
}
