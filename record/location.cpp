// Where the record lives, and which store a location names.
#include "database.h"
#include "record.h"
#include "record_texts.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace plexmoor::record {
namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

std::unique_ptr<Database> OpenDatabase(const std::string& url) {
    if (StartsWith(url, "postgresql://") || StartsWith(url, "postgres://"))
        return OpenPostgres(url);
    if (StartsWith(url, "sqlite:")) return OpenSqlite(url.substr(7));
    // Any other scheme is a mistake, not a file name to create.
    if (url.find("://") != std::string::npos || url.empty()) {
        char why[512];
        std::snprintf(why, sizeof why, text::kUnknownScheme, url.c_str());
        throw Error(why);
    }
    return OpenSqlite(url);
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
    if (chosen == kNoRecord) return {};
    if (chosen.empty()) chosen = (std::filesystem::path(settings_folder) / kDefaultFile).string();
    return {chosen};
}

} // namespace plexmoor::record
