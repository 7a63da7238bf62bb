// How an operation on a board or a file ended, for any front end to show:
// the window puts it into its caption and result line, plexmoor-cli into
// its exit status and output, the station into its PASS or FAIL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexmoor::ops {

enum class Result {
    Done,    // finished and verified
    Failed,  // the board or the file may have been touched; the message says how
    Stopped, // ended at the user's word
    Refused  // ended before anything was touched (not ready, bad input, a No)
};

struct Outcome {
    Result result = Result::Refused;
    // What the person was told while it ran, in order: the operation's own
    // refusals and the library's boxes.
    std::vector<std::string> messages;
    // How it ended in a line of its own, for a result line or a record row.
    std::string summary;
    std::string serial; // written to the board, or read from it
    std::string backup; // the backup made before writing, empty for none
    int64_t row = 0;    // its row in the production record, 0 for none

    bool ok() const { return result == Result::Done; }
    // The reason of a failure: the last thing told, else the summary.
    std::string reason() const { return messages.empty() ? summary : messages.back(); }
};

} // namespace plexmoor::ops
