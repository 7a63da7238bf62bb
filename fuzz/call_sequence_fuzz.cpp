// Random sequences of the exports on the virtual board, faults included.
// Whatever the order: a refused setter or PackSerial changes no table, a
// load that says it failed changes no table and one that succeeds holds the
// board's block, a successful FlashSerial leaves the block in the flash and
// programming leaves the file there, and nothing but the serial record's
// erase block and the programmed range ever changes in the flash, in either
// mode of programming; a backup changes no flash and holds it when it
// says so.
#include "harness.h"
#include "spi_engine.h"
#include "virtual_board.h"
#include "zintra.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using zintra::state;

constexpr uint32_t kBlock = 0x10000;
constexpr int kMaxCalls = 24;
constexpr uint32_t kFlash = 0x20000;

// A 128 KiB part of the default maker, the smallest that holds the
// configuration's block: the flash a run sets up and compares is a
// sixteenth of the default's, so a run tries hundreds of sequences a
// second rather than tens. Calls reach a little past its end.
const vboard::FlashPart& small_part() {
    static const vboard::FlashPart part = [] {
        vboard::FlashPart p = vboard::default_part();
        p.jedec_id = {0xC2, 0x20, 0x11};
        p.size_bytes = kFlash;
        return p;
    }();
    return part;
}

// Flipped reads can pass for the flash's contents: a burst longer than a
// comparison read, or one that turns what a failed write left into just
// what was to be written. What a run read is only checked without them.
bool flips_pending(vboard::Board& board) {
    return board.counters().flipped_reads < board.faults().flipped_reads;
}

bool same_tables(const zintra::Tables& a) {
    return std::memcmp(&a, &state().tables, sizeof a) == 0;
}

// The flash is read and compared a piece at a time, into a buffer kept
// from run to run: ASan maps every large allocation afresh, and copies of
// the whole flash were most of a run's time.
constexpr uint32_t kPiece = 0x4000;

const Bytes& snapshot(vboard::Board& board) {
    static Bytes flash;
    flash.clear();
    const uint32_t size = board.part().size_bytes;
    for (uint32_t at = 0; at < size; at += kPiece) {
        const Bytes piece = board.read(at, std::min(kPiece, size - at));
        flash.insert(flash.end(), piece.begin(), piece.end());
    }
    return flash;
}

// Outside [begin, end) the flash is as it was.
bool unchanged_outside(const Bytes& before, vboard::Board& board, uint32_t begin, uint32_t end) {
    const auto size = static_cast<uint32_t>(before.size());
    end = std::max(begin, end);
    for (uint32_t at = 0; at < size; at += kPiece) {
        const Bytes now = board.read(at, std::min(kPiece, size - at));
        const auto same = [&](uint32_t from, uint32_t to) {
            from = std::max(from, at);
            to = std::min<uint32_t>(to, at + static_cast<uint32_t>(now.size()));
            return from >= to ||
                   std::memcmp(now.data() + (from - at), before.data() + from, to - from) == 0;
        };
        if (!same(0, begin) || !same(end, size)) return false;
    }
    return true;
}

int32_t any_value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return in.ConsumeIntegralInRange<int32_t>(-4, 300);
    case 1:
        return in.ConsumeIntegralInRange<int32_t>(0, 70000);
    default:
        return in.ConsumeIntegral<int32_t>();
    }
}

