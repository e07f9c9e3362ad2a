#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <random>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

// Every Refresh shows exactly what a full repaint in drawing order on one
// thread paints, whether it painted anew (top down, in bands on three
// threads) or copied the picture it kept.
class RefreshSequences : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        canvas().SetRepaintThreads(3);
        canvas().SetPaintOrder(Canvas::Order::TopDown);
        QObject::connect(&canvas(), &Canvas::PictureShown, [this] {
            ++shown;
            const QImage full = form->RenderDrawing(1);
            if (canvas().Screen() != full && firstMismatch.empty()) firstMismatch = step;
        });
    }

    QPoint RandomPixel() {
        // Inside the drawing area, clear of the pen-width box and the tool buttons.
        return {int(rng() % 900) + 10, int(rng() % 400) + 50};
    }
    // A pixel on a shape of the drawing (a point, or a line's middle or one
    // of its nodes), so that picks and drags find something.
    QPoint ShapePixel() {
        // Mostly what the tool that is on works on.
        const CLine* chosen = form->nodeLineChosen && form->pickedLine ? form->pickedLine.get() : nullptr;
        if (chosen && rng() % 4 != 0) {
            const CPoint& node = rng() % 2 ? chosen->sp : chosen->ep;
            return canvas().WidgetPixelOf(node.X, node.Y);
        }
        const int points = form->pntArray.Count(), lines = form->lineArray.Count();
        if (points + lines == 0) return RandomPixel();
        const int i = int(rng() % unsigned(points + lines));
        if (i < points) return canvas().WidgetPixelOf(form->pntArray.Item(i + 1)->X, form->pntArray.Item(i + 1)->Y);
        const CLine& l = *form->lineArray.Item(i - points + 1);
        switch (rng() % 3) {
        case 0: return canvas().WidgetPixelOf(l.sp.X, l.sp.Y);
        case 1: return canvas().WidgetPixelOf(l.ep.X, l.ep.Y);
        default: return canvas().WidgetPixelOf((l.sp.X + l.ep.X) / 2, (l.sp.Y + l.ep.Y) / 2);
        }
    }
    QPoint Inside(QPoint p) { return {std::clamp(p.x(), 5, 930), std::clamp(p.y(), 45, 455)}; }

    void Drag(QPoint from, int moves) {
        QTest::mousePress(&canvas(), Qt::LeftButton, {}, Inside(from));
        QPoint at = from;
        for (int i = 0; i < moves; ++i) {
            at += QPoint(int(rng() % 21) - 10, int(rng() % 21) - 10);
            QTest::mouseMove(&canvas(), Inside(at));
        }
        if (rng() % 2) at += QPoint(3, -2);  // released a little beside the last movement
        QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, Inside(at));
    }

    void LoadRandomFile() {
        std::string text;
        const int points = int(rng() % 12), lines = int(rng() % 12);
        for (int i = 0; i < points; ++i)
            text += "1 " + std::to_string(i + 1) + " " + std::to_string(int(rng() % 300) - 150) + " " +
                    std::to_string(int(rng() % 180) - 90) + "\r\n";
        for (int i = 0; i < lines; ++i)
            text += "2 " + std::to_string(i + 1) + " " + std::to_string(int(rng() % 300) - 150) + " " +
                    std::to_string(int(rng() % 180) - 90) + " " + std::to_string(int(rng() % 300) - 150) + " " +
                    std::to_string(int(rng() % 180) - 90) + "  " + std::to_string(rng() % 0x1000000) + "\r\n";
        const std::string path = dir.File("drawing.myd");
        testfiles::WriteBytes(path, text);
        dialog->fileAnswers = {QString::fromStdString(path)};
        form->MenuItem("mnuOpenTxt")->trigger();
    }

    void Blink() {
        if (form->pntArray.Count() > 0) form->selectedPoint = *form->pntArray.Item(1);
        if (form->lineArray.Count() > 0) form->selectedLine = *form->lineArray.Item(1);
        form->StartSelectionTimer();
        for (int tick = 0; tick < 20; ++tick) form->Timer1_Timer();
    }

    // Mostly the mouse on the shapes, under a tool switched on now and then,
    // with every other command that repaints mixed in, undo and redo too.
    void RandomAction() {
        const unsigned roll = rng() % 100;
        if (roll < 12) QTest::mouseClick(form->Command[rng() % 7], Qt::LeftButton);
        else if (roll < 42) Drag(ShapePixel(), 1 + int(rng() % 4));
        else if (roll < 56) QTest::mouseClick(&canvas(), Qt::LeftButton, {}, Inside(ShapePixel()));
        else if (roll < 64) QTest::mouseClick(&canvas(), Qt::LeftButton, {}, RandomPixel());
        else if (roll < 72) QTest::mouseMove(&canvas(), RandomPixel());
        else if (roll < 76) form->MenuItem(rng() % 2 ? "mnuDelePoint" : "mnuDeleLine")->trigger();
        else if (roll < 79) rng() % 2 ? form->WidenView() : form->NarrowView();
        else if (roll < 82) rng() % 2 ? form->ZoomAt(RandomPixel(), rng() % 2 ? 1.25 : 0.8) : form->PanBy(1, -1);
        else if (roll < 87) {
            form->Combo1->setCurrentIndex(int(rng() % 4));  // widths 1 to 4
            form->Combo1_Click();
        } else if (roll < 92) LoadRandomFile();
        else if (roll < 94) Blink();
        else if (roll < 98) rng() % 3 ? form->UndoChange() : form->RedoChange();
        else form->Refresh();
    }

    std::mt19937 rng;
    testfiles::TempDir dir;
    int shown = 0;
    std::string step;
    std::string firstMismatch;
};

