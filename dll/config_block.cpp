#include "config_block.h"

#include "file_handle.h"
#include "flash_chip.h"
#include "flash_io.h"
#include "host.h"
#include "library_state.h"
#include "texts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zintra::config {
namespace {

constexpr std::array<uint8_t, 6> kHeaderBytes = {0xA5, 0x5A, 0xA5, 0x00, 0x00, 0x02};
constexpr std::size_t kVersionByte = 5;
constexpr std::size_t kClearedPortBytes = 512;
constexpr int32_t kFieldsPerPortV2 = 16;
constexpr int32_t kFieldsPerPortV3 = 48;

// Version 2 keeps three header fields behind the six fixed header bytes.
constexpr int64_t kV2HeaderFieldBase = 2;
constexpr int64_t kV2HeaderFieldCount = 3;
constexpr int64_t kGroupFieldCount = 85;
constexpr int64_t kPortFieldCount = kTableSizes[2] / 3;

// Loaded files need at least the bytes their mode copies.
constexpr std::size_t kMode1MinSize = kV2BlockEnd;
constexpr std::size_t kOtherModeMinSize = kV4BlockSize;

// Tables cleared by open programmer and filled by set system version 4;
// table 4 is left alone by both, and table 2 only in its first 512 bytes.
template <typename F> void for_each_reset_region(F&& f) {
    Tables& t = state().tables;
    for (int n : {0, 1, 3, 5, 6, 7})
        f(t.table(n));
    f(t.table(2).first(kClearedPortBytes));
}

std::span<uint8_t> table(int n) {
    return state().tables.table(n);
}

int32_t version() {
    return state().system_version;
}

// The sized field at (i, w), narrowed to the last four bytes of a wider
// field; empty when any byte of the whole field lies outside the table.
std::span<const uint8_t> sized_bytes(std::span<const uint8_t> t, int64_t i, int64_t w) {
    if (i < 0 || w < 1 || i + w > static_cast<int64_t>(t.size())) return {};
    int64_t used = std::min<int64_t>(w, 4);
    return t.subspan(static_cast<std::size_t>(i + w - used), static_cast<std::size_t>(used));
}

int32_t read_sized(std::span<const uint8_t> t, int64_t i, int64_t w) {
    uint32_t v = 0;
    for (uint8_t b : sized_bytes(t, i, w))
        v = (v << 8) | b;
    return static_cast<int32_t>(v);
}

// A version-4 setter: width below 1 writes nothing but is no refusal.
int set_v4(std::span<uint8_t> t, int32_t index, int32_t value, int32_t width) {
    if (index < 0) return 0;
    if (width < 1) return 1;
    return write_sized(t, index, width, static_cast<uint32_t>(value)) ? 1 : 0;
}

int set_v23(std::span<uint8_t> t, int64_t field, int64_t limit, int32_t value) {
    if (field < 0 || field >= limit) return 0;
    return write_field3(t, field, static_cast<uint32_t>(value)) ? 1 : 0;
}

int32_t get_field3(std::span<const uint8_t> t, int64_t k) {
    return static_cast<int32_t>(std::max<int64_t>(read_field3(t, k), 0));
}

Tables& load_tables() {
    static Tables copy;
    return copy;
}

// The file loader reads into its own buffer first, so a refused file never
// reaches the image buffer, the tables or the version.
std::array<uint8_t, kImageSize + 1>& load_scratch() {
    static std::array<uint8_t, kImageSize + 1> buffer;
    return buffer;
}

} // namespace

bool write_field3(std::span<uint8_t> t, int64_t k, uint32_t value) {
    if (k < 0 || 3 * k + 3 > static_cast<int64_t>(t.size())) return false;
    std::size_t at = static_cast<std::size_t>(3 * k);
    t[at] = static_cast<uint8_t>(value >> 16);
    t[at + 1] = static_cast<uint8_t>(value >> 8);
    t[at + 2] = static_cast<uint8_t>(value);
    return true;
}

int64_t read_field3(std::span<const uint8_t> t, int64_t k) {
    if (k < 0 || 3 * k + 3 > static_cast<int64_t>(t.size())) return -1;
    std::size_t at = static_cast<std::size_t>(3 * k);
    return (int64_t{t[at]} << 16) | (int64_t{t[at + 1]} << 8) | t[at + 2];
}

