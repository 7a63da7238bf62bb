// Drives the virtual board through the D2XX calls with the same MPSSE
// streams a host programmer sends: one chip-select period per command.
#pragma once

#include "ftd2xx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace testing_support {

using Stream = std::vector<uint8_t>;

inline Stream operator+(Stream a, const Stream& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline const Stream kSelect{0x80, 0xF6, 0xFB};
inline const Stream kDeselect{0x80, 0xFE, 0xFB};

inline Stream out_bytes(const Stream& data) {
    const auto n = data.size() - 1;
    return Stream{0x11, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)} + data;
}
inline Stream in_bytes(std::size_t count) {
    const auto n = count - 1;
    return {0x24, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
}
inline Stream address_bytes(uint32_t a) {
    return out_bytes(
        {static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a)});
}

// One SPI command in one chip-select period: opcode, optional address,
// dummy bytes, data out, then `read` bytes in.
inline Stream command(uint8_t opcode, std::optional<uint32_t> address = {}, const Stream& data = {},
                      std::size_t read = 0, int dummies = 0) {
    Stream s = kSelect + out_bytes({opcode});
    if (address) s = s + address_bytes(*address);
    for (int i = 0; i < dummies; ++i)
        s = s + out_bytes({0x00});
    if (!data.empty()) s = s + out_bytes(data);
    if (read) s = s + in_bytes(read);
    return s + kDeselect;
}

class Bridge {
  public:
    // Opens the first bridge and, unless told otherwise, sets it up for SPI.
    explicit Bridge(bool mpsse = true) : Bridge(first_serial(), mpsse) {}
    // Opens the bridge with this serial number.
    explicit Bridge(const std::string& serial, bool mpsse = true) {
        EXPECT_EQ(FT_OpenEx(const_cast<char*>(serial.c_str()), FT_OPEN_BY_SERIAL_NUMBER, &handle),
                  FT_OK);
        EXPECT_EQ(FT_ResetDevice(handle), FT_OK);
        EXPECT_EQ(FT_SetBitMode(handle, 0x00, 0x00), FT_OK);
        if (!mpsse) return;
        EXPECT_EQ(FT_SetBitMode(handle, 0xFF, 0x02), FT_OK);
        write({0x86, 0x01, 0x00});
        write(kDeselect);
        write({0x82, 0xFF, 0xFF});
    }
    static std::string first_serial() {
        char serial[64] = {};
        EXPECT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(0), serial, 0x40000001), FT_OK);
        return serial;
    }
    ~Bridge() {
        if (handle) FT_Close(handle);
    }
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    void write(Stream s) {
        DWORD written = 0;
        ASSERT_EQ(FT_Write(handle, s.data(), static_cast<DWORD>(s.size()), &written), FT_OK);
        EXPECT_EQ(written, s.size());
    }
    Stream read(std::size_t n) {
        Stream out(n);
        DWORD got = 0;
        EXPECT_EQ(FT_Read(handle, out.data(), static_cast<DWORD>(n), &got), FT_OK);
        out.resize(got);
        return out;
    }
    // Sends a stream and reads what it is expected to answer, which
    // SEND_IMMEDIATE brings back without the latency timer's wait.
    Stream transact(const Stream& s, std::size_t answer) {
        write(answer ? s + Stream{0x87} : s);
        return answer ? read(answer) : Stream{};
    }

    uint8_t status() { return transact(command(0x05, {}, {}, 1), 1).at(0); }
    void write_enable() { write(command(0x06)); }
    void program(uint32_t a, const Stream& data) { write(command(0x02, a, data)); }
    void erase(uint8_t opcode, uint32_t a) { write(command(opcode, a)); }
    Stream read_data(uint32_t a, std::size_t n) { return transact(command(0x03, a, {}, n), n); }

    FT_HANDLE handle = nullptr;
};

} // namespace testing_support
