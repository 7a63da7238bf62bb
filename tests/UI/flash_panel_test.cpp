// Init/Uninit, Flash with its progress, locks and outcome, the debug write,
// and the close that waits for a run.
#include "control_table.h"
#include "form_fixture.h"
#include "texts.h"

#include <algorithm>
#include <set>

namespace plexmoor::testing {
namespace {

using testing_support::pattern;
using testing_support::write_file;

class FlashPanelTest : public FormTest {
  protected:
    // A file to program, chosen in the path box.
    std::string prepare(std::size_t size) {
        std::string path = temp("image.b").string();
        write_file(path, pattern(size, 7));
        c(C::txtPath).setText(path);
        return path;
    }

    // Captions shown between "Running ..." and the outcome.
    std::vector<std::string> progressCaptions() const {
        std::vector<std::string> out;
        for (const std::string& s : window_captions) {
            if (s.rfind("0: Msg = Flash ", 0) == 0 && s != Status("Flash Complete") &&
                s != Status("Flash have error"))
                out.push_back(s);
        }
        return out;
    }

    bool anyLockedButtonEnabled() {
        return std::any_of(kLockedButtons.begin(), kLockedButtons.end(),
                           [this](C n) { return c(n).enabled(); });
    }
};

TEST_F(FlashPanelTest, InitTwiceOpensThenCloses) {
    ASSERT_TRUE(form->controls().userClick(c(C::Command2)));
    EXPECT_TRUE(form->state().bInit);
    EXPECT_EQ(c(C::Command2).caption(), "Uninit");
    ASSERT_TRUE(form->controls().userClick(c(C::Command2)));
    EXPECT_FALSE(form->state().bInit);
    EXPECT_EQ(c(C::Command2).caption(), "init");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(FlashPanelTest, FailedOpenIsReportedThroughTheWindowsBoxes) {
    board().faults().no_device = true;
    ASSERT_TRUE(form->controls().userClick(c(C::Command2)));
    EXPECT_FALSE(form->state().bInit);
    EXPECT_EQ(c(C::Command2).caption(), "Init");
    // The library's own message reached the window's services, not stderr
    // or the fixture's capture.
    ASSERT_FALSE(services.messages.empty());
    EXPECT_EQ(services.messages.front(), "Open usb device error");
    EXPECT_TRUE(messages.empty());
}

TEST_F(FlashPanelTest, FlashBeforeInit) {
    prepare(100);
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(services.messages, (std::vector<std::string>{"Please press Init button first"}));
    EXPECT_EQ(caption(), kIdleCaption);
    EXPECT_FALSE(c(C::Timer1).enabled());
    EXPECT_EQ(board().counters().page_programs, 0u);
}

TEST_F(FlashPanelTest, MissingFile) {
    init();
    std::string path = temp("missing.b").string();
    c(C::txtPath).setText(path);
    bool timer_started = false;
    form->controls().onChange([&](const Control& ctl, Property p) {
        if (ctl.id() == C::Timer1 && p == Property::Enabled && ctl.enabled()) timer_started = true;
    });
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(services.messages, (std::vector<std::string>{path + " file doesn't exist"}));
    EXPECT_EQ(caption(), Status("Running, need a few minutes"));
    EXPECT_FALSE(timer_started);
    EXPECT_FALSE(std::any_of(kLockedButtons.begin(), kLockedButtons.end(),
                             [this](C n) { return !c(n).enabled(); }));
}

TEST_F(FlashPanelTest, FullFlashShowsProgressLocksButtonsAndCompletes) {
    std::string path = prepare(10000);
    init();
    int pumps_locked = 0, pumps_unlocked = 0;
    during_pump = [&] {
        if (!form->zintra().programming()) return; // the pump that paints "Running"
        (anyLockedButtonEnabled() ? pumps_unlocked : pumps_locked)++;
        EXPECT_FALSE(form->controls().userClick(c(C::Command3))) << "a second run cannot start";
    };
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));

    EXPECT_TRUE(services.messages.empty()) << services.messages.front();
    EXPECT_EQ(caption(), Status("Flash Complete"));
    ASSERT_FALSE(window_captions.empty());
    EXPECT_EQ(std::count(window_captions.begin(), window_captions.end(),
                         Status("Running, need a few minutes")),
              1);
    const std::set<std::string> allowed = {Status("Flash 00.0%"), Status("Flash 41.0%"),
                                           Status("Flash 81.9%")};
    std::vector<std::string> progress = progressCaptions();
    ASSERT_FALSE(progress.empty()) << "Timer1 never ticked";
    for (const std::string& s : progress)
        EXPECT_TRUE(allowed.count(s)) << s;
    // The double ticks on every pump, so each chunk shows its share once, in order.
    EXPECT_EQ(progress, (std::vector<std::string>{Status("Flash 00.0%"), Status("Flash 41.0%"),
                                                  Status("Flash 81.9%")}));

