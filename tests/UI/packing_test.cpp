// Packing through the window against the real library: every value the
// window holds is where the image's layout puts it, read back by the
// library's own file loader.
#include "field_table.h"
#include "form_fixture.h"
#include "list_records.h"

#include <filesystem>

namespace plexmoor::testing {
namespace {

using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;
using testing_support::write_file;

class PackingTest : public FormTest {
  protected:
    ZintraLink& lib() { return form->zintra(); }
    std::string part(const std::string& name, std::size_t size, uint32_t seed) {
        std::string path = temp(name).string();
        write_file(path, pattern(size, seed));
        return path;
    }
    int32_t conf(int32_t table, int32_t index, int32_t width = 3) {
        return lib().GetConf(table, index, width);
    }
    std::string serial() {
        std::string buffer(48, ' ');
        lib().GetSerial(buffer);
        return buffer.substr(0, buffer.find('\0'));
    }
    // Distinct values in every group field the window holds, within the
    // 24 bits of a three-byte field.
    void fillGroups() {
        for (int i = 0; i < kConfEntries; ++i)
            form->state().lConf[static_cast<std::size_t>(i)] = 0x10000 + 37 * i;
    }
    // The boxes show the shown group's stored values, so storing them before
    // the pack changes nothing.
    void showGroupBoxes() {
        const WindowState& st = form->state();
        int32_t g = std::stoi(c(C::cmbGroup).text());
        for (int p = 0; p < st.lFieldCount; ++p)
            c(C::txtMIBConf, p)
                .setText(std::to_string(
                    st.lConf[static_cast<std::size_t>((g - 1) * st.lFieldCount + p)]));
    }
    void pack(int32_t mode = 0) {
        services.messages.clear();
        form->PackFW(mode);
        ASSERT_EQ(services.messages, std::vector<std::string>{"Replace current flash filename"});
    }
    std::string out() { return temp("packed.b").string(); }
};

TEST_F(PackingTest, Version2ImageHoldsTheWindow) {
    c(C::cmbSysVer).setListIndex(1);
    c(C::cmbBit).setListIndex(1); // four groups of 16
    c(C::txtFile3, 0).setText(part("boot.b", 0x101, 1));
    c(C::txtFile3, 1).setText(part("ot.b", 0x4000, 2));
    c(C::txtFile3, 2).setText(part("rt.b", 0x800, 3));
    c(C::txtStart, 1).setText("131072");
    c(C::txtStart, 2).setText("196608");
    for (int i = 0; i < 3; ++i)
        c(C::txtFWVer, i).setText(std::vector<std::string>{"30001", "261207", "abcdef"}[i]);
    c(C::txtGlobal, 0).setText("4660");
    c(C::txtSerial).setText("QV261207007");
    c(C::txtPath2).setText(out());
    fillGroups();
    showGroupBoxes();
    pack();
    EXPECT_EQ(std::filesystem::file_size(out()), 196608u + 0x800u);
    ASSERT_EQ(lib().LoadConfFromFileToBuffer(out(), 1), 1);
    EXPECT_EQ(conf(0, 1), 2);
    EXPECT_EQ(conf(0, 2), 0x30001);
    EXPECT_EQ(conf(0, 3), 0x261207);
    EXPECT_EQ(conf(0, 4), 0xabcdef);
    EXPECT_EQ(conf(1, 0), 4660);
    for (int i = 0; i < 4 * 16; ++i)
        ASSERT_EQ(conf(2, i), form->state().lConf[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(serial(), "QV261207007");
}

TEST_F(PackingTest, Version3FromSourceAndFromReleased) {
    c(C::cmbBit).setListIndex(1); // four images, four groups
    c(C::txtCfgUnit, 0).setText("10200");
    c(C::txtCfgUnit, 1).setText("40");
    c(C::txtFile3, 0).setText(part("boot.b", 0x201, 1));
    form->state().iFWIndex = 0; // the boxes shown belong to no entry
    for (int k = 1; k <= 4; ++k)
        form->state().tFW[k] = {part("fw" + std::to_string(k) + ".b", 0x1000 * k, 10 + k),
                                "3000" + std::to_string(k), "26120" + std::to_string(k),
                                "12000" + std::to_string(k)};
    c(C::txtSerial).setText("QV261207008");
    c(C::txtPath2).setText(out());
    fillGroups();
    showGroupBoxes();
    pack();
    ASSERT_EQ(lib().LoadConfFromFileToBuffer(out(), 1), 1);
    const int32_t header[] = {3, 2, 0x10200, 0x40, 0x7fc0, 0x20000};
    for (int b = 1; b <= 6; ++b)
        EXPECT_EQ(conf(0, b), header[b - 1]) << b;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(conf(0, 14 + 3 * k), 0x30001 + k);
        EXPECT_EQ(conf(0, 16 + 3 * k), 0x120001 + k);
    }
    for (int g = 0; g < 4; ++g)
        for (int p = 0; p < 48; ++p)
            ASSERT_EQ(conf(2, g * 64 + p), form->state().lConf[g * 48 + p]) << g << " " << p;
    EXPECT_EQ(serial(), "QV261207008");

    // The packed file as the released image: the configuration is replaced
    // by the window's, the images stay.
    const Bytes released = read_file(out());
    std::filesystem::rename(out(), temp("released.b"));
    c(C::txtReSrc).setText(temp("released.b").string());
    form->state().lConf[100] = 4242;
    c(C::txtSerial).setText("QV261207009");
    for (int k = 1; k <= 4; ++k)
        std::filesystem::remove(form->state().tFW[k].strPath); // not needed now
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnPackByPack)));
    ASSERT_EQ(services.messages, std::vector<std::string>{"Replace current flash filename"});
    const Bytes repacked = read_file(out());
    ASSERT_EQ(repacked.size(), released.size());
    for (std::size_t i = 0; i < released.size(); ++i) {
        if (i < 0x10000 || i >= 0x10200 + 0x600) {
            ASSERT_EQ(repacked[i], released[i]) << i;
        }
    }
    ASSERT_EQ(lib().LoadConfFromFileToBuffer(out(), 1), 1);
    EXPECT_EQ(conf(2, 2 * 64 + 4), 4242);
    EXPECT_EQ(serial(), "QV261207009");
}

