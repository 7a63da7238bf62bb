// Packed image layouts of versions 2, 3 and 4, repack, and the packs that
// are refused without creating an output file.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using testing_support::BoardTest;
using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;
using testing_support::write_file;

class ImagePack : public BoardTest {
  protected:
    std::string file(const std::string& name, const Bytes& bytes) {
        write_file(temp(name), bytes);
        return temp(name).string();
    }
    std::string out() const { return temp("out.bin").string(); }
    int pack_v2(const std::string& boot, int ot_off, const std::string& rt, int rt_off,
                const std::string& ot = "") {
        std::string ot_path = ot.empty() ? file("ot", pattern(3000, 2)) : ot;
        return PackFlash(boot.c_str(), ot_path.c_str(), ot_off, rt.c_str(), rt_off, out().c_str(),
                         0);
    }
    void v3_header(int n, int stride, int first) {
        ASSERT_EQ(ZintraAction(10, 3, 0, 0), 1);
        ZintraAction(7, 2, n, 0);
        ZintraAction(7, 4, stride, 0);
        ZintraAction(7, 6, first, 0);
    }
    void slot(int n, const std::string& path) { ZintraActionStr(1, n, path.c_str()); }
    void expect_refused(int result) {
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(std::filesystem::exists(out()));
        EXPECT_EQ(messages.size(), 1u);
    }
};

bool all_equal(const Bytes& b, std::size_t from, std::size_t to, uint8_t v) {
    return std::all_of(b.begin() + from, b.begin() + to, [v](uint8_t x) { return x == v; });
}

TEST_F(ImagePack, Version2Layout) {
    ZintraAction(10, 2, 0, 0);
    ZintraAction(7, 0, 0x123456, 0);
    Bytes ot = pattern(3000, 2), rt = pattern(1000, 3);
    std::string boot = file("boot", {0xB0, 0xB1, 0xB2, 0xB3, 0xB4});
    ASSERT_EQ(pack_v2(boot, 0x20000, file("rt", rt), 0x60000), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), 0x60000u + 1000);
    EXPECT_EQ(Bytes(img.begin(), img.begin() + 5), (Bytes{0xB1, 0xB2, 0xB3, 0xB4, 0x01}));
    EXPECT_TRUE(all_equal(img, 4, 0x10000, 0x01));
    EXPECT_EQ(Bytes(img.begin() + 0x10000, img.begin() + 0x10009),
              (Bytes{0xA5, 0x5A, 0xA5, 0, 0, 2, 0x12, 0x34, 0x56}));
    EXPECT_TRUE(all_equal(img, 0x10400, 0x20000, 0x01));
    EXPECT_EQ(Bytes(img.begin() + 0x20000, img.begin() + 0x20000 + 3000), ot);
    EXPECT_EQ(Bytes(img.end() - 1000, img.end()), rt);
}

TEST_F(ImagePack, Version2BlockOverAnImageAndNeverCutOff) {
    ZintraAction(10, 2, 0, 0);
    Bytes ot = pattern(0x10000, 4);
    std::string boot = file("boot", {0});
    ASSERT_EQ(pack_v2(boot, 0x8000, file("rt", pattern(16, 5)), 0x20000, file("ot", ot)), 1);
    Bytes img = read_file(out());
    EXPECT_EQ(img[0x10000], 0xA5);
    EXPECT_TRUE(std::equal(img.begin() + 0x8000, img.begin() + 0x10000, ot.begin()));
    EXPECT_TRUE(std::equal(img.begin() + 0x10400, img.begin() + 0x18000, ot.begin() + 0x8400));

    // Parts all below the block: the file still holds the whole block.
    ASSERT_EQ(pack_v2(boot, 0x100, file("rt2", pattern(16, 6)), 0x2000), 1);
    EXPECT_EQ(read_file(out()).size(), 0x10400u);
}

TEST_F(ImagePack, Version3ImagesBackToBack) {
    v3_header(1, 64, 0x20000);
    ZintraAction(5, 511, 0xC0FFEE, 0); // last field of the 24 x S bytes
    slot(0, file("boot", {0x00, 0xBB}));
    slot(1, file("fw1", pattern(0x1000, 7)));
    slot(2, file("fw2", pattern(0x800, 8)));
    ASSERT_EQ(PackFlash("", "", 0, "", 0, out().c_str(), 0), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), 0x21800u);
    EXPECT_EQ(img[0], 0xBB);
    EXPECT_EQ(GetConf(0, 6, 0), 0x20000);
    EXPECT_EQ(GetConf(0, 7, 0), 0x21000);
    EXPECT_EQ(Bytes(img.begin() + 0x21000, img.end()), pattern(0x800, 8));
    EXPECT_EQ(Bytes(img.begin() + 0x10012, img.begin() + 0x10018), (Bytes{2, 0, 0, 2, 0x10, 0}));
    EXPECT_EQ(Bytes(img.begin() + 0x107FD, img.begin() + 0x10800), (Bytes{0xC0, 0xFF, 0xEE}));
    EXPECT_EQ(img[0x10800], 0x01);
}

