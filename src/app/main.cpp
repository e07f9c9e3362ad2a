#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/fonts.h"
#include "platform/process.h"
#include "view/frmmain.h"

namespace {
int signalPipe[2] = {-1, -1};
void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &byte, 1);
}
}  // namespace

int main(int argc, char* argv[]) {
    IgnoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pointline"));
    UseChineseFont(app);

    frmmain form;
    form.show();

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
