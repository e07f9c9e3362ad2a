#include <QApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/process.h"
#include "platform/session.h"
#include "view/frmmain.h"

namespace {
int signalPipe[2] = {-1, -1};
void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &byte, 1);
}

// The first argument that is no option; "--" ends the options.
QString DrawingArgument(const QStringList& args) {
    bool options = true;
    for (const QString& arg : args.mid(1)) {
        if (options && arg == QLatin1String("--")) options = false;
        else if (!options || !arg.startsWith(QLatin1Char('-'))) return arg;
    }
    return {};
}

}  // namespace

int main(int argc, char* argv[]) {
    IgnoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pointline"));
    Session session(app);

    frmmain form;
    form.show();

    // A drawing named on the command line (the desktop entry passes one) is
    // loaded once the window is up, so a failure's message shows over it.
    const QString file = DrawingArgument(QApplication::arguments());
    if (!file.isEmpty()) QTimer::singleShot(0, &form, [&form, file] { form.OpenFromCommandLine(file); });

    // SIGTERM and SIGINT close the main window the normal way.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
            char byte;
            [[maybe_unused]] ssize_t n = ::read(signalPipe[1], &byte, 1);
            form.close();
        });
        std::signal(SIGTERM, OnTerminate);
        std::signal(SIGINT, OnTerminate);
    }
    return app.exec();
}
