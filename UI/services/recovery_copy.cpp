#include "recovery_copy.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace plexmoor {
namespace {

constexpr std::string_view kCopyPrefix = "zintra-flash-";
constexpr std::size_t kAddressDigits = 8;
constexpr int32_t kPathSpace = 4096;

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

std::optional<RecoveryCopy> FindRecoveryCopy(ZintraLink& zintra) {
    using Lookup = int32_t (*)(char*, int32_t);
    auto lookup = reinterpret_cast<Lookup>(zintra.bind("ZintraRecoveryCopy", true));
    if (!lookup) return std::nullopt;
    std::string path(static_cast<std::size_t>(kPathSpace), '\0');
    if (lookup(path.data(), kPathSpace) != 1) return std::nullopt;
    path.resize(path.find('\0'));
    return RecoveryCopy{path, RecoveryAddress(path).value_or(-1)};
}

} // namespace plexmoor
