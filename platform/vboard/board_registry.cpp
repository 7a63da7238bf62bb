// The process's boards: attached by a test or, on first use, from the
// environment; their clock registered with the Windows-calls stand-in.
#include "board_file.h"
#include "board_model.h"
#include "virtual_board.h"
#include "wincalls.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

namespace vboard {
namespace {

constexpr uint32_t kSmallestPart = 64u << 10;
constexpr uint32_t kLargestPart = 16u << 20; // three address bytes

// Never destroyed: the Windows-calls stand-in may still call Sleep from
// other exit handlers, so the boards are only flushed at exit, not torn down.
struct Registry {
    std::mutex mutex;
    std::unique_ptr<BoardClock> clock; // outlives the boards that use it
    std::vector<std::unique_ptr<BoardModel>> boards;
    uint64_t generation = 0;
    bool environment_checked = false;
};

Registry& registry() {
    static Registry* r = [] {
        auto* created = new Registry;
        std::atexit([] {
            Registry& reg = registry();
            std::lock_guard lock(reg.mutex);
            for (auto& board : reg.boards)
                board->save();
        });
        return created;
    }();
    return *r;
}

bool valid_part(const FlashPart* part) {
    if (!part) return false;
    const uint32_t size = part->size_bytes;
    return size >= kSmallestPart && size <= kLargestPart && (size & (size - 1)) == 0;
}

std::unique_ptr<BoardMemory> memory_for(const Options& options) {
    if (!valid_part(options.part)) {
        complain("the flash part must be a power of two from 64 KiB to 16 MiB");
        return nullptr;
    }
    if (options.path.empty()) return std::make_unique<BoardMemory>(options.part->size_bytes);
    std::string error;
    auto memory = BoardMemory::open(options.path, options.part->size_bytes, error);
    if (!memory) complain(error);
    return memory;
}

bool attach_locked(Registry& reg, const std::vector<Options>& all) {
    reg.boards.clear();
    ++reg.generation;
    if (all.empty()) return false;
    std::vector<std::unique_ptr<BoardMemory>> memories;
    for (const Options& options : all) {
        // A socket that exists names the board itself; none is made here.
        std::error_code ec;
        if (!options.socket.empty() && std::filesystem::exists(options.socket, ec) &&
            valid_part(options.part)) {
            memories.push_back(nullptr);
            continue;
        }
        memories.push_back(memory_for(options));
        if (!memories.back()) return false;
    }
    reg.clock = std::make_unique<BoardClock>(all[0].virtual_time);
    for (std::size_t i = 0; i < all.size(); ++i)
        reg.boards.push_back(
            std::make_unique<BoardModel>(all[i], std::move(memories[i]), *reg.clock));
    // The board tells the Windows-calls stand-in where its clock is, instead
    // of being looked up by symbol: a host that loads the library locally
    // (as Plexmoor does) keeps the board out of the global symbol scope.
    WinAttachSleep([](void*, uint32_t ms) { return vboard_virtual_sleep(ms); }, nullptr);
    WinAttachClock([](void*, uint64_t* ns) { return vboard_virtual_clock(ns); }, nullptr);
    return true;
}

// The registry, with the environment's boards attached on first use.
Registry& checked() {
    Registry& reg = registry();
    if (!reg.environment_checked) {
        reg.environment_checked = true;
        std::vector<Options> boards;
        std::string error;
        if (!boards_from_environment(boards, error))
            complain(error + "; no virtual board attached");
        else if (!boards.empty())
            attach_locked(reg, boards);
    }
    return reg;
}

bool in_virtual_time(const Registry& reg) {
    return !reg.boards.empty() && reg.clock->is_virtual();
}

} // namespace

Board* attach(const Options& options) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true; // a board chosen by the program wins
    return attach_locked(reg, {options}) ? reg.boards[0].get() : nullptr;
}

bool attach_all(const std::vector<Options>& boards) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true;
    return attach_locked(reg, boards);
}

void detach() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true;
    reg.boards.clear();
}

std::size_t board_count() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    return checked().boards.size();
}

Board* board(std::size_t index) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    const auto& boards = checked().boards;
    return index < boards.size() ? boards[index].get() : nullptr;
}

Board* current() {
    return board(0);
}

uint64_t generation() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    return reg.boards.empty() ? 0 : reg.generation;
}

} // namespace vboard

// Both hooks only ever see boards that are already attached: the boards
// register them when they attach, and a sleep is no reason to attach one.
extern "C" int vboard_virtual_sleep(uint32_t milliseconds) {
    vboard::Registry& reg = vboard::registry();
    std::lock_guard lock(reg.mutex);
    if (!vboard::in_virtual_time(reg)) return 0;
    reg.clock->advance_ns(uint64_t{milliseconds} * 1'000'000);
    for (auto& board : reg.boards)
        board->note_sleep(milliseconds);
    return 1;
}

extern "C" int vboard_virtual_clock(uint64_t* nanoseconds) {
    vboard::Registry& reg = vboard::registry();
    std::lock_guard lock(reg.mutex);
    if (!vboard::in_virtual_time(reg) || !nanoseconds) return 0;
    *nanoseconds = reg.clock->now_ns();
    return 1;
}
