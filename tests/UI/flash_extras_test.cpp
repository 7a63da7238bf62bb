// The flash panel's additions on the virtual board: the chip that answered,
// the backup before writing and its restore, progress a person can read,
// Stop, and fast programming.
#include "control_table.h"
#include "form_fixture.h"

#include <algorithm>
#include <filesystem>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;
using testing_support::write_file;

const std::string kNoChip =
    "No flash chip answered: check the cable, the board's power and the chip select";

class FlashExtrasTest : public FormTest {
  protected:
    std::string prepare(std::size_t size, uint32_t seed = 7) {
        std::string path = temp("image.b").string();
        write_file(path, pattern(size, seed));
        c(C::txtPath).setText(path);
        // These runs back up first unless a test says otherwise.
        c(C::chkBackup).setValue(1);
        return path;
    }
    std::vector<fs::path> backups() {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(services.folder))
            if (e.path().filename().string().rfind("backup-", 0) == 0) out.push_back(e.path());
        return out;
    }
    void part(const vboard::FlashPart& p, const vboard::Faults& faults = {}) {
        vboard::Options options;
        options.part = &p;
        options.faults = faults;
        reattach(options);
    }
};

TEST_F(FlashExtrasTest, TheChipThatAnsweredIsShown) {
    init();
    EXPECT_EQ(c(C::lblChip).caption(), "C2 20 15, MX25L16-class, 2 MiB");
    ASSERT_TRUE(form->controls().userClick(c(C::Command2)));
    EXPECT_EQ(c(C::lblChip).caption(), "");
    part(vboard::other_part());
    init();
    EXPECT_EQ(c(C::lblChip).caption(), "EF 40 15, W25Q16-class, 2 MiB");
}

// One bridge: nothing to choose. Two: the list beside Init, and Init opens
// the one chosen.
TEST_F(FlashExtrasTest, InitOpensTheBridgeChosenBesideIt) {
    EXPECT_FALSE(c(C::cmbBridge).visible());
    std::vector<vboard::Options> two(2);
    for (std::size_t i = 0; i < two.size(); ++i) {
        two[i].path = temp("bridge" + std::to_string(i)).string();
        two[i].serial = "VB000" + std::to_string(i + 1);
    }
    two[1].part = &vboard::other_part();
    ASSERT_TRUE(vboard::attach_all(two));
    StartForm();
    EXPECT_TRUE(c(C::cmbBridge).visible());
    EXPECT_EQ(c(C::cmbBridge).items(),
              (std::vector<std::string>{"VB0001 Virtual FT2232H A", "VB0002 Virtual FT2232H A"}));
    ASSERT_TRUE(form->controls().userSelect(c(C::cmbBridge), 1));
    init();
    EXPECT_EQ(c(C::lblChip).caption(), "EF 40 15, W25Q16-class, 2 MiB");
}

// No bridge and a bridge with no chip behind it are told apart, and with no
// chip nothing is erased blind.
TEST_F(FlashExtrasTest, NoChipIsToldApartFromNoBridge) {
    vboard::Faults none;
    none.no_device = true;
    part(vboard::default_part(), none);
    ASSERT_TRUE(form->controls().userClick(c(C::Command2)));
    EXPECT_FALSE(form->state().bInit);
    EXPECT_EQ(services.messages.front(), "Open usb device error");
    EXPECT_EQ(c(C::lblChip).caption(), "");

    vboard::Faults nochip;
    nochip.no_chip = true;
    part(vboard::default_part(), nochip);
    prepare(5000);
    init();
    EXPECT_EQ(c(C::lblChip).caption(), kNoChip);
    for (C button : {C::Command3, C::btnSerial, C::btnLoadFlash, C::btnRestore}) {
        services.messages.clear();
        ASSERT_TRUE(form->controls().userClick(c(button)));
        EXPECT_EQ(services.messages, std::vector<std::string>{kNoChip}) << NameOf(button);
    }
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(board().counters().page_programs, 0u);
}

