#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace cantavo {

// The desktop's request to end (SIGTERM at logout or shutdown, SIGINT from a terminal, SIGHUP
// when the terminal goes): the handler only writes the signal to a socket pair, and `onEnd`
// runs on the window thread. Should the program not be able to answer (its thread stuck),
// it ends anyway a few seconds later, as a crash would.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(std::function<void()> onEnd, QObject* parent = nullptr);
    ~EndSignals() override;
    bool installed() const { return notifier_ != nullptr; }

private:
    std::function<void()> onEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace cantavo
