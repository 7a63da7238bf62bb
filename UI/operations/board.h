// The programmer and the board behind it, as every front end opens it: the
// bridges attached and the one chosen, Init's open sequence, the chip that
// answered, and whether a run is going on. Zintra keeps one device per
// process, so a process has one Board.
#pragma once

#include "zintra_link.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexmoor::ops {

// The chip that answered the last open.
struct Chip {
    enum class State { Unknown, Answered, None, Unread };
    State state = State::Unknown;
    std::array<uint8_t, 3> id{};
    std::string family; // from the library's table of parts; empty when unknown
    uint64_t size = 0;  // bytes; 0 when unknown

    bool answered() const { return state == State::Answered; }
    // "C2 20 15" (empty unless a chip answered), and the same without blanks.
    std::string idText(const char* between = " ") const;
    // ID, family and size, as the flash panel shows them.
    std::string shown() const;
};

// All ones or all zeros: the bridge answered, the lines to the chip did not
// carry an answer.
bool NoChipAnswered(const std::array<uint8_t, 3>& id);

// The serial numbers of the attached bridges, one for each worker of a run
// of every bridge; the reason where there is none, or a bridge without a
// serial or two alike (two workers would take one bridge).
std::optional<std::string> BridgesForWorkers(ZintraLink& zintra, std::vector<std::string>& serials);

class Board {
  public:
    explicit Board(ZintraLink& zintra) : zintra_(zintra) {}

    // The bridges attached, in the library's order (none where it cannot
    // list them); the first is chosen.
    const std::vector<Bridge>& listBridges();
    const std::vector<Bridge>& bridges() const { return bridges_; }
    // Chooses a listed bridge by its serial number; false when none has it.
    bool choose(const std::string& serial);
    bool chooseIndex(std::size_t index);
    // The serial number chosen, empty where none was listed.
    std::string chosen() const;
    std::optional<std::size_t> chosenIndex() const;

    // Init: open, close, open (only the second open counts), then the chip.
    bool open();
    // Uninit.
    void close();
    bool isOpen() const { return open_; }
    const Chip& chip() const { return chip_; }
    // The chip read again, as after an open (the station asks whether a
    // board is on).
    const Chip& readChip();

    // A run holds the library; nothing else may start meanwhile.
    bool busy() const { return busy_; }
    void setBusy(bool busy) { busy_ = busy; }

    ZintraLink& zintra() { return zintra_; }

  private:
    ZintraLink& zintra_;
    std::vector<Bridge> bridges_;
    std::optional<std::size_t> chosen_;
    bool open_ = false;
    bool busy_ = false;
    Chip chip_;
};

} // namespace plexmoor::ops
