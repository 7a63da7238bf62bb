// The temporary files a writer killed mid-run leaves: NAME.XXXXXX beside
// the file NAME it was to become. A writer holds its temporary file locked
// while it runs (os::create_unique_file), so one that no process holds is
// a dead writer's and goes; a live writer's is passed by. Header-only, for
// the library's writes and the window's backups.
#pragma once

#include "os.h"

#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace zintra {

// The NAME of a temporary file NAME.XXXXXX; empty for a name of another form.
inline std::string_view TemporaryStem(std::string_view name) {
    constexpr std::size_t kUnique = 6; // the XXXXXX
    if (name.size() < kUnique + 2 || name[name.size() - kUnique - 1] != '.') return {};
    for (char c : name.substr(name.size() - kUnique))
        if (!std::isalnum(static_cast<unsigned char>(c))) return {};
    return name.substr(0, name.size() - kUnique - 1);
}

// Removes from `folder` the plain temporary files whose NAME `stem_of`
// accepts and that no live writer holds.
template <typename StemTest>
void RemoveStaleTemporaries(const std::filesystem::path& folder, StemTest stem_of) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        const std::string_view stem = TemporaryStem(name);
        std::error_code kind;
        if (stem.empty() || !stem_of(stem) || e.is_symlink(kind) || !e.is_regular_file(kind))
            continue;
        if (!os::file_locked(e.path().string())) fs::remove(e.path(), kind);
    }
}

// The dead writers' temporary files of files named PREFIX...SUFFIX.
inline void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view prefix,
                                   std::string_view suffix) {
    RemoveStaleTemporaries(folder, [&](std::string_view stem) {
        return stem.size() >= prefix.size() + suffix.size() && stem.starts_with(prefix) &&
               stem.ends_with(suffix);
    });
}

} // namespace zintra
