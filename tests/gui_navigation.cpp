// The view moved with the wheel and the keyboard, and a drawing opened from
// the command line, in the real main window.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cmath>
#include <functional>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

const QColor kPointColour(255, 0, 244);

class Navigation : public MainWindowTest {
protected:
    void Wheel(QPoint pixel, QPoint angle, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent e(QPointF(pixel), QPointF(canvas().mapToGlobal(pixel)), QPoint(), angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas(), &e);
    }
    ViewWindow View() const { return {form->viewLeft, form->viewTop, form->viewRight, form->viewBottom}; }
    static bool Same(const ViewWindow& a, const ViewWindow& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
    // A point drawn exactly where the mouse tools would put it for this pixel.
    std::shared_ptr<CPoint> PointAtPixel(QPoint pixel) {
        const QPointF w = canvas().WorldAtPixel(pixel);
        auto p = AddPointRecord(form->lastPntNO + 1, float(w.x()), float(w.y()));
        form->lastPntNO += 1;
        form->Refresh();
        return p;
    }
    // Where that point is drawn now, and that it is drawn there.
    QPoint DrawnAt(const CPoint& p) {
        const QPoint at = canvas().PixelOf(p.X, p.Y);
        EXPECT_EQ(PixelAt(at), kPointColour);
        return at;
    }
};

}  // namespace

// A notch forward makes the drawing 1.25 times larger, backward 1.25 times
// smaller, and the point under the pointer stays on its pixel.
TEST_F(Navigation, WheelZoomsAboutThePointer) {
    const QPoint pointers[] = {{469, 288}, {0, 0}, {937, 576}, {101, 497}, {812, 45}, {333, 222}};
    // At the start the window is 200 units high, nearly three pixels a unit:
    // whole-number edges keep the row within half a unit.
    for (QPoint pointer : pointers) {
        const ViewWindow start = View();
        auto p = PointAtPixel(pointer);
        Wheel(pointer, {0, 120});
        EXPECT_DOUBLE_EQ((start.right - start.left) / (form->viewRight - form->viewLeft), 1.25);
        const QPoint at = DrawnAt(*p);
        EXPECT_EQ(at.x(), pointer.x());
        EXPECT_LE(std::abs(at.y() - pointer.y()), 2);
        Wheel(pointer, {0, -120});
        EXPECT_NEAR(form->viewRight - form->viewLeft, start.right - start.left, 1e-9);
        EXPECT_EQ(DrawnAt(*p).x(), pointer.x());
    }
    // Three notches back: from there on within a pixel both ways.
    for (int i = 0; i < 3; ++i) Wheel({469, 288}, {0, -120});
    ASSERT_GE(form->viewTop - form->viewBottom, 300);
    for (QPoint pointer : pointers) {
        SCOPED_TRACE(testing::PrintToString(pointer));
        auto p = PointAtPixel(pointer);
        for (int notch : {120, -120, -120, 120}) {
            const double width = form->viewRight - form->viewLeft;
            Wheel(pointer, {0, notch});
            EXPECT_NEAR(width / (form->viewRight - form->viewLeft), notch > 0 ? 1.25 : 0.8, 1e-12);
            const QPoint at = DrawnAt(*p);
            EXPECT_EQ(at.x(), pointer.x());
            EXPECT_LE(std::abs(at.y() - pointer.y()), 1);
        }
    }
    // The drawing is repainted at the new scale: one dot per point.
    EXPECT_EQ(CountInImage(kPointColour), form->pntArray.Count());
}

TEST_F(Navigation, FineWheelStepsAddUpAndRefusedStepsChangeNothing) {
    const ViewWindow start = View();
    Wheel({300, 200}, {0, 40});
    Wheel({300, 200}, {0, 40});
    EXPECT_TRUE(Same(View(), start));
    Wheel({300, 200}, {0, 40});
    EXPECT_NEAR((start.right - start.left) / (form->viewRight - form->viewLeft), 1.25, 1e-12);

    // Closer and closer until the window would be less than a unit high.
    for (int i = 0; i < 40; ++i) Wheel({300, 200}, {0, 120});
    const ViewWindow closest = View();
    EXPECT_EQ(closest.top - closest.bottom, 1);
    PointAtPixel({300, 200});
    const QImage shown = canvas().Screen().copy();
    Wheel({300, 200}, {0, 120});
    EXPECT_TRUE(Same(View(), closest));
    EXPECT_TRUE(canvas().Screen() == shown);

    // And out until the bottom edge would leave 16 bits.
    for (int i = 0; i < 80; ++i) Wheel({300, 200}, {0, -120});
    const ViewWindow farthest = View();
    EXPECT_LE(farthest.bottom, -20000);
    Wheel({300, 200}, {0, -120});
    EXPECT_TRUE(Same(View(), farthest));
}

