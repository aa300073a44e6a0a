#include "realtime.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariant>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cantavo {

namespace {

bool setRoundRobin(int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0;
}

QString askRealtimeKit(int priority) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return QStringLiteral("no system bus");
    QDBusInterface kit(QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
                       QStringLiteral("org.freedesktop.RealtimeKit1"), bus);
    if (!kit.isValid()) return QStringLiteral("no RealtimeKit");
    // RealtimeKit only grants threads of a process that has bounded its real-time CPU time,
    // so that a runaway thread is stopped rather than freezing the desktop.
    const QVariant most = kit.property("MaxRealtimePriority");
    const QVariant limitUs = kit.property("RTTimeUSecMax");
    if (most.isValid()) priority = std::clamp(priority, 1, std::max(1, most.toInt()));
    rlimit limit{};
    const rlim_t usec = limitUs.isValid() && limitUs.toLongLong() > 0 ? static_cast<rlim_t>(limitUs.toLongLong()) : 200000;
    if (getrlimit(RLIMIT_RTTIME, &limit) == 0 && (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > usec)) {
        limit.rlim_cur = limit.rlim_max = usec;
        setrlimit(RLIMIT_RTTIME, &limit);
    }
    const auto tid = static_cast<quint64>(syscall(SYS_gettid));
    QDBusReply<void> reply = kit.call(QStringLiteral("MakeThreadRealtime"), QVariant::fromValue(tid), QVariant::fromValue(static_cast<quint32>(priority)));
    if (!reply.isValid()) return reply.error().message();
    return {};
}

}  // namespace

QString MakeCallingThreadRealtime(int priority) {
    if (setRoundRobin(priority)) return QStringLiteral("SCHED_RR %1 (direct)").arg(priority);
    const QString direct = QString::fromLocal8Bit(std::strerror(errno));
    const QString kit = askRealtimeKit(priority);
    if (kit.isEmpty()) return QStringLiteral("SCHED_RR %1 (RealtimeKit)").arg(priority);
    return QStringLiteral("normal priority: %1; %2").arg(direct, kit);
}

}  // namespace cantavo
