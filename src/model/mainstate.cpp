#include "model/mainstate.h"

#include <algorithm>
#include <cmath>

namespace {
template <class List>
float CounterAfterLoad(const List& list) {
    float counter = static_cast<float>(list.Count());
    for (const auto& r : list) {
        const float n = RecordNumber(*r);
        if (std::isfinite(n) && n == std::floor(n)) counter = std::max(counter, n);
    }
    return counter;
}
}  // namespace

void MainState::SetCountersAfterLoad() {
    lastPntNO = CounterAfterLoad(pntArray);
    lastLineID = CounterAfterLoad(lineArray);
}
