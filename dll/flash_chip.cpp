#include "flash_chip.h"

#include "flash_io.h"
#include "flash_parts.h"
#include "host.h"
#include "library_state.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>

namespace zintra::flash {
namespace {

constexpr int kEraseBudgetMs = 1000;
constexpr uint32_t kEraseStepMs = 5;
// The probe loop exists for watching the bus on a scope; a minute of reads at
// the command's 1 ms delay is plenty, and the caller gets its thread back.
constexpr int kProbeReads = 60000;

// How the busy poll treats a status read that did not arrive.
enum class LostReply {
    kNotBusy, // the erase poll: its zeros read as done, the blank check then judges
    kStop,    // before reads: nothing is known, so nothing is read
};

Ready poll_busy(LostReply lost, bool log) {
    int budget = kEraseBudgetMs;
    for (;;) {
        uint8_t status = 0;
        spi::Result r = spi::transaction(spi::kReadStatus, 0, 1, &status);
        if (log) host::debugf(text::kEraseStatus, status);
        if (r != spi::Result::kDone && lost == LostReply::kStop) return Ready::kNoAnswer;
        if (!parts::is_busy(status)) return Ready::kReady;
        host::sleep_ms(kEraseStepMs);
        budget -= static_cast<int>(kEraseStepMs);
        if (budget < 0) return Ready::kBusy;
    }
}

} // namespace

int chip_id(uint8_t* id) {
    std::array<uint8_t, 3>& read = state().jedec_id;
    read.fill(0);
    // A failed read has been shown; its zeros name no maker and no size.
    spi::Result r =
        spi::transaction(spi::kReadId, 0, static_cast<uint32_t>(read.size()), read.data());
    if (id) std::copy(read.begin(), read.end(), id);
    return r == spi::Result::kDone ? 1 : 0;
}

int read_flash_id() {
    chip_id(nullptr);
    return 1;
}

uint64_t chip_size() {
    return parts::capacity_bytes(state().jedec_id);
}

// A smaller command is issued once per piece so that the whole 64 KiB block
// is erased: programming assumes every byte of the block reads 0xFF after.
Erase erase_block(uint32_t address) {
    const parts::EraseCommand& erase = parts::current().exact_erase;
    for (uint32_t offset = 0; offset < parts::kBlockSize; offset += erase.size) {
        if (!spi::sent(spi::transaction(spi::kWriteEnable, 0, 0, nullptr))) return Erase::kFailed;
        if (!spi::sent(spi::transaction(erase.opcode, address + offset, 0, nullptr)))
            return Erase::kNotSent;
        if (poll_busy(LostReply::kNotBusy, true) != Ready::kReady) return Erase::kFailed;
    }
    return Erase::kDone;
}

Ready wait_until_ready() {
    return poll_busy(LostReply::kStop, false);
}

int read_flash(uint32_t address, std::span<uint8_t> out) {
    switch (wait_until_ready()) {
    case Ready::kReady:
        break;
    case Ready::kBusy:
        host::show(text::kLoadBusy);
        return 0;
    case Ready::kNoAnswer:
        return 0;
    }
    return flash::read_pages(address, out) ? 0 : 1;
}

int write_protection(int32_t* status) {
    uint8_t value = 0;
    if (spi::transaction(spi::kReadStatus, 0, 1, &value) != spi::Result::kDone) return -1;
    // All ones is a data line nothing drives: no chip answered, no status.
    if (value == 0xFF) return -1;
    if (status) *status = value;
    return (value & parts::kProtectionBits) != 0 ? 1 : 0;
}

int probe_id_loop() {
    state().progress = 0;
    for (int i = 0; i < kProbeReads; ++i) {
        std::array<uint8_t, 3> id{};
        if (!spi::sent(
                spi::transaction(spi::kReadId, 0, static_cast<uint32_t>(id.size()), id.data())))
            return 0;
    }
    return 1;
}

} // namespace zintra::flash
