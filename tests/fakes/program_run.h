// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a program (the kestle binary) with its standard output and standard
// error captured apart, for at most `limit` (then it is killed). While it
// runs, `whileRunning` is called with its pid every 20 ms or so, to send it
// a signal once a condition holds. It returns when the program ends.
#include <poll.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kestle::test {

struct ProgramRun {
    int status = -1; // the exit status; -1 when it did not exit
    int signal = 0;  // the signal that ended it
    bool timedOut = false;
    std::string out, err;
};

inline ProgramRun runProgram(const std::vector<std::string>& args,
                             std::chrono::milliseconds limit = std::chrono::seconds(60),
                             const std::function<void(pid_t)>& whileRunning = {},
                             const std::vector<std::pair<std::string, std::string>>& env = {}) {
    ProgramRun r;
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        for (const auto& [k, v] : env)
            ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    const auto end = std::chrono::steady_clock::now() + limit;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* into[2] = {&r.out, &r.err};
    int open = 2, status = 0;
    bool exited = false;
    while (!exited || open > 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            r.timedOut = true;
        }
        if (open > 0 && ::poll(fds, 2, 20) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                    continue;
                char buf[65536];
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    into[i]->append(buf, static_cast<std::size_t>(n));
                } else {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        } else if (open == 0) {
            ::usleep(20000);
        }
        if (!exited && ::waitpid(pid, &status, WNOHANG) == pid)
            exited = true;
        else if (!exited && whileRunning && !r.timedOut)
            whileRunning(pid);
    }
    if (WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    return r;
}

} // namespace kestle::test
