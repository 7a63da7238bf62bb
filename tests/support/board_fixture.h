// A fresh virtual board in virtual time for each test, with the library's
// message boxes and debug lines captured instead of printed.
#pragma once

#include "byte_files.h"
#include "virtual_board.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;
// n bytes of a repeatable non-trivial pattern.
Bytes pattern(std::size_t n, uint32_t seed = 1);

class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A path inside this test's own temporary folder.
    std::filesystem::path temp(const std::string& name) const { return dir_ / name; }
    vboard::Board& board() { return *board_; }
    // Re-attaches the board with other options (same board file unless given).
    void reattach(vboard::Options options);

    std::vector<std::string> messages;    // texts of message boxes, in order
    std::vector<std::string> captions;    // their captions
    std::vector<std::string> debug_lines; // each OutputDebugStringA text
    int pumps = 0;                        // times the event pump ran

    // Set before SetUp to answer the pump; runs on every pump.
    std::function<void()> on_pump;

  private:
    std::filesystem::path dir_;
    vboard::Board* board_ = nullptr;
};

} // namespace testing_support