TEST_F(ImagePack, Version4LengthsAndCompanion) {
    ZintraAction(10, 4, 0, 0);
    slot(1, file("ot", pattern(100, 1)));
    slot(2, file("rt", pattern(50, 2)));
    ASSERT_EQ(PackFlash("", "", 0, "", 0, out().c_str(), 0), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), 0x10096u);
    EXPECT_EQ(img[0], 0xFF);
    EXPECT_EQ(Bytes(img.begin() + 14, img.begin() + 22), (Bytes{0, 0, 0, 0x64, 0, 0, 0, 0x32}));
    EXPECT_TRUE(all_equal(img, 0x3640, 0x10000, 0xFF));
    EXPECT_EQ(read_file(out() + "_conf"), Bytes(img.begin(), img.begin() + 13888));
}

TEST_F(ImagePack, RepackChangesOnlyTheBlock) {
    Bytes loaded = pattern(200000, 9);
    write_file(temp("released"), loaded);
    ASSERT_EQ(LoadConfFromFileToBuffer(temp("released").c_str(), 2), 1);
    ZintraAction(5, 7, 0x55AA55, 3);
    ASSERT_EQ(PackFlash("", "", 0, "", 0, out().c_str(), 2), 1);
    Bytes img = read_file(out());
    ASSERT_EQ(img.size(), loaded.size());
    EXPECT_EQ(img[0x280 + 7], 0x55);
    EXPECT_TRUE(std::equal(img.begin() + 13888, img.end(), loaded.begin() + 13888));
    EXPECT_EQ(read_file(out() + "_conf"), Bytes(img.begin(), img.begin() + 13888));

    Bytes v3 = pattern(0x30000, 10);
    v3[0x10005] = 3;
    v3[0x1000C] = v3[0x1000D] = 0;
    v3[0x1000E] = 64; // S
    write_file(temp("v3"), v3);
    ASSERT_EQ(LoadConfFromFileToBuffer(temp("v3").c_str(), 1), 1);
    ZintraAction(5, 10, 0x010203, 0);
    ASSERT_EQ(PackFlash("", "", 0, "", 0, out().c_str(), 1), 1);
    img = read_file(out());
    ASSERT_EQ(img.size(), v3.size());
    for (std::size_t i = 0; i < img.size(); ++i) {
        if (img[i] != v3[i]) {
            ASSERT_TRUE(i >= 0x10200 && i < 0x10800) << i;
        }
    }
}

TEST_F(ImagePack, MissingFilesAreNamed) {
    ZintraAction(10, 2, 0, 0);
    expect_refused(PackFlash("b", "o", 0, "r", 0x1000, out().c_str(), 0));
    EXPECT_EQ(messages[0], "File open fail,file may not exist or permission may not "
                           "correct!\nfiles:\nBootCode - b\nOT - o\nRT - r");
    messages.clear();
    ZintraAction(10, 4, 0, 0);
    slot(1, file("ot", pattern(10)));
    slot(2, temp("nope").string());
    expect_refused(PackFlash("", "", 0, "", 0, out().c_str(), 0));
    EXPECT_EQ(messages[0], "File open fail,file may not exist or permission may not "
                           "correct!\nfile: " +
                               temp("nope").string());
}

TEST_F(ImagePack, Version2Refusals) {
    ZintraAction(10, 2, 0, 0);
    std::string boot = file("boot", pattern(0x101));
    std::string rt = file("rt", pattern(0x200, 3));
    expect_refused(pack_v2(boot, 0x20000, rt, 0xFFF00)); // past 1 MiB
    messages.clear();
    expect_refused(pack_v2(boot, 0x80, rt, 0x40000)); // OT over the boot code
    messages.clear();
    expect_refused(pack_v2(boot, 0x20000, rt, 0x20100)); // RT over the OT
    messages.clear();
    expect_refused(pack_v2(boot, -16, rt, 0x40000));
    EXPECT_EQ(pack_v2(boot, 0x100, rt, 0x40000), 1); // touching is fine
}

TEST_F(ImagePack, Version3And4Refusals) {
    v3_header(4, 64, 0x20000);
    expect_refused(PackFlash("", "", 0, "", 0, out().c_str(), 0));
    EXPECT_EQ(messages[0], "Too many firmware images: header field 2 is 4, at most 3");
    messages.clear();
    expect_refused(PackFlash("", "", 0, "", 0, out().c_str(), 1)); // nothing loaded
    messages.clear();
    v3_header(0, 3096, 0x20000); // port blocks beyond the table
    slot(0, file("boot", pattern(10)));
    slot(1, file("fw", pattern(10)));
    expect_refused(PackFlash("", "", 0, "", 0, out().c_str(), 0));
    messages.clear();
    v3_header(0, 64, 0xFFFFA); // image 1 past 1 MiB
    expect_refused(PackFlash("", "", 0, "", 0, out().c_str(), 0));

    messages.clear();
    ZintraAction(10, 4, 0, 0);
    expect_refused(PackFlash("", "", 0, "", 0, out().c_str(), 1));

    ZintraAction(10, 5, 0, 0);
    EXPECT_EQ(PackFlash("", "", 0, "", 0, out().c_str(), 0), 1);
    EXPECT_FALSE(std::filesystem::exists(out()));
}

TEST_F(ImagePack, UnwritableOutputIsReported) {
    ZintraAction(10, 2, 0, 0);
    std::string bad = temp("no/such/dir/out.bin").string();
    EXPECT_EQ(PackFlash(file("b", {0}).c_str(), file("o", {1}).c_str(), 0x100,
                        file("r", {2}).c_str(), 0x200, bad.c_str(), 0),
              0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "File write fail, filename: " + bad);
}

} // namespace
