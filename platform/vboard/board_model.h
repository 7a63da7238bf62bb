// The board model: one bridge with its flash, behind the Board interface.
// The registry owns the instances; the D2XX stand-in reaches them through it.
#pragma once

#include "board_clock.h"
#include "board_file.h"
#include "board_socket.h"
#include "mpsse_engine.h"
#include "spi_flash.h"
#include "usb_link.h"
#include "virtual_board.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vboard {

// Says on standard error why the board did not do what it was asked.
void complain(const std::string& text);

// The buffers and packets of the bridge `options` describes.
const BridgeShape& bridge_shape(const Options& options);

class BoardModel final : public Board {
  public:
    // `memory` may be null when the board's socket names what is behind it.
    BoardModel(const Options& options, std::unique_ptr<BoardMemory> memory, BoardClock& clock);
    ~BoardModel() override;

    uint64_t now_us() const override { return now_ns() / 1000; }
    uint64_t now_ns() const;
    bool virtual_time() const override { return clock_.is_virtual(); }
    void advance_us(uint64_t us) override;
    // Counts a Sleep the clock has taken in virtual time.
    void note_sleep(uint32_t ms);

    Faults& faults() override { return faults_; }
    const Counters& counters() const override { return counters_; }
    const std::string& serial() const override { return serial_; }
    std::string description() const override;
    const FlashPart& part() const override { return *part_; }
    uint32_t spi_clock_hz() const override;
    void observe_commands(CommandObserver observer) override;

    std::vector<uint8_t> read(uint32_t address, uint32_t size) const override;
    void write_raw(uint32_t address, const std::vector<uint8_t>& bytes) override;
    void fill(uint8_t value) override;
    bool save() override;

    uint32_t open() override;
    uint32_t reset() override;
    uint32_t set_bit_mode(uint8_t mask, uint8_t mode) override;
    uint32_t usb_write(const uint8_t* data, uint32_t size) override;
    uint32_t usb_read(uint8_t* data, uint32_t size, uint32_t* got) override;
    uint32_t usb_transfer_in(uint8_t* data, uint32_t packets, uint32_t* got) override;
    void set_latency_timer(uint32_t ms) override;
    void close() override;

  private:
    // Packets leave while the host reads from `from_ns`, until it has
    // `size` bytes or nothing more can come; the engine clocks on in the
    // room they leave.
    void deliver(uint64_t from_ns, std::size_t size);
    // The socket looked at: a board taken off goes at once, one put on
    // waits for the next open or ID read while the bridge is open.
    void look_at_socket();
    bool put_on();
    void take_off();

    mutable std::mutex mutex_;
    const std::string serial_;
    const bool master_clock_60mhz_;
    BoardSocket socket_;
    SocketBoard wanted_; // what the socket holds
    bool on_ = false;    // wanted_ is behind the bridge
    const Faults base_faults_;
    const FlashPart* part_;
    std::unique_ptr<BoardMemory> memory_;
    Faults faults_;
    Counters counters_;
    BoardClock& clock_;
    SpiFlash flash_;
    UsbLink link_;
    MpsseEngine engine_;
    bool opened_ = false;
    const std::string stats_path_;
    const uint32_t latency_ms_;
    // The board's time and counters when its bridge was opened, for the
    // figures it writes when the bridge closes.
    uint64_t opened_ns_ = 0;
    Counters at_open_;
};

} // namespace vboard
