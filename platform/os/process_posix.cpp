#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace os {

bool start_child(const std::vector<std::string>& args, Child& child, std::string& why) {
    int pipe_ends[2];
    if (args.empty() || ::pipe2(pipe_ends, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    if (failed) {
        ::close(pipe_ends[0]);
        why = std::strerror(failed);
        return false;
    }
    child.id = pid;
    child.output = pipe_ends[0];
    child.open = true;
    return true;
}

void read_children(std::vector<Child>& children, int timeout_ms) {
    std::vector<pollfd> polled;
    std::vector<Child*> owners;
    for (Child& child : children) {
        if (!child.open) continue;
        polled.push_back({static_cast<int>(child.output), POLLIN, 0});
        owners.push_back(&child);
    }
    if (polled.empty()) return;
    if (::poll(polled.data(), polled.size(), timeout_ms) <= 0) return;
    for (std::size_t i = 0; i < polled.size(); ++i) {
        if (!polled[i].revents) continue;
        char buffer[4096];
        const ssize_t n = ::read(polled[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            owners[i]->unread.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(static_cast<int>(owners[i]->output));
            owners[i]->output = -1;
            owners[i]->open = false;
        }
    }
}

void stop_child(const Child& child) {
    if (child.id > 0) ::kill(static_cast<pid_t>(child.id), SIGTERM);
}

int wait_child(Child& child) {
    if (child.output >= 0) ::close(static_cast<int>(child.output));
    child.output = -1;
    child.open = false;
    int raw = 0;
    while (::waitpid(static_cast<pid_t>(child.id), &raw, 0) < 0 && errno == EINTR) {
    }
    child.id = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

} // namespace os
