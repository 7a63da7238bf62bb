// The descriptors and identity of the emulated FT2232H, as data: the
// testbed's sysfs entries and the bridge's GET_DESCRIPTOR answers both read
// them from here.
#pragma once

#include <array>
#include <cstdint>

namespace usbemu {

inline constexpr uint16_t kVendorId = 0x0403;
inline constexpr uint16_t kProductId = 0x6010;
inline constexpr char kSerialNumber[] = "EB000001";
inline constexpr char kManufacturer[] = "FTDI";
inline constexpr char kProduct[] = "Dual RS232-HS";
inline constexpr uint16_t kMaxPacket = 512; // high speed bulk
inline constexpr std::size_t kStatusBytes = 2;
// Modem status (CTS, DSR) and line status (transmitter empty), as an idle
// FT2232H sends them at the head of every IN packet.
inline constexpr std::array<uint8_t, kStatusBytes> kModemStatus = {0x32, 0x60};

// Endpoints: interface A bulk IN 0x81 and OUT 0x02, interface B 0x83 and 0x04.
inline constexpr uint8_t kEndpointInA = 0x81;
inline constexpr uint8_t kEndpointOutA = 0x02;

// Device descriptor (USB 2.0, bcdDevice 7.00 marks an FT2232H) followed by
// the configuration descriptor with both interfaces, as sysfs' descriptors
// file holds them.
inline constexpr std::array<uint8_t, 18> kDeviceDescriptor = {0x12, 0x01, 0x00, 0x02, 0x00, 0x00,
                                                              0x00, 0x40, 0x03, 0x04, 0x10, 0x60,
                                                              0x00, 0x07, 0x01, 0x02, 0x03, 0x01};
inline constexpr std::array<uint8_t, 55> kConfigDescriptor = {
    0x09, 0x02, 0x37, 0x00, 0x02, 0x01, 0x00, 0x80, 0x32, // config 1, 100 mA
    0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0x02, // interface A
    0x07, 0x05, 0x81, 0x02, 0x00, 0x02, 0x00,             //   bulk IN 512
    0x07, 0x05, 0x02, 0x02, 0x00, 0x02, 0x00,             //   bulk OUT 512
    0x09, 0x04, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0x02, // interface B
    0x07, 0x05, 0x83, 0x02, 0x00, 0x02, 0x00,             //   bulk IN 512
    0x07, 0x05, 0x04, 0x02, 0x00, 0x02, 0x00};            //   bulk OUT 512

} // namespace usbemu
