// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/termination.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <string>
#include <unistd.h>

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

void endNow(int sig, std::chrono::milliseconds grace,
            const char* how = "without saving its settings") {
    const std::string text = std::string("kestle: ") + strsignal(sig) +
                             ": the program did not end within " + std::to_string(grace.count()) +
                             " ms, so it ends now " + how + "\n";
    (void)!::write(STDERR_FILENO, text.data(), text.size());
    ::_exit(128 + sig);
}

// Waits for a signal of `set` until `deadline`; 0 when the time is up.
int waitUntil(const sigset_t& set, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return 0;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        const int sig = sigtimedwait(&set, nullptr, &ts);
        if (sig > 0)
            return sig;
        if (errno == EAGAIN)
            return 0;
    }
}

} // namespace

void blockTerminationSignals() {
    sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void unblockTerminationSignals() {
    sigset_t set = watchedSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

TerminationWatch::TerminationWatch(Scheduler& sched, std::function<void()> onSignal,
                                   std::chrono::milliseconds grace,
                                   std::function<void(int)> onStuck) {
    sigset_t set = watchedSignals();
    blockTerminationSignals();
    if (!onStuck)
        onStuck = [grace](int sig) { endNow(sig, grace); };
    thread_ = std::thread(
        [this, &sched, fn = std::move(onSignal), set, grace, stuck = std::move(onStuck)] {
            int sig = 0;
            while (sigwait(&set, &sig) != 0) {
            }
            if (sig != SIGUSR2) {
                sched.post(fn);
                // The window thread may be stuck (a blocked call, an endless
                // loop): the end must not depend on it.
                const int next = waitUntil(set, std::chrono::steady_clock::now() + grace);
                if (next != SIGUSR2)
                    stuck(next == 0 ? sig : next);
            }
            finished_ = true;
        });
}

namespace {

// Wakes a watcher thread and waits for it; a wake-up that came after the
// watcher had ended stays pending and is taken, so that it cannot end a
// later watch at once.
void endWatcher(std::thread& thread, const std::atomic<bool>& finished) {
    if (!finished)
        pthread_kill(thread.native_handle(), SIGUSR2);
    thread.join();
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, SIGUSR2);
    const timespec none{0, 0};
    while (sigtimedwait(&wake, nullptr, &none) > 0) {
    }
}

} // namespace

TerminationWatch::~TerminationWatch() {
    endWatcher(thread_, finished_);
}

SignalStop::SignalStop(std::chrono::milliseconds grace) {
    const sigset_t set = watchedSignals();
    blockTerminationSignals();
    thread_ = std::thread([this, set, grace] {
        int sig = 0;
        while (sigwait(&set, &sig) != 0) {
        }
        if (sig != SIGUSR2) {
            signal_ = sig;
            *flag_ = true;
            const int next = waitUntil(set, std::chrono::steady_clock::now() + grace);
            if (next != SIGUSR2)
                endNow(next == 0 ? sig : next, grace, "unfinished");
        }
        finished_ = true;
    });
}

SignalStop::~SignalStop() {
    endWatcher(thread_, finished_);
}

} // namespace kestle
