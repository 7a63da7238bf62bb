// Every fault of the virtual board against program flash, load from flash
// and FlashSerial, each cell in a process of its own.
#include "fault_matrix.h"
#include "library_cells.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace fault_matrix {
namespace {

// How each cell ends, by fault and then by operation in the order of
// library_operations(): d done, a as it was, t told, - no such place.
const char* const kExpected[] = {
    "aaa", // no device
    "aaa", // open fails
    "aaa", // reset fails
    "aaa", // bit mode fails
    "daa", // write fails at set-up
    "d-d", // write fails at the erase
    "dad", // write fails mid-run
    "daa", // read fails at set-up
    "d-d", // read fails at the erase
    "dad", // read fails mid-run
    "aaa", // busy bit stuck
    "daa", // one flipped read at set-up
    "dad", // one flipped read mid-run
    "t-t", // 30 flipped reads in the write-back
    "adt", // write-protected
};

Verdict expected(std::size_t fault, std::size_t op) {
    switch (kExpected[fault][op]) {
    case 'd':
        return Verdict::kDone;
    case 'a':
        return Verdict::kAsItWas;
    case 't':
        return Verdict::kTold;
    default:
        return Verdict::kNotApplicable;
    }
}

class Matrix : public ::testing::TestWithParam<std::pair<std::size_t, std::size_t>> {
  protected:
    void SetUp() override {
        std::string templ = (std::filesystem::temp_directory_path() / "fault-cell-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_P(Matrix, EndsAsItWasOrTellsWhatIsNot) {
    auto [f, o] = GetParam();
    auto ops = library_operations();
    ASSERT_EQ(faults().size(), std::size(kExpected));
    Cell cell = run(*ops[o], faults()[f], dir_);
    EXPECT_EQ(describe(cell.verdict), std::string(describe(expected(f, o))));
    // A done run shows at most what a lost transfer shows on its own.
    for (const std::string& m : cell.outcome.messages) {
        EXPECT_FALSE(m.empty());
        if (cell.verdict == Verdict::kDone) {
            EXPECT_EQ(m, "FT_Write fail!");
        }
    }
}

std::string CellName(const ::testing::TestParamInfo<std::pair<std::size_t, std::size_t>>& info) {
    std::string name =
        faults()[info.param.first].name + " " + library_operations()[info.param.second]->name();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<std::pair<std::size_t, std::size_t>> Cells() {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (std::size_t f = 0; f < std::size(kExpected); ++f)
        for (std::size_t o = 0; o < 3; ++o)
            out.emplace_back(f, o);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Library, Matrix, ::testing::ValuesIn(Cells()), CellName);

} // namespace
} // namespace fault_matrix
