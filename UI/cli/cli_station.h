// plexmoor-cli station: the loop a technician stands in front of, for one
// bridge in this process or every bridge with a worker each; PASS or FAIL
// in large letters on a terminal, a line (or a JSON object) per event
// otherwise, the shift's counts.
#pragma once

#include "cli_commands.h"

namespace plexmoor::cli {

int Station(Cli& cli, int argc, const char* const* argv);

} // namespace plexmoor::cli
