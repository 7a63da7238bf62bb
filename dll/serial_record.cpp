#include "serial_record.h"

#include "config_block.h"
#include "date_stamp.h"
#include "flash_chip.h"
#include "flash_io.h"
#include "host.h"
#include "library_state.h"
#include "recovery_file.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>

namespace zintra::serial {
namespace {

constexpr int32_t kWrittenLength = 45;
constexpr std::size_t kReadLength = 44;
// Version 2 keeps the serial behind the 128 three-byte port fields, a fixed
// place whatever fields per port was left at by earlier work.
constexpr std::size_t kV2SerialByte = 384;
// From field 48 of each version-3 port block.
constexpr uint64_t kV3SerialByte = 144;
using flash::kPageSize;
constexpr uint32_t kPages = config::kFlashBlockSize / kPageSize;

std::span<uint8_t> port_table() {
    return state().tables.port;
}

// Where the serial of block 0 lies in the flash, in the layout of a
// version; nothing for a version that keeps none there.
std::optional<uint32_t> serial_address(int32_t version) {
    if (version == 2) return config::kV2Layout[2].offset + static_cast<uint32_t>(kV2SerialByte);
    if (version == 3) return config::kV3PortOffset + static_cast<uint32_t>(kV3SerialByte);
    return std::nullopt;
}

// The field's text as it was written, all its 45 characters (GetSerial
// gives back 44): the board's identity, so a 45-character serial is told
// apart from its first 44. An erased field (0xFF) holds none.
std::string serial_text(const uint8_t* field) {
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(kWrittenLength) && field[n] != 0 && field[n] != 0xFF)
        ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

// The serial a copy of the whole block holds, in the layout of the version set.
std::string serial_in_block(std::span<const uint8_t> block) {
    const std::optional<uint32_t> at = serial_address(state().system_version);
    if (!at || *at - config::kBlockAddress + kWrittenLength > block.size()) return {};
    return serial_text(block.data() + (*at - config::kBlockAddress));
}

recovery::Identity identity_of(std::span<const uint8_t> old_block,
                               std::span<const uint8_t> new_block) {
    recovery::Identity id;
    id.serial = serial_in_block(old_block);
    id.header = recovery::Hex(old_block.first(32));
    id.bridge = state().bridge.data();
    char chip[16];
    const auto& jedec = state().jedec_id;
    std::snprintf(chip, sizeof chip, "%02X %02X %02X", jedec[0], jedec[1], jedec[2]);
    id.chip = chip;
    id.target_serial = serial_in_block(new_block);
    id.target_digest = recovery::Digest(new_block);
    id.written = DateStamp();
    id.target.assign(new_block.begin(), new_block.end());
    return id;
}

uint64_t v3_serial_at(int block) {
    return uint64_t{3} * config::v3_stride() * static_cast<uint64_t>(block) + kV3SerialByte;
}

using Block = std::array<uint8_t, config::kFlashBlockSize>;

// The flash block as it was read before the erase.
Block& saved_block() {
    static Block buffer;
    return buffer;
}

// The flash block as it will be written back, and which of its pages are
// programmed: every page of the configuration block, and every other page
// that held anything but blank bytes before the erase.
Block& block_buffer() {
    static Block buffer;
    return buffer;
}

void mark(std::array<bool, kPages>& pages, const config::Placement& p) {
    uint32_t first = (p.offset - config::kBlockAddress) / kPageSize;
    uint32_t last = (p.offset - config::kBlockAddress + p.length + kPageSize - 1) / kPageSize;
    std::fill(pages.begin() + first, pages.begin() + last, true);
}

// What the write-back could not get to read back as written.
struct Shortfall {
    uint32_t bytes = 0;
    uint32_t first = 0;
    uint32_t last = 0;
    void add(uint32_t address) {
        if (bytes++ == 0) first = address;
        last = address;
    }
};

// Programs one page and reads it back, again after a failed comparison as
// program flash restarts a chunk; programming the same bytes over a page
// that took them changes nothing. Equal bytes go to the debug output as
// they are compared. True when the page reads back as written; otherwise
// the bytes of its last reading that differ are added to `missing`, all of
// them when that reading did not arrive.
bool write_back_page(uint32_t address, uint8_t* data, Shortfall& missing) {
    flash::Page back;
    for (int rewrites = 0;; ++rewrites) {
        flash::write_page(address, data);
        bool arrived = flash::read_page(address, back) == spi::Result::kDone;
        uint32_t i = 0;
        for (; arrived && i < kPageSize && back[i] == data[i]; ++i)
            host::debugf(text::kSerialByte, address + i, back[i]);
        if (i == kPageSize) return true;
        if (rewrites == flash::kRewriteLimit) {
            for (uint32_t k = 0; k < kPageSize; ++k)
                if (!arrived || back[k] != data[k]) missing.add(address + k);
            return false;
        }
        host::debugf(text::kRewriteCounter, rewrites + 1);
    }
}

// Erases the block, again after a failed attempt, as often as program flash
// would. Whatever the outcome, the write-back follows: what the erase did
// clear holds nothing until it is written back.
void erase_block() {
    for (int rewrites = 0; rewrites <= flash::kRewriteLimit; ++rewrites) {
        if (rewrites > 0) host::debugf(text::kRewriteCounter, rewrites);
        if (flash::erase_block(config::kBlockAddress) == flash::Erase::kDone) return;
    }
    host::debugf(text::kEraseFailed, config::kBlockAddress);
}

} // namespace

int pack_serial(const char* text, int32_t length) {
    if (!text || length < 0 || length > kWrittenLength) return 0;
    auto n = static_cast<std::size_t>(length);
    std::span<uint8_t> t = port_table();
    if (state().system_version <= 2) {
        std::memcpy(t.data() + kV2SerialByte, text, n);
        return 1;
    }
    if (v3_serial_at(config::kPortBlocks - 1) + kWrittenLength > t.size()) return 0;
    for (int block = 0; block < config::kPortBlocks; ++block) {
        uint8_t* field = t.data() + v3_serial_at(block);
        std::memset(field, 0, kWrittenLength);
        std::memcpy(field, text, n);
    }
    return 1;
}

int get_serial(char* output) {
    std::size_t at;
    switch (state().system_version) {
    case 2:
        at = kV2SerialByte;
        break;
    case 3:
        at = kV3SerialByte;
        break;
    default:
        return 1;
    }
    const uint8_t* field = port_table().data() + at;
    std::size_t n = 0;
    while (n < kReadLength && field[n] != 0)
        ++n;
    std::memcpy(output, field, n);
    std::memset(output + n, 0, kReadLength - n);
    return 1;
}

int flash_serial() {
    int32_t version = state().system_version;
    const auto v3 = config::v3_layout();
    std::span<const config::Placement> layout;
    if (version == 2) {
        layout = config::kV2Layout;
    } else if (version == 3) {
        if (!config::v3_ports_fit()) {
            host::showf(text::kPortBlocksTooLarge, config::v3_stride());
            return 0;
        }
        layout = v3;
    } else {
        host::showf(text::kSerialVersion, version);
        return 0;
    }

    // A busy part answers every read with 0xFF, which would be saved as
    // the block's contents.
    switch (flash::wait_until_ready()) {
    case flash::Ready::kReady:
        break;
    case flash::Ready::kBusy:
        host::showf(text::kSerialBusy, config::kBlockAddress);
        return 0;
    case flash::Ready::kNoAnswer:
        host::showf(text::kSerialReadFailed, config::kBlockAddress);
        return 0;
    }
    flash::read_flash_id();
    // Whatever else shares the erase block is saved first and written back,
    // so updating the configuration never loses it. The block is read twice:
    // a page that did not arrive, or came back otherwise the second time,
    // would be written back wrong, so nothing is erased then.
    auto& saved = saved_block();
    flash::Reading reading = flash::read_pages_twice(config::kBlockAddress, saved);
    if (reading.outcome == flash::Reading::Outcome::kFailed) {
        host::showf(text::kSerialReadFailed, config::kBlockAddress);
        return 0;
    }
    if (reading.outcome == flash::Reading::Outcome::kDiffer) {
        host::showf(text::kSerialReadsDiffer, config::kBlockAddress, reading.at);
        return 0;
    }
    std::array<bool, kPages> pages{};
    for (uint32_t page = 0; page < kPages; ++page) {
        const uint8_t* p = saved.data() + page * kPageSize;
        pages[page] = std::any_of(p, p + kPageSize, [](uint8_t b) { return b != 0xFF; });
    }
    for (const config::Placement& p : layout)
        if (p.length > 0) mark(pages, p);
    auto& block = block_buffer();
    block = saved;
    config::place(layout, block, config::kBlockAddress);

    // Kept on disk until the block reads back whole, so that whatever the
    // write-back cannot restore is still at hand.
    recovery::Copy copy;
    if (!recovery::save(config::kBlockAddress, saved, identity_of(saved, block), copy)) {
        host::showf(text::kRecoveryFailed, config::kBlockAddress, copy.path().c_str());
        return 0;
    }
    erase_block();
    Shortfall missing;
    for (uint32_t page = 0; page < kPages; ++page)
        if (pages[page])
            write_back_page(config::kBlockAddress + page * kPageSize,
                            block.data() + page * kPageSize, missing);
    if (missing.bytes == 0) {
        copy.discard();
        return 1;
    }
    host::showf(text::kSerialIncomplete, missing.bytes, config::kBlockAddress, missing.first,
                missing.last, copy.path().c_str());
    return 0;
}

int board_serial(char* out, int32_t size) {
    const std::optional<uint32_t> at = serial_address(state().system_version);
    if (!out || size <= 0 || !state().opened || !at) return 0;
    out[0] = '\0';
    if (flash::wait_until_ready() != flash::Ready::kReady) return 0;
    std::array<uint8_t, kWrittenLength> field{};
    if (flash::read_pages(*at, field)) return 0;
    const std::string serial = serial_text(field.data());
    // A serial cut to fit would name another board.
    if (serial.size() >= static_cast<std::size_t>(size)) return 0;
    std::memcpy(out, serial.c_str(), serial.size() + 1);
    return 1;
}

} // namespace zintra::serial
