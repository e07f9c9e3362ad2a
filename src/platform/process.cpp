#include "platform/process.h"

#include <csignal>

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }
