#include "fault_matrix.h"

#include "byte_files.h"
#include "byte_pattern.h"
#include "os.h"
#include "stale_temporaries.h"
#include "virtual_board.h"
#include "wincalls.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <sstream>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fault_matrix {
namespace {

constexpr uint8_t kSectorErase = 0x20, kBlockErase32 = 0x52, kBlockErase64 = 0xD8;
constexpr uint8_t kReadStatus = 0x05, kRead = 0x03, kPageProgram = 0x02;

std::vector<std::string>* messages_now = nullptr;

bool is_erase(uint8_t opcode) {
    return opcode == kSectorErase || opcode == kBlockErase32 || opcode == kBlockErase64;
}

std::vector<std::size_t> indices(const std::vector<vboard::SeenCommand>& trace,
                                 bool (*match)(uint8_t)) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < trace.size(); ++i)
        if (match(trace[i].opcode)) out.push_back(i);
    return out;
}

std::optional<std::size_t> first_after(const std::vector<vboard::SeenCommand>& trace,
                                       std::size_t from, uint8_t opcode) {
    for (std::size_t i = from + 1; i < trace.size(); ++i)
        if (trace[i].opcode == opcode) return i;
    return std::nullopt;
}

// The command of a run without faults that the fault hits, or nothing
// where the run has no such place.
std::optional<std::size_t> target(const std::vector<vboard::SeenCommand>& trace, Place place,
                                  bool writes) {
    if (trace.empty()) return std::nullopt;
    switch (place) {
    case Place::kWholeRun:
    case Place::kSetUp:
        return 0;
    case Place::kErase: {
        auto erases = indices(trace, is_erase);
        if (erases.empty()) return std::nullopt;
        if (writes) return erases[std::min<std::size_t>(1, erases.size() - 1)];
        return first_after(trace, erases[0], kReadStatus);
    }
    case Place::kMidRun:
    case Place::kWriteBack: {
        auto programs = indices(trace, [](uint8_t op) { return op == kPageProgram; });
        if (!programs.empty()) {
            std::size_t middle = programs[programs.size() / 2];
            return writes ? middle : first_after(trace, middle, kRead);
        }
        if (place == Place::kWriteBack) return std::nullopt;
        auto reads = indices(trace, [](uint8_t op) { return op == kRead; });
        if (reads.empty()) return std::nullopt;
        return reads[reads.size() / 2];
    }
    }
    return std::nullopt;
}

// A board without a file holding the pattern, or the board in `file` as
// it is; in virtual time either way.
vboard::Board& fresh_board(const std::filesystem::path& file) {
    vboard::Options options;
    options.path = file.string();
    vboard::Board* board = vboard::attach(options);
    if (file.empty()) board->write_raw(0, board_pattern());
    return *board;
}

struct Run {
    Outcome outcome;
    std::vector<vboard::SeenCommand> trace;
};

Bytes flash_and_beside(vboard::Board& board, Operation& op, const std::filesystem::path& dir) {
    Bytes state = board.read(0, kFlashSize);
    Bytes beside = op.beside_flash(dir);
    state.insert(state.end(), beside.begin(), beside.end());
    return state;
}

// One run of the operation on a fresh board; `arm` sets the fault, and is
// told each command of the run as it happens.
template <typename Arm>
Run run_once(Operation& op, const std::filesystem::path& dir, Arm&& arm,
             const std::filesystem::path& file = {}) {
    Run r;
    vboard::Board& board = fresh_board(file);
    messages_now = &r.outcome.messages;
    WinAttachMessageBox(
        [](void*, const char* text, const char*, unsigned) {
            shown(text);
            return IDOK;
        },
        nullptr);
    arm(board, std::optional<std::size_t>{});
    op.open(dir);
    r.outcome.before = flash_and_beside(board, op, dir);
    board.observe_commands([&](const vboard::SeenCommand& c) {
        r.trace.push_back(c);
        arm(board, r.trace.size());
    });
    r.outcome.result = op.run();
    board.observe_commands({});
    r.outcome.after = flash_and_beside(board, op, dir);
    op.close();
    WinAttachMessageBox(nullptr, nullptr);
    messages_now = nullptr;
    vboard::detach();
    return r;
}

bool differs_outside(const Outcome& o, const std::vector<Range>& loose) {
    if (o.after.size() != o.before.size()) return true;
    for (std::size_t a = 0; a < o.after.size(); ++a) {
        if (o.after[a] == o.before[a]) continue;
        bool inside = a < kFlashSize && std::any_of(loose.begin(), loose.end(), [&](Range r) {
                          return r.begin <= a && a < r.end;
                      });
        if (!inside) return true;
    }
    return false;
}

Verdict judge(const Operation& op, const Outcome& o) {
    if (o.result == 1) return o.after == o.intended ? Verdict::kDone : Verdict::kWrong;
    if (o.after == o.before) return Verdict::kAsItWas;
    return op.told(o) ? Verdict::kTold : Verdict::kLost;
}

} // namespace

const std::vector<Fault>& faults() {
    static const std::vector<Fault> all = {
        {"no device", "nodevice", Place::kWholeRun},
        {"open fails", "open", Place::kWholeRun},
        {"reset fails", "reset", Place::kWholeRun},
        {"bit mode fails", "bitmode", Place::kWholeRun},
        {"write fails at set-up", "write", Place::kSetUp},
        {"write fails at the erase", "write", Place::kErase},
        {"write fails mid-run", "write", Place::kMidRun},
        {"read fails at set-up", "read", Place::kSetUp},
        {"read fails at the erase", "read", Place::kErase},
        {"read fails mid-run", "read", Place::kMidRun},
        {"busy bit stuck", "busy", Place::kWholeRun},
        {"one flipped read at set-up", "flip=1", Place::kSetUp},
        {"one flipped read mid-run", "flip=1", Place::kMidRun},
        {"30 flipped reads in the write-back", "flip=30", Place::kWriteBack},
        {"write-protected", "wp", Place::kWholeRun},
        {"no chip behind the bridge", "nochip", Place::kWholeRun},
    };
    return all;
}

bool Operation::told(const Outcome& o) const {
    return !o.messages.empty() && !differs_outside(o, loose());
}

const char* describe(Verdict v) {
    switch (v) {
    case Verdict::kDone:
        return "done";
    case Verdict::kAsItWas:
        return "as it was";
    case Verdict::kTold:
        return "told";
    case Verdict::kWrong:
        return "WRONG";
    case Verdict::kLost:
        return "LOST";
    case Verdict::kNotApplicable:
        return "-";
    }
    return "?";
}

// The operations' columns, in the order the table shows them; a cell is d
// done, a as it was, t told, - a place the operation does not have.
constexpr const char* kColumns[] = {"program flash", "load from flash",      "FlashSerial",
                                    "window Flash",  "window Flash Setting", "program flash, fast"};
constexpr const char* kExpected[] = {
    "aaaaaa", // no device
    "aaaaaa", // open fails
    "aaaaaa", // reset fails
    "aaaaaa", // bit mode fails
    "daaaad", // write fails at set-up
    "d-dddd", // write fails at the erase
    "dadddd", // write fails mid-run
    "daaaad", // read fails at set-up
    "d-dddd", // read fails at the erase
    "dadddd", // read fails mid-run
    "aaaaaa", // busy bit stuck
    "daaaad", // one flipped read at set-up
    "dadddd", // one flipped read mid-run
    "t-tttt", // 30 flipped reads in the write-back
    "adtata", // write-protected
    "aaaaaa", // no chip behind the bridge
};

Bytes SerialBlockWrite::beside_flash(const std::filesystem::path& dir) {
    Bytes copies;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().rfind("zintra-flash-", 0) == 0 &&
            entry.path().extension() == ".bin") {
            Bytes b = testing_support::read_file(entry.path());
            copies.insert(copies.end(), b.begin(), b.end());
        }
    return copies;
}
// The last box must name a range that holds every byte that is not as
// a good run leaves it, and a copy of the block as it was.
bool SerialBlockWrite::told(const Outcome& o) const {
    if (o.messages.empty()) return false;
    const std::string& last = o.messages.back();
    unsigned first = 0, end = 0;
    std::size_t at = last.find(" from ");
    std::size_t saved = last.find("saved in ");
    if (at == std::string::npos || saved == std::string::npos ||
        std::sscanf(last.c_str() + at, " from %8x to %8x", &first, &end) != 2)
        return false;
    for (uint32_t a = 0; a < kFlashSize; ++a)
        if (o.after[a] != o.intended[a] && (a < first || a > end)) return false;
    Bytes copy = testing_support::read_file(last.substr(saved + 9));
    return copy == Bytes(o.before.begin() + kBlock, o.before.begin() + kBlock + 0x10000);
}

Verdict expected(std::size_t fault, const std::string& operation) {
    if (fault >= std::size(kExpected)) return Verdict::kWrong;
    for (std::size_t c = 0; c < std::size(kColumns); ++c) {
        if (operation != kColumns[c]) continue;
        switch (kExpected[fault][c]) {
        case 'd':
            return Verdict::kDone;
        case 'a':
            return Verdict::kAsItWas;
        case 't':
            return Verdict::kTold;
        default:
            return Verdict::kNotApplicable;
        }
    }
    return Verdict::kWrong;
}

std::string cell_name(std::size_t fault, const std::string& operation) {
    std::string name = faults()[fault].name + (operation.empty() ? "" : " " + operation);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

CellFolder::CellFolder() {
    path_ = os::make_temp_folder("fault-cell-");
    if (path_.empty()) std::abort();
}

CellFolder::~CellFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

Range Programming::reach() const {
    return kProgrammedBlock;
}

std::vector<Range> Programming::loose() const {
    return {kProgrammedBlock};
}

Bytes program_file() {
    return testing_support::byte_pattern(kProgramFileSize, 7);
}

Bytes board_pattern() {
    return testing_support::byte_pattern(kFlashSize, 2024);
}

void shown(const std::string& text) {
    if (messages_now) messages_now->push_back(text);
}

Cell run(Operation& op, const Fault& fault, const std::filesystem::path& dir) {
    os::set_environment("ZINTRA_RECOVERY_DIR", dir.string().c_str());
    Cell cell;
    Run good = run_once(op, dir, [](vboard::Board&, std::optional<std::size_t>) {});
    if (good.outcome.result != 1) { // a run without faults must succeed
        cell.verdict = Verdict::kWrong;
        cell.outcome = std::move(good.outcome);
        return cell;
    }

    const std::string& items = fault.items;
    const bool writes = items == "write";
    std::optional<std::size_t> at = target(good.trace, fault.place, writes);
    if (!at) return cell;
    const vboard::SeenCommand hit = good.trace[*at];
    const Range reach = op.reach();
    const std::size_t k = *at;
    auto arm = [&](vboard::Board& board, std::optional<std::size_t> seen) {
        vboard::Faults& f = board.faults();
        if (items == "write" || items == "read") {
            if (seen) return;
            (writes ? f.write_fails_on_call : f.read_fails_on_call) =
                static_cast<uint32_t>(writes ? hit.usb_write : hit.usb_read);
        } else if (items.rfind("flip=", 0) == 0) {
            // Armed just before the command hit, so its read is the first flipped.
            if (seen ? *seen != k : k != 0) return;
            f.flipped_reads = static_cast<uint32_t>(board.counters().flipped_reads) +
                              static_cast<uint32_t>(std::stoul(items.substr(5)));
            f.flip_begin = reach.begin;
            f.flip_end = reach.end;
        } else if (!seen) {
            std::string error;
            vboard::parse_faults(items, f, error);
        }
    };
    Run faulted = run_once(op, dir, arm);
    cell.outcome = std::move(faulted.outcome);
    cell.outcome.intended = std::move(good.outcome.after);
    cell.verdict = judge(op, cell.outcome);
    return cell;
}

std::string table(const std::vector<Operation*>& ops, const std::filesystem::path& dir) {
    std::ostringstream out;
    out << "| fault |";
    for (Operation* op : ops)
        out << ' ' << op->name() << " |";
    out << "\n|---|";
    for (std::size_t i = 0; i < ops.size(); ++i)
        out << "---|";
    out << '\n';
    int n = 0;
    for (const Fault& fault : faults()) {
        out << "| " << fault.name << " |";
        for (Operation* op : ops) {
            std::filesystem::path cell_dir = dir / ("cell" + std::to_string(n++));
            std::filesystem::create_directories(cell_dir);
            out << ' ' << describe(run(*op, fault, cell_dir).verdict) << " |";
        }
        out << '\n';
    }
    return out.str();
}

} // namespace fault_matrix

namespace fault_matrix {
namespace {

constexpr auto kCrashDeadline = std::chrono::seconds(60);
constexpr auto kCrashPoll = std::chrono::microseconds(200);
constexpr uint32_t kPage = 256;

Bytes slice(const Bytes& bytes, Range r) {
    return {bytes.begin() + r.begin, bytes.begin() + r.end};
}

bool all_erased(const Bytes& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

// Whether the moment has come, by the board file and the cell's folder.
bool moment_reached(Moment moment, Operation& op, const std::filesystem::path& file,
                    const std::filesystem::path& dir, const Bytes& intended) {
    const Range reach = op.reach();
    switch (moment) {
    case Moment::kMidProgram: {
        const Bytes now = testing_support::read_file(file);
        const Range first{reach.begin, reach.begin + kPage};
        return now.size() == kFlashSize && slice(now, first) == slice(intended, first) &&
               slice(now, first) != slice(board_pattern(), first);
    }
    case Moment::kAfterErase: {
        const Bytes now = testing_support::read_file(file);
        return now.size() == kFlashSize && all_erased(slice(now, reach));
    }
    case Moment::kMidBackup:
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().filename().string().rfind(std::string(kBackupName) + ".", 0) == 0)
                return true;
        return false;
    }
    return false;
}

// Runs the operation in a child process in real time on the board file
// and kills it at the moment; false when the run ended before.
bool run_and_kill(Operation& op, Moment moment, const std::filesystem::path& file,
                  const std::filesystem::path& dir, const Bytes& intended) {
    const pid_t child = fork();
    if (child == 0) {
        vboard::Options options;
        options.path = file.string();
        options.virtual_time = false;
        // The kill waits for a moment of the board file, not of the clock: a
        // short latency timer keeps the exact mode's short reads short.
        options.latency_ms = 1;
        if (!vboard::attach(options)) _exit(2);
        op.open(dir);
        op.run();
        _exit(0);
    }
    if (child < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + kCrashDeadline;
    bool reached = false;
    int status = 0;
    while (!reached && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) return false;
        reached = moment_reached(moment, op, file, dir, intended);
        if (!reached) std::this_thread::sleep_for(kCrashPoll);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return reached;
}

// What the board file holds after the crash, in the table's words.
std::string describe_board(Operation& op, const Bytes& after, const Bytes& intended,
                           const std::filesystem::path& dir) {
    const Bytes before = board_pattern();
    if (after == before) return "untouched";
    const Range reach = op.reach();
    for (uint32_t a = 0; a < kFlashSize; ++a)
        if (after[a] != before[a] && (a < reach.begin || a >= reach.end))
            return "changed outside its reach";
    std::string said;
    if (all_erased(slice(after, reach))) {
        said = "an erased block";
    } else {
        uint32_t end = reach.begin;
        while (end < reach.end &&
               slice(after, {end, end + kPage}) == slice(intended, {end, end + kPage}))
            end += kPage;
        if (end == reach.begin || !all_erased(slice(after, {end, reach.end}))) return "torn";
        said = "a prefix programmed";
    }
    if (auto* serial = dynamic_cast<SerialBlockWrite*>(&op)) {
        const bool kept = serial->beside_flash(dir) == slice(before, reach);
        said += kept ? ", its copy kept" : ", no copy";
    }
    return said;
}

// The front end's next start on the board a killed block write left: the
// first thing it tells is the copy by its name (which holds the block's
// address), and once it has written the copy back the board is as before.
std::string start_after_copy(SerialBlockWrite& op, const std::filesystem::path& file,
                             const std::filesystem::path& dir) {
    std::string copy;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().rfind("zintra-flash-00010000-", 0) == 0 &&
            entry.path().extension() == ".bin")
            copy = entry.path().string();
    vboard::Options options;
    options.path = file.string();
    if (copy.empty() || !vboard::attach(options)) return "no copy";
    const std::vector<std::string> told = op.start_after_crash(dir);
    vboard::detach();
    if (told.empty() || told.front().find(copy) == std::string::npos) return "the copy not named";
    const bool back =
        !std::filesystem::exists(copy) &&
        slice(testing_support::read_file(file), op.reach()) == slice(board_pattern(), op.reach());
    return back ? "names the copy, writes it back" : "names the copy";
}

const char* moment_name(Moment m) {
    switch (m) {
    case Moment::kMidProgram:
        return "mid-program";
    case Moment::kAfterErase:
        return "after its erase";
    case Moment::kMidBackup:
        return "mid-backup";
    }
    return "?";
}

} // namespace

const std::vector<CrashCell>& crash_cells() {
    static const std::vector<CrashCell> cells = {
        {"program flash", Moment::kMidProgram, "a prefix programmed", "done"},
        {"FlashSerial", Moment::kAfterErase, "an erased block, its copy kept",
         "names the copy, writes it back"},
        {"backup", Moment::kMidBackup, "untouched", "done"},
        {"window Flash", Moment::kMidProgram, "a prefix programmed", "done"},
        {"window Flash Setting", Moment::kAfterErase, "an erased block, its copy kept",
         "names the copy, writes it back"},
    };
    return cells;
}

std::vector<std::size_t> crash_cells_of(const std::vector<std::unique_ptr<Operation>>& ops) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < crash_cells().size(); ++i)
        for (const auto& op : ops)
            if (crash_cells()[i].operation == std::string(op->name())) out.push_back(i);
    return out;
}

