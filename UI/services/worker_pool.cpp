#include "worker_pool.h"

#include "os.h"

#include <algorithm>

namespace plexmoor {

WorkerPool::~WorkerPool() {
    // A pool left with workers running (an exception, a window closed) does
    // not leave them behind: they are stopped and waited for.
    stopAll();
    for (Worker& w : workers_)
        if (w.status < 0 && w.child.id >= 0) os::wait_child(w.child);
}

void WorkerPool::start(const std::vector<std::string>& bridges, const Args& args) {
    workers_.clear();
    workers_.resize(bridges.size());
    for (std::size_t i = 0; i < bridges.size(); ++i) {
        Worker& w = workers_[i];
        w.bridge = bridges[i];
        if (!os::start_child(args(w.bridge), w.child, w.why_not_started)) w.status = 1;
    }
}

void WorkerPool::poll(int timeout_ms, const Line& line, const Ended& ended) {
    std::vector<os::Child> children;
    for (Worker& w : workers_)
        children.push_back(std::move(w.child));
    os::read_children(children, timeout_ms);
    for (std::size_t i = 0; i < workers_.size(); ++i)
        workers_[i].child = std::move(children[i]);
    for (std::size_t i = 0; i < workers_.size(); ++i) {
        Worker& w = workers_[i];
        std::string& unread = w.child.unread;
        std::size_t end;
        while ((end = unread.find('\n')) != std::string::npos) {
            std::string one = unread.substr(0, end);
            unread.erase(0, end + 1);
            if (line) line(i, one);
        }
        if (!w.child.open && !unread.empty()) {
            if (line) line(i, unread);
            unread.clear();
        }
        // A worker that closed its output is ending: its outcome now, while
        // the others go on.
        if (!w.child.open && w.status < 0) {
            w.status = os::wait_child(w.child);
            if (ended) ended(i);
        }
    }
}

void WorkerPool::stopAll() {
    for (Worker& w : workers_)
        if (w.status < 0 && w.child.open && !w.stop_sent) {
            w.stop_sent = true;
            os::stop_child(w.child);
        }
}

bool WorkerPool::running() const {
    return std::any_of(workers_.begin(), workers_.end(),
                       [](const Worker& w) { return w.status < 0; });
}

std::string SelfPath(const char* argv0) {
    const std::string self = os::program_path();
    return self.empty() ? std::string(argv0) : self;
}

} // namespace plexmoor
