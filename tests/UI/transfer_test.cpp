// The transfer of the window into the library, checked call by call against
// a stand-in of the library that records what it is asked to do, and the
// input checks of packing.
#include "form_fixture.h"

#include <dlfcn.h>

#include <algorithm>

namespace plexmoor::testing {
namespace {

using Lines = std::vector<std::string>;

std::string A(int32_t code, int32_t b, int32_t c, int32_t d) {
    return "ZintraAction " + std::to_string(code) + " " + std::to_string(b) + " " +
           std::to_string(c) + " " + std::to_string(d);
}

class TransferTest : public FormTest {
  public:
    // For the cases' set-up functions.
    Control& box(C id, int index = kNoIndex) { return c(id, index); }
    WindowState& st() { return form->state(); }
    std::string path(const std::string& name) { return temp(name).string(); }
    // A fresh window on the same library, for the next case.
    void restart() {
        form = std::make_unique<FlashForm>(services);
        form->Form_Load();
    }

  protected:
    TransferTest() { zintra_stand_in = "libZintraRecorder.so"; }

    void SetUp() override {
        FormTest::SetUp();
        // The window bound the stand-in by this path; this is the same library.
        library_ = dlopen((services.folder + "/libZintra.so").c_str(), RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        count_ = reinterpret_cast<int32_t (*)()>(dlsym(library_, "RecorderCallCount"));
        call_ = reinterpret_cast<const char* (*)(int32_t)>(dlsym(library_, "RecorderCall"));
        clear_ = reinterpret_cast<void (*)()>(dlsym(library_, "RecorderClear"));
        ASSERT_TRUE(count_ && call_ && clear_);
        clear_();
    }
    void TearDown() override {
        FormTest::TearDown();
        if (library_) dlclose(library_);
    }

    Lines calls() {
        Lines out;
        for (int32_t i = 0; i < count_(); ++i)
            out.emplace_back(call_(i));
        return out;
    }
    // The calls that start with prefix, in order.
    Lines only(const std::string& prefix) {
        Lines all = calls(), out;
        std::copy_if(all.begin(), all.end(), std::back_inserter(out),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        return out;
    }
    // Bytes written by one setter code, as byte index -> value.
    std::map<int32_t, int32_t> bytes(int32_t code) {
        std::map<int32_t, int32_t> out;
        for (const std::string& l : only("ZintraAction " + std::to_string(code) + " ")) {
            int32_t a, b, c, d;
            std::sscanf(l.c_str(), "ZintraAction %d %d %d %d", &a, &b, &c, &d);
            out[b] = c;
        }
        return out;
    }
    void version(int v) { c(C::cmbSysVer).setListIndex(v - 1); }

    void* library_ = nullptr;
    int32_t (*count_)() = nullptr;
    const char* (*call_)(int32_t) = nullptr;
    void (*clear_)() = nullptr;
};

TEST_F(TransferTest, Version2CallsInOrder) {
    version(2);
    c(C::cmbBit).setListIndex(2); // G = 2
    for (int i = 0; i < 3; ++i)
        c(C::txtFWVer, i).setText(std::vector<std::string>{"30001", "261207", "1a2b"}[i]);
    c(C::txtGlobal, 0).setText("7");
    c(C::txtSerial).setText("  QV261207042 ");
    for (int i = 0; i < 385; ++i)
        form->state().lConf[i] = 1000 + i;
    clear_();
    ASSERT_TRUE(form->PackMIBConf());
    Lines want = {A(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0), A(7, 0, 0x30001, 0), A(7, 1, 0x261207, 0),
                  A(7, 2, 0x1a2b, 0), A(8, 0, 7, 0)};
    for (int b = 0; b < 32; ++b)
        want.push_back(A(ZINTRA_SET_PORT_FIELD, b, 1000 + b, 0));
    want.push_back("PackSerial QV261207042 11");
    EXPECT_EQ(calls(), want);
}

TEST_F(TransferTest, Version3CallsInOrder) {
    c(C::txtCfgUnit, 0).setText("10200");
    c(C::txtCfgUnit, 1).setText("40");
    for (int i = 0; i < 385; ++i)
        form->state().lConf[i] = i;
    form->state().tFW[1] = {"/fw/1.b", "30001", "261207", "120000"};
    form->state().tFW[2] = {"/fw/2.b", "30002", "261208", "130000"};
    form->state().tFW[3] = {"/fw/3.b", "30003", "261209", "140000"};
    c(C::cmbFWGrp).setListIndex(1); // shows entry 2, stores the boxes of 1
    form->state().tFW[1] = {"/fw/1.b", "30001", "261207", "120000"};
    clear_();
    ASSERT_TRUE(form->PackMIBConf());
    Lines want = {A(10, 3, 0, 0),        A(7, 1, 3, 0),        A(7, 2, 1, 0),
                  A(7, 3, 0x10200, 0),   A(7, 4, 0x40, 0),     A(7, 5, 0x7fc0, 0),
                  A(7, 6, 0x20000, 0),   A(7, 14, 0x30001, 0), A(7, 15, 0x261207, 0),
                  A(7, 16, 0x120000, 0), A(7, 17, 0x30002, 0), A(7, 18, 0x261208, 0),
                  A(7, 19, 0x130000, 0)};
    for (int g = 0; g < 8; ++g)
        for (int p = 0; p < 48; ++p)
            want.push_back(A(5, g * 64 + p, g * 48 + p, 0));
    want.push_back("PackSerial QV060904001 11");
    want.push_back("ZintraActionStr 1 0 " + c(C::txtFile3, 0).text());
    want.push_back("ZintraActionStr 1 1 /fw/1.b");
    want.push_back("ZintraActionStr 1 2 /fw/2.b");
    EXPECT_EQ(calls(), want);
    EXPECT_EQ(only("ZintraAction 5 ").back(), A(5, 495, 383, 0));
}

TEST_F(TransferTest, Version4FieldsRecordsMemosAndLists) {
    version(4);
    c(C::txtAL, 8).setText("ab");
    c(C::txtAL, 2).setText("30001");
    c(C::txtALActive, 8).setText("-5");
    form->state().lConf[50] = 123456;
    form->state().strMemo[1] = "memo";
    c(C::txtMIBCustomization).setText("1 2 3 4 100000\r\n5 6 7 8 9 10\r\n\r\n9 9 9 9 9\r\n");
    c(C::txtMIBDebug).setText("0 4 0 10 0\r\n1 2 3 4 5 # word\r\n");
    c(C::txtSWCustomization).setText("1 2 3 efff 1000\r\n");
    c(C::txtSWDebug).setText("4 0 0 0 0 #End\r\n");
    clear_();
    ASSERT_TRUE(form->PackMIBConf()) << ::testing::PrintToString(services.messages);

    // A text field: its character codes and zeros up to ten bytes.
    auto header = bytes(ZINTRA_SET_HEADER_FIELD);
    EXPECT_EQ(only("ZintraAction 7 2 ").front(), A(7, 2, 0x30001, 4));
    EXPECT_EQ(header[23], 'a');
    EXPECT_EQ(header[24], 'b');
    for (int i = 25; i < 33; ++i)
        EXPECT_EQ(header[i], 0) << i;
    // Active-line entry 8: four zero descriptor bytes, then its value.
    auto group = bytes(ZINTRA_SET_GROUP_FIELD_2);
    Lines all = calls();
    auto made = [&](const std::string& call) {
        return std::find(all.begin(), all.end(), call) != all.end();
    };
    for (int b = 64; b < 68; ++b)
        EXPECT_TRUE(made(A(11, b, 0, 1))) << b;
    EXPECT_TRUE(made(A(11, 68, -5, 4)));
    EXPECT_EQ(group.size(), 9u * 5u);
    EXPECT_EQ(group[0], 0);
    EXPECT_EQ(group[3], 8);
    // Field 2 of group 2: descriptor and value at record 50.
    auto port = bytes(ZINTRA_SET_PORT_FIELD);
    EXPECT_EQ(port[400], 0);
    EXPECT_EQ(port[403], 11);
    EXPECT_EQ(port[404], 123456);
    auto memo = bytes(ZINTRA_SET_TABLE7_FIELD);
    EXPECT_EQ(memo[64], 'm');
    EXPECT_EQ(memo[67], 'o');
    EXPECT_EQ(memo[68], 0);
    EXPECT_EQ(memo.size(), 8u * 64u);
    // Two lines, the second with six numbers; the empty line ends the list.
    auto mib = bytes(ZINTRA_SET_TABLE3_FIELD);
    EXPECT_EQ(mib, (std::map<int32_t, int32_t>{{0, 1},
                                               {1, 2},
                                               {2, 3},
                                               {3, 4},
                                               {4, 100000},
                                               {8, 5},
                                               {9, 6},
                                               {10, 7},
                                               {11, 8},
                                               {12, 9}}));
    EXPECT_EQ(only("ZintraAction 12 4 ").front(), A(12, 4, 100000, 4));
    // Debug lines: no "#" gives 64 zero bytes, "# word" keeps the blank.
    auto debug = bytes(ZINTRA_SET_TABLE4_FIELD);
    EXPECT_EQ(debug[8], 0);
    EXPECT_EQ(debug[71], 0);
    EXPECT_EQ(debug[72 + 8], ' ');
    EXPECT_EQ(debug[72 + 9], 'w');
    EXPECT_EQ(debug[72 + 13], 0);
    auto sw = bytes(ZINTRA_SET_TABLE5_FIELD);
    EXPECT_EQ(sw, (std::map<int32_t, int32_t>{{0, 1}, {1, 2}, {2, 3}, {3, 0xefff}, {5, 0x1000}}));
    EXPECT_EQ(only("ZintraAction 14 3 ").front(), A(14, 3, 0xefff, 2));
    // The order of the parts, and no serial.
    auto first = [&](const std::string& prefix) {
        return std::find_if(all.begin(), all.end(),
                            [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) -
               all.begin();
    };
    EXPECT_LT(first("ZintraAction 7 "), first("ZintraAction 11 "));
    EXPECT_LT(first("ZintraAction 11 "), first("ZintraAction 5 "));
    EXPECT_LT(first("ZintraAction 16 "), first("ZintraAction 12 "));
    EXPECT_LT(first("ZintraAction 12 "), first("ZintraAction 13 "));
    EXPECT_LT(first("ZintraAction 15 "), first("ZintraActionStr"));
    EXPECT_TRUE(only("PackSerial").empty());
    EXPECT_EQ(only("ZintraActionStr").size(), 3u);
}

TEST_F(TransferTest, RefusalsTransferOnlyTheVersion) {
    struct Case {
        int version;
        std::function<void(TransferTest&)> set;
        std::string message; // the start of the one message
    };
    const Case cases[] = {
        {1, [](TransferTest&) {}, "Current Glinterra can't pack version 1"},
        {3, [](TransferTest& t) { t.box(C::txtSerial).setText(std::string(46, 'Q')); },
         "The max serial number length is 45"},
        {2, [](TransferTest& t) { t.box(C::txtFWVer, 1).setText("12x"); },
         "FW Date (txtFWVer(1)) must hold a number"},
        {2, [](TransferTest& t) { t.box(C::txtGlobal, 0).setText("1.5"); }, "G1 (txtGlobal(0))"},
        {3, [](TransferTest& t) { t.box(C::txtCfgUnit, 1).setText(""); },
         "Cfg Size (txtCfgUnit(1))"},
        {3, [](TransferTest& t) { t.box(C::txtFWStart).setText("123456789"); },
         "FW Start (txtFWStart)"},
        {3, [](TransferTest& t) { t.st().tFW[2].strTime = "12:00"; },
         "FW Time of firmware entry 2"},
        {4, [](TransferTest& t) { t.box(C::txtAL, 5).setText("99999999999"); },
         "LT FW length (txtAL(5))"},
        {4, [](TransferTest& t) { t.box(C::txtALActive, 3).setText("x"); },
         "US max interleave depth (txtALActive(3))"},
        // The start text of the SW debug list breaks its comment over two
        // lines; the second gives no numbers.
        {4, [](TransferTest&) {}, "Line 2 of SW Debug must hold five numbers"},
        {4, [](TransferTest& t) { t.box(C::txtMIBDebug).setText("1 2  3 4 5\r\n"); },
         "Line 1 of MIB Debug"},
        {4,
         [](TransferTest& t) {
             std::string many;
             for (int i = 0; i < 65; ++i)
                 many += "4 0 0 0 0\r\n";
             t.box(C::txtSWDebug).setText(many);
         },
         "SW Debug holds more than the 64 lines"},
    };
    for (const Case& k : cases) {
        restart();
        version(k.version);
        c(C::txtSWDebug).setText("4 0 0 0 0 #End\r\n");
        k.set(*this);
        if (k.message.rfind("Line 2 of SW Debug", 0) == 0)
            c(C::txtSWDebug).setText("0 0 0 efff 1000 #Debug page, phy, reg, value, \r\nmask\r\n");
        services.messages.clear();
        clear_();
        EXPECT_FALSE(form->PackMIBConf()) << k.message;
        ASSERT_EQ(services.messages.size(), 1u) << k.message;
        EXPECT_EQ(services.messages[0].rfind(k.message, 0), 0u) << services.messages[0];
        EXPECT_EQ(calls(), (Lines{A(10, k.version, 0, 0)})) << k.message;
    }
}

TEST_F(TransferTest, VersionFiveTransfersOnlyTheVersion) {
    form->state().lSysVer = 5;
    EXPECT_TRUE(form->PackMIBConf());
    EXPECT_EQ(calls(), (Lines{A(10, 5, 0, 0)}));
}

// The checks before a pack, each with its message, and what follows them.
TEST_F(TransferTest, PackChecksStopBeforeTheLibrary) {
    const std::string file = temp("part.b").string();
    testing_support::write_file(file, {1, 2, 3});
    struct Case {
        int version;
        int32_t mode;
        std::function<void(TransferTest&)> set;
        std::string message; // empty: no check stops the pack
    };
    const Case cases[] = {
        {2, 0,
         [&](TransferTest& t) {
             for (int i = 0; i < 3; ++i)
                 t.box(C::txtFile3, i).setText(file);
             t.box(C::txtFWVer, 1).setText("123456");
         },
         "Please update fw version information"},
        {2, 1, [&](TransferTest& t) { t.box(C::txtFile3, 1).setText(file + "-missing"); },
         "input file not exist"},
        {2, 0, [&](TransferTest& t) { t.box(C::txtFile3, 0).setText(t.path("*.b")); },
         "input file not exist"},
        {3, 0, [](TransferTest& t) { t.box(C::txtFWStart).setText(""); },
         "Start address must be assigned"},
        // No check asks for the start address of a pack from a released
        // image, but an empty one is no number the header can take.
        {3, 1, [](TransferTest& t) { t.box(C::txtFWStart).setText(""); },
         "FW Start (txtFWStart) must hold a number that fits in 32 bits, wrong value is ; nothing "
         "was packed"},
        {3, 1, [](TransferTest& t) { t.st().tFW[1].strVer = "123456"; }, ""},
        {3, 0, [](TransferTest& t) { t.st().tFW[2].strPath.clear(); },
         "input file not exist or please update fw version information"},
        {3, 0, [](TransferTest& t) { t.st().tFW[3].strVer = "123456"; }, ""},
        {4, 2, [](TransferTest& t) { t.box(C::txtAL, 8).setText("12345678901"); },
         "Max length is 10, wrong value is 12345678901"},
        {4, 0, [](TransferTest& t) { t.box(C::txtAL, 3).setText("12G4"); },
         "Input must be hex numeric,wrong value is 12G4"},
        {4, 0, [](TransferTest& t) { t.box(C::txtALActive, 0).setText("3a"); },
         "Input must be numeric, wrong value is 3a"},
        {3, 0, [](TransferTest& t) { t.box(C::txtMIBConf, 4).setText("x"); },
         "position 5 configuration must be numeric"},
    };
    for (const Case& k : cases) {
        restart();
        version(k.version);
        for (int i = 0; i < 3; ++i)
            c(C::txtFile3, i).setText(file);
        c(C::txtFWVer, 1).setText("261207");
        c(C::txtSWDebug).setText("4 0 0 0 0\r\n");
        for (int p = 0; p < 48; ++p)
            c(C::txtMIBConf, p).setText("0");
        for (int e = 1; e <= 8; ++e)
            form->state().tFW[e] = {"/fw.b", "1", "2", "3"};
        c(C::cmbFWGrp).setListIndex(0);
        k.set(*this);
        services.messages.clear();
        clear_();
        form->PackFW(k.mode);
        const std::string why = k.message.empty() ? "no stop" : k.message;
        if (k.message.empty()) {
            EXPECT_EQ(services.messages, Lines{"Replace current flash filename"}) << why;
            EXPECT_EQ(only("PackFlash").size(), 1u) << why;
        } else {
            EXPECT_EQ(services.messages, Lines{k.message}) << why;
            EXPECT_TRUE(only("PackFlash").empty()) << why;
            EXPECT_TRUE(only("ZintraAction 5 ").empty()) << why;
        }
    }
}

TEST_F(TransferTest, PackGivesTheSevenValuesAndAsksAboutTheFlashFile) {
    version(2);
    const std::string file = temp("part.b").string();
    testing_support::write_file(file, {1});
    for (int i = 0; i < 3; ++i)
        c(C::txtFile3, i).setText(file);
    c(C::txtFWVer, 0).setText("1");
    c(C::txtFWVer, 1).setText("2");
    c(C::txtFWVer, 2).setText("3");
    c(C::txtPath2).setText("/out/packed.b");
    const std::string before = c(C::txtPath).text();
    services.answer = Answer::No;
    EXPECT_FALSE(form->controls().userClick(c(C::btnPack))) << "hidden for the user";
    form->controls().raise(c(C::btnPack), Event::Click);
    EXPECT_EQ(only("PackFlash"), Lines{"PackFlash " + file + " " + file + " 131072 " + file +
                                       " 262144 /out/packed.b 0"});
    EXPECT_EQ(c(C::txtPath).text(), before);
    services.answer = Answer::Yes;
    c(C::txtStart, 2).setText("12abc");
    services.messages.clear();
    form->controls().raise(c(C::btnPack), Event::Click);
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].rfind("txtStart(2) must hold a number", 0), 0u);
    c(C::txtStart, 2).setText("524288");
    form->controls().raise(c(C::btnPack), Event::Click);
    EXPECT_EQ(c(C::txtPath).text(), "/out/packed.b");
}

TEST_F(TransferTest, PackFromReleasedLoadsWithTheProductNumber) {
    c(C::txtReSrc).setText("");
    ASSERT_TRUE(form->controls().userClick(c(C::btnPackByPack)));
    EXPECT_EQ(services.messages,
              Lines{"Original packed firmware file must be exist, filename is "});
    c(C::txtReSrc).setText(temp("*").string()); // a pattern names no file
    services.messages.clear();
    form->controls().userClick(c(C::btnPackByPack));
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_TRUE(calls().empty());

    const std::string released = temp("released.b").string();
    testing_support::write_file(released, {0});
    c(C::txtReSrc).setText(released);
    version(4);
    c(C::txtSWDebug).setText("4 0 0 0 0\r\n");
    clear_();
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnPackByPack)));
    EXPECT_EQ(services.messages, Lines{"Replace current flash filename"});
    EXPECT_EQ(calls().front(), "LoadConfFromFileToBuffer " + released + " 2");
    EXPECT_EQ(only("PackFlash").back().substr(only("PackFlash").back().size() - 2), " 2");
}

} // namespace
} // namespace plexmoor::testing
