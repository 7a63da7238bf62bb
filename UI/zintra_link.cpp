#include "zintra_link.h"

#include "texts.h"
#include "zintra.h"

#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

namespace plexmoor {
namespace {

constexpr const char* kLibraryFile = "libZintra.so";
// The one call that is safe while program flash pumps the window's events:
// it reads a single integer.
constexpr std::string_view kSafeDuringProgramming = "GetFlashProgress";

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

std::string LibraryPathBesideProgram() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return kLibraryFile;
    return (exe.parent_path() / kLibraryFile).string();
}

void* ZintraLink::bind(const char* name) {
    Library& lib = library();
    if (auto it = lib.exports.find(name); it != lib.exports.end()) return it->second;
    if (!lib.handle) {
        lib.handle = dlopen(LibraryPathBesideProgram().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib.handle) lib.handle = dlopen(kLibraryFile, RTLD_NOW | RTLD_LOCAL);
        if (!lib.handle) {
            const char* why = dlerror();
            services_.messageBox(std::string(text::kLibraryMissing) + (why ? why : kLibraryFile));
            return nullptr;
        }
    }
    void* address = dlsym(lib.handle, name);
    if (!address) {
        services_.messageBox(std::string(text::kExportMissing) + name);
        return nullptr;
    }
    lib.exports.emplace(name, address);
    return address;
}

bool ZintraLink::refusedWhileProgramming(const char* name) {
    if (!programming_ || name == kSafeDuringProgramming) return false;
    services_.messageBox(std::string(text::kLibraryBusy) + name);
    return true;
}

// Each export is called through a pointer of its own declared type, so a
// change of the header shows up here at compile time.
#define PLEXMOOR_CALL(export_name, ...)                                                            \
    do {                                                                                           \
        if (refusedWhileProgramming(#export_name)) return 0;                                       \
        auto fn = reinterpret_cast<decltype(&::export_name)>(bind(#export_name));                  \
        return fn ? fn(__VA_ARGS__) : 0;                                                           \
    } while (false)

int32_t ZintraLink::ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d) {
    constexpr int32_t kProgramFlash = 4;
    if (action != kProgramFlash) PLEXMOOR_CALL(ZintraAction, action, b, c, d);
    if (refusedWhileProgramming("ZintraAction")) return 0;
    auto fn = reinterpret_cast<decltype(&::ZintraAction)>(bind("ZintraAction"));
    if (!fn) return 0;
    programming_ = true;
    int32_t result = fn(action, b, c, d);
    programming_ = false;
    return result;
}

int32_t ZintraLink::ZintraActionStr(int32_t kind, int32_t slot, const std::string& text) {
    PLEXMOOR_CALL(ZintraActionStr, kind, slot, text.c_str());
}

int32_t ZintraLink::SetupWriteParameter(int32_t start_address, const std::string& path) {
    PLEXMOOR_CALL(SetupWriteParameter, start_address, path.c_str());
}

int32_t ZintraLink::GetFlashProgress() {
    PLEXMOOR_CALL(GetFlashProgress);
}

int32_t ZintraLink::PackFlash(const std::string& boot, const std::string& ot, int32_t ot_offset,
                              const std::string& rt, int32_t rt_offset, const std::string& output,
                              int32_t repack) {
    PLEXMOOR_CALL(PackFlash, boot.c_str(), ot.c_str(), ot_offset, rt.c_str(), rt_offset,
                  output.c_str(), repack);
}

int32_t ZintraLink::PackSerial(const std::string& text, int32_t length) {
    PLEXMOOR_CALL(PackSerial, text.c_str(), length);
}

int32_t ZintraLink::FlashSerial() {
    PLEXMOOR_CALL(FlashSerial);
}

int32_t ZintraLink::GetSerial(std::string& buffer) {
    constexpr std::size_t kSerialBuffer = 48;
    if (buffer.size() < kSerialBuffer) return 0;
    PLEXMOOR_CALL(GetSerial, buffer.data());
}

int32_t ZintraLink::GetConf(int32_t table, int32_t index, int32_t width) {
    PLEXMOOR_CALL(GetConf, table, index, width);
}

int32_t ZintraLink::LoadConfFromFlashToBuffer() {
    PLEXMOOR_CALL(LoadConfFromFlashToBuffer);
}

int32_t ZintraLink::LoadConfFromFileToBuffer(const std::string& path, int32_t mode) {
    PLEXMOOR_CALL(LoadConfFromFileToBuffer, path.c_str(), mode);
}

#undef PLEXMOOR_CALL

} // namespace plexmoor
