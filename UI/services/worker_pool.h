// Several boards at once: one worker process a bridge (Zintra keeps one
// device per process), each a plexmoor-cli of its own; their lines read as
// they come, a stop passed on, their ends waited for. The gang runs, the
// station's parent and the window's station dialog drive one alike.
#pragma once

#include "process.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace plexmoor {

class WorkerPool {
  public:
    struct Worker {
        std::string bridge;
        os::Child child;
        int status = -1; // the exit status once ended; -1 while it runs
        bool stop_sent = false;
        std::string why_not_started;
        std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    };
    using Args = std::function<std::vector<std::string>(const std::string& bridge)>;
    using Line = std::function<void(std::size_t worker, const std::string& line)>;
    using Ended = std::function<void(std::size_t worker)>;

    WorkerPool() = default;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();

    // A worker for each bridge with the arguments args gives it; one that
    // does not start has ended at once (status 1, why_not_started).
    void start(const std::vector<std::string>& bridges, const Args& args);
    // Waits at most timeout_ms for output; each whole line a worker wrote
    // goes to line, and a worker that closed its output is waited for and
    // goes to ended, once.
    void poll(int timeout_ms, const Line& line, const Ended& ended);
    // Asks every running worker to stop as a polite kill would.
    void stopAll();
    bool running() const;
    std::vector<Worker>& workers() { return workers_; }

  private:
    std::vector<Worker> workers_;
};

// plexmoor-cli itself: this program's path, else argv0 as it was started.
std::string SelfPath(const char* argv0);

} // namespace plexmoor
