// Runs vornikctl as a child process and gives its exit code, stdout and
// stderr; a run that outlasts its time is killed and reported as such.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vornik::test {

struct RunResult {
    int exitCode = -1; // -1: did not end by itself
    std::string out, err;
    std::chrono::milliseconds took{0};
    std::chrono::milliseconds afterInterrupt{-1}; // from the SIGINT to the end, when one was sent
    long peakKib = 0; // the child's peak resident memory, as the system counted it
};
// Ctrl-C as a user presses it: one SIGINT `after` the child's stderr first holds `seen`.
struct Interruption { std::string seen; std::chrono::milliseconds after{0}; };

// `environment` holds NAME=value entries that are set for the child on top of ours.
inline RunResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                            std::chrono::milliseconds timeout = std::chrono::seconds(60),
                            std::vector<std::string> environment = {},
                            const std::optional<Interruption>& interruption = std::nullopt)
{
    std::optional<std::chrono::steady_clock::time_point> interruptAt; // then, once sent, when it was
    bool interrupted = false;
    RunResult result;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return result;
    std::vector<std::string> all{path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(environment.begin(), environment.end(), [&](const std::string& x) { return x.rfind(name, 0) == 0; }))
            environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const auto start = std::chrono::steady_clock::now();
    const bool spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    const auto deadline = start + timeout;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = spawned ? 2 : 0;
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        auto wait = left;
        if (interruptAt && !interrupted && (interrupted = std::chrono::steady_clock::now() >= *interruptAt)) {
            ::kill(pid, SIGINT);
            interruptAt = std::chrono::steady_clock::now();
        }
        if (interruptAt && !interrupted)
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*interruptAt - std::chrono::steady_clock::now()));
        if (::poll(fds, 2, int(wait.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, size_t(n));
                if (interruption && !interruptAt && result.err.find(interruption->seen) != std::string::npos)
                    interruptAt = std::chrono::steady_clock::now() + interruption->after;
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (spawned) {
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        result.peakKib = usage.ru_maxrss;
        if (!killed && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    }
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (interrupted) result.afterInterrupt = std::chrono::ceil<std::chrono::milliseconds>(std::chrono::steady_clock::now() - *interruptAt);
    return result;
}

} // namespace vornik::test