std::string crash_cell_name(std::size_t cell) {
    std::string name = crash_cells()[cell].operation;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

Crash crash(Operation& op, Moment moment, const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    const fs::path good_dir = dir / "good", run_dir = dir / "run";
    fs::create_directories(good_dir);
    fs::create_directories(run_dir);
    setenv("ZINTRA_RECOVERY_DIR", good_dir.c_str(), 1);
    const Run good = run_once(op, good_dir, [](vboard::Board&, std::optional<std::size_t>) {});
    const Bytes& intended = good.outcome.after;

    setenv("ZINTRA_RECOVERY_DIR", run_dir.c_str(), 1);
    const fs::path file = dir / "board.bin";
    testing_support::write_file(file, board_pattern());
    Crash c;
    c.killed = run_and_kill(op, moment, file, run_dir, intended);
    c.board = describe_board(op, testing_support::read_file(file), intended, run_dir);
    if (auto* serial = dynamic_cast<SerialBlockWrite*>(&op)) {
        c.next = start_after_copy(*serial, file, run_dir);
        return c;
    }
    // The next run opens the board the killed process held: its lock went
    // with it.
    const Run next = run_once(
        op, run_dir, [](vboard::Board&, std::optional<std::size_t>) {}, file);
    c.next = next.outcome.result == 1 && next.outcome.after == intended ? "done" : "failed";
    // The killed run's temporary file is gone with the next one's rename.
    for (const auto& entry : fs::directory_iterator(run_dir))
        if (!zintra::TemporaryStem(entry.path().filename().string()).empty())
            c.next += ", a temporary file left";
    return c;
}

std::string check_crash(const std::vector<std::unique_ptr<Operation>>& ops, std::size_t cell,
                        const std::filesystem::path& dir) {
    const CrashCell& want = crash_cells().at(cell);
    for (const auto& op : ops) {
        if (want.operation != std::string(op->name())) continue;
        const Crash c = crash(*op, want.moment, dir);
        if (!c.killed) return "the run ended before the moment";
        if (c.board != want.board || c.next != want.next)
            return "the board file holds " + c.board + "; the next run: " + c.next;
        return {};
    }
    return "no such operation";
}

std::string crash_table(const std::vector<Operation*>& ops, const std::filesystem::path& dir) {
    std::ostringstream out;
    out << "| operation | killed | the board file holds | the next run |\n|---|---|---|---|\n";
    int n = 0;
    for (const CrashCell& cell : crash_cells())
        for (Operation* op : ops) {
            if (cell.operation != std::string(op->name())) continue;
            const std::filesystem::path cell_dir = dir / ("crash" + std::to_string(n++));
            std::filesystem::create_directories(cell_dir);
            const Crash c = crash(*op, cell.moment, cell_dir);
            out << "| " << cell.operation << " | " << moment_name(cell.moment)
                << (c.killed ? "" : " (not reached)") << " | " << c.board << " | " << c.next
                << " |\n";
        }
    return out.str();
}

} // namespace fault_matrix