TEST_F(PackingTest, Version4FromSourceAndFromReleased) {
    c(C::cmbSysVer).setListIndex(3);
    form->state().iFWIndex = 0;
    form->state().tFW[1].strPath = part("ot.b", 100, 1);
    form->state().tFW[2].strPath = part("rt.b", 50, 2);
    c(C::txtAL, 8).setText("b2");
    c(C::txtAL, 5).setText("305419896");
    c(C::txtAL, 6).setText("17");
    c(C::txtALActive, 2).setText("-3");
    form->state().strMemo[7] = "memo of eight";
    c(C::txtSWDebug).setText("0 0 0 efff 1000 #Debug\r\n4 0 0 0 0 #End\r\n");
    c(C::txtPath2).setText(out());
    for (int i = 0; i < kConfEntries; ++i)
        form->state().lConf[static_cast<std::size_t>(i)] = -1000 * i;
    showGroupBoxes();
    pack();
    EXPECT_EQ(std::filesystem::file_size(out()), 0x10000u + 150u);
    ASSERT_EQ(lib().LoadConfFromFileToBuffer(out(), 2), 1);
    EXPECT_EQ(conf(0, 14, 4), 100) << "a pack from source writes the image lengths";
    EXPECT_EQ(conf(0, 18, 4), 50);
    EXPECT_EQ(conf(0, 23, 1), 'b');
    EXPECT_EQ(conf(0, 25, 1), 0);
    EXPECT_EQ(conf(0, 2, 4), 0x030001);
    EXPECT_EQ(conf(0, 84, 1), 1);
    EXPECT_EQ(conf(1, 2 * 8 + 4, 4), -3);
    EXPECT_EQ(conf(1, 2 * 8 + 3, 1), 22);
    for (int i = 0; i < 8 * 48; ++i) {
        ASSERT_EQ(conf(2, 8 * i + 4, 4), -1000 * i) << i;
        ASSERT_EQ(conf(2, 8 * i + 3, 1), kConfigFields[static_cast<std::size_t>(i % 48)].head[3]);
    }
    EXPECT_EQ(conf(7, 64 * 7, 1), 'm');
    EXPECT_EQ(conf(7, 64 * 7 + 13, 1), 0);
    EXPECT_EQ(conf(3, 3, 1), 25); // "2 1 0 25 0 #Flow control enable"
    EXPECT_EQ(conf(6, 3, 2), 0xefff);
    EXPECT_EQ(conf(6, 7, 1), 'D');
    EXPECT_EQ(conf(6, 71, 1), 4);

    // A 200000-byte released image: only the configuration block changes,
    // and bytes 14-21 take the two length boxes as they are.
    Bytes released = pattern(200000, 9);
    write_file(temp("released.b"), released);
    c(C::txtReSrc).setText(temp("released.b").string());
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnPackByPack)));
    const Bytes repacked = read_file(out());
    ASSERT_EQ(repacked.size(), released.size());
    for (std::size_t i = 0x3640; i < released.size(); ++i)
        ASSERT_EQ(repacked[i], released[i]) << i;
    EXPECT_EQ(Bytes(repacked.begin() + 14, repacked.begin() + 22),
              (Bytes{0x12, 0x34, 0x56, 0x78, 0, 0, 0, 17}));
}

