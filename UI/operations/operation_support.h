// What the operations share in their own bodies: how a row of the record
// begins and ends for the board on the bridge, how an outcome gathers what
// was told, and the few formats their summaries use.
#pragma once

#include "outcome.h"
#include "session.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace plexmoor::ops {

inline std::string Hex8(uint64_t value) {
    char out[16];
    std::snprintf(out, sizeof out, "%08llx", static_cast<unsigned long long>(value));
    return out;
}

// A text with up to two %s filled in.
inline std::string Format(std::string_view format, const std::string& a,
                          const std::string& b = {}) {
    std::vector<char> out(format.size() + a.size() + b.size() + 1);
    std::snprintf(out.data(), out.size(), std::string(format).c_str(), a.c_str(), b.c_str());
    return out.data();
}

// A row of the operation for the board on the bridge: the bridge, the chip.
inline record::Entry BoardRow(Session& session, record::Operation what) {
    record::Entry e;
    const Board& board = session.board();
    e.operation = what;
    e.bridge = board.chosen();
    e.chip_id = board.chip().idText();
    if (board.chip().size != 0) e.chip_size = static_cast<int64_t>(board.chip().size);
    return e;
}

// Its close, done or failed, with the chip as it answered at the end.
inline record::Closing ClosingOf(Session& session, bool done, const std::string& message,
                                 const std::string& board_serial = {}) {
    record::Closing c;
    c.result = done ? record::Result::Done : record::Result::Failed;
    c.message = message;
    c.board_serial = board_serial;
    c.chip_id = session.board().chip().idText();
    if (session.board().chip().size != 0)
        c.chip_size = static_cast<int64_t>(session.board().chip().size);
    return c;
}

// An outcome gathered from the moment it is made: what was told since then.
class Ending {
  public:
    explicit Ending(Session& session) : session_(session), mark_(session.transcript().mark()) {}
    Outcome operator()(Result result, std::string summary = {}) {
        out.result = result;
        out.messages = session_.transcript().since(mark_);
        out.summary = std::move(summary);
        return out;
    }
    Outcome out;

  private:
    Session& session_;
    std::size_t mark_;
};

} // namespace plexmoor::ops
