// Reading a configuration back into the window, from packed files and from
// the board, and serial numbers: generated, flashed and read back.
#include "form_fixture.h"

#include <algorithm>
#include <filesystem>

namespace plexmoor::testing {
namespace {

using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;
using testing_support::write_file;

// What the window holds of a configuration, in the forms a read-back shows.
struct Snapshot {
    std::vector<int32_t> conf;
    std::vector<std::string> memos, boxes;
    bool operator==(const Snapshot&) const = default;
};

// The first difference of two snapshots, or nothing.
template <typename T>
std::string FirstDifference(const std::vector<T>& a, const std::vector<T>& b) {
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        if (i >= a.size() || i >= b.size() || !(a[i] == b[i]))
            return "entry " + std::to_string(i) + ": " +
                   (i < a.size() ? ::testing::PrintToString(a[i]) : "none") + " against " +
                   (i < b.size() ? ::testing::PrintToString(b[i]) : "none");
    }
    return {};
}

::testing::AssertionResult Same(const Snapshot& got, const Snapshot& want) {
    for (const std::string& d :
         {FirstDifference(got.conf, want.conf), FirstDifference(got.memos, want.memos),
          FirstDifference(got.boxes, want.boxes)})
        if (!d.empty()) return ::testing::AssertionFailure() << d;
    return ::testing::AssertionSuccess();
}

class ReadBackTest : public FormTest {
  protected:
    std::string part(const std::string& name, std::size_t size, uint32_t seed) {
        std::string path = temp(name).string();
        write_file(path, pattern(size, seed));
        return path;
    }
    std::string out() { return temp("packed.b").string(); }
    void restart(int version) {
        if (form->state().bInit) form->zintra().ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        form = std::make_unique<FlashForm>(services);
        form->Form_Load();
        // As a start-up with this version in the settings file: the
        // library is told it, which the flash loader goes by.
        c(C::cmbSysVer).setListIndex(version - 1);
        form->zintra().ZintraAction(ZINTRA_SET_SYSTEM_VERSION, version, 0, 0);
        c(C::txtPath2).setText(out());
    }
    // A configuration of the version in every place the window keeps one.
    void fill(int version) {
        WindowState& st = form->state();
        for (int i = 0; i < kConfEntries; ++i)
            st.lConf[static_cast<std::size_t>(i)] = (version == 4 ? -7 : 5) * i + 3;
        for (int g = 0; g < kMemos; ++g)
            st.strMemo[static_cast<std::size_t>(g)] = "m\u00e9mo " + std::to_string(g);
        c(C::txtSerial).setText("QV26120704" + std::to_string(version));
        if (version == 2) {
            c(C::txtFile3, 0).setText(part("boot.b", 0x101, 1));
            c(C::txtFile3, 1).setText(part("ot.b", 0x1000, 2));
            c(C::txtFile3, 2).setText(part("rt.b", 0x800, 3));
            for (int i = 0; i < 3; ++i)
                c(C::txtFWVer, i)
                    .setText(std::vector<std::string>{"030001", "261207", "ABCDEF"}[i]);
            c(C::txtGlobal, 0).setText("4660");
        } else if (version == 3) {
            c(C::cmbBit).setListIndex(1);
            c(C::txtCfgUnit, 0).setText("010200");
            c(C::txtCfgUnit, 1).setText("000040");
            c(C::txtCfgUnit, 2).setText("007FC0");
            c(C::txtFWStart).setText("020000");
            c(C::txtFile3, 0).setText(part("boot.b", 0x201, 1));
            c(C::cmbFWGrp).setListIndex(0);
            for (int k = 1; k <= 8; ++k)
                st.tFW[k] = {part("fw" + std::to_string(k) + ".b", 0x800 * k, 10 + k),
                             "03000" + std::to_string(k), "26120" + std::to_string(k), "120000"};
            showFirmwareBoxes();
        } else {
            c(C::cmbFWGrp).setListIndex(0);
            st.tFW[1].strPath = part("ot.b", 300, 1);
            st.tFW[2].strPath = part("rt.b", 200, 2);
            showFirmwareBoxes();
            c(C::txtAL, 2).setText("30002");
            c(C::txtAL, 11).setText("N\u00e4me 10 ch");
            c(C::txtALActive, 7).setText("-9");
            c(C::txtMIBDebug).setText("0 4 0 10 0# LT CRC\r\n0 0 0 0 0#End\r\n");
            c(C::txtSWDebug).setText("0 0 0 EFFF 1000#D\u00e9bug\r\n4 0 0 0 0#\r\n");
        }
        showGroupBoxes();
    }
    // The source files again, after a read-back that cannot know them.
    void fillPaths(int version) {
        WindowState& st = form->state();
        if (version == 2) {
            for (int i = 0; i < 3; ++i)
                c(C::txtFile3, i)
                    .setText(temp(std::vector<std::string>{"boot.b", "ot.b", "rt.b"}[i]).string());
            return;
        }
        c(C::txtFile3, 0).setText(temp("boot.b").string());
        for (int k = 1; k <= 8; ++k)
            st.tFW[k].strPath =
                temp(version == 3 ? "fw" + std::to_string(k) + ".b" : (k == 1 ? "ot.b" : "rt.b"))
                    .string();
        c(C::txtFile3, 1).setText(st.tFW[static_cast<std::size_t>(st.iFWIndex)].strPath);
    }
    void showFirmwareBoxes() {
        const FWInfo& fw = form->state().tFW[static_cast<std::size_t>(form->state().iFWIndex)];
        c(C::txtFile3, 1).setText(fw.strPath);
        c(C::txtFWVer, 0).setText(fw.strVer);
        c(C::txtFWVer, 1).setText(fw.strDate);
        c(C::txtFWVer, 2).setText(fw.strTime);
    }
    void showGroupBoxes() {
        const WindowState& st = form->state();
        const int g = std::stoi(c(C::cmbGroup).text()) - 1;
        for (int p = 0; p < st.lFieldCount; ++p)
            c(C::txtMIBConf, p).setText(std::to_string(st.lConf[g * st.lFieldCount + p]));
        c(C::txtMemo).setText(st.strMemo[g]);
    }
    Snapshot snapshot() {
        const WindowState& st = form->state();
        Snapshot s;
        const int n = st.lGroupCount * st.lFieldCount;
        s.conf.assign(st.lConf.begin(), st.lConf.begin() + n);
        if (st.lSysVer == 4)
            s.memos.assign(st.strMemo.begin(), st.strMemo.begin() + st.lGroupCount);
        for (const Control& ctl : form->controls().all()) {
            const std::string& n = ctl.name();
            bool kept = (n == "txtSerial" && st.lSysVer != 4) || n == "txtMIBConf" ||
                        n == "cmbSysVer" || n == "cmbBit";
            if (st.lSysVer == 2) kept = kept || n == "txtFWVer" || ctl.key() == "txtGlobal(0)";
            if (st.lSysVer == 3)
                kept = kept || n == "txtFWVer" || n == "txtCfgUnit" || n == "txtFWStart";
            if (st.lSysVer == 4) {
                // The block keeps 64 bytes of the group table: the last
                // active-line entry, the list's end, lies beyond them.
                kept = kept || (n == "txtALActive" && ctl.index() != 8) || n == "txtMIBDebug" ||
                       n == "txtSWDebug" || (n == "txtAL" && ctl.index() != 5 && ctl.index() != 6);
            }
            if (kept) s.boxes.push_back(ctl.key() + "=" + ctl.text());
        }
        return s;
    }
    void pack() {
        services.messages.clear();
        form->PackFW(0);
        ASSERT_EQ(services.messages, std::vector<std::string>{"Replace current flash filename"});
    }
    void flash(const std::string& file) {
        c(C::txtPath).setText(file);
        ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
        ASSERT_EQ(caption(), Status("Flash Complete"));
    }
};

// Window, pack, Parse Setting into a fresh window: the same configuration,
// and a second pack the same image.
TEST_F(ReadBackTest, ParseSettingGivesBackWhatWasPacked) {
    for (int version : {2, 3, 4}) {
        restart(version);
        fill(version);
        pack();
        const Snapshot packed = snapshot();
        const Bytes image = read_file(out());
        std::filesystem::rename(out(), temp("first.b"));

        restart(version);
        c(C::txtPath2).setText(temp("first.b").string());
        services.messages.clear();
        ASSERT_TRUE(form->controls().userClick(c(C::cmdParse)));
        EXPECT_EQ(services.messages, std::vector<std::string>{}) << version;
        EXPECT_TRUE(Same(snapshot(), packed)) << version;
        c(C::txtPath2).setText(out());
        fillPaths(version);
        pack();
        EXPECT_EQ(read_file(out()), image) << version;
    }
}

TEST_F(ReadBackTest, LoadFromFlashGivesBackWhatWasProgrammed) {
    for (int version : {2, 3}) {
        restart(version);
        fill(version);
        pack();
        const Snapshot packed = snapshot();
        init();
        flash(out());
        restart(version);
        init();
        ASSERT_TRUE(form->controls().userClick(c(C::btnLoadFlash)));
        EXPECT_TRUE(Same(snapshot(), packed)) << version;
    }
}

TEST_F(ReadBackTest, FlashSettingWritesTheBlockLoadFromFlashReads) {
    restart(3);
    fill(3);
    c(C::txtSerial).setText("QV261207099");
    const Snapshot written = snapshot();
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnSerial)));
    EXPECT_EQ(services.messages, std::vector<std::string>{"Please press Init button first"});
    init();
    ASSERT_TRUE(form->controls().userClick(c(C::btnSerial)));
    EXPECT_EQ(caption(), Status("Flash Complete"));
    restart(3);
    init();
    ASSERT_TRUE(form->controls().userClick(c(C::btnLoadFlash)));
    EXPECT_TRUE(Same(snapshot(), written));
    EXPECT_EQ(c(C::txtSerial).text(), "QV261207099");

    // A box that holds no number stops it before anything is written.
    c(C::txtMIBConf, 4).setText("4x");
    services.messages.clear();
    const auto erases = board().counters().erases;
    const std::string before = caption();
    ASSERT_TRUE(form->controls().userClick(c(C::btnSerial)));
    EXPECT_EQ(services.messages,
              std::vector<std::string>{"position 5 configuration must be numeric"});
    EXPECT_EQ(board().counters().erases, erases);
    EXPECT_EQ(caption(), before);
    c(C::txtMIBConf, 4).setText("4");

    // A block the board did not take is no success.
    board().faults().write_protected = true;
    c(C::txtSerial).setText("QV261207100");
    ASSERT_TRUE(form->controls().userClick(c(C::btnSerial)));
    EXPECT_EQ(caption(), Status("Flash have error"));
}

