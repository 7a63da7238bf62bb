// What the library does with the paths it is given to write and to read:
// a plain file is replaced whole, a symlink is written through, anything
// else is refused with the operation's own message and left as it was.
#include "board_fixture.h"
#include "zintra.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr int32_t kV4BlockSize = 13888;

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;
using testing_support::write_file;

class FileWrite : public testing_support::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
        file("ot", pattern(100, 1));
        file("rt", pattern(50, 2));
    }
    // The next test's open must reach its own board, not this one's handle.
    void TearDown() override {
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        BoardTest::TearDown();
    }
    std::string path(const std::string& name) { return temp(name).string(); }
    std::string file(const std::string& name, const Bytes& bytes) {
        write_file(temp(name), bytes);
        return path(name);
    }
    // A version-4 pack of two small parts into `out`.
    int pack_v4(const std::string& out, int32_t repack = 0) {
        ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0);
        ZintraActionStr(ZINTRA_STORE_PATH, 1, path("ot").c_str());
        ZintraActionStr(ZINTRA_STORE_PATH, 2, path("rt").c_str());
        return PackFlash("", "", 0, "", 0, out.c_str(), repack);
    }
    // Every name in the test's folder but the board's.
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(temp("")))
            if (e.path().filename() != "board.bin") out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

// Each target that must not be replaced: the pack and the backup refuse it
// with their write messages, leave it as it was and leave no temporary file.
TEST_F(FileWrite, TargetsThatAreNotPlainWritableFilesAreRefused) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
    };
    const Case cases[] = {
        {"fifo", [](const std::string& p) { mkfifo(p.c_str(), 0644); }},
        {"folder", [](const std::string& p) { fs::create_directory(p); }},
        {"read-only",
         [](const std::string& p) {
             write_file(p, pattern(10));
             chmod(p.c_str(), 0444);
         }},
        {"link to a fifo",
         [this](const std::string& p) {
             mkfifo(path("fifo-target").c_str(), 0644);
             fs::create_symlink(path("fifo-target"), p);
         }},
    };
    for (const Case& c : cases) {
        const std::string target = path(c.name);
        c.make(target);
        const auto before = names();
        const auto type = fs::symlink_status(target).type();
        messages.clear();
        EXPECT_EQ(pack_v4(target), 0) << c.name;
        EXPECT_EQ(ZintraBackupFlash(target.c_str(), 0, 0x1000), 0) << c.name;
        ASSERT_EQ(messages.size(), 2u) << c.name;
        EXPECT_EQ(messages[0], "File write fail, filename: " + target);
        EXPECT_EQ(messages[1], "Could not create the backup " + target + "; nothing was read");
        EXPECT_EQ(fs::symlink_status(target).type(), type) << c.name;
        EXPECT_EQ(names(), before) << c.name;
    }
    EXPECT_EQ(read_file(path("read-only")), pattern(10));
    messages.clear();
    EXPECT_EQ(pack_v4(""), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"File write fail, filename: "});
}

// A symlinked target gets the new bytes at its final target; the link stays.
TEST_F(FileWrite, ASymlinkIsWrittenThroughAndStays) {
    fs::create_directory(temp("shared"));
    write_file(temp("shared/image.b"), pattern(10));
    fs::create_symlink("shared/image.b", temp("link.b"));
    ASSERT_EQ(pack_v4(path("link.b")), 1);
    EXPECT_TRUE(fs::is_symlink(temp("link.b")));
    EXPECT_EQ(read_file(temp("shared/image.b")).size(), 0x10096u);
    EXPECT_EQ(read_file(temp("link.b_conf")).size(), static_cast<std::size_t>(kV4BlockSize));

    fs::create_symlink("shared/backup.bin", temp("backup-link"));
    board().write_raw(0, pattern(0x1000, 3));
    ASSERT_EQ(ZintraBackupFlash(path("backup-link").c_str(), 0, 0x1000), 1)
        << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(fs::is_symlink(temp("backup-link")));
    EXPECT_EQ(read_file(temp("shared/backup.bin")), pattern(0x1000, 3));
    EXPECT_TRUE(messages.empty());
}

