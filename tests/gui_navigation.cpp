// The view moved with the wheel and the keyboard, and a drawing opened from
// the command line, in the real main window.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <functional>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

const QColor kPointColour(255, 0, 244);

class Navigation : public MainWindowTest {
protected:
    void Wheel(QPoint pixel, QPoint angle, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent e(pixel, canvas().mapToGlobal(QPointF(pixel)), QPoint(), angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas(), &e);
    }
    double Width() const { return form->viewRight - form->viewLeft; }
};

}  // namespace

// A notch forward makes the drawing 1.25 times larger, backward smaller, and
// the point under the pointer stays on its pixel.
TEST_F(Navigation, WheelZoomsAboutThePointer) {
    for (int i = 0; i < 3; ++i) Wheel({469, 288}, {0, -120});  // from here on whole-number edges keep the pixel
    ASSERT_GE(form->viewTop - form->viewBottom, 300);
    const QPoint pointers[] = {{469, 288}, {0, 0}, {937, 576}, {101, 497}, {812, 45}, {333, 222}};
    for (QPoint pointer : pointers) {
        const QPointF w = canvas().WorldAtPixel(pointer);
        auto p = AddPointRecord(float(form->pntArray.Count() + 1), float(w.x()), float(w.y()));
        for (int notch : {120, -120, -120, 120}) {
            const double width = Width();
            Wheel(pointer, {0, notch});
            EXPECT_NEAR(width / Width(), notch > 0 ? 1.25 : 0.8, 1e-12);
            const QPointF at = canvas().WorldToPixel(p->X, p->Y);  // within half a pixel of the pointer's centre
            EXPECT_LE(std::abs(at.x() - pointer.x() - 0.5), 0.5) << pointer.x() << "," << pointer.y();
            EXPECT_LE(std::abs(at.y() - pointer.y() - 0.5), 0.5) << pointer.x() << "," << pointer.y();
            EXPECT_EQ(PixelAt(Px(p->X, p->Y)), kPointColour);
        }
    }
    EXPECT_EQ(Count(kPointColour), form->pntArray.Count());

    // Fine steps add up to a notch; a step that would leave less than a unit
    // high, or take the bottom edge out of 16 bits, changes nothing.
    const double width = Width();
    Wheel({300, 200}, {0, 60});
    EXPECT_EQ(Width(), width);
    Wheel({300, 200}, {0, 60});
    EXPECT_NEAR(width / Width(), 1.25, 1e-12);
    auto refused = [&](int notch) {
        const ViewWindow last{form->viewLeft, form->viewTop, form->viewRight, form->viewBottom};
        Wheel({300, 200}, {0, notch});
        return form->viewLeft == last.left && form->viewTop == last.top && form->viewBottom == last.bottom;
    };
    for (int i = 0; i < 40; ++i) Wheel({300, 200}, {0, 120});
    EXPECT_EQ(form->viewTop - form->viewBottom, 1);
    EXPECT_TRUE(refused(120));
    for (int i = 0; i < 80; ++i) Wheel({300, 200}, {0, -120});
    EXPECT_LE(form->viewBottom, -20000);
    EXPECT_TRUE(refused(-120));
}

// The arrow keys, Shift with the wheel, a sideways wheel and Ctrl with the
// wheel move the view by a tenth of its width or height.
TEST_F(Navigation, KeysAndWheelsPan) {
    auto origin = AddPointRecord(1, 0, 0);
    form->Refresh();
    ASSERT_EQ(QApplication::focusWidget(), form->canvas);
    const double tenth = Width() / 10;
    const std::tuple<const char*, std::function<void()>, double, int> cases[] = {
        {"right arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Right); }, 1, 0},
        {"left arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Left); }, -1, 0},
        {"up arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Up); }, 0, 20},
        {"down arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Down); }, 0, -20},
        {"shift wheel forward", [&] { Wheel({500, 300}, {0, 120}, Qt::ShiftModifier); }, -1, 0},
        {"shift wheel backward", [&] { Wheel({500, 300}, {0, -120}, Qt::ShiftModifier); }, 1, 0},
        {"sideways wheel", [&] { Wheel({500, 300}, {120, 0}); }, -1, 0},
        {"sideways wheel back, two notches", [&] { Wheel({500, 300}, {-240, 0}); }, 2, 0},
        {"ctrl wheel forward", [&] { Wheel({500, 300}, {0, 120}, Qt::ControlModifier); }, 0, 20},
        {"ctrl wheel backward", [&] { Wheel({500, 300}, {0, -120}, Qt::ControlModifier); }, 0, -20},
        {"ctrl arrow", [&] { QTest::keyClick(form->canvas, Qt::Key_Right, Qt::ControlModifier); }, 0, 0},
    };
    for (const auto& [what, act, dx, dy] : cases) {
        const double left = form->viewLeft, right = form->viewRight;
        const int top = form->viewTop, bottom = form->viewBottom;
        act();
        EXPECT_NEAR(form->viewLeft - left, dx * tenth, 1e-9) << what;
        EXPECT_NEAR(form->viewRight - right, dx * tenth, 1e-9) << what;
        EXPECT_TRUE(form->viewTop - top == dy && form->viewBottom - bottom == dy) << what;
        EXPECT_EQ(PixelAtWorld(origin->X, origin->Y), kPointColour) << what;
    }
    EXPECT_EQ(Count(kPointColour), 1);
}

// A drawing named on the command line loads as the menu commands load it:
// a database by its name or its first bytes, anything else as a text file.
TEST_F(MainWindowTest, CommandLineOpensTextFilesAndDatabases) {
    QTemporaryDir dir;
    const QString db = dir.filePath("d.mdb");
    AddPointRecord(3, -10, 10);
    dialog->fileAnswers = {db};
    Menu("mnuSaveDatasourceFile2");
    QFile::copy(db, dir.filePath("D.MDB"));
    QFile::copy(db, dir.filePath("by-its-first-bytes.db"));
    testfiles::WriteBytes(dir.filePath("a b.myd").toStdString(), "1 4 20 30\r\n2 2 -50 -50 50 -50  255\r\n");
    testfiles::WriteBytes(dir.filePath("text.mdb").toStdString(), "1 1 0 0\r\n");
    const std::tuple<const char*, QPointF, bool> cases[] = {
        {"a b.myd", {20, 30}, false}, {"d.mdb", {-10, 10}, true}, {"D.MDB", {-10, 10}, true},
        {"by-its-first-bytes.db", {-10, 10}, true}, {"text.mdb", {}, false}, {"missing.myd", {}, false}};
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const auto& [name, point, database] : cases) {
        form->pntArray.Clear();
        form->pFileName.clear();
        form->Refresh();
        messages->shown.clear();
        form->OpenFromCommandLine(QString::fromUtf8(name));  // a name relative to the current folder
        EXPECT_EQ(form->CommonDialog1->FileName, dir.filePath(name));
        EXPECT_EQ(form->pFileName, database ? dir.filePath(name).toStdString() : "") << name;
        if (point.isNull()) {
            EXPECT_EQ(messages->shown, QStringList{"打开失败"}) << name;
            EXPECT_TRUE(form->pntArray.Empty());
        } else {
            EXPECT_TRUE(messages->shown.isEmpty()) << name << messages->details.join(' ').toStdString();
            EXPECT_EQ(PixelAtWorld(point.x(), point.y()), kPointColour) << name;
        }
    }
    QDir::setCurrent(here);
    EXPECT_EQ(dialog->opens, 0);
}