// Backup, Flash, restore: the whole chip as it was, also the bytes of the
// last erased block behind the file's end.
TEST_F(FlashExtrasTest, BackupFlashAndRestoreLeaveTheChipAsItWas) {
    const Bytes before = pattern(2u << 20, 3);
    board().write_raw(0, before);
    prepare(0x12345);
    init();
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(caption(), Status("Flash Complete"));
    ASSERT_EQ(backups().size(), 1u);
    const fs::path backup = backups()[0];
    EXPECT_NE(backup.filename().string().find("-C22015-"), std::string::npos);
    EXPECT_EQ(backup.filename().string().substr(backup.filename().string().size() - 22),
              "-00000000-0001FFFF.bin");
    EXPECT_EQ(read_file(backup), Bytes(before.begin(), before.begin() + 0x20000));
    EXPECT_NE(board().read(0, 0x20000), Bytes(before.begin(), before.begin() + 0x20000));

    services.next_file = backup.string();
    ASSERT_TRUE(form->controls().userClick(c(C::btnRestore)));
    EXPECT_EQ(caption(), Status("Flash Complete"));
    EXPECT_EQ(board().read(0, 2u << 20), before);
    EXPECT_EQ(backups().size(), 1u) << "a restore backs up nothing";

    // A file whose name or size is not a backup's is refused.
    write_file(temp("backup-x-00000000-000000FF.bin"), Bytes(100));
    services.next_file = temp("backup-x-00000000-000000FF.bin").string();
    services.messages.clear();
    form->controls().userClick(c(C::btnRestore));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].rfind("Not a backup", 0), 0u);
}

// Restore opens where the backups are and asks first, naming the file, the
// chip and the range; its progress counts from the backup's start.
TEST_F(FlashExtrasTest, RestoreAsksAndCountsFromItsStart) {
    const Bytes saved = pattern(0x10000, 9);
    const std::string name = "backup-C22015-20261207-120000-00010000-0001FFFF.bin";
    write_file(services.folder + "/" + name, saved);
    init();
    services.next_file = services.folder + "/" + name;
    services.messages.clear();
    services.answer = Answer::No;
    ASSERT_TRUE(form->controls().userClick(c(C::btnRestore)));
    EXPECT_EQ(services.dialog_folder, services.folder);
    EXPECT_EQ(services.messages,
              std::vector<std::string>{
                  "Write the backup " + name +
                  " to the chip C2 20 15, MX25L16-class, 2 MiB at 00010000-0001FFFF? What "
                  "the chip holds there is replaced."});
    EXPECT_EQ(board().counters().page_programs, 0u);

    services.answer = Answer::Yes;
    window_captions.clear();
    ASSERT_TRUE(form->controls().userClick(c(C::btnRestore)));
    EXPECT_EQ(caption(), Status("Flash Complete"));
    EXPECT_EQ(board().read(0x10000, 0x10000), saved);
    for (const std::string& shown : window_captions) {
        const auto at = shown.find("Msg = Flash ");
        if (at == std::string::npos || shown.find('%') == std::string::npos) continue;
        EXPECT_LE(std::stod(shown.substr(at + 12)), 100.0) << shown;
    }
}

TEST_F(FlashExtrasTest, AFailedBackupStopsTheRunBeforeAnyErase) {
    prepare(9000);
    init();
    // The backup's two reads differ: a reply that came back wrong once.
    board().faults().flipped_reads = 1;
    board().faults().flip_end = 0x10000;
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(caption(), Status("Flash have error"));
    EXPECT_FALSE(services.messages.empty());
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(board().counters().page_programs, 0u);
    EXPECT_TRUE(c(C::Command3).enabled());
}