void set_fault(FuzzedDataProvider& in, vboard::Board& board) {
    vboard::Faults& f = board.faults();
    const auto soon = [&] { return in.ConsumeIntegralInRange<uint32_t>(1, 600); };
    switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:
        f.write_fails_on_call = static_cast<uint32_t>(board.counters().usb_writes) + soon();
        break;
    case 1:
        f.read_fails_on_call = static_cast<uint32_t>(board.counters().usb_reads) + soon();
        break;
    case 2:
        f.busy_stuck = in.ConsumeBool();
        break;
    case 3:
        f.write_protected = in.ConsumeBool();
        break;
    case 4:
        f.flipped_reads = static_cast<uint32_t>(board.counters().flipped_reads) +
                          in.ConsumeIntegralInRange<uint32_t>(1, 40);
        f.flip_begin = in.ConsumeIntegralInRange<uint32_t>(0, kFlash);
        f.flip_end = f.flip_begin + in.ConsumeIntegralInRange<uint32_t>(1, 0x1000);
        f.flip_mask = std::max<uint8_t>(1, in.ConsumeIntegral<uint8_t>());
        break;
    case 5:
        f.no_device = in.ConsumeBool();
        f.open_fails = in.ConsumeBool();
        f.reset_fails = in.ConsumeBool();
        f.bitmode_fails = in.ConsumeBool();
        break;
    default:
        f = {};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    harness::quiet();
    zintra::spi::close_device();
    harness::fresh_library();
    vboard::Options options; // no file, virtual time
    options.part = &small_part();
    vboard::Board& board = *vboard::attach(options);
    FuzzedDataProvider in(data, size);

    const std::string path = (harness::folder() / "program.bin").string();
    const Bytes file = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 9000));
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
    }

    for (int call = 0; call < kMaxCalls && in.remaining_bytes() > 0; ++call) {
        const zintra::Tables tables = state().tables;
        switch (in.ConsumeIntegralInRange(0, 12)) {
        case 0: {
            int32_t action = in.ConsumeIntegralInRange<int32_t>(-1, 18);
            if (action == ZINTRA_PROBE_ID_LOOP || action == ZINTRA_PROGRAM_FLASH) action = 0;
            const bool setter =
                action == ZINTRA_SET_PORT_FIELD || action == ZINTRA_SET_HEADER_FIELD ||
                action == ZINTRA_SET_GROUP_FIELD || action == ZINTRA_SET_GROUP_FIELD_2 ||
                (action >= ZINTRA_SET_TABLE3_FIELD && action <= ZINTRA_SET_TABLE7_FIELD);
            int32_t b = any_value(in), c = any_value(in), d = in.ConsumeIntegralInRange(-2, 8);
            if (ZintraAction(action, b, c, d) == 0 && setter) FUZZ_CHECK(same_tables(tables));
            break;
        }
        case 1: {
            std::string text = in.ConsumeRandomLengthString(300);
            ZintraActionStr(in.ConsumeIntegralInRange(0, 2), in.ConsumeIntegralInRange(-1, 10),
                            text.c_str());
            break;
        }
        case 2:
            SetupWriteParameter(in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 0x21) * 0x1000
                                                 : any_value(in),
                                path.c_str());
            break;
        case 3: {
            const Bytes& before = snapshot(board);
            const int32_t start = state().start_address;
            const int32_t check = in.ConsumeIntegralInRange(0, 2);
            const bool fast = in.ConsumeBool();
            const std::size_t skip = check == 1 ? 1 : 0;
            const bool flips = flips_pending(board);
            const int32_t result = fast ? ZintraProgramFast(check, 0)
                                        : ZintraAction(ZINTRA_PROGRAM_FLASH, check, 0, 0);
            if (result == 1 && file.size() > skip && !flips) {
                Bytes written = board.read(static_cast<uint32_t>(start),
                                           static_cast<uint32_t>(file.size() - skip));
                FUZZ_CHECK(std::equal(written.begin(), written.end(), file.begin() + skip));
            }
            // Whole 64 KiB blocks from the start's block to the end of the last chunk.
            const uint32_t begin = static_cast<uint32_t>(std::max(start, 0)) & ~0xFFFFu;
            const uint32_t end = static_cast<uint32_t>(std::max(start, 0)) +
                                 ((static_cast<uint32_t>(file.size()) + 0xFFFu) & ~0xFFFu) +
                                 0x10000u;
            FUZZ_CHECK(unchanged_outside(before, board, begin, end));
            break;
        }
        case 4: {
            // The caller owns `length` bytes of text, whatever the length.
            const int32_t length = in.ConsumeIntegralInRange<int32_t>(-2, 50);
            std::string text = in.ConsumeRandomLengthString(60);
            text.resize(static_cast<std::size_t>(std::max(length, 0)) + 1, 'S');
            if (PackSerial(text.data(), length) == 0) FUZZ_CHECK(same_tables(tables));
            break;
        }
        case 5: {
            const Bytes& before = snapshot(board);
            const bool flips = flips_pending(board);
            if (FlashSerial() == 1 && state().system_version == 2 && !flips) {
                Bytes block = board.read(kBlock, 0x400);
                FUZZ_CHECK(std::equal(block.begin(), block.begin() + 256, tables.header.begin()));
                FUZZ_CHECK(
                    std::equal(block.begin() + 256, block.begin() + 512, tables.group.begin()));
                FUZZ_CHECK(std::equal(block.begin() + 512, block.end(), tables.port.begin()));
            }
            FUZZ_CHECK(unchanged_outside(before, board, kBlock, 2 * kBlock));
            break;
        }
        case 6: {
            char serial[48];
            std::memset(serial, 0x5A, sizeof serial);
            GetSerial(serial);
            FUZZ_CHECK(std::all_of(serial + 44, serial + 48, [](char ch) { return ch == 0x5A; }));
            break;
        }
        case 7:
            GetConf(in.ConsumeIntegralInRange(-1, 11), any_value(in),
                    in.ConsumeIntegralInRange(-1, 9));
            break;
        case 8: {
            const Bytes& before = snapshot(board);
            // Flipped reads that outlast the comparison read cannot be told
            // from the flash's contents, so a load is only checked without.
            const bool flips_pending =
                board.counters().flipped_reads < board.faults().flipped_reads;
            const int32_t r = LoadConfFromFlashToBuffer();
            if (r == 0) FUZZ_CHECK(same_tables(tables));
            if (r == 1 && state().system_version == 2 && !flips_pending) {
                Bytes block = board.read(kBlock, 0x400);
                FUZZ_CHECK(
                    std::equal(block.begin(), block.begin() + 256, state().tables.header.begin()));
                FUZZ_CHECK(
                    std::equal(block.begin() + 512, block.end(), state().tables.port.begin()));
            }
            FUZZ_CHECK(unchanged_outside(before, board, 0, 0));
            break;
        }
        case 9:
            set_fault(in, board);
            break;
        case 10:
            ZintraAction(in.ConsumeBool() ? ZINTRA_OPEN_PROGRAMMER : ZINTRA_CLOSE_PROGRAMMER, 0, 0,
                         0);
            break;
        case 11: {
            // A backup changes no flash, and one that succeeds holds it.
            const Bytes& before = snapshot(board);
            const int32_t address =
                in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 0x21) * 0x1000 : any_value(in);
            const int32_t length =
                in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 0x40) * 0x100 : any_value(in);
            const std::string backup = (harness::folder() / "backup.bin").string();
            const bool flips = flips_pending(board);
            if (ZintraBackupFlash(backup.c_str(), address, length) == 1 && !flips) {
                std::ifstream saved(backup, std::ios::binary);
                const Bytes got{std::istreambuf_iterator<char>(saved), {}};
                FUZZ_CHECK(got == board.read(static_cast<uint32_t>(address),
                                             static_cast<uint32_t>(length)));
            }
            FUZZ_CHECK(unchanged_outside(before, board, 0, 0));
            std::remove(backup.c_str());
            break;
        }
        default: {
            Bytes bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(1, 600));
            board.write_raw(in.ConsumeIntegralInRange<uint32_t>(0, kFlash - 1), bytes);
        }
        }
    }
    zintra::spi::close_device();
    vboard::detach();
    return 0;
}
