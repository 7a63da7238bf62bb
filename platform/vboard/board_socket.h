// The socket a board is put on and taken off by: a file naming the board
// file now behind the bridge, so a test or a demo swaps boards while a
// program runs. The board looks at it at every open and every write.
//
//   board-7.bin        the board file (relative to the socket's folder)
//   faults=wp          that board's own faults (FTD2XX_VIRTUAL_FAULTS' words)
//   part=other         its part (default or other)
//
// An empty file: no board. No file: the board FTD2XX_VIRTUAL_BOARD(S) names.
#pragma once

#include "virtual_board.h"

#include <optional>
#include <string>

namespace vboard {

// What a socket holds: a board (path, faults, part), or none (empty path).
struct SocketBoard {
    std::string path;
    Faults faults;
    const FlashPart* part = nullptr;
    bool operator==(const SocketBoard&) const = default;
};

class BoardSocket {
  public:
    // `fallback`: the board while the file does not exist.
    BoardSocket(std::string file, SocketBoard fallback);

    bool active() const { return !file_.empty(); }
    // What the socket holds now, when that differs from what it held at the
    // last look (always at the first).
    std::optional<SocketBoard> look();
    // Whether the file exists (a board it names takes the fallback's place).
    bool exists() const;

  private:
    SocketBoard parse(const std::string& text) const;

    std::string file_;
    SocketBoard fallback_;
    std::optional<std::string> last_; // the content seen; nullopt: no file
    bool looked_ = false;
};

} // namespace vboard
