// The fault matrix: each fault the virtual board can inject, at the places
// of a run where it matters, against each operation that touches the flash.
// A cell runs its operation twice on a board filled with a pattern: once
// without faults, to learn where the fault strikes and what a good run
// leaves, and once with the fault. It then says how the board ended: done,
// as it was, or told (the user was told what is not as it should be);
// anything else is data lost or a failure reported as success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fault_matrix {

using Bytes = std::vector<uint8_t>;

// Flash bytes [begin, end).
struct Range {
    uint32_t begin = 0;
    uint32_t end = 0;
};

// Where in a run a fault strikes, by the command it hits in a run without
// faults.
enum class Place {
    kWholeRun,  // holds from before the programmer is opened
    kSetUp,     // the operation's first command
    kErase,     // writes: the second erase command (the only one where there is
                // one); reads: the first status poll after an erase
    kMidRun,    // the middle page program (reads and flips: its read-back); in
                // a run that programs nothing, its middle read
    kWriteBack, // as kMidRun, but only in a run that programs: a burst of
                // flips longer than a comparison read cannot be told from
                // data by reading alone
};

struct Fault {
    std::string name;
    // In the grammar of FTD2XX_VIRTUAL_FAULTS; a bare "write" or "read" and
    // "flip=N" take their call number or range from the place.
    std::string items;
    Place place;
};

const std::vector<Fault>& faults();

// How a run ended, as the cell judges it.
struct Outcome {
    int32_t result = 0;
    std::vector<std::string> messages; // every box the user saw, in order
    Bytes before;                      // flash, then what the operation keeps beside it
    Bytes after;
    Bytes intended; // as a run without faults leaves it
};

class Operation {
  public:
    virtual ~Operation() = default;
    virtual const char* name() const = 0;
    // The flash the operation reads or writes; flipped reads are put here.
    virtual Range reach() const = 0;
    // Opens the programmer and prepares the run; files go into `dir`.
    virtual void open(const std::filesystem::path& dir) = 0;
    // 1 when the run says it succeeded.
    virtual int32_t run() = 0;
    virtual void close() = 0;
    // What the run leaves besides the flash and is judged with it.
    virtual Bytes beside_flash(const std::filesystem::path&) { return {}; }
    // Flash a run may leave in any state once it has said that it failed.
    virtual std::vector<Range> loose() const { return {}; }
    // Whether a failed run that changed something told its user what: by
    // default, something was said and every change lies in loose().
    virtual bool told(const Outcome& o) const;
};

// An operation that programs program_file() at kProgramStart: it reads and
// writes the block there, and leaves it in any state once it has failed.
class Programming : public Operation {
  public:
    Range reach() const override;
    std::vector<Range> loose() const override;
};

// An operation that writes the configuration block at 0x10000 and keeps a
// recovery copy of its erase block beside the library while it does: it is
// told when its last box names a range holding every byte that is not as a
// good run leaves it, and the copy there holds the block as it was.
class SerialBlockWrite : public Operation {
  public:
    static constexpr uint32_t kBlock = 0x10000;
    Range reach() const override { return {kBlock, kBlock + 0x10000}; }
    Bytes beside_flash(const std::filesystem::path& dir) override;
    bool told(const Outcome& o) const override;
    // The front end's next start after a run was killed, on the attached
    // board: every box it showed before writing anything, in order. It
    // writes a recovery copy back when it offers one.
    virtual std::vector<std::string> start_after_crash(const std::filesystem::path& dir) = 0;
};

enum class Verdict { kDone, kAsItWas, kTold, kWrong, kLost, kNotApplicable };
const char* describe(Verdict v);

struct Cell {
    Verdict verdict = Verdict::kNotApplicable;
    Outcome outcome;
};

// The board's whole flash and its size, for operations that compare it.
constexpr uint32_t kFlashSize = 2u << 20;
// What the programming cells write: a file from a block boundary past the
// middle of the block, so that the second half's erase and the chunks
// behind it count, and the block it lies in.
constexpr uint32_t kProgramStart = 0x20000;
constexpr std::size_t kProgramFileSize = 0x9000 + 100;
constexpr Range kProgrammedBlock{kProgramStart, kProgramStart + 0x10000};
Bytes program_file();
// The pattern a cell's board starts with.
Bytes board_pattern();

// Runs one cell in `dir`, which must exist and be empty.
Cell run(Operation& op, const Fault& fault, const std::filesystem::path& dir);

// For an operation whose boxes do not reach the library's message hook
// (a window shows its own): passes one on to the cell.
void shown(const std::string& text);

// How a cell is expected to end, from the table the suites hold: the
// operation's column of the fault's row.
Verdict expected(std::size_t fault, const std::string& operation);

// A test name for a cell: the fault's and the operation's names in letters,
// digits and underscores.
std::string cell_name(std::size_t fault, const std::string& operation);

// A fresh empty folder for one cell, removed again with the object.
class CellFolder {
  public:
    CellFolder();
    ~CellFolder();
    CellFolder(const CellFolder&) = delete;
    CellFolder& operator=(const CellFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The matrix as a Markdown table: a row per fault, a column per operation.
std::string table(const std::vector<Operation*>& ops, const std::filesystem::path& dir);

// Crash cells: the operation runs in a process of its own, in real time, on
// a board file filled with the pattern, and is killed with SIGKILL at the
// moment the board file or the cell's folder shows. The cell then says what
// the board file holds and what the next run on it does.
enum class Moment {
    kMidProgram, // the first page of the file is in the flash
    kAfterErase, // the block the operation rewrites reads erased
    kMidBackup,  // the backup's temporary file has appeared
};

// The file a backup cell writes, in the cell's folder.
constexpr const char* kBackupName = "backup.bin";

struct CrashCell {
    const char* operation; // an Operation's name()
    Moment moment;
    const char* board; // what the board file holds afterwards
    const char* next;  // what the next run on that board does or tells
};
// Every crash cell, as the suites and the README's table hold them.
const std::vector<CrashCell>& crash_cells();

// The indices of the crash cells of these operations, and a test name.
std::vector<std::size_t> crash_cells_of(const std::vector<std::unique_ptr<Operation>>& ops);
std::string crash_cell_name(std::size_t cell);

struct Crash {
    bool killed = false; // at the moment sought, before the run ended
    std::string board;   // in the words of CrashCell::board
    std::string next;    // in the words of CrashCell::next
};
Crash crash(Operation& op, Moment moment, const std::filesystem::path& dir);

// Runs crash cell `cell` on its operation among `ops`: empty when it ends
// as the table says, otherwise what differs.
std::string check_crash(const std::vector<std::unique_ptr<Operation>>& ops, std::size_t cell,
                        const std::filesystem::path& dir);

// The crash cells of `ops` as a Markdown table.
std::string crash_table(const std::vector<Operation*>& ops, const std::filesystem::path& dir);

} // namespace fault_matrix