// Text goes into the block one byte a character: ten characters fit a text
// field whatever their UTF-8 length, and a character the code page has no
// byte for is refused naming its box.
TEST_F(PackingTest, Version4TextIsOneByteACharacter) {
    c(C::cmbSysVer).setListIndex(3);
    form->state().iFWIndex = 0;
    form->state().tFW[1].strPath = part("ot.b", 100, 1);
    form->state().tFW[2].strPath = part("rt.b", 50, 2);
    c(C::txtPath2).setText(out());
    c(C::txtSWDebug).setText("");
    form->state().strMemo[0] = "M\u00e4rz";
    const std::string e = "\u00e9";
    c(C::txtAL, 8).setText(e + e + e + e + e + e + e + e + e + e);
    showGroupBoxes();
    pack();
    ASSERT_EQ(lib().LoadConfFromFileToBuffer(out(), 2), 1);
    EXPECT_EQ(conf(0, 23, 1), 0xE9);
    EXPECT_EQ(conf(0, 32, 1), 0xE9);
    EXPECT_EQ(conf(7, 1, 1), 0xE4);
    write_file(out(), {7});
    for (const std::string& refused :
         {e + e + e + e + e + e + e + e + e + e + e, std::string("\u65e5")}) {
        c(C::txtAL, 8).setText(refused);
        services.messages.clear();
        form->PackFW(0);
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_NE(services.messages[0].find(
                      refused.size() > 3
                          ? "Max length is 10"
                          : "(txtAL(8)) holds a character Windows-1252 has no byte for"),
                  std::string::npos)
            << services.messages[0];
    }
    EXPECT_EQ(read_file(out()), Bytes{7});
}

// What the library refuses to load is not repacked, and a pack the window
// refuses writes nothing.
TEST_F(PackingTest, NothingIsWrittenWhenTheLoadOrTheTransferFails) {
    write_file(out(), {7, 7, 7});
    write_file(temp("short.b"), pattern(100));
    c(C::txtReSrc).setText(temp("short.b").string());
    c(C::txtPath2).setText(out());
    ASSERT_TRUE(form->controls().userClick(c(C::btnPackByPack)));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].rfind("File too short", 0), 0u) << services.messages[0];
    c(C::cmbSysVer).setListIndex(3); // the start text of the SW debug list
    services.messages.clear();
    form->PackFW(0);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].rfind("Line 2 of SW Debug", 0), 0u);
    EXPECT_EQ(read_file(out()), (Bytes{7, 7, 7}));
}

} // namespace
} // namespace plexmoor::testing