// The image and its _conf are replaced together or not at all, and a pack
// that failed leaves the loaded image's length for the next repack.
TEST_F(FileWrite, AVersion4ImageAndItsConfAreReplacedTogether) {
    const std::string out = file("out.b", pattern(20, 4));
    fs::create_directory(out + "_conf");
    ASSERT_EQ(LoadConfFromFileToBuffer(file("loaded", pattern(200000, 9)).c_str(), 2), 1);
    EXPECT_EQ(pack_v4(out, 1), 0);
    EXPECT_EQ(read_file(out), pattern(20, 4));
    fs::remove(out + "_conf");
    ASSERT_EQ(pack_v4(out, 1), 1);
    EXPECT_EQ(read_file(out).size(), 200000u);
}

// Only the loader and the version-4 pack set the image's length: a version-2
// or version-3 pack between them leaves it.
TEST_F(FileWrite, Version2And3PacksLeaveTheImageLength) {
    ASSERT_EQ(LoadConfFromFileToBuffer(file("loaded", pattern(200000, 9)).c_str(), 2), 1);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ASSERT_EQ(PackFlash(file("boot", pattern(5)).c_str(), file("o", pattern(30)).c_str(), 0x20000,
                        file("r", pattern(30)).c_str(), 0x30000, path("v2.b").c_str(), 0),
              1);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 4, 64, 0);
    ASSERT_EQ(PackFlash("", "", 0, "", 0, path("v3.b").c_str(), 1), 1);
    EXPECT_EQ(read_file(temp("v3.b")).size(), 200000u);
}

// A FIFO, device or folder given to read is refused with the load message
// of the operation, and never opened for reading (a FIFO would hang).
TEST_F(FileWrite, FilesToReadMustBePlainFiles) {
    mkfifo(path("fifo").c_str(), 0644);
    fs::create_directory(temp("dir"));
    for (const std::string& p : {path("fifo"), path("dir"), std::string("/dev/zero")}) {
        messages.clear();
        SetupWriteParameter(0, p.c_str());
        EXPECT_EQ(ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0), 0) << p;
        EXPECT_EQ(LoadConfFromFileToBuffer(p.c_str(), 1), 0) << p;
        ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
        EXPECT_EQ(PackFlash(p.c_str(), p.c_str(), 0, p.c_str(), 0, path("o").c_str(), 0), 0);
        ASSERT_EQ(messages.size(), 3u) << p;
        EXPECT_EQ(messages[0], "File Error");
        EXPECT_EQ(messages[1],
                  "File open fail," + p + " may not exist or permission may not correct!");
        EXPECT_EQ(messages[2], "File open fail,file may not exist or permission may not "
                               "correct!\nfiles:\nBootCode - " +
                                   p + "\nOT - " + p + "\nRT - " + p);
    }
}

// A FlashSerial that cannot write the block back keeps the copy; when the
// library's folder cannot take it, the user's state folder does, and
// ZintraRecoveryCopy names the oldest copy.
TEST_F(FileWrite, RecoveryCopiesAreFoundWhereverTheyWent) {
    std::array<char, 4096> found{};
    EXPECT_EQ(ZintraRecoveryCopy(found.data(), found.size()), 0);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    board().faults().write_protected = true;
    // The library's folder is a plain file here: nothing can be created in it.
    setenv("ZINTRA_RECOVERY_DIR", file("not-a-folder", {}).c_str(), 1);
    setenv("XDG_STATE_HOME", path("state").c_str(), 1);
    EXPECT_EQ(FlashSerial(), 0);
    unsetenv("XDG_STATE_HOME");
    ASSERT_EQ(messages.size(), 1u) << messages[0];
    const std::string copy = messages[0].substr(messages[0].rfind(' ') + 1);
    EXPECT_EQ(copy.rfind(path("state/plexmoor/zintra-flash-00010000-"), 0), 0u) << copy;
    setenv("XDG_STATE_HOME", path("state").c_str(), 1);
    ASSERT_EQ(ZintraRecoveryCopy(found.data(), found.size()), 1);
    EXPECT_EQ(found.data(), copy);
    EXPECT_EQ(ZintraRecoveryCopy(found.data(), static_cast<int32_t>(copy.size())), 0);
    unsetenv("XDG_STATE_HOME");
}

} // namespace
