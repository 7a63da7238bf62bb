// Action dispatch and the programmer's lifecycle through the exports.
#include "board_fixture.h"
#include "zintra.h"

namespace {

// Codes no action has, on both sides of the numbered ones and far from them.
constexpr int32_t kUnknownActions[] = {0, ZINTRA_SET_TABLE7_FIELD + 1, -1, 1000};

// The library's state lives for the process; each test starts closed.
class Dispatch : public testing_support::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    }
};

TEST_F(Dispatch, UnknownCodesDoNothingAndSucceed) {
    for (int32_t code : kUnknownActions)
        EXPECT_EQ(ZintraAction(code, 1, 2, 3), 1) << code;
    EXPECT_EQ(board().counters().usb_writes, 0u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(GetFlashProgress(), 0);
}

TEST_F(Dispatch, OpenRunsTheSequenceOnceAndCloseMayRepeat) {
    ASSERT_EQ(ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0), 1);
    ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    ASSERT_EQ(ZintraAction(ZINTRA_SET_HEADER_FIELD, 0, 0x123456, 0), 1);
    uint64_t writes = board().counters().usb_writes;
    EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    EXPECT_EQ(board().counters().usb_writes, writes);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 2, 3), 0x123456);

    EXPECT_EQ(ZintraAction(ZINTRA_READ_FLASH_ID, 0, 0, 0), 1);
    EXPECT_EQ(board().counters().usb_writes, writes + 1);
    EXPECT_EQ(ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0), 1);
    EXPECT_EQ(ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0), 1);
    EXPECT_TRUE(messages.empty());
    // Closed again, so the next open runs the whole sequence.
    EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    EXPECT_GT(board().counters().usb_writes, writes + 1);
}

TEST_F(Dispatch, FailedOpenStillClearsTheTablesAndCanBeRetried) {
    ASSERT_EQ(ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0), 1);
    ASSERT_EQ(ZintraAction(ZINTRA_SET_HEADER_FIELD, 0, 0x123456, 0), 1);
    struct Fault {
        bool vboard::Faults::*flag;
        const char* message;
    };
    for (Fault f : {Fault{&vboard::Faults::no_device, "Open usb device error"},
                    Fault{&vboard::Faults::open_fails, "Open usb device error"},
                    Fault{&vboard::Faults::reset_fails, "FT_ResetDevice error"},
                    Fault{&vboard::Faults::bitmode_fails, "FT_SetBitMode error"}}) {
        messages.clear();
        board().faults().*f.flag = true;
        EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 0);
        EXPECT_EQ(messages, std::vector<std::string>{f.message});
        EXPECT_EQ(captions.back(), "Zintra");
        EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 2, 3), 0);
        board().faults().*f.flag = false;
    }
    EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
}

TEST_F(Dispatch, SystemVersionResultsPassThrough) {
    EXPECT_EQ(ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 1, 0, 0), 0);
    EXPECT_EQ(ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0), 1);
    EXPECT_EQ(ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 5, 0, 0), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 0, 1), 0); // version 5 reads nothing
}

} // namespace
