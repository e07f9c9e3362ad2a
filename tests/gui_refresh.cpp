// Full repaints: painted top down, in bands on several threads, or copied
// from the picture kept from the last one, they show what one thread
// painting every shape in drawing order shows.
#include <QComboBox>
#include <random>

#include "support/mainwindow_fixture.h"

using Refresh = MainWindowTest;

// Random sequences of user actions; after each Refresh the area must show
// exactly the drawing.
TEST_F(Refresh, EveryRefreshInARandomSessionShowsWhatAFullRepaintPaints) {
    canvas().SetRepaintThreads(3);
    canvas().SetPaintOrder(Canvas::Order::TopDown);
    int shown = 0;
    std::string step, mismatch;
    QObject::connect(&canvas(), &Canvas::PictureShown, [&] {
        ++shown;
        if (mismatch.empty() && canvas().Screen() != form->RenderDrawing(1)) mismatch = step;
    });
    std::mt19937 rng;
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto inside = [](QPoint p) { return QPoint(std::clamp(p.x(), 5, 930), std::clamp(p.y(), 45, 455)); };
    auto shapePixel = [&] {  // a point, or a line's middle or node, so that picks and drags find something
        const int points = form->pntArray.Count(), lines = form->lineArray.Count();
        if (points + lines == 0) return QPoint(10 + pick(900), 50 + pick(400));
        const int i = pick(points + lines);
        if (i < points) return inside(MousePx(form->pntArray.Item(i + 1)->X, form->pntArray.Item(i + 1)->Y));
        const CLine& l = *form->lineArray.Item(i - points + 1);
        const double t = pick(3) / 2.0;
        return inside(MousePx(l.sp.X + t * (l.ep.X - l.sp.X), l.sp.Y + t * (l.ep.Y - l.sp.Y)));
    };
    auto load = [&] {
        PointList points;
        LineList lines;
        for (int i = pick(12); i > 0; --i) points.Add(std::make_shared<CPoint>(CPoint{float(i), float(pick(300) - 150), float(pick(180) - 90), false}));
        for (int i = pick(12); i > 0; --i) {
            auto l = std::make_shared<CLine>();
            *l = CLine{float(i), {0, float(pick(300) - 150), float(pick(180) - 90), false}, {0, float(pick(300) - 150), float(pick(180) - 90), false}, false, float(pick(0x1000000))};
            lines.Add(l);
        }
        form->ReplaceDrawing(std::move(points), std::move(lines));
    };
    const unsigned seeds = canvas().Ratio() > 1 ? 2 : 5;  // a ratio of 2 has four times the pixels
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        rng.seed(seed);
        load();
        for (int i = 0; i < 250; ++i) {
            step = "seed " + std::to_string(seed) + " step " + std::to_string(i);
            const int roll = pick(100);
            if (roll < 12) Tool(1 + pick(7));
            else if (roll < 42) {  // a drag, released beside its last movement now and then
                QPoint at = shapePixel();
                QTest::mousePress(&canvas(), Qt::LeftButton, {}, at);
                for (int m = 1 + pick(4); m > 0; --m) QTest::mouseMove(&canvas(), at = inside(at + QPoint(pick(21) - 10, pick(21) - 10)));
                QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, inside(at + QPoint(pick(2) * 3, 0)));
            } else if (roll < 56) QTest::mouseClick(&canvas(), Qt::LeftButton, {}, shapePixel());
            else if (roll < 64) QTest::mouseMove(&canvas(), QPoint(10 + pick(900), 50 + pick(400)));
            else if (roll < 68) Menu(pick(2) ? "mnuDelePoint" : "mnuDeleLine");
            else if (roll < 72) pick(2) ? form->WidenView() : form->NarrowView();
            else if (roll < 76) pick(2) ? form->ZoomAt(shapePixel(), pick(2) ? 1.25 : 0.8) : form->PanBy(1, -1);
            else if (roll < 81) form->Combo1->setCurrentIndex(pick(4)), form->Combo1_Click();
            else if (roll < 86) load();
            else if (roll < 88) {
                if (form->pntArray.Count() > 0) form->selectedPoint = *form->pntArray.Item(1);
                if (form->lineArray.Count() > 0) form->selectedLine = *form->lineArray.Item(1);
                form->StartSelectionTimer();
                for (int tick = 0; tick < 20; ++tick) form->Timer1_Timer();
            } else if (roll < 98) pick(3) ? form->UndoChange() : form->RedoChange();
            else form->Refresh();
        }
    }
    EXPECT_EQ(mismatch, "");
    EXPECT_GT(shown, int(60 * seeds));
}

// A Refresh that changes nothing copies the kept picture instead of painting;
// any change of what a repaint reads paints anew.
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

// Painted top down, a dense picture skips the shapes that later ones hide,
// paints each pixel once and still has every pixel of a repaint in drawing
// order, at every pen width, on one thread or several.
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
        int painted = 0;
        for (int py = 0; py < forward.height(); ++py)
            for (int px = 0; px < forward.width(); ++px) painted += forward.pixel(px, py) != 0xFF000000u;
        for (int threads : {1, 3}) {
            uint64_t written = 0;
            canvas().CountPixelWrites(&written);
            const QImage topDown = form->RenderDrawing(threads, Canvas::Order::TopDown);
            canvas().CountPixelWrites(nullptr);
            ASSERT_EQ(topDown, forward) << "width " << width << ", " << threads << " threads";
            EXPECT_EQ(written, uint64_t(painted)) << "width " << width << ", " << threads << " threads";
        }
    }
    EXPECT_EQ(form->RenderDrawing(1).pixelColor(Px(0, 95)), QColor(255, 0, 0));
}
