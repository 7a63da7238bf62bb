// Several bridges from one command line: the list of attached bridges, and
// program or serial on every bridge at once, one worker process each (the
// library keeps its state per process), watched from here.
#pragma once

#include "cli_options.h"
#include "session.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexmoor::cli {

// plexmoor-cli list [--probe]: a line per bridge.
int ListBridges(ops::Session& session, const Options& o);

// program --all, serial --all: the same command line once per bridge with
// --device SERIAL --report; a line per bridge while they run, a summary
// after. stop() tells when the user asked to stop; every worker is then
// asked to stop at its next page. Non-zero when any board failed.
int RunGang(ops::Session& session, int argc, const char* const* argv, bool (*stop)(), bool json);

// A worker's command line: this one for one bridge (--device SERIAL
// --report), the record's location passed through the environment.
std::vector<std::string> WorkerArgs(int argc, const char* const* argv, const std::string& bridge);

// A worker's side: what it tells its parent, a line each on standard
// output, when report mode is on (--report); nothing otherwise.
namespace report {
inline constexpr std::string_view kPrefix = "@gang ";
void Enable();
bool Enabled();
void Phase(std::string_view phase);
void Chip(ops::Session& session);
void Progress(int64_t done, int64_t total);
void Serial(const std::string& serial);
} // namespace report

} // namespace plexmoor::cli
