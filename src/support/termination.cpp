#include "support/termination.h"

#include <csignal>
#include <pthread.h>

namespace kestle {

namespace {

sigset_t watchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGUSR2); // only used to wake the watcher at exit
    return set;
}

} // namespace

void blockTerminationSignals() {
    sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationWatch::TerminationWatch(Scheduler& sched, std::function<void()> onSignal) {
    sigset_t set = watchedSignals();
    blockTerminationSignals();
    thread_ = std::thread([&sched, fn = std::move(onSignal), set] {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) != 0 || sig == SIGUSR2)
                return;
            sched.post(fn);
        }
    });
}

TerminationWatch::~TerminationWatch() {
    pthread_kill(thread_.native_handle(), SIGUSR2);
    thread_.join();
}

} // namespace kestle
