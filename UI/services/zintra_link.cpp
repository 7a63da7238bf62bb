#include "zintra_link.h"

#include "os.h"
#include "texts.h"
#include "zintra.h"

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>

namespace plexmoor {
namespace {

constexpr const char* kLibraryName = "Zintra";
// The calls that are safe while program flash pumps the window's events:
// one reads a single integer, the other sets a flag the run looks at.
constexpr std::string_view kSafeDuringProgramming[] = {"GetFlashProgress", "ZintraStop"};

// The library stays loaded for the life of the process, like its static
// state; a failed load is tried again on the next call. A program has one
// folder and so one library; a process that stands for several programs
// (a test) gets the library of each program's folder.
} // namespace

struct ZintraLibrary {
    void* handle = nullptr;
    std::map<std::string, void*, std::less<>> exports;
};
using Library = ZintraLibrary;

Library& ZintraLink::library() {
    static std::map<std::string, Library> libraries;
    return libraries[services_.programFolder()];
}

void* ZintraLink::bind(const char* name, bool quiet) {
    Library& lib = library();
    if (auto it = lib.exports.find(name); it != lib.exports.end()) return it->second;
    if (!lib.handle) {
        // Beside the program first, as the program's own library; then
        // where an installed program keeps its libraries; then by name
        // through the loader's search path. The installed folder is named
        // outright: a loader wrapped by a sanitizer does not search the
        // program's run path.
        const std::string file = os::library_file(kLibraryName);
        const std::filesystem::path folder(services_.programFolder());
        std::string why;
        for (const std::filesystem::path& at :
             {folder / file, folder / ".." / "lib" / "plexmoor" / file}) {
            if (!lib.handle) lib.handle = os::load_library(at.string(), why);
        }
        if (!lib.handle) lib.handle = os::load_library(file, why);
        if (!lib.handle) {
            services_.messageBox(std::string(text::kLibraryMissing) + why);
            return nullptr;
        }
    }
    void* address = os::library_symbol(lib.handle, name);
    if (!address) {
        if (!quiet) services_.messageBox(std::string(text::kExportMissing) + name);
        return nullptr;
    }
    lib.exports.emplace(name, address);
    return address;
}

bool ZintraLink::refusedWhileProgramming(const char* name) {
    if (!programming_) return false;
    for (std::string_view safe : kSafeDuringProgramming)
        if (name == safe) return false;
    services_.messageBox(std::string(text::kLibraryBusy) + name);
    return true;
}

// The one body of every export call. Each export is called through a pointer
// of its own declared type, so a change of the header shows up here at
// compile time. A call that starts a programming run marks it, so that the
// calls its message pump lets through can be refused.
template <auto Export, typename... Args>
int32_t ZintraLink::call(const char* name, bool starts_run, Args... args) {
    if (refusedWhileProgramming(name)) return 0;
    auto fn = reinterpret_cast<decltype(Export)>(bind(name));
    return fn ? run(starts_run, fn, args...) : 0;
}

template <typename Fn, typename... Args>
int32_t ZintraLink::run(bool starts_run, Fn fn, Args... args) {
    if (!starts_run) return fn(args...);
    programming_ = true;
    int32_t result = fn(args...);
    programming_ = false;
    return result;
}

int32_t ZintraLink::ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d) {
    return call<&::ZintraAction>("ZintraAction", action == ZINTRA_PROGRAM_FLASH, action, b, c, d);
}

int32_t ZintraLink::ZintraActionStr(int32_t kind, int32_t slot, const std::string& text) {
    return call<&::ZintraActionStr>("ZintraActionStr", false, kind, slot, text.c_str());
}

int32_t ZintraLink::SetupWriteParameter(int32_t start_address, const std::string& path) {
    return call<&::SetupWriteParameter>("SetupWriteParameter", false, start_address, path.c_str());
}

int32_t ZintraLink::GetFlashProgress() {
    return call<&::GetFlashProgress>("GetFlashProgress", false);
}

int32_t ZintraLink::PackFlash(const std::string& boot, const std::string& ot, int32_t ot_offset,
                              const std::string& rt, int32_t rt_offset, const std::string& output,
                              int32_t repack) {
    return call<&::PackFlash>("PackFlash", false, boot.c_str(), ot.c_str(), ot_offset, rt.c_str(),
                              rt_offset, output.c_str(), repack);
}

int32_t ZintraLink::PackSerial(const std::string& text, int32_t length) {
    return call<&::PackSerial>("PackSerial", false, text.c_str(), length);
}

int32_t ZintraLink::FlashSerial() {
    return call<&::FlashSerial>("FlashSerial", false);
}

int32_t ZintraLink::GetSerial(std::string& buffer) {
    constexpr std::size_t kSerialBuffer = 48;
    if (buffer.size() < kSerialBuffer) return 0;
    return call<&::GetSerial>("GetSerial", false, buffer.data());
}

int32_t ZintraLink::GetConf(int32_t table, int32_t index, int32_t width) {
    return call<&::GetConf>("GetConf", false, table, index, width);
}

int32_t ZintraLink::LoadConfFromFlashToBuffer() {
    return call<&::LoadConfFromFlashToBuffer>("LoadConfFromFlashToBuffer", false);
}

int32_t ZintraLink::LoadConfFromFileToBuffer(const std::string& path, int32_t mode) {
    return call<&::LoadConfFromFileToBuffer>("LoadConfFromFileToBuffer", false, path.c_str(), mode);
}

template <auto Export, typename... Args>
int32_t ZintraLink::callAddition(const char* name, bool starts_run, Args... args) {
    if (!available(name) || refusedWhileProgramming(name)) return 0;
    auto fn = reinterpret_cast<decltype(Export)>(bind(name, true));
    return fn ? run(starts_run, fn, args...) : 0;
}

