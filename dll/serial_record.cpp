#include "serial_record.h"

#include "config_block.h"
#include "flash_io.h"
#include "flash_program.h"
#include "host.h"
#include "library_state.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <cstring>

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

uint64_t v3_serial_at(int block) {
    return uint64_t{3} * config::v3_stride() * static_cast<uint64_t>(block) + kV3SerialByte;
}

// The flash block as it will be written back, and which of its pages are
// programmed: every page of the configuration block, and every other page
// that held anything but blank bytes before the erase.
std::array<uint8_t, config::kFlashBlockSize>& block_buffer() {
    static std::array<uint8_t, config::kFlashBlockSize> buffer;
    return buffer;
}

void mark(std::array<bool, kPages>& pages, const config::Placement& p) {
    uint32_t first = (p.offset - config::kBlockAddress) / kPageSize;
    uint32_t last = (p.offset - config::kBlockAddress + p.length + kPageSize - 1) / kPageSize;
    std::fill(pages.begin() + first, pages.begin() + last, true);
}

// Programs one page and compares it; at the first difference the address is
// shown and the run ends.
bool program_page(uint32_t address, uint8_t* data) {
    flash::write_page(address, data);
    flash::Page back;
    // A page that did not arrive fails the comparison like any other.
    static_cast<void>(flash::read_page(address, back));
    for (uint32_t i = 0; i < kPageSize; ++i) {
        if (back[i] != data[i]) {
            host::showf(text::kCompareError, address + i);
            return false;
        }
        host::debugf(text::kSerialByte, address + i, back[i]);
    }
    return true;
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

    flash::read_flash_id();
    auto& block = block_buffer();
    // Whatever else shares the erase block is saved first and written back,
    // so updating the configuration never loses it; a page that cannot be
    // saved would be written back as zeros, so nothing is erased then.
    if (flash::read_pages(config::kBlockAddress, block)) {
        host::showf(text::kSerialReadFailed, config::kBlockAddress);
        return 0;
    }
    std::array<bool, kPages> pages{};
    for (uint32_t page = 0; page < kPages; ++page) {
        const uint8_t* p = block.data() + page * kPageSize;
        pages[page] = std::any_of(p, p + kPageSize, [](uint8_t b) { return b != 0xFF; });
    }
    for (const config::Placement& p : layout)
        if (p.length > 0) mark(pages, p);
    config::place(layout, block, config::kBlockAddress);

    if (flash::erase_block(config::kBlockAddress) != flash::Erase::kDone) {
        host::showf(text::kEraseFailed, config::kBlockAddress);
        return 0;
    }
    for (uint32_t page = 0; page < kPages; ++page)
        if (pages[page] && !program_page(config::kBlockAddress + page * kPageSize,
                                         block.data() + page * kPageSize))
            return 0;
    return 1;
}

} // namespace zintra::serial
