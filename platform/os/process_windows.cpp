// Workers of their own are not started on Windows yet: every bridge there
// is programmed by a plexmoor-cli of its own, --device SERIAL.
#include "process.h"

namespace os {

bool start_child(const std::vector<std::string>&, Child&, std::string& why) {
    why = "not supported on this system";
    return false;
}

void read_children(std::vector<Child>&, int) {}

void stop_child(const Child&) {}

int wait_child(Child&) {
    return 1;
}

} // namespace os
