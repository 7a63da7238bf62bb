// The boards' options from the environment, so that a program picks the
// virtual board with no rebuild and no settings file.
#include "fault_grammar.h"
#include "virtual_board.h"

#include <cstdio>
#include <cstdlib>

namespace vboard {
namespace {

// The separator of a list of paths, as in PATH.
#ifdef _WIN32
constexpr char kPathListSeparator = ';';
#else
constexpr char kPathListSeparator = ':';
#endif
// The separator of the per-board entries of the part and the faults.
constexpr char kBoardSeparator = ';';
constexpr std::size_t kMostBoards = 255;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// One entry per board, or one for every board.
bool per_board(const char* name, std::size_t boards, std::vector<std::string>& entries,
               std::string& error) {
    entries = split(environment(name), kBoardSeparator);
    if (entries.size() == 1) entries.assign(boards, entries[0]);
    if (entries.size() == boards) return true;
    error = std::string(name) + " holds " + std::to_string(entries.size()) + " entries for " +
            std::to_string(boards) + " boards";
    return false;
}

bool parse_part(const std::string& entry, Options& options, std::string& error) {
    const std::string part = trim(entry);
    if (part == "" || part == "default") {
        options.part = &default_part();
    } else if (part == "other") {
        options.part = &other_part();
    } else {
        error = "FTD2XX_VIRTUAL_PART must be default or other, not \"" + part + "\"";
        return false;
    }
    return true;
}

bool parse_whole(const char* name, uint32_t& out, std::string& error) {
    const std::string text = environment(name);
    if (text.empty() || parse_number(text, out)) return true;
    error = std::string(name) + " must be a whole number, not \"" + text + "\"";
    return false;
}

// One socket a bridge: "%s" in the entry becomes the bridge's serial
// number, which also lets one entry serve several bridges.
bool socket_of(const std::string& entry, std::size_t boards, Options& options, std::string& error) {
    options.socket = entry;
    const auto at = options.socket.find("%s");
    if (at != std::string::npos) {
        options.socket.replace(at, 2, options.serial);
    } else if (boards > 1 && !entry.empty() &&
               split(environment("FTD2XX_VIRTUAL_SOCKET"), kBoardSeparator).size() == 1) {
        error = "FTD2XX_VIRTUAL_SOCKET names one socket for " + std::to_string(boards) +
                " bridges; put %s (the serial number) in it or give one a bridge";
        return false;
    }
    return true;
}

// What every board of the process shares.
bool common_options(Options& common, std::string& error) {
    const std::string time = environment("FTD2XX_VIRTUAL_TIME");
    if (time != "" && time != "0" && time != "1") {
        error = "FTD2XX_VIRTUAL_TIME must be 0 or 1, not \"" + time + "\"";
        return false;
    }
    common.virtual_time = time == "1";
    const std::string bridge = environment("FTD2XX_VIRTUAL_BRIDGE");
    if (bridge != "" && bridge != "60mhz" && bridge != "12mhz") {
        error = "FTD2XX_VIRTUAL_BRIDGE must be 60mhz or 12mhz, not \"" + bridge + "\"";
        return false;
    }
    common.master_clock_60mhz = bridge != "12mhz";
    if (!parse_whole("FTD2XX_VIRTUAL_USB_US", common.usb_turnaround_us, error) ||
        !parse_whole("FTD2XX_VIRTUAL_LATENCY_MS", common.latency_ms, error))
        return false;
    if (common.latency_ms == 0) {
        error = "FTD2XX_VIRTUAL_LATENCY_MS must be 1 or more";
        return false;
    }
    common.stats_path = environment("FTD2XX_VIRTUAL_STATS");
    return true;
}

} // namespace

bool boards_from_environment(std::vector<Options>& boards, std::string& error) {
    boards.clear();
    const std::string one = environment("FTD2XX_VIRTUAL_BOARD");
    const std::string several = environment("FTD2XX_VIRTUAL_BOARDS");
    if (one.empty() && several.empty()) return true;
    if (!one.empty() && !several.empty()) {
        error = "set FTD2XX_VIRTUAL_BOARD or FTD2XX_VIRTUAL_BOARDS, not both";
        return false;
    }
    const std::vector<std::string> paths =
        one.empty() ? split(several, kPathListSeparator) : std::vector<std::string>{one};
    if (paths.size() > kMostBoards) {
        error = "FTD2XX_VIRTUAL_BOARDS names more than " + std::to_string(kMostBoards) + " boards";
        return false;
    }
    Options common;
    std::vector<std::string> parts, faults, sockets;
    if (!common_options(common, error) ||
        !per_board("FTD2XX_VIRTUAL_PART", paths.size(), parts, error) ||
        !per_board("FTD2XX_VIRTUAL_FAULTS", paths.size(), faults, error) ||
        !per_board("FTD2XX_VIRTUAL_SOCKET", paths.size(), sockets, error))
        return false;
    std::vector<Options> parsed;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Options options = common;
        if (paths[i].empty()) {
            error = "FTD2XX_VIRTUAL_BOARDS holds an empty path";
            return false;
        }
        options.path = paths[i];
        if (!one.empty()) {
            options.serial = kSerialNumber;
        } else {
            // At most 255 boards: four digits always hold the number.
            char serial[32];
            std::snprintf(serial, sizeof serial, "VB%04zu", i + 1);
            options.serial = serial;
        }
        if (!parse_part(parts[i], options, error) ||
            !parse_faults(faults[i], options.faults, error) ||
            !socket_of(sockets[i], paths.size(), options, error))
            return false;
        parsed.push_back(options);
    }
    boards = std::move(parsed);
    return true;
}

} // namespace vboard
