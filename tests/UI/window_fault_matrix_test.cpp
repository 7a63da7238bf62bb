// Every fault of the virtual board against the window's Flash, each cell in
// a process of its own, as the library's cells are.
#include "fault_matrix.h"
#include "window_cells.h"

#include <gtest/gtest.h>

#include <string>

namespace fault_matrix {
namespace {

class WindowMatrix : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WindowMatrix, EndsAsItWasOrTellsWhatIsNot) {
    const std::size_t f = GetParam();
    for (const auto& op : window_operations()) {
        CellFolder folder;
        Cell cell = run(*op, faults()[f], folder.path());
        EXPECT_EQ(describe(cell.verdict), std::string(describe(expected(f, op->name()))))
            << op->name();
    }
}

INSTANTIATE_TEST_SUITE_P(Window, WindowMatrix, ::testing::Range<std::size_t>(0, faults().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return cell_name(info.param, "");
                         });

// Killed at a chosen moment of a Flash or a Flash Setting in real time.
class WindowCrashes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WindowCrashes, LeaveWhatAChipWouldHold) {
    CellFolder folder;
    EXPECT_EQ(check_crash(window_operations(), GetParam(), folder.path()), "");
}

INSTANTIATE_TEST_SUITE_P(Window, WindowCrashes,
                         ::testing::ValuesIn(crash_cells_of(window_operations())),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return crash_cell_name(info.param);
                         });

} // namespace
} // namespace fault_matrix