// Stop at 30 %: the run ends at a page, says where, and the blocks after it
// are untouched; the bar and the time left never went backwards.
TEST_F(FlashExtrasTest, StopAtThirtyPercentLeavesTheRestAsItWas) {
    const Bytes before = pattern(2u << 20, 4);
    board().write_raw(0, before);
    prepare(0x60000);
    c(C::chkBackup).setValue(0);
    init();
    std::vector<int> bar;
    bool stopped = false;
    during_pump = [&] {
        bar.push_back(c(C::pgbFlash).value());
        if (!stopped && bar.back() >= 300) stopped = form->controls().userClick(c(C::btnStop));
    };
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    ASSERT_TRUE(stopped);
    EXPECT_EQ(caption(), Status("Flash have error"));
    ASSERT_FALSE(services.messages.empty());
    EXPECT_EQ(services.messages.back().rfind("Stopped at ", 0), 0u) << services.messages.back();
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_FALSE(c(C::btnStop).enabled());
    // The panel says what happened instead of its last estimate.
    const std::string said = c(C::lblProgress).caption();
    EXPECT_EQ(said.rfind("Stopped at 000", 0), 0u) << said;
    EXPECT_NE(said.find(" after "), std::string::npos) << said;
    EXPECT_EQ(said.back(), 's') << said;
    // Every block after the one the run stopped in is as it was.
    const uint32_t at = std::stoul(services.messages.back().substr(11, 8), nullptr, 16);
    EXPECT_GE(at, 0x60000u * 3 / 10);
    const uint32_t next = (at + 0xFFFF) / 0x10000 * 0x10000;
    EXPECT_EQ(board().read(next, (2u << 20) - next), Bytes(before.begin() + next, before.end()));
}

// The backup keeps the window alive: it pumps, tells its own share, and
// Stop ends it (and the run) before anything is erased.
TEST_F(FlashExtrasTest, TheBackupShowsItsProgressAndStopEndsIt) {
    const Bytes before = pattern(2u << 20, 5);
    board().write_raw(0, before);
    prepare(0x100000);
    init();
    std::vector<int> shares;
    during_pump = [&] {
        const std::string said = c(C::lblProgress).caption();
        if (said.rfind("Backing up ", 0) != 0) return;
        shares.push_back(std::stoi(said.substr(11)));
        EXPECT_EQ(said, "Backing up " + std::to_string(shares.back()) + " %");
        if (shares.back() >= 40 && c(C::btnStop).enabled())
            form->controls().userClick(c(C::btnStop));
    };
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    ASSERT_FALSE(shares.empty());
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_LT(shares.front(), 40);
    EXPECT_GE(shares.back(), 40);
    EXPECT_EQ(caption(), Status("Flash have error"));
    EXPECT_EQ(c(C::lblProgress).caption().rfind("Stopped during the backup, nothing written", 0),
              0u);
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(board().read(0, 2u << 20), before);
    EXPECT_TRUE(c(C::Command3).enabled());
}

TEST_F(FlashExtrasTest, ProgressEndsAtTheWholeWithTimeAndRate) {
    prepare(0x20000);
    init();
    std::vector<int> bar;
    std::vector<std::string> left;
    // The run's own progress, not the backup's before it.
    during_pump = [&] {
        if (c(C::lblProgress).caption().rfind("Backing up", 0) == 0) return;
        bar.push_back(c(C::pgbFlash).value());
        left.push_back(c(C::lblProgress).caption());
    };
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_GT(bar.back(), 800);
    EXPECT_NE(left.back().find(" left"), std::string::npos) << left.back();
    EXPECT_EQ(c(C::pgbFlash).value(), 1000);
    EXPECT_EQ(c(C::lblProgress).caption().rfind("took ", 0), 0u);
}

TEST_F(FlashExtrasTest, FastProgrammingWritesTheSameBytesSooner) {
    const std::string path = prepare(0x14000);
    init();
    c(C::chkBackup).setValue(0);
    const uint64_t start = board().now_us();
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    const uint64_t exact = board().now_us() - start;
    board().fill(0xFF);
    c(C::chkFast).setValue(1);
    const uint64_t again = board().now_us();
    ASSERT_TRUE(form->controls().userClick(c(C::Command3)));
    EXPECT_EQ(caption(), Status("Flash Complete"));
    EXPECT_LT((board().now_us() - again) * 5, exact);
    EXPECT_EQ(board().read(0, 0x14000), read_file(path));
}

} // namespace
} // namespace plexmoor::testing