// A read whose version or DIP count the window has no entry for, or a file
// the library could not load, leaves the window as it was.
TEST_F(ReadBackTest, UnusableReadsLeaveTheWindow) {
    fill(3);
    const Snapshot before = snapshot();
    init();
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnLoadFlash))); // an erased board
    EXPECT_EQ(services.messages,
              std::vector<std::string>{"The configuration read holds no system version from 1 to "
                                       "4, nothing was shown; found 16777215"});
    EXPECT_TRUE(Same(snapshot(), before));

    form->zintra().ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    form->zintra().ZintraAction(ZINTRA_SET_HEADER_FIELD, 2, 5, 0);
    services.messages.clear();
    form->ShowConf();
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].find("DIP count from 1 to 3, nothing was shown; found 5"),
              std::string::npos);
    EXPECT_TRUE(Same(snapshot(), before));

    c(C::txtPath2).setText(temp("missing.b").string());
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::cmdParse)));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].rfind("File open fail", 0), 0u);
    EXPECT_TRUE(Same(snapshot(), before));
}

TEST_F(ReadBackTest, VersionThreeReadShowsTheFirmwareEntryItRead) {
    restart(3);
    fill(3);
    pack();
    restart(3);
    c(C::txtPath2).setText(out());
    form->controls().userClick(c(C::cmdParse));
    EXPECT_EQ(c(C::txtFWVer, 0).text(), "030001");
    EXPECT_EQ(c(C::txtFWVer, 1).text(), "261201");
    c(C::cmbFWGrp).setListIndex(1);
    c(C::cmbFWGrp).setListIndex(0);
    EXPECT_EQ(form->state().tFW[1].strVer, "030001") << "not put back from the old boxes";
}

