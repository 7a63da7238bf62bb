// Programs started by this one, each with its output into a pipe of its
// own that this program reads: process_posix.cpp (fork and exec) and
// process_windows.cpp each implement all of it.
#pragma once

#include <string>
#include <vector>

namespace os {

struct Child {
    long id = -1;    // the system's process id
    int output = -1; // the pipe's read end: the child's standard output and error
    bool open = false;
    std::string unread; // read from the pipe, not yet taken by the caller
};

// Starts args[0] with args, its standard output and error into one pipe;
// false with the reason in why.
bool start_child(const std::vector<std::string>& args, Child& child, std::string& why);
// Waits at most timeout_ms for any open child to write or close its output,
// and appends what each wrote to its `unread`.
void read_children(std::vector<Child>& children, int timeout_ms);
// Asks a child to end as a polite kill would (it may finish its page first).
void stop_child(const Child& child);
// Waits for the child to end: its exit status, or 128 + the signal that ended it.
int wait_child(Child& child);

} // namespace os