namespace {

// The interface version that brought each addition (zintra.h).
struct Addition {
    std::string_view name;
    int32_t version;
};
constexpr Addition kAdditions[] = {
    {"ZintraChipId", 2},         {"ZintraBackupFlash", 2}, {"ZintraStop", 2},
    {"ZintraProgramFast", 2},    {"ZintraChipFamily", 2},  {"ZintraRecoveryCopy", 2},
    {"ZintraSelectBridge", 2},   {"ZintraListBridges", 2}, {"ZintraVersion", 3},
    {"ZintraReadFlash", 3},      {"ZintraBoardSerial", 3}, {"ZintraWriteProtection", 3},
    {"ZintraRecoveryCopyAt", 3},
};

int32_t AddedIn(std::string_view name) {
    for (const Addition& a : kAdditions)
        if (a.name == name) return a.version;
    return 1;
}

} // namespace

int32_t ZintraLink::version() {
    Library& lib = library();
    if (!lib.handle && !bind("ZintraAction")) return 0;
    using Version = int32_t(ZINTRA_CALL*)();
    if (auto fn = reinterpret_cast<Version>(bind("ZintraVersion", true))) return fn();
    return 1;
}

// A library that tells its version has what that version brought; one of
// the builds before the version call is asked export by export.
bool ZintraLink::available(const char* name) {
    Library& lib = library();
    if (lib.exports.count(name)) return true;
    const int32_t known = version();
    if (known == 0) return false;
    if (known > 1 && AddedIn(name) > known) return false;
    return bind(name, true) != nullptr;
}

int32_t ZintraLink::ZintraChipId(uint8_t* id) {
    return callAddition<&::ZintraChipId>("ZintraChipId", false, id);
}

int32_t ZintraLink::ZintraBackupFlash(const std::string& path, int32_t address, int32_t length) {
    return callAddition<&::ZintraBackupFlash>("ZintraBackupFlash", true, path.c_str(), address,
                                              length);
}

int32_t ZintraLink::ZintraProgramFast(int32_t first_byte_check, int32_t clock_mhz) {
    if (!available("ZintraProgramFast")) return 0;
    return call<&::ZintraProgramFast>("ZintraProgramFast", true, first_byte_check, clock_mhz);
}

int32_t ZintraLink::ZintraChipFamily(const uint8_t* id, std::string& family) {
    family.clear();
    if (!available("ZintraChipFamily")) return 0;
    std::array<char, 64> name{};
    const int32_t kib = call<&::ZintraChipFamily>("ZintraChipFamily", false, id, name.data(),
                                                  static_cast<int32_t>(name.size()));
    name.back() = '\0';
    family = name.data();
    return kib;
}

int32_t ZintraLink::ZintraSelectBridge(const std::string& serial) {
    return callAddition<&::ZintraSelectBridge>("ZintraSelectBridge", false, serial.c_str());
}

std::vector<Bridge> ZintraLink::ZintraListBridges() {
    std::vector<Bridge> bridges;
    // Room for the longest description the D2XX listing gives.
    std::array<char, 64> serial{}, description{};
    const auto size = static_cast<int32_t>(serial.size());
    const int32_t count =
        callAddition<&::ZintraListBridges>("ZintraListBridges", false, -1, nullptr, nullptr, size);
    for (int32_t i = 0; i < count; ++i) {
        if (callAddition<&::ZintraListBridges>("ZintraListBridges", false, i, serial.data(),
                                               description.data(), size) <= i)
            break; // unplugged while listing
        bridges.push_back({serial.data(), description.data()});
    }
    return bridges;
}

int32_t ZintraLink::ZintraStop() {
    return callAddition<&::ZintraStop>("ZintraStop", false);
}

int32_t ZintraLink::ZintraReadFlash(int32_t address, uint8_t* buffer, int32_t length) {
    return callAddition<&::ZintraReadFlash>("ZintraReadFlash", false, address, buffer, length);
}

std::optional<std::string> ZintraLink::ZintraBoardSerial() {
    std::array<char, 64> serial{};
    if (callAddition<&::ZintraBoardSerial>("ZintraBoardSerial", false, serial.data(),
                                           static_cast<int32_t>(serial.size())) != 1)
        return std::nullopt;
    serial.back() = '\0';
    return std::string(serial.data());
}

std::optional<int32_t> ZintraLink::ZintraWriteProtection() {
    int32_t status = 0;
    if (!available("ZintraWriteProtection")) return std::nullopt;
    const int32_t r = call<&::ZintraWriteProtection>("ZintraWriteProtection", false, &status);
    if (r < 0) return std::nullopt;
    return r == 1 ? std::optional<int32_t>(status) : std::optional<int32_t>(-1);
}

std::vector<std::string> ZintraLink::ZintraRecoveryCopies() {
    std::vector<std::string> copies;
    // Room for any path the system takes.
    std::string path(4096, '\0');
    const auto size = static_cast<int32_t>(path.size());
    const int32_t count =
        callAddition<&::ZintraRecoveryCopyAt>("ZintraRecoveryCopyAt", false, -1, nullptr, size);
    for (int32_t i = 0; i < count; ++i) {
        callAddition<&::ZintraRecoveryCopyAt>("ZintraRecoveryCopyAt", false, i, path.data(), size);
        const std::string one(path.c_str());
        if (!one.empty()) copies.push_back(one);
    }
    return copies;
}

std::optional<std::string> ZintraLink::ZintraRecoveryCopy() {
    std::string path(4096, '\0');
    if (callAddition<&::ZintraRecoveryCopy>("ZintraRecoveryCopy", false, path.data(),
                                            static_cast<int32_t>(path.size())) != 1)
        return std::nullopt;
    return std::string(path.c_str());
}

} // namespace plexmoor