bool write_sized(std::span<uint8_t> t, int64_t i, int64_t w, uint32_t value) {
    std::span<const uint8_t> field = sized_bytes(t, i, w);
    if (field.empty()) return false;
    std::size_t first = static_cast<std::size_t>(field.data() - t.data());
    for (std::size_t k = field.size(); k-- > 0;) {
        t[first + k] = static_cast<uint8_t>(value);
        value >>= 8;
    }
    return true;
}

uint32_t v3_stride(std::span<const uint8_t> header) {
    return static_cast<uint32_t>(read_field3(header, kV3StrideField));
}

uint64_t v3_port_bytes(std::span<const uint8_t> header) {
    return uint64_t{3} * kPortBlocks * v3_stride(header);
}

bool v3_ports_fit(std::span<const uint8_t> header) {
    return v3_port_bytes(header) <= kTableSizes[2];
}

std::array<Placement, 2> v3_layout() {
    return {{
        {0, kV3HeaderOffset, static_cast<uint32_t>(kTableSizes[0])},
        {2, kV3PortOffset, static_cast<uint32_t>(v3_port_bytes())},
    }};
}

void place(std::span<const Placement> layout, std::span<uint8_t> out, uint32_t base) {
    for (const Placement& p : layout)
        std::memcpy(out.data() + (p.offset - base), table(p.table).data(), p.length);
}

void take(std::span<const Placement> layout, std::span<const uint8_t> in, uint32_t base) {
    for (const Placement& p : layout)
        std::memcpy(table(p.table).data(), in.data() + (p.offset - base), p.length);
}

void header_reset() {
    state().fields_per_port = kFieldsPerPortV2;
    std::copy(kHeaderBytes.begin(), kHeaderBytes.end(), table(0).begin());
}

void clear_on_open() {
    for_each_reset_region([](std::span<uint8_t> t) { std::fill(t.begin(), t.end(), 0); });
}

int set_system_version(int32_t v) {
    if (v <= 1) return 0;
    header_reset();
    LibraryState& s = state();
    s.system_version = v;
    s.fields_per_port = v == 2 ? kFieldsPerPortV2 : kFieldsPerPortV3;
    table(0)[kVersionByte] = static_cast<uint8_t>(v);
    if (v == 4)
        for_each_reset_region([](std::span<uint8_t> t) { std::fill(t.begin(), t.end(), 0xFF); });
    return 1;
}

int set_port_field(int32_t index, int32_t value, int32_t width) {
    switch (version()) {
    case 2:
    case 3:
        return set_v23(table(2), index, kPortFieldCount, value);
    case 4:
        return set_v4(table(2), index, value, width);
    default:
        return 1;
    }
}

int set_header_field(int32_t index, int32_t value, int32_t width) {
    switch (version()) {
    case 2:
        if (index < 0 || index >= kV2HeaderFieldCount) return 0;
        return set_v23(table(0), int64_t{index} + kV2HeaderFieldBase, kGroupFieldCount, value);
    case 3:
        return set_v23(table(0), index, kGroupFieldCount, value);
    case 4:
        return set_v4(table(0), index, value, width);
    default:
        return 1;
    }
}

int set_group_field(int32_t index, int32_t value, int32_t width) {
    switch (version()) {
    case 2:
        return set_v23(table(1), index, kGroupFieldCount, value);
    case 3:
        // The group index shifts the field; a negative index is refused even
        // when the shift would bring it back into the table.
        if (index < 0) return 0;
        return set_v23(table(1), int64_t{index} + state().group_index, kGroupFieldCount, value);
    case 4:
        return set_v4(table(1), index, value, width);
    default:
        return 1;
    }
}

int set_extra_field(int n, int32_t index, int32_t value, int32_t width) {
    if (version() != 4) return 1;
    return set_v4(table(n), index, value, width);
}

