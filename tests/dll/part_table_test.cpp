// The check every table of parts passes before it is compiled in: each
// fault a row can have is caught, and named.
#include "flash_parts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zintra::parts {
namespace {

constexpr std::array<EraseCommand, 3> kErases = {kErase4K, kErase32K, kErase64K};
constexpr Part kGood{.match = Match::kWholeId,
                     .id = {0xC2, 0x20, 0x15},
                     .family = "MX25L16-class",
                     .capacity_kib = 2048,
                     .erases = kErases,
                     .exact_erase = kErase32K,
                     .page_program_ms = 10,
                     .block_erase_ms = 4000};
constexpr Part kAny{.match = Match::kAny,
                    .id = {0, 0, 0},
                    .family = "",
                    .capacity_kib = 0,
                    .erases = kErases,
                    .exact_erase = kErase64K,
                    .page_program_ms = 10,
                    .block_erase_ms = 4000};

TEST(PartTable, EveryFaultOfARowIsCaught) {
    struct Case {
        const char* fault; // the start of what the check says; empty: none
        std::function<void(Part&)> spoil;
    };
    const Case cases[] = {
        {"", [](Part&) {}},
        {"an erase size is no power", [](Part& p) { p.erases[1].size = 0x6000; }},
        {"the erases are not smallest first", [](Part& p) { std::swap(p.erases[0], p.erases[2]); }},
        {"the exact mode's erase is not among",
         [](Part& p) {
             p.exact_erase = {0xD8, 0x8000};
         }},
        {"a time budget is not set", [](Part& p) { p.page_program_ms = 0; }},
        {"a part of a whole ID has no family", [](Part& p) { p.family = ""; }},
        {"a capacity disagrees", [](Part& p) { p.capacity_kib = 4096; }},
        {"a row of a maker alone names a capacity", [](Part& p) { p.match = Match::kMaker; }},
        {"a row of the table matches any part",
         [](Part& p) {
             p.match = Match::kAny;
             p.capacity_kib = 0;
         }},
    };
    for (const Case& c : cases) {
        Part table[1] = {kGood};
        c.spoil(table[0]);
        const char* said = check(table, kAny);
        EXPECT_EQ(std::string(said ? said : "").rfind(c.fault, 0), 0u) << c.fault << ": " << said;
    }
    const Part twice[2] = {kGood, kGood};
    EXPECT_STREQ(check(twice, kAny), "two rows match the same parts");
    const Part one[1] = {kGood};
    EXPECT_STREQ(check(one, kGood), "the row for any other part is not one");
}

} // namespace
} // namespace zintra::parts
