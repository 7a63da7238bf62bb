// The process-wide board: attached by a test or, on first use, from the
// environment; its clock registered with the Windows-calls stand-in.
#include "board_file.h"
#include "board_model.h"
#include "virtual_board.h"
#include "wincalls.h"

#include <cstdlib>
#include <memory>
#include <mutex>

namespace vboard {
namespace {

constexpr uint32_t kSmallestPart = 64u << 10;
constexpr uint32_t kLargestPart = 16u << 20; // three address bytes

// Never destroyed: the Windows-calls stand-in may still call Sleep from
// other exit handlers, so the board is only flushed at exit, not torn down.
struct Registry {
    std::mutex mutex;
    std::unique_ptr<BoardModel> board;
    uint64_t generation = 0;
    bool environment_checked = false;
};

Registry& registry() {
    static Registry* r = [] {
        auto* created = new Registry;
        std::atexit([] {
            Registry& reg = registry();
            std::lock_guard lock(reg.mutex);
            if (reg.board) reg.board->save();
        });
        return created;
    }();
    return *r;
}

bool valid_part(const FlashPart& part) {
    const uint32_t size = part.size_bytes;
    return size >= kSmallestPart && size <= kLargestPart && (size & (size - 1)) == 0;
}

BoardModel* attach_locked(Registry& reg, const Options& options) {
    reg.board.reset();
    ++reg.generation;
    if (!options.part || !valid_part(*options.part)) {
        complain("the flash part must be a power of two from 64 KiB to 16 MiB");
        return nullptr;
    }
    auto memory = std::make_unique<BoardMemory>(options.part->size_bytes);
    if (!options.path.empty()) {
        std::string error;
        memory = BoardMemory::open(options.path, options.part->size_bytes, error);
        if (!memory) {
            complain(error);
            return nullptr;
        }
    }
    reg.board = std::make_unique<BoardModel>(options, std::move(memory));
    // The board tells the Windows-calls stand-in where its clock is, instead
    // of being looked up by symbol: a host that loads the library locally
    // (as Plexmoor does) keeps the board out of the global symbol scope.
    WinAttachSleep([](void*, uint32_t ms) { return vboard_virtual_sleep(ms); }, nullptr);
    WinAttachClock([](void*, uint64_t* ns) { return vboard_virtual_clock(ns); }, nullptr);
    return reg.board.get();
}

} // namespace

Board* attach(const Options& options) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true; // a board chosen by the program wins
    return attach_locked(reg, options);
}

void detach() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true;
    reg.board.reset();
}

Board* current() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.environment_checked) {
        reg.environment_checked = true;
        Options options;
        bool named = false;
        std::string error;
        if (!options_from_environment(options, named, error)) {
            complain(error + "; no virtual board attached");
        } else if (named) {
            attach_locked(reg, options);
        }
    }
    return reg.board.get();
}

uint64_t generation() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    return reg.board ? reg.generation : 0;
}

} // namespace vboard

// Both hooks only ever see a board that is already attached: the board
// registers them when it attaches, and a sleep is no reason to attach one.
extern "C" int vboard_virtual_sleep(uint32_t milliseconds) {
    vboard::Registry& reg = vboard::registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.board || !reg.board->virtual_time()) return 0;
    reg.board->sleep_ms(milliseconds);
    return 1;
}

extern "C" int vboard_virtual_clock(uint64_t* nanoseconds) {
    vboard::Registry& reg = vboard::registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.board || !reg.board->virtual_time() || !nanoseconds) return 0;
    *nanoseconds = reg.board->now_ns();
    return 1;
}
