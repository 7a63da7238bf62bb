#include "recovery_copy.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace plexmoor {
namespace {

constexpr std::string_view kCopyPrefix = "zintra-flash-";
constexpr std::size_t kAddressDigits = 8;

} // namespace

std::optional<int32_t> RecoveryAddress(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    if (name.rfind(kCopyPrefix, 0) != 0 || name.size() < kCopyPrefix.size() + kAddressDigits)
        return std::nullopt;
    int64_t address = 0;
    for (char c : name.substr(kCopyPrefix.size(), kAddressDigits)) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        address = address * 16 + digit;
    }
    if (address > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(address);
}

std::string RecoveryText(std::string_view format, const RecoveryCopy& copy) {
    std::string out(format.size() + copy.path.size() + 16, '\0');
    const int n = std::snprintf(out.data(), out.size(), std::string(format).c_str(),
                                static_cast<unsigned>(copy.address), copy.path.c_str());
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

RecoveryCopy ReadRecoveryCopy(const std::string& path) {
    return RecoveryCopy{path, RecoveryAddress(path).value_or(-1),
                        zintra::recovery::ReadIdentity(path, kRecoveryBlockSize)};
}

std::optional<RecoveryCopy> FindRecoveryCopy(ZintraLink& zintra) {
    const std::optional<std::string> path = zintra.ZintraRecoveryCopy();
    if (!path) return std::nullopt;
    return ReadRecoveryCopy(*path);
}

std::vector<RecoveryCopy> WaitingRecoveryCopies(ZintraLink& zintra) {
    std::vector<RecoveryCopy> copies;
    for (const std::string& path : zintra.ZintraRecoveryCopies())
        copies.push_back(ReadRecoveryCopy(path));
    // A library before the list tells the oldest alone.
    if (copies.empty() && zintra.version() < 3)
        if (std::optional<RecoveryCopy> oldest = FindRecoveryCopy(zintra))
            copies.push_back(*oldest);
    return copies;
}

} // namespace plexmoor
