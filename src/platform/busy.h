#pragma once
// Long database reads without a frozen window.
#include <QString>
#include <functional>

class QWidget;

// Runs `work` on a worker thread and waits for it. A read that ends within
// kBusyDelayMs just blocks (too short to notice, and no click meanwhile can
// start a second command); a longer one shows a modal window with `text` and
// a "取消" button, while the other windows keep painting and their timers
// keep running. "取消" makes the database reads of `work` fail with
// DbError::Kind::Cancelled. Whatever `work` throws is thrown again here.
void RunWhileBusy(QWidget* owner, const QString& text, const std::function<void()>& work);

inline constexpr int kBusyDelayMs = 500;
