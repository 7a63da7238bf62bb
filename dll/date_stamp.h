// Local date and time as YYYYMMDD-HHMMSS: the stamp in the names of the
// files the library and the window leave behind (recovery copies, backups),
// so that a folder of them sorts by time. Header-only, for both sides.
#pragma once

#include "os.h"

#include <ctime>
#include <string>

namespace zintra {

inline std::string DateStamp() {
    std::time_t now = std::time(nullptr);
    const std::tm local = os::local_time(now);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

} // namespace zintra