int32_t get_conf(int32_t n, int32_t index, int32_t width) {
    if (n < 0 || n > 10) return 0;
    switch (version()) {
    case 1:
    case 2:
        if (n == 0 || n == 1) return get_field3(table(n), index);
        if (n == 2 && int64_t{index} < int64_t{8} * state().fields_per_port)
            return get_field3(table(2), index);
        return 0;
    case 3:
        if (n == 0 || n == 2) return get_field3(table(n), index);
        return 0;
    case 4:
        return n < kTableCount ? read_sized(table(n), index, width) : 0;
    default:
        return 0;
    }
}

// Reads into a copy first, so a load that cannot be trusted leaves every
// table as it was: the caller shows what it loaded as the board's own.
int load_from_flash() {
    const std::array<Placement, 2> v3 = {{
        {0, kV3HeaderOffset, static_cast<uint32_t>(kTableSizes[0])},
        // All eight port blocks the header announces, not only the first
        // 1280 bytes: with S = 64 the last blocks lie beyond them, and a
        // configuration read back without them would be flashed back as
        // zeros. The header is read first, so S is the one in the flash.
        {2, kV3PortOffset, kV3FlashLoadPortBytes},
    }};
    std::span<const Placement> layout;
    if (version() == 2)
        layout = kV2Layout;
    else if (version() == 3)
        layout = v3;
    else
        return 1;

    switch (flash::wait_until_ready()) {
    case flash::Ready::kReady:
        break;
    case flash::Ready::kBusy:
        host::show(text::kLoadBusy);
        return 0;
    case flash::Ready::kNoAnswer:
        host::showf(text::kLoadReadFailed, kBlockAddress);
        return 0;
    }
    Tables& copy = load_tables();
    copy = state().tables;
    for (Placement p : layout) {
        if (p.table == 2 && version() == 3 && v3_ports_fit(copy.header))
            p.length = std::max(p.length, static_cast<uint32_t>(v3_port_bytes(copy.header)));
        flash::Reading r = flash::read_pages_twice(p.offset, copy.table(p.table).first(p.length));
        if (r.outcome == flash::Reading::Outcome::kFailed) {
            host::showf(text::kLoadReadFailed, r.at);
            return 0;
        }
        if (r.outcome == flash::Reading::Outcome::kDiffer) {
            host::showf(text::kLoadReadsDiffer, r.at);
            return 0;
        }
    }
    state().tables = copy;
    return 1;
}

int load_from_file(const char* path, int32_t mode) {
    const char* name = path ? path : "";
    File f = open_regular(path);
    if (!f) {
        host::showf(text::kLoadOpenFailed, name);
        return 0;
    }
    auto& scratch = load_scratch();
    std::size_t n = std::fread(scratch.data(), 1, scratch.size(), f.get());
    bool failed = std::ferror(f.get()) != 0;
    f.reset();
    if (failed) {
        host::showf(text::kLoadOpenFailed, name);
        return 0;
    }
    if (n > kImageSize) {
        host::showf(text::kLoadTooLarge, static_cast<unsigned>(kImageSize), name);
        return 0;
    }
    std::size_t needed = mode == 1 ? kMode1MinSize : kOtherModeMinSize;
    if (n < needed) {
        host::showf(text::kLoadTooShort, static_cast<unsigned>(needed), name);
        return 0;
    }

    LibraryState& s = state();
    std::memcpy(s.image.data(), scratch.data(), n);
    s.image_length = static_cast<int32_t>(n);
    std::span<const uint8_t> image(s.image.data(), n);
    if (mode == 1) {
        take(std::span(kV2Layout).first(1), image, 0);
        s.system_version = static_cast<int8_t>(table(0)[kVersionByte]);
    } else {
        s.system_version = 4;
    }
    switch (s.system_version) {
    case 2:
        take(std::span(kV2Layout).subspan(1), image, 0);
        break;
    case 3: {
        // Only bytes the file really holds; the rest of the span reads 0.
        std::span<uint8_t> ports = table(2).first(kV3FileLoadPortBytes);
        std::size_t have = std::min<std::size_t>(ports.size(), n - kV3PortOffset);
        std::fill(ports.begin(), ports.end(), 0);
        std::memcpy(ports.data(), image.data() + kV3PortOffset, have);
        break;
    }
    case 4:
        take(kV4Layout, image, 0);
        break;
    default:
        break;
    }
    return 1;
}

} // namespace zintra::config
