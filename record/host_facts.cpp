// What a row says of the station and the image: time, host name, digest.
#include "record.h"

#include <nettle/sha2.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace plexmoor::record {

std::string Timestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(ms));
    return text;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "unknown";
    return name;
}

int64_t ProcessId() {
    return static_cast<int64_t>(getpid());
}

namespace {

std::string Hex(const sha256_ctx& finished) {
    sha256_ctx ctx = finished;
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx, sizeof digest, digest);
    std::string hex;
    for (uint8_t b : digest) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

} // namespace

std::string Sha256(std::string_view bytes) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
    return Hex(ctx);
}

std::string FileSha256(const std::string& path) {
    // Never opened for reading unless it is a file: a FIFO would hang.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    sha256_ctx ctx;
    sha256_init(&ctx);
    char block[65536];
    while (in) {
        in.read(block, sizeof block);
        sha256_update(&ctx, static_cast<size_t>(in.gcount()),
                      reinterpret_cast<const uint8_t*>(block));
    }
    if (in.bad()) return {};
    return Hex(ctx);
}

} // namespace plexmoor::record
