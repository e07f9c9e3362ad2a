#pragma once
// main() for benchmarks that need a QApplication (windows, painting, offscreen).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <benchmark/benchmark.h>

// Offscreen with two screens, of device pixel ratios 1 and 2, so that one
// run measures both.
inline void UseScreensOfRatiosOneAndTwo() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
    const QString path = QDir::temp().filePath(QStringLiteral("pointline-bench-screens.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return;
    }
    file.write(R"({"screens": [
        {"name": "ratio1", "x": 0, "y": 0, "width": 1600, "height": 1000, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "ratio2", "x": 1600, "y": 0, "width": 3200, "height": 2000, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 2}]})");
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toLocal8Bit());
}

// Shows the window on a screen of that ratio, if there is one.
inline bool ShowAtRatio(QWidget& window, qreal ratio) {
    window.show();
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->devicePixelRatio() != ratio) continue;
        window.windowHandle()->setScreen(screen);
        window.move(screen->geometry().topLeft() + QPoint(10, 10));
        QCoreApplication::processEvents();
        return window.devicePixelRatioF() == ratio;
    }
    return window.devicePixelRatioF() == ratio;
}

#define QT_BENCHMARK_MAIN()                                                                         \
    int main(int argc, char** argv) {                                                              \
        UseScreensOfRatiosOneAndTwo();                                                             \
        QApplication app(argc, argv);                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
