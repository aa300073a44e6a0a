#include "endsignals.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace cantavo {

namespace {

int pipeEnds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Long enough for a clean end (the sound devices closed, the working files removed), short
// enough for a logout that waits on the program.
constexpr unsigned kGraceSeconds = 3;

void onSignal(int sig) {
    const int saved = errno;
    const char c = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[0], &c, 1);
    alarm(kGraceSeconds);
    errno = saved;
}

}  // namespace

EndSignals::EndSignals(std::function<void()> onEnd, QObject* parent) : QObject(parent), onEnd_(std::move(onEnd)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char c;
        while (::read(pipeEnds[1], &c, 1) > 0) {
        }
        if (onEnd_) onEnd_();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals) sigaction(sig, &sa, nullptr);
}

EndSignals::~EndSignals() {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals) sigaction(sig, &sa, nullptr);
    notifier_.reset();
    for (int& fd : pipeEnds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace cantavo
