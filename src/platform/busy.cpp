#include "platform/busy.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/database.h"
#include "platform/fonts.h"

namespace {

// Says that a read is running and lets the user stop it. It stays until the
// read has ended: cancelling only asks the read to stop.
class BusyWindow : public QDialog {
public:
    BusyWindow(QWidget* owner, const QString& text, std::atomic<bool>& cancel)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), cancel_(cancel) {
        setObjectName(QStringLiteral("BusyWindow"));
        setWindowTitle(QStringLiteral("pointline"));
        setWindowModality(Qt::ApplicationModal);
        setFont(ChineseFont(9));
        auto* layout = new QVBoxLayout(this);
        label_ = new QLabel(text, this);
        layout->addWidget(label_);
        auto* bar = new QProgressBar(this);
        bar->setRange(0, 0);  // no known end: a moving bar
        layout->addWidget(bar);
        button_ = new QPushButton(QStringLiteral("取消"), this);
        button_->setObjectName(QStringLiteral("BusyCancel"));
        layout->addWidget(button_, 0, Qt::AlignRight);
        connect(button_, &QPushButton::clicked, this, &BusyWindow::Cancel);
    }

    void reject() override { Cancel(); }  // Escape

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        Cancel();
    }

private:
    void Cancel() {
        cancel_ = true;
        button_->setEnabled(false);
        label_->setText(QStringLiteral("正在取消…"));
    }

    std::atomic<bool>& cancel_;
    QLabel* label_;
    QPushButton* button_;
};

}  // namespace

void RunWhileBusy(QWidget* owner, const QString& text, const std::function<void()>& work) {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;  // under `mutex`
    std::exception_ptr error;
    QEventLoop loop;
    bool seen = false;  // the GUI thread has heard that the work ended
    // Declared last, so destroyed first: a pending call to it goes with it.
    QObject receiver;

    std::thread worker([&] {
        {
            DbCancelScope scope(cancel);
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        ended.notify_all();
        QMetaObject::invokeMethod(
            &receiver,
            [&] {
                seen = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });

    bool quick;
    {
        std::unique_lock<std::mutex> lock(mutex);
        quick = ended.wait_for(lock, std::chrono::milliseconds(kBusyDelayMs), [&] { return finished; });
    }
    if (!quick) {
        BusyWindow window(owner, text, cancel);
        window.show();
        if (!seen) loop.exec();
    }
    worker.join();
    if (error) std::rethrow_exception(error);
}
