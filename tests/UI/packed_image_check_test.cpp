#include "packed_image_check.h"

#include <gtest/gtest.h>

#include <string>

namespace plexmoor::ops {
namespace {

using namespace std::string_literals;

std::string WithBytes(std::string image, std::size_t at, std::string bytes) {
    image.replace(at, bytes.size(), bytes);
    return image;
}

// What each system version's packer leaves, and near misses of each.
TEST(PackedImageCheck, PackedImagesPassAndEverythingElseIsNamed) {
    const std::string blank(0x30000, '\0');
    const std::string v3 = WithBytes(blank, 0x10000, "\xA5\x5A\xA5\x00\x00\x03"s);
    const std::string v4_lengths = "\x00\x00\x10\x00"s
                                   "\x00\x00\x08\x00"s; // OT 4 KiB, RT 2 KiB
    const std::string v4 = WithBytes(WithBytes(blank, 0, "\xFF"), 14, v4_lengths);
    struct Case {
        const char* what;
        std::string bytes;
        const char* found; // empty: a packed image
    } cases[] = {
        {"version 3", v3, ""},
        {"version 2", WithBytes(v3, 0x10005, "\x02"), ""},
        {"version 4", v4, ""},
        {"version 1 is not packed", WithBytes(v3, 0x10005, "\x01"), "no configuration header"},
        {"no mark before the version", WithBytes(v3, 0x10000, "\xA4"), "no configuration header"},
        {"version 4 images past the end", WithBytes(v4, 14, "\x00\x03"s), "no configuration"},
        {"version 4 without an OT image", WithBytes(v4, 14, "\x00\x00\x00\x00"s), "no config"},
        {"erased flash", std::string(0x20000, '\xFF'), "erased flash (every byte FF)"},
        {"a configuration file", "[Glinterra]\r\nSerialNumber=QV\r\n", "text"},
        {"a short binary", std::string(100, '\x01'), "100 bytes, too short"},
        {"nothing", "", "an empty file"},
    };
    for (const Case& c : cases) {
        const std::string found = WhatIsNotPacked(c.bytes);
        if (*c.found == '\0')
            EXPECT_EQ(found, "") << c.what;
        else
            EXPECT_NE(found.find(c.found), std::string::npos) << c.what << ": " << found;
    }
}

} // namespace
} // namespace plexmoor::ops
