// What every operation runs in, one per process and front end: the library
// (Zintra keeps one device per process), the board, the production record,
// the person the operations talk to and what they were told. The window,
// plexmoor-cli and the station each make one and hand it to the same
// operations.
#pragma once

#include "board.h"
#include "host_link.h"
#include "production_record.h"
#include "services.h"
#include "transcript.h"
#include "zintra_link.h"

#include <string>
#include <string_view>

namespace plexmoor::ops {

class Session {
  public:
    Session(Services& services, record::FrontEnd front_end);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Services& services() { return services_; }
    ZintraLink& zintra() { return zintra_; }
    Board& board() { return board_; }
    ProductionRecord& record() { return record_; }
    Transcript& transcript() { return transcript_; }
    record::FrontEnd frontEnd() const { return front_end_; }

    // A message box, noted in the transcript.
    void tell(std::string_view text);
    // A question with Yes and No; true for Yes.
    bool ask(std::string_view question);

    // Stop: the run going on ends at its next page, erase or read; a stop
    // asked before the library's run has begun (during a backup's set-up)
    // is kept for the operation to see. True when the library took it.
    bool requestStop();
    bool stopAsked() const { return stop_asked_; }
    void clearStop() { stop_asked_ = false; }

  private:
    Services& services_;
    record::FrontEnd front_end_;
    ZintraLink zintra_;
    Transcript transcript_;
    HostLink host_;
    Board board_;
    ProductionRecord record_;
    bool stop_asked_ = false;
};

} // namespace plexmoor::ops
