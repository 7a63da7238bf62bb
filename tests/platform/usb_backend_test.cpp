// The libftdi1 backend with no bridge on the bus and no virtual board.
#include "ftd2xx.h"
#include "virtual_board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

TEST(UsbBackend, WithoutABridgeListsNoneAndOpenFailsPromptly) {
    unsetenv("FTD2XX_VIRTUAL_BOARD");
    vboard::detach();
    ASSERT_EQ(vboard::current(), nullptr);
    const auto start = std::chrono::steady_clock::now();

    DWORD count = 99;
    EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    char serial[64] = "unchanged";
    EXPECT_NE(FT_ListDevices(reinterpret_cast<PVOID>(0), serial, 0x40000001), FT_OK);
    FT_HANDLE h = reinterpret_cast<FT_HANDLE>(0x1);
    EXPECT_NE(FT_OpenEx(const_cast<char*>("FT000000"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    EXPECT_EQ(h, nullptr);
    uint8_t byte = 0;
    DWORD n = 0;
    EXPECT_EQ(FT_Write(h, &byte, 1, &n), FT_INVALID_HANDLE);

    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

} // namespace