TEST_F(ReadBackTest, GenerateSerial) {
    struct Case {
        std::string box, after;
        bool told;
    };
    const Case cases[] = {
        {"QV060904001", "QV261207001", false},
        {"QV261207041", "QV261207042", false},
        {"QV261207998", "QV261207999", false},
        {"QV261207999", "QV261207999", true},
        {"qv261207041", "QV261207001", false},
        {"  QV261207041 ", "QV261207042", false},
        {"QV26120704", "QV26120704", true},
        {"QV2612070411", "QV2612070411", true},
        {"", "", true},
        {"QV261207+12", "QV261207+12", true},
        {"QV261207 12", "QV261207 12", true},
        {"QV2612071.5", "QV2612071.5", true},
        {"QV2612071e2", "QV2612071e2", true},
        {"QV261207000", "QV261207001", false},
    };
    for (const Case& k : cases) {
        c(C::txtSerial).setText(k.box);
        services.messages.clear();
        ASSERT_TRUE(form->controls().userClick(c(C::btnGenerate)));
        EXPECT_EQ(c(C::txtSerial).text(), k.after) << k.box;
        EXPECT_EQ(services.messages.size(), k.told ? 1u : 0u) << k.box;
        if (k.told) {
            EXPECT_EQ(services.messages[0], "Serial number format is not correct!");
        }
    }
    c(C::txtSerial).setText("QV261207005");
    form->controls().userClick(c(C::btnGenerate));
    services.date = {2026, 12, 8};
    form->controls().userClick(c(C::btnGenerate));
    EXPECT_EQ(c(C::txtSerial).text(), "QV261208001");
}

