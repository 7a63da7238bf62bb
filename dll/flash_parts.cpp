#include "flash_parts.h"

#include "library_state.h"

namespace zintra::parts {
namespace {

constexpr std::array<EraseCommand, 3> kAllErases = {kErase4K, kErase32K, kErase64K};

// The 0xC2 maker's parts are erased 32 KiB at a time by program flash; the
// budgets are twice 5 ms and 2 s for that maker, twice 3 ms and 2 s for 0xEF.
constexpr Part kParts[] = {
    {.match = Match::kWholeId,
     .id = {0xC2, 0x20, 0x15},
     .family = "MX25L16-class",
     .capacity_kib = 2048,
     .erases = kAllErases,
     .exact_erase = kErase32K,
     .page_program_ms = 10,
     .block_erase_ms = 4000},
    {.match = Match::kWholeId,
     .id = {0xEF, 0x40, 0x15},
     .family = "W25Q16-class",
     .capacity_kib = 2048,
     .erases = kAllErases,
     .exact_erase = kErase64K,
     .page_program_ms = 6,
     .block_erase_ms = 4000},
    {.match = Match::kMaker,
     .id = {0xC2, 0, 0},
     .family = "",
     .capacity_kib = 0,
     .erases = kAllErases,
     .exact_erase = kErase32K,
     .page_program_ms = 10,
     .block_erase_ms = 4000},
    {.match = Match::kMaker,
     .id = {0xEF, 0, 0},
     .family = "",
     .capacity_kib = 0,
     .erases = kAllErases,
     .exact_erase = kErase64K,
     .page_program_ms = 6,
     .block_erase_ms = 4000},
};
// Any other maker, and a part whose ID is not read yet: the longest known.
constexpr Part kAnyPart{.match = Match::kAny,
                        .id = {0, 0, 0},
                        .family = "",
                        .capacity_kib = 0,
                        .erases = kAllErases,
                        .exact_erase = kErase64K,
                        .page_program_ms = 10,
                        .block_erase_ms = 4000};

constexpr uint8_t kSmallestCapacityCode = 16;
constexpr uint8_t kLargestCapacityCode = 32;

static_assert(check(kParts, kAnyPart) == nullptr, "the table of parts does not check out");

bool matches(const Part& p, const std::array<uint8_t, 3>& id) {
    return p.match == Match::kWholeId ? p.id == id : p.id[0] == id[0];
}

} // namespace

const Part& lookup(const std::array<uint8_t, 3>& id) {
    for (Match m : {Match::kWholeId, Match::kMaker})
        for (const Part& p : kParts)
            if (p.match == m && matches(p, id)) return p;
    return kAnyPart;
}

const Part& current() {
    return lookup(state().jedec_id);
}

const Part& any_part() {
    return kAnyPart;
}

uint64_t capacity_bytes(const std::array<uint8_t, 3>& id) {
    const Part& p = lookup(id);
    if (p.capacity_kib) return uint64_t{p.capacity_kib} * 1024;
    if (id[2] < kSmallestCapacityCode || id[2] > kLargestCapacityCode) return 0;
    return uint64_t{1} << id[2];
}

} // namespace zintra::parts
