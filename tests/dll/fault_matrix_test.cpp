// Every fault of the virtual board against program flash, load from flash
// and FlashSerial, each cell in a process of its own.
#include "fault_matrix.h"
#include "library_cells.h"

#include <gtest/gtest.h>

#include <string>

namespace fault_matrix {
namespace {

using CellIndex = std::pair<std::size_t, std::size_t>; // fault, operation

class Matrix : public ::testing::TestWithParam<CellIndex> {};

TEST_P(Matrix, EndsAsItWasOrTellsWhatIsNot) {
    auto [f, o] = GetParam();
    auto ops = library_operations();
    CellFolder folder;
    Cell cell = run(*ops[o], faults()[f], folder.path());
    EXPECT_EQ(describe(cell.verdict), std::string(describe(expected(f, ops[o]->name()))));
    for (const std::string& m : cell.outcome.messages) {
        EXPECT_FALSE(m.empty());
        // A done run shows at most what a lost transfer shows on its own.
        if (cell.verdict == Verdict::kDone) {
            EXPECT_EQ(m, "FT_Write fail!");
        }
    }
}

std::vector<CellIndex> Cells() {
    std::vector<CellIndex> out;
    for (std::size_t f = 0; f < faults().size(); ++f)
        for (std::size_t o = 0; o < library_operations().size(); ++o)
            out.emplace_back(f, o);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Library, Matrix, ::testing::ValuesIn(Cells()),
                         [](const ::testing::TestParamInfo<CellIndex>& info) {
                             return cell_name(info.param.first,
                                              library_operations()[info.param.second]->name());
                         });

// Killed at a chosen moment of a run in real time: the board file holds
// what a chip would, and the next run on it ends as the table says.
std::vector<std::unique_ptr<Operation>> crash_operations() {
    auto ops = library_operations();
    ops.push_back(backup_operation());
    return ops;
}

class Crashes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Crashes, LeaveWhatAChipWouldHold) {
    CellFolder folder;
    EXPECT_EQ(check_crash(crash_operations(), GetParam(), folder.path()), "");
}

INSTANTIATE_TEST_SUITE_P(Library, Crashes, ::testing::ValuesIn(crash_cells_of(crash_operations())),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return crash_cell_name(info.param);
                         });

} // namespace
} // namespace fault_matrix
