// A folder that stands for the program's own in a test: the window loads
// its library from there, as Plexmoor does from beside itself, and writes
// its settings file there, away from the build folder and other tests.
#pragma once

#include <filesystem>
#include <string>

namespace plexmoor::testing {

// The build's folder of what a user runs: the programs and the libraries.
inline std::filesystem::path ProductFolder() {
    return PLEXMOOR_PRODUCT_BIN;
}

// The product's libraries linked into folder, so a window whose program
// folder is folder loads them as Plexmoor loads its own. With a stand-in
// named (a library built beside the tests), libZintra.so in folder is that
// library instead.
inline void LinkLibrariesInto(const std::string& folder, const std::string& zintra_stand_in = {}) {
    namespace fs = std::filesystem;
    const fs::path tests = fs::read_symlink("/proc/self/exe").parent_path();
    for (const auto& entry : fs::directory_iterator(ProductFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("lib", 0) != 0 || entry.path().extension() != ".so") continue;
        fs::path target = entry.path();
        if (name == "libZintra.so" && !zintra_stand_in.empty()) target = tests / zintra_stand_in;
        fs::create_symlink(target, fs::path(folder) / name);
    }
}

} // namespace plexmoor::testing
