#include "zintra_link.h"

#include "os.h"
#include "texts.h"
#include "zintra.h"

#include <array>
#include <filesystem>
#include <map>
#include <string_view>

namespace plexmoor {
namespace {

constexpr const char* kLibraryName = "Zintra";
// The calls that are safe while program flash pumps the window's events:
// one reads a single integer, the other sets a flag the run looks at.
constexpr std::string_view kSafeDuringProgramming[] = {"GetFlashProgress", "ZintraStop"};

// The library stays loaded for the life of the process, like its static
// state; a failed load is tried again on the next call.
struct Library {
    void* handle = nullptr;
    std::map<std::string, void*, std::less<>> exports;
};

Library& library() {
    static Library lib;
    return lib;
}

} // namespace

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

bool ZintraLink::available(const char* name) {
    Library& lib = library();
    if (lib.exports.count(name)) return true;
    if (!lib.handle && !bind("ZintraAction")) return false;
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

} // namespace plexmoor
