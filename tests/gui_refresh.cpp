// Full repaints, painted anew or copied from the kept picture, show the drawing exactly.
#include <random>

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
