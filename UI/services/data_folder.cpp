#include "data_folder.h"

#include "os.h"

#include <filesystem>
#include <system_error>

namespace plexmoor {
namespace {

constexpr const char* kProgramFolder = "plexmoor";

} // namespace

std::string DataFolder(const std::string& program_folder) {
    const std::string data = os::user_data_folder();
    if (data.empty() || os::folder_writable(program_folder)) return program_folder;
    const std::filesystem::path own = std::filesystem::path(data) / kProgramFolder;
    std::error_code ec;
    std::filesystem::create_directories(own, ec);
    return own.string();
}

} // namespace plexmoor