// A record that cannot be reached stops Flash Setting before the board and
// says how to go on; Generate Serial and Load from Flash need none, and the
// read says once that its row is left out.
TEST_F(ReadBackTest, OnlyWritesWaitForAReachableRecord) {
    init();
    c(C::txtRecord).setText(temp("no/such/folder/record.db").string());
    c(C::txtSerial).setText("QV261207041");
    const auto erases = board().counters().erases;
    services.messages.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnSerial)));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].find("enter none in the Record box"), std::string::npos);
    EXPECT_EQ(board().counters().erases, erases);
    for (const char* next : {"QV261207042", "QV261207043"}) {
        form->controls().userClick(c(C::btnGenerate));
        EXPECT_EQ(c(C::txtSerial).text(), next);
    }
    // The reads go on (an erased board's block is told as such) and the
    // record's absence is said once.
    int unreachable = 0;
    for (int read = 0; read < 2; ++read) {
        services.messages.clear();
        form->controls().userClick(c(C::btnLoadFlash));
        for (const std::string& told : services.messages)
            unreachable += told.find("reads go on without their rows") != std::string::npos;
        EXPECT_NE(services.messages.back().find("holds no system version"), std::string::npos);
    }
    EXPECT_EQ(unreachable, 1);
}

} // namespace
} // namespace plexmoor::testing
