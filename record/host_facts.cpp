// What a row says of the station and the image: time, host name, digest.
#include "record.h"

#include "os.h"
#include "sha256.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace plexmoor::record {

// From the calendar of <chrono>: the same on every system, without the C
// library's gmtime_r, which Windows spells otherwise.
std::string Timestamp() {
    using namespace std::chrono;
    const auto now = floor<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[96];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

std::string HostName() {
    const std::string name = os::host_name();
    return name.empty() ? "unknown" : name;
}

int64_t ProcessId() {
    return static_cast<int64_t>(os::process_id());
}

namespace {

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
    std::string hex;
    for (std::uint8_t b : digest) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

} // namespace

std::string BytesSha256(std::string_view bytes) {
    try {
        Sha256 sha;
        sha.update(bytes.data(), bytes.size());
        return Hex(sha.finish());
    } catch (const Error&) {
        return {};
    }
}

std::string FileSha256(const std::string& path) {
    // Never opened for reading unless it is a file: a FIFO would hang.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::array<std::uint8_t, 32> digest{};
    try {
        Sha256 sha;
        char block[65536];
        while (in) {
            in.read(block, sizeof block);
            sha.update(block, static_cast<std::size_t>(in.gcount()));
        }
        if (in.bad()) return {};
        digest = sha.finish();
    } catch (const Error&) {
        return {};
    }
    return Hex(digest);
}

} // namespace plexmoor::record
