// Undo and redo, and moving the view with the wheel and the keyboard. None of
// it has a menu item or a toolbar button: the window's shortcuts, the wheel
// and the arrow keys reach it.
#include <QComboBox>
#include <QKeyEvent>
#include <QShortcut>
#include <QWheelEvent>
#include <QtMath>

#include "view/frmmain.h"

namespace {

const QKeySequence kUndoKeys(Qt::CTRL | Qt::Key_Z);
const QKeySequence kRedoKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};

bool IsHistoryKey(const QKeyEvent& e) {
    const QKeySequence pressed(e.keyCombination());
    return pressed == kUndoKeys || pressed == kRedoKeys[0] || pressed == kRedoKeys[1];
}

}  // namespace

void frmmain::BuildNavigation() {
    auto* undo = new QShortcut(kUndoKeys, this);
    undo->setObjectName(QStringLiteral("undoShortcut"));
    connect(undo, &QShortcut::activated, this, [this] { UndoChange(); });
    for (const QKeySequence& keys : kRedoKeys) {
        auto* redo = new QShortcut(keys, this);
        redo->setObjectName(QStringLiteral("redoShortcut"));
        connect(redo, &QShortcut::activated, this, [this] { RedoChange(); });
    }
    // The pen-width box would take Ctrl+Z for its own text.
    Combo1->installEventFilter(this);

    // The drawing area takes the focus for the arrow keys, at start and when
    // clicked, without joining the Tab order.
    canvas->setFocusPolicy(Qt::ClickFocus);
    canvas->installEventFilter(this);
    canvas->setFocus();
}

bool frmmain::UndoChange() { return StepHistory(false); }
bool frmmain::RedoChange() { return StepHistory(true); }

bool frmmain::ZoomAt(QPointF canvasPixel, double factor) {
    // The pointer's world position, as the mouse tools take it: its pixel's centre.
    const QPointF world = canvas->WorldAtPixel(QPoint(qFloor(canvasPixel.x()), qFloor(canvasPixel.y())));
    // The pixels that show the window's height, from the canvas's own scale.
    const double unitsPerPixel = canvas->PixelToWorld({0, 1}).y() - canvas->PixelToWorld({0, 0}).y();
    const double designHeight = (double(viewBottom) - viewTop) / unitsPerPixel;
    const auto view =
        ZoomAbout({viewLeft, viewTop, viewRight, viewBottom}, world.x(), world.y(), factor, designHeight);
    return view && SetView(*view);
}

bool frmmain::PanBy(int right, int up) {
    const auto view = PanView({viewLeft, viewTop, viewRight, viewBottom}, right, up);
    return view && SetView(*view);
}

// The plain wheel zooms, forward makes the drawing larger. Sideways wheels
// and Shift pan across (forward: to the left, as a scroll bar goes); Ctrl
// pans up and down.
void frmmain::Wheel(QPointF canvasPixel, QPoint angleDelta, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ControlModifier) {
        for (int n = panUpNotches_.Add(angleDelta.y()); n != 0; n -= n > 0 ? 1 : -1)
            if (!PanBy(0, n > 0 ? 1 : -1)) break;
        return;
    }
    const int across = (modifiers & Qt::ShiftModifier) && angleDelta.x() == 0 ? angleDelta.y() : angleDelta.x();
    for (int n = panAcrossNotches_.Add(across); n != 0; n -= n > 0 ? 1 : -1)
        if (!PanBy(n > 0 ? -1 : 1, 0)) break;
    if (modifiers & Qt::ShiftModifier) return;
    for (int n = zoomNotches_.Add(angleDelta.y()); n != 0; n -= n > 0 ? 1 : -1)
        if (!ZoomAt(canvasPixel, n > 0 ? kWheelZoom : 1.0 / kWheelZoom)) break;
}

bool frmmain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Combo1 && event->type() == QEvent::ShortcutOverride) {
        // Left unaccepted, the key reaches the window's shortcut.
        if (IsHistoryKey(*static_cast<QKeyEvent*>(event))) return true;
    } else if (watched == canvas && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        Wheel(wheel->position(), wheel->angleDelta(), wheel->modifiers());
        return true;
    } else if (watched == canvas && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        switch (key->key()) {
        case Qt::Key_Left: PanBy(-1, 0); return true;
        case Qt::Key_Right: PanBy(1, 0); return true;
        case Qt::Key_Up: PanBy(0, 1); return true;
        case Qt::Key_Down: PanBy(0, -1); return true;
        default: break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