    EXPECT_GT(pumps_locked, 0);
    EXPECT_EQ(pumps_unlocked, 0);
    for (C name : kLockedButtons)
        EXPECT_TRUE(c(name).enabled()) << NameOf(name);
    EXPECT_FALSE(c(C::Timer1).enabled());
    EXPECT_EQ(form->state().lFlashLen, 10000);
    EXPECT_TRUE(form->state().bInit);
    EXPECT_EQ(board().read(0, 10000), pattern(10000, 7));
}

TEST_F(FlashPanelTest, FailedProgrammingEndsInErrorCaptionWithButtonsBack) {
    prepare(5000);
    init();
    board().faults().write_protected = true;
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_FALSE(services.messages.empty()) << "the library reports the failure itself";
    EXPECT_EQ(caption(), Status("Flash have error"));
    EXPECT_TRUE(form->state().bInit);
    EXPECT_FALSE(c(C::Timer1).enabled());
    for (C name : kLockedButtons)
        EXPECT_TRUE(c(name).enabled()) << NameOf(name);
}

TEST_F(FlashPanelTest, AddressMustBeAWholeDecimalNumber) {
    prepare(300);
    init();
    for (const char* bad : {"", "abc", "12abc", "1.5", "0x100", "2147483648", "-2147483649",
                            "99999999999999999999"}) {
        services.messages.clear();
        c(C::txtAddr).setText(bad);
        ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
        ASSERT_EQ(services.messages.size(), 1u) << bad;
        EXPECT_EQ(services.messages[0], std::string(text::kAddressNotNumber) + bad);
        EXPECT_EQ(caption(), kIdleCaption) << "nothing started for " << bad;
    }
    EXPECT_EQ(board().counters().page_programs, 0u);

    services.messages.clear();
    c(C::txtAddr).setText(" 4096 ");
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(caption(), Status("Flash Complete"));
    EXPECT_EQ(board().read(4096, 300), pattern(300, 7));
}

TEST_F(FlashPanelTest, ProgressTickOfAnEmptyFileSaysSo) {
    form->state().lFlashLen = 0;
    form->controls().raise(c(C::Timer1), Event::Timer);
    EXPECT_EQ(caption(), Status(std::string(text::kProgressEmptyFile)));
}

TEST_F(FlashPanelTest, CloseDuringFlashWaitsForTheRun) {
    prepare(10000);
    init();
    bool refused = false;
    std::string waiting;
    during_pump = [&] {
        if (!refused) {
            refused = !form->Form_QueryUnload();
            waiting = caption();
        }
    };
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_TRUE(refused);
    // The caption says at once that the close waits, and the next tick too.
    EXPECT_NE(waiting.find("closing when programming has ended"), std::string::npos) << waiting;
    auto waits = std::count_if(window_captions.begin(), window_captions.end(), [](auto& s) {
        return s.rfind("0: Msg = Flash ", 0) == 0 &&
               s.find("%, closing when programming has ended, Solvanti") != std::string::npos;
    });
    EXPECT_GT(waits, 0);
    EXPECT_EQ(services.close_requests, 1) << "the close is asked for again after the run";
    EXPECT_EQ(caption(), Status("Flash Complete"));
    EXPECT_TRUE(form->Form_QueryUnload());
    EXPECT_EQ(services.close_requests, 1);
}

TEST_F(FlashPanelTest, LibraryCallsFromInsideTheRunAreRefused) {
    prepare(6000);
    init();
    int32_t open_result = -1, progress_result = -1;
    during_pump = [&] {
        if (form->zintra().programming() && open_result == -1) {
            open_result = form->zintra().ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0);
            progress_result = form->zintra().GetFlashProgress();
        }
    };
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(open_result, 0);
    EXPECT_GE(progress_result, 0);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0], std::string(text::kLibraryBusy) + "ZintraAction");
    EXPECT_EQ(caption(), Status("Flash Complete"));
}

TEST_F(FlashPanelTest, DebugWriteProgramsThePackedFileWithoutLocks) {
    std::string path = temp("packed.b").string();
    write_file(path, pattern(2000, 3));
    c(C::txtPath2).setText(path);
    init();
    c(C::txtAddr).setText("8192");
    form->Command4_Click({});
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(caption(), kIdleCaption);
    EXPECT_FALSE(c(C::Timer1).enabled());
    EXPECT_EQ(board().read(8192, 2000), pattern(2000, 3));
}

TEST_F(FlashPanelTest, MissingExportIsNamedAndTheCallFails) {
    EXPECT_EQ(form->zintra().bind("NoSuchExport"), nullptr);
    EXPECT_EQ(services.messages,
              (std::vector<std::string>{"The library Zintra has no function NoSuchExport"}));
    EXPECT_NE(form->zintra().bind("GetFlashProgress"), nullptr);
}

} // namespace
} // namespace plexmoor::testing
