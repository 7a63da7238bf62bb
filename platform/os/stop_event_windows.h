// The event a program that start_child started on Windows watches for its
// stop, as a POSIX program takes SIGTERM: made by the parent before the
// child runs, named after the child's process id, set by stop_child, and
// taken by the child's os::on_interrupt as a Ctrl+C.
#pragma once

#include <string>

namespace os {

inline std::string stop_event_name(unsigned long process_id) {
    return "Local\\plexmoor-stop-" + std::to_string(process_id);
}

} // namespace os
