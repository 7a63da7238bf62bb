#include "board_fixture.h"

#include "byte_pattern.h"
#include "os.h"
#include "wincalls.h"

#include <cstdlib>

namespace testing_support {

Bytes pattern(std::size_t n, uint32_t seed) {
    return byte_pattern(n, seed);
}

void BoardTest::SetUp() {
    dir_ = os::make_temp_folder("plexmoor-test-");
    ASSERT_FALSE(dir_.empty());
    // The library keeps its copies of flash blocks it rewrites beside
    // itself; a test keeps them in its own folder.
    os::set_environment("ZINTRA_RECOVERY_DIR", dir_.string().c_str());
    vboard::Options options;
    options.path = temp("board.bin").string();
    board_ = vboard::attach(options);
    ASSERT_NE(board_, nullptr);

    WinAttachMessageBox(
        [](void* self, const char* text, const char* caption, unsigned) {
            auto* t = static_cast<BoardTest*>(self);
            t->messages.emplace_back(text);
            t->captions.emplace_back(caption);
            return IDOK;
        },
        this);
    WinAttachDebugOutput(
        [](void* self, const char* text) {
            static_cast<BoardTest*>(self)->debug_lines.emplace_back(text);
        },
        this);
    WinAttachEventPump(
        [](void* self) {
            auto* t = static_cast<BoardTest*>(self);
            ++t->pumps;
            if (t->on_pump) t->on_pump();
        },
        this);
}

void BoardTest::reattach(vboard::Options options) {
    if (options.path.empty()) options.path = temp("board.bin").string();
    board_ = vboard::attach(options);
    ASSERT_NE(board_, nullptr);
}

void BoardTest::TearDown() {
    WinAttachMessageBox(nullptr, nullptr);
    WinAttachDebugOutput(nullptr, nullptr);
    WinAttachEventPump(nullptr, nullptr);
    vboard::detach();
    board_ = nullptr;
    os::set_environment("ZINTRA_RECOVERY_DIR", nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

} // namespace testing_support
