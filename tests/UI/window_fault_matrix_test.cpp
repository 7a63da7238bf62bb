// Every fault of the virtual board against the window's Flash, each cell in
// a process of its own, as the library's cells are.
#include "fault_matrix.h"
#include "window_cells.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace fault_matrix {
namespace {

// How each cell ends, by fault and then by operation in the order of
// window_operations(): d done, a as it was, t told, - no such place.
const char* const kExpected[] = {
    "a", // no device
    "a", // open fails
    "a", // reset fails
    "a", // bit mode fails
    "d", // write fails at set-up
    "d", // write fails at the erase
    "d", // write fails mid-run
    "d", // read fails at set-up
    "d", // read fails at the erase
    "d", // read fails mid-run
    "a", // busy bit stuck
    "d", // one flipped read at set-up
    "d", // one flipped read mid-run
    "t", // 30 flipped reads in the write-back
    "a", // write-protected
};

class WindowMatrix : public ::testing::TestWithParam<std::size_t> {
  protected:
    void SetUp() override {
        std::string templ = (std::filesystem::temp_directory_path() / "fault-cell-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_P(WindowMatrix, EndsAsItWasOrTellsWhatIsNot) {
    const std::size_t f = GetParam();
    ASSERT_EQ(faults().size(), std::size(kExpected));
    for (const auto& op : window_operations()) {
        Cell cell = run(*op, faults()[f], dir_);
        const char want = kExpected[f][0];
        const Verdict expected = want == 'd'   ? Verdict::kDone
                                 : want == 'a' ? Verdict::kAsItWas
                                 : want == 't' ? Verdict::kTold
                                               : Verdict::kNotApplicable;
        EXPECT_EQ(describe(cell.verdict), std::string(describe(expected))) << op->name();
    }
}

INSTANTIATE_TEST_SUITE_P(Window, WindowMatrix,
                         ::testing::Range<std::size_t>(0, std::size(kExpected)),
                         [](const auto& info) {
                             std::string name = faults()[info.param].name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

} // namespace
} // namespace fault_matrix
