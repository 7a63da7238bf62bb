// Start-up, the product and system-version rules and the caption.
#include "form_fixture.h"

namespace plexmoor::testing {
namespace {

using WindowTest = FormTest;

TEST_F(WindowTest, StartUpWithoutSettingsFile) {
    WindowState& st = form->state();
    EXPECT_EQ(st.lSysVer, 3);
    EXPECT_EQ(c(C::cmbSysVer).text(), "3");
    EXPECT_EQ(c(C::cmbPrd).text(), "1-Orvo");
    EXPECT_EQ(st.lFieldCount, 48);
    EXPECT_EQ(caption(), kIdleCaption);
    EXPECT_EQ(c(C::Flash).width(), 9795);
    EXPECT_EQ(c(C::Flash).height(), 8640);

    // FW DIP count 1: two firmware entries, eight groups, entry 1 shown.
    EXPECT_EQ(st.lDipBits, 1);
    EXPECT_EQ(st.lFWCount, 2);
    EXPECT_EQ(st.lGroupCount, 8);
    EXPECT_EQ(c(C::cmbGroup).items().size(), 8u);
    EXPECT_EQ(c(C::cmbGroup).text(), "1");
    EXPECT_EQ((c(C::cmbFWGrp).items()), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(st.iFWIndex, 1);
    EXPECT_EQ(c(C::txtFWVer, 0).text(), "111111");
    EXPECT_EQ(c(C::txtFile3, 1).text(), "c:\\abc.txt");
    EXPECT_EQ(st.lFocusField, -1);
    EXPECT_EQ(c(C::cmbQuick).text(), "1-997 bandplan");
    EXPECT_EQ(c(C::cmbSets).text(), "1-8OptionV1");
    EXPECT_EQ(c(C::lblMIBConf, 47).caption(), "PackConfig");
    for (int32_t v : st.lConf)
        ASSERT_EQ(v, 0);

    // What start-up hides and locks, and what stays off.
    EXPECT_FALSE(c(C::FMEDebug).visible());
    EXPECT_FALSE(c(C::FmeOrvoPar).visible());
    EXPECT_FALSE(c(C::btnPack).visible());
    EXPECT_FALSE(c(C::cmbPrd).enabled());
    EXPECT_FALSE(c(C::cmbSysVer).enabled());
    EXPECT_FALSE(c(C::Timer1).enabled());
    EXPECT_EQ(c(C::Timer1).interval(), 1000);
    EXPECT_FALSE(st.bInit);
    EXPECT_EQ(c(C::Command2).caption(), "Init");

    // Orvo frames on "Flash" and "Setting"; the two setting frames share a place.
    EXPECT_TRUE(c(C::FmeOrvoFlash).visible());
    EXPECT_TRUE(c(C::FmeFWSelect).visible());
    EXPECT_TRUE(c(C::fmeOrvoSetting).visible());
    EXPECT_FALSE(c(C::fmeQuarnLite).visible());
    EXPECT_EQ(c(C::fmeOrvoSetting).left(), c(C::fmeQuarnLite).left());
    EXPECT_EQ(c(C::fmeOrvoSetting).top(), c(C::fmeQuarnLite).top());

    // Default paths beside the program.
    EXPECT_EQ(c(C::txtPath).text(), services.folder + "/firmware.b");
    EXPECT_EQ(c(C::txtFile3, 0).text(), services.folder + "/bootcode.b");
    EXPECT_EQ(c(C::txtFile3, 2).text(), services.folder + "/orvo_rt.b");
    EXPECT_EQ(c(C::txtPath2).text(), services.folder + "/firmware.b");

    // The library was told the system version: header field 1 holds it.
    EXPECT_EQ(form->zintra().GetConf(ZINTRA_TABLE_HEADER, 1, 3), 3);
    EXPECT_TRUE(services.messages.empty());
}

// What each system version shows, hides and sets, in the order a user
// could meet them.
TEST_F(WindowTest, SystemVersionRules) {
    WindowState& st = form->state();
    const std::pair<C, int> second_row[] = {
        {C::Label4, 2}, {C::txtFile3, 2}, {C::txtStart, 2}, {C::txtStart, 1}, {C::btnChoose, 3}};

    c(C::cmbSysVer).setListIndex(1);
    EXPECT_EQ(st.lSysVer, 2);
    EXPECT_EQ(st.lFieldCount, 16);
    EXPECT_EQ(c(C::cmbPrd).text(), "1-Orvo");
    EXPECT_EQ(c(C::Label4, 1).caption(), "OT");
    for (auto [name, index] : second_row)
        EXPECT_TRUE(c(name, index).visible()) << NameOf(name);
    EXPECT_TRUE(c(C::txtStart, 1).enabled());
    EXPECT_TRUE(c(C::btnPack).enabled());
    EXPECT_FALSE(c(C::btnPack).visible());
    EXPECT_FALSE(c(C::FmeOrvoPar).visible());
    EXPECT_TRUE(c(C::FmeOrvoFlash).visible());

    // Version 1 only disables packing and keeps N.
    c(C::cmbSysVer).setListIndex(0);
    EXPECT_EQ(st.lSysVer, 1);
    EXPECT_EQ(st.lFieldCount, 16);
    EXPECT_FALSE(c(C::btnPack).enabled());
    EXPECT_EQ(c(C::Label4, 1).caption(), "OT");
    EXPECT_EQ(c(C::cmbPrd).text(), "1-Orvo");

    // Version 4: the other product, its frame, an empty "Flash" tab.
    c(C::cmbSysVer).setListIndex(3);
    EXPECT_EQ(st.lSysVer, 4);
    EXPECT_EQ(st.lFieldCount, 48);
    EXPECT_EQ(c(C::cmbPrd).text(), "2-Quarn-Lite");
    EXPECT_TRUE(c(C::fmeQuarnLite).visible());
    EXPECT_FALSE(c(C::fmeOrvoSetting).visible());
    EXPECT_FALSE(c(C::FmeOrvoFlash).visible());
    EXPECT_FALSE(c(C::FmeFWSelect).visible());
    EXPECT_EQ(c(C::Label4, 1).caption(), "FW");
    for (auto [name, index] : second_row)
        EXPECT_FALSE(c(name, index).visible()) << NameOf(name);
    EXPECT_TRUE(c(C::btnPack).enabled());
    EXPECT_FALSE(form->controls().userClick(c(C::Command3)))
        << "nothing on the Flash tab is reachable";

    // Back to version 3: Orvo frames again, the parameter frame still hidden.
    c(C::cmbSysVer).setListIndex(2);
    EXPECT_EQ(c(C::cmbPrd).text(), "1-Orvo");
    EXPECT_TRUE(c(C::fmeOrvoSetting).visible());
    EXPECT_FALSE(c(C::fmeQuarnLite).visible());
    EXPECT_TRUE(c(C::FmeOrvoFlash).visible());
    EXPECT_FALSE(c(C::FmeOrvoPar).visible());
    EXPECT_FALSE(c(C::txtStart, 1).visible());
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(WindowTest, ProductRuleAndBusyGuard) {
    c(C::cmbPrd).setListIndex(1);
    EXPECT_EQ(form->state().lSysVer, 4);
    EXPECT_EQ(c(C::cmbSysVer).text(), "4");
    c(C::cmbPrd).setListIndex(0);
    EXPECT_EQ(form->state().lSysVer, 3);

    // A product chosen while a version change is applied does nothing of its own.
    form->state().bSysVerBusy = true;
    c(C::cmbPrd).setListIndex(1);
    EXPECT_EQ(form->state().lSysVer, 3);
    EXPECT_EQ(c(C::cmbSysVer).text(), "3");
    EXPECT_TRUE(c(C::fmeOrvoSetting).visible());
}

TEST_F(WindowTest, VersionChangeKeepsTheShownFirmwareEntry) {
    c(C::txtFWVer, 0).setText("ABCDEF");
    c(C::txtFile3, 1).setText("/tmp/ot.b");
    c(C::cmbSysVer).setListIndex(3);
    EXPECT_EQ(form->state().tFW[1].strVer, "ABCDEF");
    EXPECT_EQ(form->state().tFW[1].strPath, "/tmp/ot.b");
    // The second selector moves the first.
    c(C::cmbFwGrp2).setListIndex(1);
    EXPECT_EQ(c(C::cmbFWGrp).text(), "2");
    EXPECT_EQ(c(C::txtFWVer, 0).text(), "111112");
}

TEST_F(WindowTest, ShowProductFramesTouchesOnlyTaggedControls) {
    c(C::txtSerial).setVisible(false);
    c(C::txtSerial).setTag("orvo"); // tags compare case and all
    form->ShowProductFrames(2);
    EXPECT_FALSE(c(C::fmeOrvoSetting).visible());
    EXPECT_FALSE(c(C::txtStart, 1).visible());
    EXPECT_TRUE(c(C::fmeQuarnLite).visible());
    form->ShowProductFrames(7);
    EXPECT_TRUE(c(C::fmeQuarnLite).visible());
    form->ShowProductFrames(1);
    EXPECT_TRUE(c(C::txtStart, 1).visible());
    EXPECT_FALSE(c(C::FmeOrvoPar).visible());
    EXPECT_FALSE(c(C::fmeQuarnLite).visible());
    EXPECT_FALSE(c(C::txtSerial).visible());
}

TEST_F(WindowTest, Caption) {
    form->ShowCaption("Flash Complete");
    EXPECT_EQ(caption(), "0: Msg = Flash Complete, Solvanti Plexmoor ( Ver: 1.17 )");
    form->ShowCaption("");
    EXPECT_EQ(caption(), "Solvanti Plexmoor ( Ver: 1.17 ) ");
}

TEST_F(WindowTest, UserReachesOnlyShownAndEnabledControls) {
    EXPECT_FALSE(form->controls().userClick(c(C::Command4))) << "inside the hidden debug frame";
    EXPECT_FALSE(form->controls().userSelect(c(C::cmbSysVer), 3)) << "locked for the user";
    EXPECT_EQ(form->state().lSysVer, 3);
    EXPECT_FALSE(form->controls().userSelect(c(C::cmbGroup), 99));
    EXPECT_TRUE(form->controls().userSelect(c(C::cmbGroup), 2));
    EXPECT_EQ(c(C::cmbGroup).text(), "3");
}

// Every listed handler belongs to a control of a kind that raises its event,
// so none of them is dead; a misspelt control or handler fails to build.
TEST_F(WindowTest, EveryHandlerNamesAControlThatRaisesItsEvent) {
    auto handlers = FlashForm::HandlerNames();
    ASSERT_FALSE(handlers.empty());
    for (const auto& [name, event] : handlers) {
        bool raised = false;
        for (const Control& ctl : form->controls().all())
            raised = raised || (ctl.name() == name && RaisesEvent(ctl.kind(), event));
        EXPECT_TRUE(raised) << name << "_" << EventName(event);
    }
}

TEST_F(WindowTest, AHandlerThatFailsIsReportedAndTheWindowGoesOn) {
    services.throw_once = true;
    ASSERT_TRUE(form->controls().userClick(c(C::Command3))); // "press Init first"
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[1], "Unexpected error in Command3_Click: box failed");
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(services.messages.back(), "Please press Init button first");
}

} // namespace
} // namespace plexmoor::testing
