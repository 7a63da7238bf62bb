// A folder that stands for the program's own in a test: the window loads
// its library from there, as Plexmoor does from beside itself, and writes
// its settings file there, away from the build folder and other tests.
#pragma once

#include <filesystem>
#include <string>

namespace plexmoor::testing {

// The libraries beside this test, linked into folder, so a window whose
// program folder is folder loads them as Plexmoor loads its own. With a
// stand-in named, libZintra.so in folder is that library instead.
inline void LinkLibrariesInto(const std::string& folder, const std::string& zintra_stand_in = {}) {
    namespace fs = std::filesystem;
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    for (const auto& entry : fs::directory_iterator(bin)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("lib", 0) != 0 || entry.path().extension() != ".so") continue;
        fs::path target = entry.path();
        if (name == "libZintra.so" && !zintra_stand_in.empty()) target = bin / zintra_stand_in;
        fs::create_symlink(target, fs::path(folder) / name);
    }
}

} // namespace plexmoor::testing
