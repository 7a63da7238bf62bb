// What the Qt and the Win32 bindings share: echoes of the model ignored,
// the focus parked while a control is disabled, the dialogs' filters.
#include "binding_support.h"

#include <gtest/gtest.h>

using namespace plexmoor;

TEST(WidgetSync, TextFromTheWidgetReachesTheModelExceptAnEchoOfAPush) {
    ControlSet set;
    Control& box = set.add(C::txtSerial, kNoIndex, Kind::TextBox);
    WidgetSync sync;
    {
        WidgetSync::Push push(sync);
        { WidgetSync::Push nested(sync); }
        sync.widgetText(box, "echo");
        EXPECT_TRUE(sync.pushing());
    }
    EXPECT_EQ(box.text(), "");
    sync.widgetText(box, "typed");
    EXPECT_EQ(box.text(), "typed");
}

TEST(WidgetSync, FocusGoesBackOnlyToTheParkedControlAndOnlyWhenNothingTookIt) {
    ControlSet set;
    Control& a = set.add(C::Command2, kNoIndex, Kind::Button);
    Control& b = set.add(C::Command3, kNoIndex, Kind::Button);
    WidgetSync sync;
    EXPECT_FALSE(sync.parkFocus(b, false));
    EXPECT_TRUE(sync.parkFocus(a, true));
    EXPECT_FALSE(sync.unparkFocus(b, true));
    EXPECT_TRUE(sync.unparkFocus(a, true));
    EXPECT_FALSE(sync.unparkFocus(a, true)); // once only
    EXPECT_TRUE(sync.parkFocus(a, true));
    EXPECT_FALSE(sync.unparkFocus(a, false)); // the user moved on
    EXPECT_FALSE(sync.unparkFocus(a, true));
}

TEST(FileFilterEntries, PairsDescriptionsWithPatterns) {
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(FileFilterEntries("Map File (*.b)|*.b"), (Entries{{"Map File (*.b)", "*.b"}}));
    EXPECT_EQ(FileFilterEntries("Config|*.cfg|All|*.*"),
              (Entries{{"Config (*.cfg)", "*.cfg"}, {"All (*.*)", "*.*"}}));
    EXPECT_EQ(FileFilterEntries("Lone"), (Entries{{"Lone", ""}}));
}

TEST(TwipsToPixels, RoundsAtTheScreensResolution) {
    EXPECT_EQ(TwipsToPixels(1440, 96), 96);
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(7, 96), 0);
    EXPECT_EQ(TwipsToPixels(1440, 120), 120);
}
