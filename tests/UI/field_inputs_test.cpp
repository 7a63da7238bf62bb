// The configuration field table, the firmware inputs, the group selection
// and the field highlight.
#include "field_table.h"
#include "form_fixture.h"

namespace plexmoor::testing {
namespace {

using FieldInputsTest = FormTest;

TEST_F(FieldInputsTest, LookupTablesAfterStartUp) {
    const WindowState& st = form->state();
    const std::vector<int32_t> positions = {0,  1,  2,  6,  10, 14, 18, 22, 23, 33, 43, 53, 63,
                                            73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85};
    EXPECT_EQ(st.lALPos, positions);
    ASSERT_EQ(st.lFieldHead.size(), 193u);
    ASSERT_EQ(st.lALActiveHead.size(), 37u);
    auto head = [](const std::vector<int32_t>& t, std::size_t k) {
        return std::vector<int32_t>(t.begin() + 4 * k, t.begin() + 4 * k + 4);
    };
    EXPECT_EQ(head(st.lFieldHead, 5), (std::vector<int32_t>{0, 10, 0, 31})); // BandPlan
    EXPECT_EQ(head(st.lFieldHead, 47), (std::vector<int32_t>{0, 255, 0, 0}));
    EXPECT_EQ(head(st.lFieldHead, 14), (std::vector<int32_t>{1, 3, 1, 2}));
    EXPECT_EQ(st.lFieldHead[192], 0);
    EXPECT_EQ(head(st.lALActiveHead, 8), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(st.lALActiveHead[36], 0);
    // Every active-line entry but the last names the object of a field.
    for (std::size_t j = 0; j + 1 < kActiveLines; ++j) {
        bool found = false;
        for (std::size_t k = 0; k < kFieldBoxes; ++k)
            found = found || head(st.lALActiveHead, j) == head(st.lFieldHead, k);
        EXPECT_TRUE(found) << j;
    }
    EXPECT_EQ(c(C::lblAL, 8).caption(), "Product Ver");
    EXPECT_EQ(c(C::txtAL, 9).text().size(), 4u);
    EXPECT_EQ(c(C::txtAL, 10).text().size(), 5u);
    EXPECT_EQ(c(C::txtAL, 2).tag(), "h");
    EXPECT_EQ(c(C::lblMIBConf, 5).caption(), "BandPlan");
}

TEST_F(FieldInputsTest, DipCountSetsEntriesAndGroups) {
    struct Case {
        int index;
        int32_t fw, groups;
    };
    for (Case k : {Case{1, 4, 4}, Case{2, 8, 2}, Case{0, 2, 8}}) {
        c(C::cmbBit).setListIndex(k.index);
        EXPECT_EQ(form->state().lFWCount, k.fw);
        EXPECT_EQ(form->state().lGroupCount, k.groups);
        EXPECT_EQ(c(C::cmbFWGrp).items().size(), static_cast<std::size_t>(k.fw));
        EXPECT_EQ(c(C::cmbGroup).items().size(), static_cast<std::size_t>(k.groups));
        EXPECT_EQ(c(C::cmbFWGrp).text(), "1");
        EXPECT_EQ(c(C::cmbGroup).text(), "1");
        EXPECT_EQ(form->state().iFWIndex, 1);
        EXPECT_EQ(form->state().iGroupIndex, 1);
    }
}

TEST_F(FieldInputsTest, FirmwareEntriesKeepTheirTexts) {
    c(C::cmbBit).setListIndex(1);
    c(C::txtFile3, 1).setText("/fw/one_260101_101010.b");
    c(C::txtFWVer, 0).setText("030001");
    c(C::cmbFWGrp).setListIndex(1);
    EXPECT_EQ(c(C::txtFWVer, 0).text(), "111112");
    c(C::txtFWVer, 1).setText("AB");
    c(C::cmbFWGrp).setListIndex(0);
    EXPECT_EQ(c(C::txtFile3, 1).text(), "/fw/one_260101_101010.b");
    EXPECT_EQ(c(C::txtFWVer, 0).text(), "030001");
    c(C::cmbFwGrp2).setListIndex(1);
    EXPECT_EQ(c(C::txtFWVer, 1).text(), "AB");
    EXPECT_EQ(form->state().tFW[1].strVer, "030001");
}

TEST(ReplaceStamp, ReplacesOnlyAStampWithSomethingAfterIt) {
    struct Case {
        const char* name;
        const char* result;
    };
    const std::string stamp = "261207_134500";
    for (Case k : {
             Case{"/fw/orvo_ot_250101_101010.b", "/fw/orvo_ot_261207_134500.b"},
             Case{"ot_250101_101010", "ot_250101_101010"}, // nothing after the stamp
             Case{"a_b_c_250101_101010.bin", "a_b_c_261207_134500.bin"},
             Case{"250101_101010x", "261207_134500x"}, Case{"x250101_10101", "x250101_10101"},
             Case{"_", "_"}, Case{"", ""}, Case{"______________", "______________"},
             Case{"1.5e+2_-12345x", "261207_134500x"}, // any two numbers qualify
         }) {
        EXPECT_EQ(FlashForm::ReplaceStamp(k.name, stamp), k.result) << k.name;
    }
    // The stamp goes in as given, whatever its length; nothing is cut.
    EXPECT_EQ(FlashForm::ReplaceStamp("f_111111_222222.b", "X"), "f_X.b");
    // Whatever the name, nothing outside it is read (checked by the
    // sanitizer builds) and a name without "_" comes back as it was.
    std::string name;
    for (int n = 0; n < 40; ++n) {
        name += (n % 7 == 3) ? '_' : static_cast<char>('0' + n % 10);
        FlashForm::ReplaceStamp(name, stamp);
        FlashForm::ReplaceStamp(name.substr(n / 2), stamp);
    }
    EXPECT_EQ(FlashForm::ReplaceStamp("plain.b", stamp), "plain.b");
}

TEST_F(FieldInputsTest, StampEntryOnEnter) {
    c(C::txtFile3, 0).setText("/b/boot_250101_101010.b");
    c(C::txtFile3, 1).setText("/b/fw.b");
    c(C::txtPath2).setText("/b/out_250101_101010_250101_101010.b");
    c(C::txtFW).setText("261207_134500");
    EXPECT_FALSE(form->controls().userKeyPress(c(C::txtFW), 13)) << "its frame stays hidden";
    form->controls().raise(c(C::txtFW), Event::KeyPress, 'a');
    EXPECT_EQ(c(C::txtFWVer, 1).text(), "222221");
    form->controls().raise(c(C::txtFW), Event::KeyPress, 13);
    EXPECT_EQ(c(C::txtFWVer, 0).text(), "111111");
    EXPECT_EQ(c(C::txtFWVer, 1).text(), "261207");
    EXPECT_EQ(c(C::txtFWVer, 2).text(), "134500");
    EXPECT_EQ(c(C::txtFile3, 0).text(), "/b/boot_261207_134500.b");
    EXPECT_EQ(c(C::txtFile3, 1).text(), "/b/fw.b");
    // The output name is stamped twice in a row; the second pass meets the
    // new stamp first, so a second stamp in the name stays.
    EXPECT_EQ(c(C::txtPath2).text(), "/b/out_261207_134500_250101_101010.b");
    c(C::txtFW).setText("12ab");
    form->controls().raise(c(C::txtFW), Event::KeyPress, 13);
    EXPECT_EQ(c(C::txtFWVer, 1).text(), "12ab");
    EXPECT_EQ(c(C::txtFWVer, 2).text(), "12ab");
}

TEST_F(FieldInputsTest, FileChoosersFillTheirBoxes) {
    const std::pair<C, int> targets[] = {{C::txtPath, kNoIndex},  {C::txtFile3, 0},
                                         {C::txtFile3, 1},        {C::txtFile3, 2},
                                         {C::txtPath2, kNoIndex}, {C::txtReSrc, kNoIndex}};
    for (int i = 0; i < 6; ++i) {
        auto [name, index] = targets[i];
        services.next_file = "/chosen/" + std::to_string(i) + ".b";
        form->controls().raise(c(C::btnChoose, i), Event::Click);
        EXPECT_EQ(c(name, index).text(), services.next_file) << i;
        std::string before = c(name, index).text();
        services.next_file.clear(); // Cancel
        form->controls().raise(c(C::btnChoose, i), Event::Click);
        EXPECT_EQ(c(name, index).text(), before);
    }
    EXPECT_EQ(services.filters, std::vector<std::string>(12, "Map File (*.b)|*.b"));
}

TEST_F(FieldInputsTest, StoreEditsStopsAtTheFirstBoxThatIsNoNumber) {
    c(C::cmbGroup).setListIndex(1);
    for (int i = 0; i < 48; ++i)
        c(C::txtMIBConf, i).setText(std::to_string(100 + i));
    c(C::txtFWVer, 0).setText("ABCDEF");
    for (const char* bad : {"x", "", "1.5", "1e3", "2147483648", "&HFF", "&O17", "1,000"}) {
        services.messages.clear();
        form->state().lConf.fill(-1);
        c(C::txtMIBConf, 4).setText(bad);
        EXPECT_FALSE(form->StoreEdits()) << bad;
        EXPECT_EQ(services.messages,
                  std::vector<std::string>{"position 5 configuration must be numeric"});
        const auto& conf = form->state().lConf;
        EXPECT_EQ(conf[48], 100);
        EXPECT_EQ(conf[51], 103);
        EXPECT_EQ(conf[52], -1) << "not stored from the bad box on";
        EXPECT_EQ(form->state().tFW[1].strVer, "111111") << "firmware boxes not stored";
    }
    c(C::txtMIBConf, 4).setText(" -7 ");
    c(C::txtMIBConf, 5).setText("255");
    EXPECT_TRUE(form->StoreEdits());
    EXPECT_EQ(form->state().lConf[52], -7);
    EXPECT_EQ(form->state().lConf[53], 255);
    EXPECT_EQ(form->state().lConf[95], 147);
    EXPECT_EQ(form->state().tFW[1].strVer, "ABCDEF");
}

TEST_F(FieldInputsTest, GroupSelectionStoresTheShownGroupAndShowsTheChosenOne) {
    for (int version : {3, 4, 2}) {
        c(C::cmbSysVer).setListIndex(version - 1);
        c(C::cmbGroup).setListIndex(0);
        c(C::txtMIBConf, 7).setText("777");
        c(C::txtMemo).setText("memo of group 1");
        c(C::cmbGroup).setListIndex(1);
        EXPECT_EQ(c(C::txtMIBConf, 7).text(), "0") << version;
        EXPECT_EQ(c(C::txtMemo).text(), version == 2 ? "memo of group 1" : "") << version;
        c(C::cmbGroup).setListIndex(0);
        EXPECT_EQ(c(C::txtMIBConf, 7).text(), "777") << version;
        EXPECT_EQ(form->state().lConf[7], 777);
        EXPECT_EQ(form->state().strMemo[0], version == 2 ? "" : "memo of group 1") << version;
        EXPECT_EQ(form->state().iGroupIndex, 1);
        form->state().lConf.fill(0);
        form->state().strMemo[0].clear();
    }
    // Under N = 16, group 2 lies at 16 ... 31.
    c(C::cmbGroup).setListIndex(1);
    c(C::txtMIBConf, 0).setText("5");
    c(C::cmbGroup).setListIndex(0);
    EXPECT_EQ(form->state().lConf[16], 5);
}

TEST_F(FieldInputsTest, GroupSelectionKeepsAStoredValueForABoxThatIsNoNumber) {
    form->state().lConf[3] = 42;
    c(C::txtMIBConf, 3).setText("99999999999");
    c(C::txtMIBConf, 4).setText("8");
    c(C::cmbGroup).setListIndex(1);
    EXPECT_EQ(services.messages,
              std::vector<std::string>{"position 4 configuration must be numeric"});
    EXPECT_EQ(form->state().lConf[3], 42);
    EXPECT_EQ(form->state().lConf[4], 8);
    // No system version known: nothing is stored or shown.
    form->state().lSysVer = 7;
    c(C::txtMIBConf, 0).setText("1");
    c(C::cmbGroup).setListIndex(0);
    EXPECT_EQ(form->state().iGroupIndex, 2);
}

TEST_F(FieldInputsTest, FocusedBoxHighlightsItsCaption) {
    auto yellow = [&] {
        std::vector<int> out;
        for (int k = 0; k < 48; ++k)
            if (c(C::lblMIBConf, k).backColor() == kYellow) out.push_back(k);
        return out;
    };
    EXPECT_EQ(yellow(), std::vector<int>{});
    ASSERT_TRUE(form->controls().userFocus(c(C::txtMIBConf, 5)));
    EXPECT_EQ(yellow(), std::vector<int>{5});
    ASSERT_TRUE(form->controls().userFocus(c(C::txtMIBConf, 40)));
    EXPECT_EQ(yellow(), std::vector<int>{40});
    EXPECT_EQ(c(C::lblMIBConf, 5).backColor(), kButtonFace);
    ASSERT_TRUE(form->controls().userFocus(c(C::txtMIBConf, 40)));
    EXPECT_EQ(yellow(), std::vector<int>{40});
    EXPECT_EQ(form->state().lFocusField, 40);
}

} // namespace
} // namespace plexmoor::testing
