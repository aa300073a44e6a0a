#pragma once

#include <QString>

namespace cantavo {

// Asks that the calling thread be scheduled in real time (SCHED_RR at a low priority), the
// way desktop audio programs do: directly where the process may, else through the desktop's
// RealtimeKit service on the system bus. Says what it got, for the log and the benchmarks:
// "SCHED_RR 10 (direct)", "SCHED_RR 10 (RealtimeKit)", or "normal priority: " and why.
// Never fails loudly; a thread that stays at normal priority still works.
QString MakeCallingThreadRealtime(int priority = 10);

}  // namespace cantavo
