// Packed image layouts of versions 2, 3 and 4, repack, and the packs that
// are refused without creating an output file.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;

Bytes slice(const Bytes& b, std::size_t from, std::size_t to) {
    return Bytes(b.begin() + from, b.begin() + to);
}

class ImagePack : public testing_support::BoardTest {
  protected:
    std::string file(const std::string& name, const Bytes& bytes) {
        testing_support::write_file(temp(name), bytes);
        return temp(name).string();
    }
    std::string out() const { return temp("out.bin").string(); }
    int pack_v2(int boot_size, int ot_off, int rt_off, const Bytes& ot = pattern(3000, 2),
                const Bytes& rt = pattern(1000, 3)) {
        return PackFlash(file("boot", pattern(boot_size, 1)).c_str(), file("ot", ot).c_str(),
                         ot_off, file("rt", rt).c_str(), rt_off, out().c_str(), 0);
    }
    int pack(int repack = 0) { return PackFlash("", "", 0, "", 0, out().c_str(), repack); }
    void v3_header(int n, int stride, int first) {
        ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
        for (auto [b, c] : {std::pair{2, n}, {4, stride}, {6, first}})
            ZintraAction(ZINTRA_SET_HEADER_FIELD, b, c, 0);
    }
    void slot(int n, const Bytes& bytes) {
        ZintraActionStr(ZINTRA_STORE_PATH, n, file("slot" + std::to_string(n), bytes).c_str());
    }
    std::string expect_refused(int result) {
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(std::filesystem::exists(out()));
        std::string shown = messages.size() == 1 ? messages[0] : "";
        EXPECT_EQ(messages.size(), 1u);
        messages.clear();
        return shown;
    }
};

TEST_F(ImagePack, Version2Layouts) {
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 0, 0x123456, 0);
    ASSERT_EQ(pack_v2(5, 0x20000, 0x60000), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), 0x60000u + 1000);
    EXPECT_EQ(slice(img, 0, 4), slice(pattern(5, 1), 1, 5));
    EXPECT_EQ(std::count(img.begin() + 4, img.begin() + 0x10000, 0x01), 0x10000 - 4);
    EXPECT_EQ(slice(img, 0x10000, 0x10009), (Bytes{0xA5, 0x5A, 0xA5, 0, 0, 2, 0x12, 0x34, 0x56}));
    EXPECT_EQ(slice(img, 0x20000, 0x20000 + 3000), pattern(3000, 2));
    EXPECT_EQ(slice(img, 0x60000, img.size()), pattern(1000, 3));

    // The block laid over an image wins; the image around it stays.
    Bytes ot = pattern(0x10000, 4);
    ASSERT_EQ(pack_v2(1, 0x8000, 0x20000, ot), 1);
    img = read_file(out());
    EXPECT_EQ(img[0x10000], 0xA5);
    EXPECT_EQ(slice(img, 0x8000, 0x10000), slice(ot, 0, 0x8000));
    EXPECT_EQ(slice(img, 0x10400, 0x18000), slice(ot, 0x8400, 0x10000));

    // Parts all below the block: the file still holds the whole block.
    ASSERT_EQ(pack_v2(1, 0x100, 0x2000), 1);
    EXPECT_EQ(read_file(out()).size(), 0x10400u);
}

TEST_F(ImagePack, Version3ImagesBackToBack) {
    v3_header(1, 64, 0x20000);
    ZintraAction(ZINTRA_SET_PORT_FIELD, 511, 0xC0FFEE, 0); // last field of the 24 x S bytes
    slot(0, {0x00, 0xBB});
    slot(1, pattern(0x1000, 7));
    slot(2, pattern(0x800, 8));
    ASSERT_EQ(pack(), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), 0x21800u);
    EXPECT_EQ(img[0], 0xBB);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 7, 0), 0x21000);
    EXPECT_EQ(slice(img, 0x21000, img.size()), pattern(0x800, 8));
    EXPECT_EQ(slice(img, 0x10012, 0x10018), (Bytes{2, 0, 0, 2, 0x10, 0}));
    EXPECT_EQ(slice(img, 0x107FD, 0x10801), (Bytes{0xC0, 0xFF, 0xEE, 0x01}));
}

TEST_F(ImagePack, Version4LengthsAndRepack) {
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0);
    slot(1, pattern(100, 1));
    slot(2, pattern(50, 2));
    ASSERT_EQ(pack(), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), 0x10096u);
    EXPECT_EQ(img[0], 0xFF);
    EXPECT_EQ(slice(img, 14, 22), (Bytes{0, 0, 0, 0x64, 0, 0, 0, 0x32}));
    EXPECT_EQ(std::count(img.begin() + 0x3640, img.begin() + 0x10000, 0xFF), 0x10000 - 0x3640);
    EXPECT_EQ(read_file(out() + "_conf"), slice(img, 0, 13888));

    Bytes loaded = pattern(200000, 9);
    ASSERT_EQ(LoadConfFromFileToBuffer(file("released", loaded).c_str(), 2), 1);
    ZintraAction(ZINTRA_SET_PORT_FIELD, 7, 0x55AA55, 3);
    ASSERT_EQ(pack(2), 1);
    img = read_file(out());
    ASSERT_EQ(img.size(), loaded.size());
    EXPECT_EQ(img[0x280 + 7], 0x55);
    EXPECT_EQ(slice(img, 13888, img.size()), slice(loaded, 13888, loaded.size()));
}

TEST_F(ImagePack, Refusals) {
    v3_header(4, 64, 0x20000);
    EXPECT_EQ(expect_refused(pack()), "Too many firmware images: header field 2 is 4, at most 3");
    expect_refused(pack(1)); // nothing loaded
    slot(0, pattern(10));
    slot(1, pattern(10));
    v3_header(0, 3096, 0x20000); // port blocks beyond the table
    expect_refused(pack());
    v3_header(0, 64, 0xFFFFA); // image 1 past 1 MiB
    expect_refused(pack());

    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0);
    expect_refused(pack(1));
    ZintraActionStr(ZINTRA_STORE_PATH, 2, temp("nope").string().c_str());
    EXPECT_EQ(expect_refused(pack()),
              "File open fail,file may not exist or permission may not correct!\nfile: " +
                  temp("nope").string());
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 5, 0, 0);
    EXPECT_EQ(pack(), 1);
    EXPECT_FALSE(std::filesystem::exists(out()));

    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    EXPECT_EQ(expect_refused(PackFlash("b", "o", 0, "r", 0x1000, out().c_str(), 0)),
              "File open fail,file may not exist or permission may not correct!\nfiles:\n"
              "BootCode - b\nOT - o\nRT - r");
    expect_refused(pack_v2(0x101, 0x20000, 0xFFF00)); // past 1 MiB
    expect_refused(pack_v2(0x101, 0x80, 0x40000));    // OT over the boot code
    expect_refused(pack_v2(0x101, 0x20000, 0x20100)); // RT over the OT
    expect_refused(pack_v2(0x101, -16, 0x40000));
    std::string bad = temp("no/dir/out").string();
    EXPECT_EQ(PackFlash(temp("boot").string().c_str(), temp("ot").string().c_str(), 0x100,
                        temp("rt").string().c_str(), 0x40000, bad.c_str(), 0),
              0);
    EXPECT_EQ(messages.at(0), "File write fail, filename: " + bad);
}

} // namespace
