// Profile sets and quick settings on the groups of the MIB tab.
#include "form_fixture.h"

namespace plexmoor::testing {
namespace {

class PresetsTest : public FormTest {
  protected:
    std::vector<int32_t> group(int s, int first, int last) {
        const WindowState& st = form->state();
        std::vector<int32_t> out;
        for (int k = first; k <= last; ++k)
            out.push_back(st.lConf[static_cast<std::size_t>((s - 1) * st.lFieldCount + k)]);
        return out;
    }
    void set(int n) {
        c(C::cmbSets).setListIndex(index_of_set(n));
        ASSERT_TRUE(form->controls().userClick(c(C::btnSets)));
    }
    int index_of_set(int n) {
        const auto& items = c(C::cmbSets).items();
        for (std::size_t i = 0; i < items.size(); ++i)
            if (std::stoi(items[i]) == n) return static_cast<int>(i);
        return -1;
    }
    void quick(int q, int s, bool all) {
        const auto& items = c(C::cmbQuick).items();
        for (std::size_t i = 0; i < items.size(); ++i)
            if (std::stoi(items[i]) == q) c(C::cmbQuick).setListIndex(static_cast<int>(i));
        if (c(C::cmbGroup).listIndex() != s - 1) c(C::cmbGroup).setListIndex(s - 1);
        c(C::chkAllPort).setValue(all ? 1 : 0);
        ASSERT_TRUE(form->controls().userClick(c(C::BtnQuick)));
    }
    std::vector<std::string> boxes(int first, int last) {
        std::vector<std::string> out;
        for (int k = first; k <= last; ++k)
            out.push_back(c(C::txtMIBConf, k).text());
        return out;
    }
};

using V = std::vector<int32_t>;

TEST_F(PresetsTest, OptionSetsGiveEachGroupItsCombination) {
    set(1);
    EXPECT_EQ(group(1, 1, 9), (V{36, 36, 10, 10, 2, 250, 250, 50000, 20000}));
    EXPECT_EQ(group(4, 1, 9), (V{36, 36, 0, 0, 2, 0, 0, 131072, 131072}));
    EXPECT_EQ(group(8, 1, 9), (V{24, 24, 0, 0, 2, 0, 0, 131072, 131072}));
    EXPECT_EQ(group(7, 1, 9), (V{24, 24, 10, 10, 2, 250, 250, 131072, 131072}));
    EXPECT_EQ(boxes(1, 3), (std::vector<std::string>{"36", "36", "10"}));

    set(5);
    for (int s = 1; s <= 8; ++s)
        EXPECT_EQ(group(s, 5, 5), V{8}) << s;
    EXPECT_EQ(c(C::chkAllPort).value(), 1);

    set(6);
    for (int s = 1; s <= 8; ++s) {
        EXPECT_EQ(group(s, 5, 5), V{(s == 3 || s == 4 || s == 7 || s == 8) ? 8 : 11}) << s;
        EXPECT_EQ(group(s, 8, 9), (V{131072, 131072})) << s;
        EXPECT_EQ(group(s, 33, 33), V{2}) << s;
    }
    EXPECT_EQ(c(C::chkAllPort).value(), 0);
    set(7);
    EXPECT_EQ(group(1, 5, 5), V{2});
    EXPECT_EQ(group(1, 33, 33), V{0});
}

TEST_F(PresetsTest, QuickSettingsWriteOneGroupOrAll) {
    c(C::cmbGroup).setListIndex(1);
    form->state().lConf.fill(-1);
    quick(9, 2, false);
    const auto& conf = form->state().lConf;
    for (int i = 0; i < 385; ++i) {
        bool written = i >= 48 && i < 96 && (i - 48 == 5 || (i - 48 >= 10 && i - 48 <= 33));
        ASSERT_EQ(conf[i] != -1, written) << i;
    }
    EXPECT_EQ(group(2, 12, 14), (V{34, 65, 698}));
    EXPECT_EQ(boxes(5, 5), std::vector<std::string>{"9"});
    EXPECT_EQ(c(C::cmbGroup).text(), "2");

    quick(102, 1, true);
    for (int s = 1; s <= 8; ++s) {
        EXPECT_EQ(group(s, 3, 4), (V{0, 0}));
        EXPECT_EQ(group(s, 6, 7), (V{0, 0}));
        EXPECT_EQ(group(s, 1, 2), (V{-1, -1}));
    }
    EXPECT_EQ(group(2, 5, 5), V{9});
}

// With 16 fields a group the stride of 48 would reach other groups: the
// presets that use it change nothing and say so once an operation.
TEST_F(PresetsTest, StrideBoundPresetsRefuseSixteenFieldGroups) {
    c(C::cmbSysVer).setListIndex(1);
    form->state().lConf.fill(5);
    for (int q : {1, 9, 101}) {
        services.messages.clear();
        quick(q, 1, true);
        EXPECT_EQ(services.messages, std::vector<std::string>{"only work on sysver>=3"}) << q;
    }
    for (int n : {7, 100, 101}) {
        services.messages.clear();
        set(n);
        EXPECT_EQ(services.messages, std::vector<std::string>{"only work on sysver>=3"}) << n;
    }
    // Set 7's option part stays within the groups' own fields.
    EXPECT_EQ(group(2, 8, 9), (V{131072, 131072}));
    EXPECT_EQ(form->state().lConf[4 * 48 + 13], 5) << "field 13 of a fifth group of 48";
}

// Version 1 keeps the 48 fields of the version before it: every preset
// writes there, and the bandplans made for version 3 say so first.
TEST_F(PresetsTest, VersionOneTakesThePresetsOfItsFortyEightFields) {
    c(C::cmbSysVer).setListIndex(0);
    ASSERT_EQ(form->state().lFieldCount, 48);
    const std::vector<std::string> told = {"only work on sysver>=3"};
    struct Case {
        int quick, set; // one of the two
        int field;      // of group 2 that the preset writes
        bool tells;
    };
    for (const Case& k : {Case{9, 0, 5, false}, Case{11, 0, 5, false}, Case{102, 0, 3, false},
                          Case{1, 0, 5, true}, Case{0, 100, 40, false}, Case{0, 101, 5, false}}) {
        SCOPED_TRACE(k.quick ? k.quick : k.set);
        form->state().lConf.fill(-5);
        services.messages.clear();
        if (k.quick) quick(k.quick, 2, true);
        if (k.set) set(k.set);
        EXPECT_NE(group(2, k.field, k.field), V{-5});
        EXPECT_EQ(services.messages, k.tells ? told : std::vector<std::string>{});
    }
}

TEST_F(PresetsTest, TestSetsAndTheHighlightedField) {
    c(C::cmbBit).setListIndex(2); // G = 2
    set(100);
    for (int i = 0; i < 96; ++i)
        ASSERT_EQ(form->state().lConf[i], i);
    EXPECT_EQ(boxes(46, 47), (std::vector<std::string>{"46", "47"}));

    set(4); // no field highlighted: only the group selection
    EXPECT_EQ(form->state().lConf[48 + 5], 53);
    form->controls().userFocus(c(C::txtMIBConf, 5));
    c(C::txtMIBConf, 5).setText("7");
    set(4);
    EXPECT_EQ(group(1, 5, 5), V{7});
    EXPECT_EQ(group(2, 5, 5), V{7});
    c(C::txtMIBConf, 5).setText("1e9");
    services.messages.clear();
    set(4);
    EXPECT_EQ(group(2, 5, 5), V{7}) << "a box that is no whole number writes nothing";
    EXPECT_EQ(services.messages.front(), "position 6 configuration must be numeric");

    // Version 2 keeps boxes 16 ... 47 on the page; a highlight there names
    // no field of a group.
    c(C::cmbSysVer).setListIndex(1);
    form->controls().userFocus(c(C::txtMIBConf, 20));
    c(C::txtMIBConf, 20).setText("9");
    auto before = form->state().lConf;
    services.messages.clear();
    set(4);
    EXPECT_EQ(form->state().lConf, before);
}

TEST_F(PresetsTest, BandplanTestSetEndToEnd) {
    set(101);
    const std::vector<int32_t> plans = {1, 2, 9, 10, 11, 6, 7, 8};
    for (int s = 1; s <= 8; ++s) {
        EXPECT_EQ(group(s, 5, 5), V{plans[s - 1]}) << s;
        EXPECT_EQ(group(s, 0, 4), (V{0, 24, 24, 0, 0}));
        EXPECT_EQ(group(s, 32, 32), V{78}) << "the bandplan overwrote 74";
        EXPECT_EQ(group(s, 34, 47), V(14, 0));
        EXPECT_EQ(group(s, 8, 9), (V{131072, 131072}));
    }
    EXPECT_EQ(group(3, 33, 33), V{2});
    EXPECT_EQ(boxes(5, 5), std::vector<std::string>{"1"});
    EXPECT_EQ(form->state().iGroupIndex, 1);
}

TEST_F(PresetsTest, AllGroupsTheSame) {
    for (int p = 0; p < 48; ++p)
        c(C::txtMIBConf, p).setText(std::to_string(p * 3));
    set(3);
    for (int s = 1; s <= 8; ++s)
        EXPECT_EQ(group(s, 46, 47), (V{138, 141}));
}

} // namespace
} // namespace plexmoor::testing
