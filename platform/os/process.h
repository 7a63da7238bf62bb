// Programs started by this one, each with its output into a pipe of its
// own that this program reads: process_posix.cpp (posix_spawn) and
// process_windows.cpp (CreateProcess) each implement all of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

struct Child {
    long id = -1; // the system's process id
    // The pipe's read end, the child's standard output and error: a file
    // descriptor, or on Windows the pipe's handle.
    std::intptr_t output = -1;
    bool open = false;
    std::string unread; // read from the pipe, not yet taken by the caller
};

// Starts args[0], a path (no search of PATH), with args, its standard
// output and error into one pipe, its standard input empty, this process's
// environment and folder; true with child filled in, else false with the
// reason in why. On Windows each argument reaches the child's argv as it
// was, spaces, quotes and backslashes included, and the child inherits no
// handle but its pipe's.
bool start_child(const std::vector<std::string>& args, Child& child, std::string& why);
// Waits at most timeout_ms for any open child to write or close its output,
// and appends what each wrote to its `unread` (on Windows a program's
// CR LF line ends read as LF). A child whose output closed is no longer
// open; its pipe is closed.
void read_children(std::vector<Child>& children, int timeout_ms);
// Asks a child to end as a polite kill would: SIGTERM, or on Windows the
// child's stop event (stop_event_windows.h), which os::on_interrupt takes
// as a Ctrl+C. Either way a run stops at its next page.
void stop_child(const Child& child);
// Closes the child's pipe, waits for it to end and returns its exit status:
// 128 + the signal that ended it on POSIX; on Windows its exit code, or 255
// for a code past 255 (an exception's, 0xC0000005 and the like).
int wait_child(Child& child);

} // namespace os