// The arrow keys, Shift with the wheel, a sideways wheel and Ctrl with the
// wheel move the view by a tenth of its width or height.
TEST_F(Navigation, KeysAndWheelsPan) {
    auto origin = AddPointRecord(1, 0, 0);
    form->Refresh();
    const QPoint centre = canvas().PixelOf(0, 0);
    ASSERT_EQ(QApplication::focusWidget(), form->canvas);
    const double width = form->viewRight - form->viewLeft;
    struct Case {
        const char* what;
        std::function<void()> act;
        double dx;  // the view's move in tenths
        int dy;     // in world units
    };
    const Case cases[] = {
        {"right arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Right); }, 1, 0},
        {"left arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Left); }, -1, 0},
        {"up arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Up); }, 0, 20},
        {"down arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Down); }, 0, -20},
        {"shift wheel forward", [&] { Wheel({500, 300}, {0, 120}, Qt::ShiftModifier); }, -1, 0},
        {"shift wheel backward", [&] { Wheel({500, 300}, {0, -120}, Qt::ShiftModifier); }, 1, 0},
        {"sideways wheel", [&] { Wheel({500, 300}, {120, 0}); }, -1, 0},
        {"sideways wheel back", [&] { Wheel({500, 300}, {-240, 0}); }, 2, 0},
        {"ctrl wheel forward", [&] { Wheel({500, 300}, {0, 120}, Qt::ControlModifier); }, 0, 20},
        {"ctrl wheel backward", [&] { Wheel({500, 300}, {0, -120}, Qt::ControlModifier); }, 0, -20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ViewWindow before = View();
        c.act();
        EXPECT_NEAR(form->viewLeft - before.left, c.dx * width / 10, 1e-9);
        EXPECT_NEAR(form->viewRight - before.right, c.dx * width / 10, 1e-9);
        EXPECT_EQ(form->viewTop - before.top, c.dy);
        EXPECT_EQ(form->viewBottom - before.bottom, c.dy);
        EXPECT_EQ(PixelAtWorld(origin->X, origin->Y), kPointColour);
    }
    // Everything cancelled out but one step right.
    const QPoint at = canvas().PixelOf(0, 0);
    EXPECT_NEAR(at.x(), centre.x() - 93.8, 1);
    EXPECT_EQ(at.y(), centre.y());
    EXPECT_EQ(CountInImage(kPointColour), 1);
}

// ---- the command line ----

class CommandLine : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void SaveDatabase(const QString& file) {
        dialog->fileAnswers.push_back(file);
        form->MenuItem("mnuSaveDatasourceFile2")->trigger();
        ASSERT_TRUE(messages->shown.isEmpty());
        form->pntArray.Clear();
        form->lineArray.Clear();
        form->Refresh();
    }
    QTemporaryDir dir;
};

TEST_F(CommandLine, TextFileLoadsAsByTheFileMenu) {
    testfiles::WriteBytes(Path("a b.myd").toStdString(), "1 4 20 30\r\n2 2 -50 -50 50 -50  255\r\n");
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    form->OpenFromCommandLine(QStringLiteral("a b.myd"));
    QDir::setCurrent(here);
    ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join(' ').toStdString();
    ASSERT_EQ(form->pntArray.Count(), 1);
    ASSERT_EQ(form->lineArray.Count(), 1);
    EXPECT_EQ(form->lastPntNO, 4.0f);
    EXPECT_EQ(PixelAtWorld(20, 30), kPointColour);
    EXPECT_EQ(PixelAtWorld(0, -50), QColor(255, 0, 0));
    EXPECT_EQ(form->CommonDialog1->FileName, Path("a b.myd"));  // the full name, as a dialog gives it
    EXPECT_TRUE(form->pFileName.empty());
    EXPECT_EQ(dialog->opens, 0);
    EXPECT_TRUE(form->UndoChange());  // a load like any other
    EXPECT_TRUE(form->pntArray.Empty());
}

TEST_F(CommandLine, DatabaseLoadsAsByTheDataRoute) {
    AddPointRecord(3, -10, 10);
    AddLineRecord(1, -40, -20, 40, -20, 65280);
    for (const char* name : {"d.mdb", "D.MDB", "by-its-first-bytes.db"}) {
        SCOPED_TRACE(name);
        if (std::string(name) == "d.mdb") SaveDatabase(Path(name));
        else QFile::copy(Path("d.mdb"), Path(name));
        form->OpenFromCommandLine(Path(name));
        ASSERT_TRUE(messages->shown.isEmpty()) << messages->details.join(' ').toStdString();
        ASSERT_EQ(form->pntArray.Count(), 1);
        EXPECT_EQ(form->pntArray.Item(1)->pntNO, 3.0f);
        ASSERT_EQ(form->lineArray.Count(), 1);
        EXPECT_EQ(PixelAtWorld(0, -20), QColor(0, 255, 0));
        EXPECT_EQ(form->pFileName, Path(name).toStdString());
        form->pntArray.Clear();
        form->lineArray.Clear();
    }
}

TEST_F(CommandLine, AFileThatFailsShowsTheMessageOverAnEmptyDrawing) {
    testfiles::WriteBytes(Path("text.mdb").toStdString(), "1 1 0 0\r\n");
    for (const char* name : {"missing.myd", "text.mdb"}) {
        SCOPED_TRACE(name);
        messages->shown.clear();
        form->OpenFromCommandLine(Path(name));
        EXPECT_EQ(messages->shown, QStringList{QStringLiteral("打开失败")});
        EXPECT_TRUE(form->pntArray.Empty());
        EXPECT_EQ(form->lastPntNO, 0.0f);
        EXPECT_EQ(CountInImage(Background()), canvas().Screen().width() * canvas().Screen().height());
    }
}
