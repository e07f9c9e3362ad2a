// The view moved with the wheel and the keys; a drawing opened from the command line.
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
    ViewWindow View() const { return {form->viewLeft, form->viewTop, form->viewRight, form->viewBottom}; }
    double Width() const { return form->viewRight - form->viewLeft; }
};

}  // namespace

// A notch zooms 1.25 times about the pointer: the point under it stays within half a pixel.
TEST_F(Navigation, WheelZoomsAboutThePointer) {
    for (int i = 0; i < 3; ++i) Wheel({469, 288}, {0, -120});  // from here on whole-number edges keep the pixel
    for (QPoint pointer : {QPoint(469, 288), QPoint(0, 0), QPoint(937, 576), QPoint(101, 497), QPoint(812, 45)}) {
        const QPointF w = canvas().WorldAtPixel(pointer);
        auto p = AddPointRecord(float(form->pntArray.Count() + 1), float(w.x()), float(w.y()));
        for (int notch : {120, -120, -120, 120}) {
            const double width = Width();
            Wheel(pointer, {0, notch});
            const QPointF at = canvas().WorldToPixel(p->X, p->Y) - pointer - QPointF(0.5, 0.5);
            EXPECT_NEAR(width / Width(), notch > 0 ? 1.25 : 0.8, 1e-12);
            EXPECT_TRUE(std::abs(at.x()) <= 0.5 && std::abs(at.y()) <= 0.5 && PixelAt(Px(p->X, p->Y)) == kPointColour)
                << pointer.x() << "," << pointer.y();
        }
    }
    EXPECT_EQ(Count(kPointColour), form->pntArray.Count());
    const double width = Width();  // fine steps add up to a notch
    Wheel({300, 200}, {0, 60});
    EXPECT_EQ(Width(), width);
    Wheel({300, 200}, {0, 60});
    EXPECT_NEAR(width / Width(), 1.25, 1e-12);
    for (int notch : {120, -120}) {  // till less than a unit high, or the bottom edge out of 16 bits: refused
        for (int i = 0; i < 60; ++i) Wheel({300, 200}, {0, notch});
        const ViewWindow last = View();
        EXPECT_TRUE(notch > 0 ? last.top - last.bottom == 1 : last.bottom < -20000);
        Wheel({300, 200}, {0, notch});
        EXPECT_TRUE(View().left == last.left && View().top == last.top && View().bottom == last.bottom);
    }
}

// Arrow keys, Shift+wheel, sideways wheel and Ctrl+wheel move the view by a tenth.
TEST_F(Navigation, KeysAndWheelsPan) {
    auto origin = AddPointRecord(1, 0, 0);
    ASSERT_EQ(QApplication::focusWidget(), form->canvas);
    const double tenth = Width() / 10;
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = {}) { return [=, this] { QTest::keyClick(form->canvas, k, m); }; };
    auto wheel = [&](int x, int y, Qt::KeyboardModifiers m = {}) { return [=, this] { Wheel({500, 300}, {x, y}, m); }; };
    const std::tuple<const char*, std::function<void()>, double, int> cases[] = {
        {"right arrow", key(Qt::Key_Right), 1, 0}, {"left arrow", key(Qt::Key_Left), -1, 0},
        {"up arrow", key(Qt::Key_Up), 0, 20}, {"down arrow", key(Qt::Key_Down), 0, -20},
        {"ctrl arrow", key(Qt::Key_Right, Qt::ControlModifier), 0, 0},
        {"shift wheel forward", wheel(0, 120, Qt::ShiftModifier), -1, 0},
        {"shift wheel backward", wheel(0, -120, Qt::ShiftModifier), 1, 0}, {"sideways wheel", wheel(120, 0), -1, 0},
        {"sideways wheel back, two notches", wheel(-240, 0), 2, 0},
        {"ctrl wheel forward", wheel(0, 120, Qt::ControlModifier), 0, 20},
        {"ctrl wheel backward, two notches", wheel(0, -240, Qt::ControlModifier), 0, -40}};
    for (const auto& [what, act, dx, dy] : cases) {
        const ViewWindow before = View();
        act();
        EXPECT_TRUE(std::abs(form->viewLeft - before.left - dx * tenth) + std::abs(form->viewRight - before.right - dx * tenth) < 1e-9) << what;
        EXPECT_TRUE(form->viewTop - before.top == dy && form->viewBottom - before.bottom == dy) << what;
        EXPECT_TRUE(PixelAtWorld(origin->X, origin->Y) == kPointColour && Count(kPointColour) == 1) << what;
    }
}

// Loaded as the menus load it: a database by its name or first bytes, else a text file.
TEST_F(MainWindowTest, CommandLineOpensTextFilesAndDatabases) {
    QTemporaryDir dir;
    AddPointRecord(3, -10, 10);
    dialog->fileAnswers = {dir.filePath("d.mdb")};
    Menu("mnuSaveDatasourceFile2");
    QFile::copy(dir.filePath("d.mdb"), dir.filePath("D.MDB")), QFile::copy(dir.filePath("d.mdb"), dir.filePath("first-bytes.db"));
    testfiles::WriteBytes(dir.filePath("a b.myd").toStdString(), "1 4 20 30\r\n");
    testfiles::WriteBytes(dir.filePath("text.mdb").toStdString(), "1 1 0 0\r\n");
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    // name, whether it becomes the current database, a point it draws (none: it fails)
    const std::tuple<const char*, bool, QPointF> cases[] = {
        {"a b.myd", false, {20, 30}}, {"d.mdb", true, {-10, 10}}, {"D.MDB", true, {-10, 10}},
        {"first-bytes.db", true, {-10, 10}}, {"text.mdb", false, {}}, {"missing.myd", false, {}}};
    for (const auto& [name, database, point] : cases) {
        form->pntArray.Clear(), form->pFileName.clear(), messages->shown.clear();
        form->OpenFromCommandLine(QString::fromUtf8(name));  // a name relative to the current folder
        EXPECT_EQ(form->CommonDialog1->FileName, dir.filePath(name));
        EXPECT_EQ(form->pFileName, database ? dir.filePath(name).toStdString() : "") << name;
        EXPECT_EQ(messages->shown, point.isNull() ? QStringList{"打开失败"} : QStringList()) << name;
        EXPECT_TRUE(point.isNull() ? form->pntArray.Empty() : PixelAtWorld(point.x(), point.y()) == kPointColour) << name;
    }
    QDir::setCurrent(here);
    EXPECT_EQ(dialog->opens, 0);
}
