#include "flash_parts.h"

#include "library_state.h"

namespace zintra::parts {
namespace {

constexpr std::array<EraseCommand, 3> kAllErases = {kErase4K, kErase32K, kErase64K};

// The 0xC2 maker's parts are erased 32 KiB at a time by program flash; the
// budgets are twice 5 ms and 2 s for that maker, twice 3 ms and 2 s for 0xEF.
constexpr Part kParts[] = {
    {Match::kWholeId, {0xC2, 0x20, 0x15}, "MX25L16-class", 2048, kAllErases, kErase32K, 10, 4000},
    {Match::kWholeId, {0xEF, 0x40, 0x15}, "W25Q16-class", 2048, kAllErases, kErase64K, 6, 4000},
    {Match::kMaker, {0xC2, 0, 0}, "", 0, kAllErases, kErase32K, 10, 4000},
    {Match::kMaker, {0xEF, 0, 0}, "", 0, kAllErases, kErase64K, 6, 4000},
};
// Any other maker, and a part whose ID is not read yet: the longest known.
constexpr Part kAnyPart{Match::kAny, {0, 0, 0}, "", 0, kAllErases, kErase64K, 10, 4000};

constexpr uint8_t kSmallestCapacityCode = 16;
constexpr uint8_t kLargestCapacityCode = 32;

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
