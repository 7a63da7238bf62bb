// plexmoor-cli run as a line runs it, from a shell in a test's folder: its
// status and what it printed, and the files it leaves.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace plexmoor::testing {

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A shell command in folder, its output in out-TAG.txt and err-TAG.txt
// there; the shell execs the last program, so the pid's signals reach it.
inline pid_t StartIn(const std::filesystem::path& folder, const std::string& command,
                     const std::string& tag = "") {
    const std::string line =
        "cd '" + folder.string() + "' && " + command + " >out" + tag + ".txt 2>err" + tag + ".txt";
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

inline Outcome FinishIn(const std::filesystem::path& folder, pid_t pid,
                        const std::string& tag = "") {
    int raw = 0;
    waitpid(pid, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw),
            ReadText(folder / ("out" + tag + ".txt")), ReadText(folder / ("err" + tag + ".txt"))};
}

} // namespace plexmoor::testing
