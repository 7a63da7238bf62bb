// The SPI engine against a recording double of the D2XX and Windows calls.
// The engine is also compiled into this suite so that commands no export
// issues can be driven; the export tests at the end prove the library binds
// this executable's calls instead of the stand-ins.
#include "ftd2xx.h"
#include "library_state.h"
#include "spi_engine.h"
#include "wincalls.h"
#include "zintra.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Double {
    std::vector<std::string> calls; // one line per driver or pump call
    std::vector<Bytes> writes;
    std::vector<uint32_t> reads;
    std::vector<uint32_t> sleeps;
    std::vector<std::string> messages;
    FT_STATUS open_status = FT_OK, reset_status = FT_OK, mpsse_status = FT_OK;
    FT_STATUS write_status = FT_OK, read_status = FT_OK;
    std::deque<Bytes> read_data;
    int queued_messages = 0;
    int handle_token = 0;
    int64_t clock_us = 0; // advanced by the sleeps alone
};
Double d;

std::string hex(const Bytes& bytes) {
    std::string out;
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02X ", v);
        out += b;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

} // namespace

extern "C" {

FT_STATUS FT_ListDevices(PVOID a1, PVOID a2, DWORD flags) {
    auto index = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(a1));
    d.calls.push_back("list " + std::to_string(index) + " " + std::to_string(flags));
    std::snprintf(static_cast<char*>(a2), 60, "SER%u", index);
    return FT_OK;
}
FT_STATUS FT_OpenEx(PVOID a1, DWORD flags, FT_HANDLE* handle) {
    d.calls.push_back(std::string("open ") + static_cast<const char*>(a1) + " " +
                      std::to_string(flags));
    *handle = d.open_status == FT_OK ? &d.handle_token : nullptr;
    return d.open_status;
}
FT_STATUS FT_ResetDevice(FT_HANDLE) {
    d.calls.push_back("reset");
    return d.reset_status;
}
FT_STATUS FT_SetBitMode(FT_HANDLE, UCHAR mask, UCHAR mode) {
    d.calls.push_back("bitmode " + std::to_string(mask) + " " + std::to_string(mode));
    return mode == FT_BITMODE_MPSSE ? d.mpsse_status : FT_OK;
}
FT_STATUS FT_Write(FT_HANDLE, LPVOID data, DWORD size, LPDWORD written) {
    const auto* p = static_cast<const uint8_t*>(data);
    d.writes.emplace_back(p, p + size);
    d.calls.push_back("write " + hex(d.writes.back()));
    *written = size;
    return d.write_status;
}
FT_STATUS FT_Read(FT_HANDLE, LPVOID data, DWORD size, LPDWORD got) {
    d.reads.push_back(size);
    d.calls.push_back("read " + std::to_string(size));
    if (d.read_status != FT_OK) return d.read_status;
    Bytes next = d.read_data.empty() ? Bytes(size, 0x5A) : d.read_data.front();
    if (!d.read_data.empty()) d.read_data.pop_front();
    std::memcpy(data, next.data(), std::min<std::size_t>(size, next.size()));
    *got = size;
    return FT_OK;
}
FT_STATUS FT_Close(FT_HANDLE) {
    d.calls.push_back("close");
    return FT_OK;
}
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    d.messages.push_back(std::string(caption) + ": " + text);
    return IDOK;
}
void OutputDebugStringA(LPCSTR) {}
void Sleep(DWORD ms) {
    d.sleeps.push_back(ms);
    d.clock_us += ms * 1000;
}
BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    count->QuadPart = d.clock_us;
    return 1;
}
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1'000'000;
    return 1;
}
BOOL PeekMessageA(LPMSG msg, HWND window, UINT, UINT, UINT remove) {
    d.calls.push_back("peek " + std::to_string(window != nullptr) + " " + std::to_string(remove));
    if (d.queued_messages == 0) return 0;
    msg->message = static_cast<UINT>(d.queued_messages--);
    return 1;
}
BOOL TranslateMessage(const MSG* msg) {
    d.calls.push_back("translate " + std::to_string(msg->message));
    return 0;
}
LRESULT DispatchMessageA(const MSG* msg) {
    d.calls.push_back("dispatch " + std::to_string(msg->message));
    return 0;
}

} // extern "C"

namespace {

using zintra::spi::Result;
using zintra::spi::transaction;

class SpiEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        zintra::spi::close_device();
        d = Double{};
    }
    void open() {
        ASSERT_EQ(zintra::spi::open_sequence(), 1);
        d = Double{};
    }
};

TEST_F(SpiEngine, OpenSequenceMakesTheDriverCallsInOrderWithoutSleeping) {
    ASSERT_EQ(zintra::spi::open_sequence(), 1);
    const std::vector<std::string> expected = {
        "list 0 1073741825", "list 1 1073741825", "open SER0 1",    "reset",         "bitmode 0 0",
        "bitmode 255 2",     "write 86 01 00",    "write 80 FE FB", "write 82 FF FF"};
    EXPECT_EQ(d.calls, expected);
    EXPECT_TRUE(d.sleeps.empty());
    EXPECT_TRUE(d.messages.empty());

    zintra::spi::close_device();
    zintra::spi::close_device();
    EXPECT_EQ(std::count(d.calls.begin(), d.calls.end(), "close"), 1);
}

