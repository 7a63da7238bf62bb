// Where the record lives, and which store a location names.
#include "database.h"
#include "record.h"
#include "record_texts.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <vector>
#include <cstdlib>
#include <filesystem>

namespace plexmoor::record {
namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

std::unique_ptr<Database> OpenDatabase(const std::string& url, bool create) {
    if (StartsWith(url, "postgresql://") || StartsWith(url, "postgres://"))
        return OpenPostgres(url);
    const std::string path = StartsWith(url, "sqlite:") ? url.substr(7) : url;
    // A record kept in memory is gone with its process: two stations would
    // each hand out the same serials.
    if (path.empty() || path == ":memory:" || StartsWith(path, "file:"))
        throw Error(Shown(text::kNotARecordFile, url));
    // Any other scheme is a mistake, not a file name to create.
    if (path.find("://") != std::string::npos) throw Error(Shown(text::kUnknownScheme, url));
    return OpenSqlite(path, create);
}

std::string Shown(const char* format, const std::string& url) {
    const std::string masked = WithoutPassword(url);
    std::vector<char> why(std::string_view(format).size() + masked.size() + 1);
    std::snprintf(why.data(), why.size(), format, masked.c_str());
    return why.data();
}

std::string WithoutPassword(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const std::size_t at = url.find('@', scheme + 3);
    const std::size_t colon = url.find(':', scheme + 3);
    std::string out = url;
    if (at != std::string::npos && colon != std::string::npos && colon < at)
        out.replace(colon + 1, at - colon - 1, "***");
    // Keyword parameters of a libpq URI: ...?password=...
    const std::size_t key = out.find("password=");
    if (key != std::string::npos) {
        const std::size_t end = out.find('&', key);
        out.replace(key + 9, end == std::string::npos ? std::string::npos : end - key - 9, "***");
    }
    return out;
}

Location Locate(const std::optional<std::string>& option, bool no_record,
                const std::string& setting, const std::string& settings_folder) {
    if (no_record) return {};
    std::string chosen;
    if (option)
        chosen = *option;
    else if (const char* env = std::getenv(kEnvironmentVariable); env && *env)
        chosen = env;
    else
        chosen = setting;
    // "none" however it is written: a file named " NONE" is no record either.
    std::string word;
    for (char c : chosen)
        if (c != ' ' && c != '\t') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == kNoRecord) return {};
    if (chosen.empty())
        return {(std::filesystem::path(settings_folder) / kDefaultFile).string(), true};
    return {chosen, false};
}

} // namespace plexmoor::record
