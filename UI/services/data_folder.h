// Where the program keeps what it writes beside its settings (the record of
// the default name, the backups): its own folder where it may write there,
// as after a build or on a stick; else the user's data folder
// (~/.local/share/plexmoor, %LOCALAPPDATA%\plexmoor), made when missing.
#pragma once

#include <string>

namespace plexmoor {

std::string DataFolder(const std::string& program_folder);

} // namespace plexmoor