TEST_F(SpiEngine, FailedOpenStepsShowTheirMessageAndGiveBackTheHandle) {
    struct Case {
        FT_STATUS Double::*status;
        const char* message;
        bool handle_obtained;
    };
    const Case cases[] = {
        {&Double::open_status, "Zintra: Open usb device error", false},
        {&Double::reset_status, "Zintra: FT_ResetDevice error", true},
        {&Double::mpsse_status, "Zintra: FT_SetBitMode error", true},
    };
    for (const Case& c : cases) {
        d = Double{};
        d.*c.status = FT_IO_ERROR;
        EXPECT_EQ(zintra::spi::open_sequence(), 0) << c.message;
        EXPECT_EQ(d.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(std::count(d.calls.begin(), d.calls.end(), "close"), c.handle_obtained ? 1 : 0);
        EXPECT_TRUE(d.writes.empty());
        // Nothing was kept, so a later close has nothing to release.
        d.calls.clear();
        zintra::spi::close_device();
        EXPECT_TRUE(d.calls.empty());
    }
}

struct StreamCase {
    uint8_t opcode;
    uint32_t address;
    uint32_t length;
    const char* stream; // without the data bytes of a write phase
    bool reads;
    uint32_t sleep_ms;
};

TEST_F(SpiEngine, EveryCommandBuildsItsStreamAndSleepsItsDelay) {
    const StreamCase cases[] = {
        {0x05, 0, 1, "80 F6 FB 11 00 00 05 24 00 00 80 FE FB", true, 1},
        {0x9F, 0, 3, "80 F6 FB 11 00 00 9F 24 02 00 80 FE FB", true, 1},
        {0xD8, 0x010000, 0, "80 F6 FB 11 00 00 D8 11 02 00 01 00 00 80 FE FB", false, 3000},
        {0x52, 0x123456, 0, "80 F6 FB 11 00 00 52 11 02 00 12 34 56 80 FE FB", false, 2000},
        {0x20, 0x001000, 0, "80 F6 FB 11 00 00 20 11 02 00 00 10 00 80 FE FB", false, 120},
        {0x06, 0, 0, "80 F6 FB 11 00 00 06 80 FE FB", false, 15},
        {0x04, 0, 0, "80 F6 FB 11 00 00 04 80 FE FB", false, 15},
        {0x60, 0, 0, "80 F6 FB 11 00 00 60 80 FE FB", false, 15000},
        {0xB9, 0, 0, "80 F6 FB 11 00 00 B9 80 FE FB", false, 1},
        {0xAB, 0, 0, "80 F6 FB 11 00 00 AB 11 00 00 00 11 00 00 00 11 00 00 00 80 FE FB", false, 1},
        {0x0B, 0x000100, 4, "80 F6 FB 11 00 00 0B 11 02 00 00 01 00 11 00 00 00 24 03 00 80 FE FB",
         true, 1},
        {0x03, 0xABCDEF, 256, "80 F6 FB 11 00 00 03 11 02 00 AB CD EF 24 FF 00 80 FE FB", true, 1},
        // Only 24 address bits go on the wire.
        {0x03, 0x7F000010, 2, "80 F6 FB 11 00 00 03 11 02 00 00 00 10 24 01 00 80 FE FB", true, 1},
    };
    for (const StreamCase& c : cases) {
        open();
        Bytes buffer(c.length, 0x00);
        EXPECT_EQ(transaction(c.opcode, c.address, c.length, buffer.data()), Result::kDone);
        ASSERT_EQ(d.writes.size(), 1u);
        EXPECT_EQ(hex(d.writes[0]), c.stream) << std::hex << int(c.opcode);
        EXPECT_EQ(d.reads, c.reads ? std::vector<uint32_t>{c.length} : std::vector<uint32_t>{});
        EXPECT_EQ(d.sleeps, std::vector<uint32_t>{c.sleep_ms}) << std::hex << int(c.opcode);
        if (c.reads) {
            EXPECT_EQ(buffer, Bytes(c.length, 0x5A));
        }
    }
}

TEST_F(SpiEngine, WritePhasesCarryTheCallersBytes) {
    open();
    Bytes page(256);
    for (std::size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(transaction(0x02, 0x012300, 256, page.data()), Result::kDone);
    ASSERT_EQ(d.writes.size(), 1u);
    EXPECT_EQ(d.writes[0].size(), 275u);
    EXPECT_EQ(hex(d.writes[0]),
              "80 F6 FB 11 00 00 02 11 02 00 01 23 00 11 FF 00 " + hex(page) + " 80 FE FB");
    EXPECT_TRUE(d.reads.empty());
    EXPECT_EQ(d.sleeps, std::vector<uint32_t>{10});

    // Write status writes, then reads back as many bytes in the same select.
    d = Double{};
    d.read_data.push_back({0x9C});
    Bytes status = {0x3C};
    ASSERT_EQ(transaction(0x01, 0, 1, status.data()), Result::kDone);
    EXPECT_EQ(hex(d.writes[0]), "80 F6 FB 11 00 00 01 11 00 00 3C 24 00 00 80 FE FB");
    EXPECT_EQ(status, Bytes{0x9C});
    EXPECT_EQ(d.sleeps, std::vector<uint32_t>{15});
}

TEST_F(SpiEngine, UnknownOversizedAndBufferlessRequestsSendNothing) {
    open();
    Bytes big(70000, 0);
    EXPECT_EQ(transaction(0xC7, 0, 0, nullptr), Result::kRefused);
    // One MPSSE shift moves at most 65536 bytes.
    EXPECT_EQ(transaction(0x03, 0, 65537, big.data()), Result::kRefused);
    // Page program: 19 bytes of framing around the data must fit 16384.
    EXPECT_EQ(transaction(0x02, 0, 16366, big.data()), Result::kRefused);
    EXPECT_EQ(transaction(0x9F, 0, 3, nullptr), Result::kRefused);
    EXPECT_EQ(transaction(0x01, 0, 0xFFFFFFFFu, big.data()), Result::kRefused);
    EXPECT_TRUE(d.calls.empty());
    EXPECT_TRUE(d.sleeps.empty());
    EXPECT_TRUE(d.messages.empty());

    EXPECT_EQ(transaction(0x03, 0, 8192, big.data()), Result::kDone);
    EXPECT_EQ(hex(Bytes(d.writes[0].begin() + 13, d.writes[0].begin() + 16)), "24 FF 1F");
    EXPECT_EQ(transaction(0x02, 0, 8173, big.data()), Result::kDone);
    EXPECT_EQ(d.writes[1].size(), 8192u);
}

TEST_F(SpiEngine, ZeroLengthPhasesAreLeftOutButTheCommandRuns) {
    open();
    EXPECT_EQ(transaction(0x05, 0, 0, nullptr), Result::kDone);
    EXPECT_EQ(transaction(0x02, 0x000200, 0, nullptr), Result::kDone);
    ASSERT_EQ(d.writes.size(), 2u);
    EXPECT_EQ(hex(d.writes[0]), "80 F6 FB 11 00 00 05 80 FE FB");
    EXPECT_EQ(hex(d.writes[1]), "80 F6 FB 11 00 00 02 11 02 00 00 02 00 80 FE FB");
    EXPECT_TRUE(d.reads.empty());
    EXPECT_EQ(d.sleeps, (std::vector<uint32_t>{1, 10}));
}

TEST_F(SpiEngine, TransferFailuresAreShownAndAFailedReadHandsBackZeros) {
    open();
    d.read_data.push_back({0xAA, 0xBB, 0xCC});
    Bytes id(3);
    ASSERT_EQ(transaction(0x9F, 0, 3, id.data()), Result::kDone);
    EXPECT_EQ(id, (Bytes{0xAA, 0xBB, 0xCC}));

    d.read_status = FT_IO_ERROR;
    EXPECT_EQ(transaction(0x9F, 0, 3, id.data()), Result::kReadFailed);
    EXPECT_EQ(id, Bytes(3, 0x00));
    EXPECT_EQ(d.messages, std::vector<std::string>{"Zintra: FT_Write fail!"});
    EXPECT_EQ(d.sleeps, (std::vector<uint32_t>{1, 1}));

    d = Double{};
    d.write_status = FT_IO_ERROR;
    EXPECT_EQ(transaction(0x9F, 0, 3, id.data()), Result::kWriteFailed);
    EXPECT_EQ(d.messages, std::vector<std::string>{"Zintra: FT_Write fail!"});
    EXPECT_TRUE(d.reads.empty());
    EXPECT_TRUE(d.sleeps.empty());
}

TEST_F(SpiEngine, PumpDispatchesThenTranslatesEveryWaitingMessage) {
    d.queued_messages = 2;
    zintra::spi::pump_messages();
    const std::vector<std::string> expected = {"peek 0 1", "dispatch 2", "translate 2",
                                               "peek 0 1", "dispatch 1", "translate 1",
                                               "peek 0 1"};
    EXPECT_EQ(d.calls, expected);
}

// Through the exports: the library itself must reach this executable's calls.
TEST_F(SpiEngine, LibraryBindsTheDoubleForDriverAndWindowsCalls) {
    EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    EXPECT_EQ(d.calls.size(), 9u);
    d = Double{};
    EXPECT_EQ(ZintraAction(ZINTRA_READ_FLASH_ID, 0, 0, 0), 1);
    ASSERT_EQ(d.writes.size(), 1u);
    EXPECT_EQ(hex(d.writes[0]), "80 F6 FB 11 00 00 9F 24 02 00 80 FE FB");
    EXPECT_EQ(d.sleeps, std::vector<uint32_t>{1});
    d = Double{};
    EXPECT_EQ(ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0), 1);
    EXPECT_EQ(d.calls, std::vector<std::string>{"close"});

    d = Double{};
    d.open_status = FT_DEVICE_NOT_FOUND;
    EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 0);
    EXPECT_EQ(d.messages, std::vector<std::string>{"Zintra: Open usb device error"});
}

} // namespace