TEST_F(RefreshSequences, EveryRefreshShowsWhatAFullRepaintPaints) {
    // Fewer sequences at a ratio of 2, where every picture has four times the pixels.
    const unsigned seeds = canvas().Ratio() > 1 ? 2 : 5;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        rng.seed(seed);
        LoadRandomFile();
        for (int i = 0; i < 250; ++i) {
            step = "seed " + std::to_string(seed) + " step " + std::to_string(i);
            RandomAction();
        }
    }
    EXPECT_EQ(firstMismatch, "");
    EXPECT_GT(shown, int(60 * seeds));
    messages->shown.clear();  // deletes without a pick say so; that is not under test here
}

// A Refresh that changes nothing copies the kept picture instead of painting;
// any change of what a repaint reads paints anew.
TEST_F(MainWindowTest, RefreshPaintsOnlyWhenSomethingItReadsChanged) {
    AddPointRecord(1, 10, 10);
    AddLineRecord(1, -30, -30, 30, 20, 255);
    uint64_t writes = 0;
    canvas().CountPixelWrites(&writes);
    auto paints = [&](auto change) {
        const uint64_t before = writes;
        change();
        form->Refresh();
        return writes > before;
    };
    EXPECT_TRUE(paints([] {}));  // the records were added since start-up
    EXPECT_FALSE(paints([] {}));
    QTest::mouseClick(form->Command[1], Qt::LeftButton);  // a tool button refreshes
    EXPECT_FALSE(paints([] {}));
    EXPECT_TRUE(paints([&] { AddPointRecord(2, 0, 0); }));
    EXPECT_TRUE(paints([&] { form->pntArray.Remove(2); }));
    EXPECT_TRUE(paints([&] {
        form->lineArray.Item(1)->ep.X = 40;
        form->lineArray.MarkChanged();
    }));
    EXPECT_TRUE(paints([&] { form->WidenView(); }));
    EXPECT_TRUE(paints([&] { canvas().SetDrawWidth(3); }));
    EXPECT_TRUE(paints([&] {
        form->resize(form->size() + QSize(10, 10));
        QTest::qWait(0);
    }));
    EXPECT_FALSE(paints([] {}));
    EXPECT_EQ(canvas().Screen(), form->RenderDrawing(1));
    canvas().CountPixelWrites(nullptr);
}

// Painted top down, a dense picture skips the shapes that later ones hide and
// still has every pixel of a repaint in drawing order, at every pen width,
// on one thread or several.
TEST_F(MainWindowTest, TopDownRepaintsPaintTheSamePixels) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> x(-170, 170), y(-105, 105);
    for (int i = 0; i < 4000; ++i) AddPointRecord(float(i + 1), x(rng), y(rng));
    for (int i = 0; i < 30000; ++i) {
        const float x1 = x(rng), y1 = y(rng);
        const bool shortOne = i % 3 == 0;  // and some that stay in a few pixels
        AddLineRecord(float(i + 1), x1, y1, shortOne ? x1 + x(rng) / 50 : x(rng), shortOne ? y1 : y(rng),
                      float(rng() % 7 == 0 ? rng() % 0x1000000 : 65535));
    }
    AddLineRecord(30001, -50, 95, 50, 95, 255);  // the last one, on top of everything
    uint64_t written = 0;
    for (int width : {1, 2, 5}) {
        canvas().SetDrawWidth(width);
        const QImage forward = form->RenderDrawing(1, Canvas::Order::Forward);
        for (int threads : {1, 3}) {
            canvas().CountPixelWrites(&written);
            const QImage topDown = form->RenderDrawing(threads, Canvas::Order::TopDown);
            canvas().CountPixelWrites(nullptr);
            ASSERT_EQ(topDown, forward) << "width " << width << ", " << threads << " threads";
        }
    }
    // Each pixel painted at most once per band: far fewer writes than pixels times shapes.
    EXPECT_LE(written, uint64_t(3) * 2 * uint64_t(canvas().Screen().width()) * uint64_t(canvas().Screen().height()));
    EXPECT_EQ(form->RenderDrawing(1).pixelColor(Px(0, 95)), QColor(255, 0, 0));
}
