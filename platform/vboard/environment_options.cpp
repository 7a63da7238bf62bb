// The board's options from the environment, so that a program picks the
// virtual board with no rebuild and no settings file.
#include "fault_grammar.h"
#include "virtual_board.h"

#include <cstdlib>

namespace vboard {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

bool options_from_environment(Options& options, bool& named, std::string& error) {
    const char* path = std::getenv("FTD2XX_VIRTUAL_BOARD");
    named = path && *path;
    if (!named) return true;
    options.path = path;

    const std::string time = environment("FTD2XX_VIRTUAL_TIME");
    if (time != "" && time != "0" && time != "1") {
        error = "FTD2XX_VIRTUAL_TIME must be 0 or 1, not \"" + time + "\"";
        return false;
    }
    options.virtual_time = time == "1";

    const std::string part = environment("FTD2XX_VIRTUAL_PART");
    if (part == "" || part == "default") {
        options.part = &default_part();
    } else if (part == "other") {
        options.part = &other_part();
    } else {
        error = "FTD2XX_VIRTUAL_PART must be default or other, not \"" + part + "\"";
        return false;
    }
    const std::string bridge = environment("FTD2XX_VIRTUAL_BRIDGE");
    if (bridge != "" && bridge != "60mhz" && bridge != "12mhz") {
        error = "FTD2XX_VIRTUAL_BRIDGE must be 60mhz or 12mhz, not \"" + bridge + "\"";
        return false;
    }
    options.master_clock_60mhz = bridge != "12mhz";
    const char* faults = std::getenv("FTD2XX_VIRTUAL_FAULTS");
    return !faults || parse_faults(faults, options.faults, error);
}

} // namespace vboard
