#include "model/mainstate.h"

#include <algorithm>
#include <cmath>

namespace {
// From 2^24 on, a 32-bit float no longer counts by one: a counter raised that
// far would hand out the same number again and again.
constexpr float kLastCountingFloat = 16777216.0f;

template <class List>
float CounterAfterLoad(const List& list) {
    float counter = static_cast<float>(list.Count());
    for (const auto& r : list) {
        const float n = RecordNumber(*r);
        if (n < kLastCountingFloat && n == std::floor(n)) counter = std::max(counter, n);
    }
    return counter;
}
}  // namespace

void MainState::SetCountersAfterLoad() {
    lastPntNO = CounterAfterLoad(pntArray);
    lastLineID = CounterAfterLoad(lineArray);
}
