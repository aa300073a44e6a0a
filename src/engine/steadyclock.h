#pragma once

#include <QtGlobal>

#include <chrono>

namespace cantavo {

// The steady clock in nanoseconds: the one time base of output, input and the sequencer's
// published position.
inline qint64 SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace cantavo
